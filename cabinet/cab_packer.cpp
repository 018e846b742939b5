// TCABPacker: loading the library, extraction, building, and the binding's messages.
// The default virtual operations behind the callbacks are in cab_operations.cpp.

#include "cab_packer.h"

#include <cstdarg>
#include <cstdio>
#include <cstring>

#include "cab_forwarders.h"
#include "syslib/system_library.h"

TCABPacker::TCABPacker() {
  Library = LoadSystemLibrary("cabinet.dll");
  if (!Library) {
    // Still inside the constructor: this is TCABPacker::Show whatever the object will become.
    Error("Cannot load CABINET.DLL");
    return;
  }
  // A missing entry point stays null; every operation that needs one checks it.
  ResolveEntry(Library, "FCICreate", pFCICreate);
  ResolveEntry(Library, "FCIAddFile", pFCIAddFile);
  ResolveEntry(Library, "FCIFlushCabinet", pFCIFlushCabinet);
  ResolveEntry(Library, "FCIFlushFolder", pFCIFlushFolder);
  ResolveEntry(Library, "FCIDestroy", pFCIDestroy);
  ResolveEntry(Library, "FDICreate", pFDICreate);
  ResolveEntry(Library, "FDIIsCabinet", pFDIIsCabinet);
  ResolveEntry(Library, "FDICopy", pFDICopy);
  ResolveEntry(Library, "FDIDestroy", pFDIDestroy);
}

TCABPacker::~TCABPacker() {
  // A cabinet left half built would keep the library's temporary files; its context is
  // useless once the library is gone, so it is destroyed while the library is still here.
  // (A derived part is already destroyed here, so the callbacks of this clean-up run on the
  // defaults of this class.)
  if (CompressionContext) {
    TCABForward::Activate(this);
    DestroyCabinet();
  }
  TCABForward::Deactivate(this);
  if (Library) FreeLibrary(Library);
}

bool TCABPacker::Unpack(const char* name, const char* directory, int flags) {
  CopyResult = false;
  if (!Library || !pFDICreate || !pFDICopy || !pFDIDestroy) return false;
  // The library joins the two texts into fixed buffers of the published sizes; longer ones
  // are not handed to it. No extraction can start: the caller reports that.
  if (std::strlen(directory) >= CB_MAX_CAB_PATH || std::strlen(name) >= CB_MAX_CABINET_NAME) return false;
  TCABForward::Activate(this);
  ERF erf{};
  DecompressionContext =
      pFDICreate(TCABForward::Alloc, TCABForward::Free, TCABForward::Open, TCABForward::Read,
                 TCABForward::Write, TCABForward::Close, TCABForward::Seek, cpu80386, &erf);
  if (!DecompressionContext) {
    Error("Cannot create context for descompessing");
    return false;
  }
  // The library's interface is not const-correct; it only reads both texts.
  CopyResult = pFDICopy(DecompressionContext, const_cast<char*>(name), const_cast<char*>(directory), flags,
                        TCABForward::Notify, nullptr, nullptr) != FALSE;
  // The result does not decide the return value: failures reach the user through the
  // callbacks' messages, and the caller looks at what was extracted (and CopySucceeded).
  pFDIDestroy(DecompressionContext);
  DecompressionContext = nullptr;
  return true;
}

bool TCABPacker::MakeCabinet(const char* path, ULONG sizeLimit) {
  if (!Library || !pFCICreate || CompressionContext) return false;
  const char* slash = std::strrchr(path, '\\');
  const size_t directoryLength = slash ? size_t(slash - path) + 1 : 0;
  const char* fileName = path + directoryLength;
  if (directoryLength >= sizeof Parameters.szCabPath || std::strlen(fileName) >= sizeof Parameters.szCab)
    return false;

  TCABForward::Activate(this);
  Parameters = CCAB{};
  Status = 0;
  std::memcpy(Parameters.szCabPath, path, directoryLength);
  std::strcpy(Parameters.szCab, fileName);

  if (sizeLimit == 0) {
    // The free space of the drive named by the directory's text up to its first backslash.
    char root[sizeof Parameters.szCabPath] = {};
    if (const char* first = std::strchr(Parameters.szCabPath, '\\'))
      std::memcpy(root, Parameters.szCabPath, size_t(first - Parameters.szCabPath) + 1);
    DWORD sectorsPerCluster = 0, bytesPerSector = 0, freeClusters = 0, clusters = 0;
    if (GetDiskFreeSpaceA(root, &sectorsPerCluster, &bytesPerSector, &freeClusters, &clusters)) {
      // In 64 bits: the product of today's disks does not fit 32, and a wrapped value would
      // split the cabinet at an arbitrary size. The format's own maximum bounds it.
      unsigned long long space = 1ULL * sectorsPerCluster * bytesPerSector * freeClusters;
      sizeLimit = ULONG(space < CB_MAX_DISK ? space : CB_MAX_DISK);
    }
    if (sizeLimit == 0) sizeLimit = DefaultCabinetSize;
  }
  Parameters.cb = sizeLimit;
  Parameters.cbFolderThresh = 0x7FFFFFFF;
  Parameters.cbReserveCFHeader = 0;
  Parameters.setID = CabinetSetId;
  std::strcpy(Parameters.szDisk, "DISK0");

  Erf = ERF{};
  CompressionContext = pFCICreate(&Erf, TCABForward::FilePlaced, TCABForward::Alloc, TCABForward::Free,
                                  TCABForward::FciOpen, TCABForward::FciRead, TCABForward::FciWrite,
                                  TCABForward::FciClose, TCABForward::FciSeek, TCABForward::FciDelete,
                                  TCABForward::GetTempFile, &Parameters, nullptr);
  return CompressionContext != nullptr;
}

bool TCABPacker::AddFile(const char* sourceFile, const char* nameInCabinet, bool execute,
                         TCOMP compression) {
  if (!CompressionContext || !pFCIAddFile) return false;
  TCABForward::Activate(this);
  // Not const-correct either; the library copies both names.
  return pFCIAddFile(CompressionContext, const_cast<char*>(sourceFile), const_cast<char*>(nameInCabinet),
                     execute, TCABForward::GetNextCabinet, TCABForward::Progress,
                     TCABForward::GetOpenInfo, compression) != FALSE;
}

bool TCABPacker::FlushCabinet() {
  if (!CompressionContext || !pFCIFlushCabinet) return false;
  TCABForward::Activate(this);
  return pFCIFlushCabinet(CompressionContext, FALSE, TCABForward::GetNextCabinet,
                          TCABForward::Progress) != FALSE;
}

bool TCABPacker::FlushFolder() {
  if (!CompressionContext || !pFCIFlushFolder) return false;
  TCABForward::Activate(this);
  return pFCIFlushFolder(CompressionContext, TCABForward::GetNextCabinet, TCABForward::Progress) != FALSE;
}

bool TCABPacker::DestroyCabinet() {
  if (!CompressionContext || !pFCIDestroy) return false;
  TCABForward::Activate(this);
  const bool destroyed = pFCIDestroy(CompressionContext) != FALSE;
  CompressionContext = nullptr;
  return destroyed;
}

void TCABPacker::Format(bool error, const char* format, va_list args) {
  // vsnprintf cuts a longer text and always terminates it.
  char text[MessageBufferSize];
  std::vsnprintf(text, sizeof text, format, args);
  Show(error, text);
}

void TCABPacker::Message(const char* format, ...) {
  va_list args;
  va_start(args, format);
  Format(false, format, args);
  va_end(args);
}

void TCABPacker::Error(const char* format, ...) {
  va_list args;
  va_start(args, format);
  Format(true, format, args);
  va_end(args);
}

namespace {
bool ConsoleMode = false;
}

void TCABPacker::SetConsoleMode(bool on) { ConsoleMode = on; }

void TCABPacker::Show(bool error, const char* text) {
  if (ConsoleMode) {
    std::fprintf(stderr, "%s: %s\n", error ? "CAB Error" : "CAB Message", text);
    std::fflush(stderr);
    return;
  }
  if (error)
    MessageBoxA(nullptr, text, "CAB Error", MB_ICONERROR);
  else
    MessageBoxA(nullptr, text, "CAB Message", MB_ICONINFORMATION);
}
