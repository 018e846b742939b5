#pragma once
// TCABPacker: the binding to the system cabinet library, cabinet.dll.
//
// The library is loaded from the system folder at run time and reached through nine entry points. Its
// callbacks carry no object, so they are plain functions (cab_forwarders.cpp) that forward to
// the virtual operations of the one active binding; a derived class changes what happens to
// extracted files and messages by overriding those operations.
//
// Extraction (FDI): Unpack. Building (FCI): MakeCabinet, AddFile, FlushFolder, FlushCabinet,
// DestroyCabinet. Only one binding may extract or build at a time in a process (the active
// pointer is process-wide), and none of it is reentrant.

#include <windows.h>
// fci.h and fdi.h are the published declarations of the library's types; nothing is linked
// from them (the entry points are resolved by GetProcAddress).
#include <fci.h>
#include <fdi.h>

#if defined(__GNUC__)
#define CAB_PRINTF_FORMAT(fmt, first) __attribute__((format(gnu_printf, fmt, first)))
#else
#define CAB_PRINTF_FORMAT(fmt, first)
#endif

class TCABPacker {
 public:
  // A formatted message is cut to this many bytes, terminator included.
  static constexpr int MessageBufferSize = 1000;
  // Cabinet size limit when the free space of the target drive cannot be read.
  static constexpr ULONG DefaultCabinetSize = 1509949;
  // The set identifier written into every cabinet this binding builds.
  static constexpr USHORT CabinetSetId = 0x4D45;

  // Loads cabinet.dll. On failure the "CAB Error" box "Cannot load CABINET.DLL" is shown by
  // this class's own Show: virtual calls made during construction never reach a derived class.
  TCABPacker();
  // Releases the library; a cabinet still being built is destroyed first.
  virtual ~TCABPacker();
  TCABPacker(const TCABPacker&) = delete;
  TCABPacker& operator=(const TCABPacker&) = delete;

  bool IsLoaded() const { return Library != nullptr; }

  // Extracts every file of directory + name (directory ends in a backslash). True unless the
  // library is missing, no decompression context can be made, or a text is longer than the
  // library's fields (CB_MAX_CAB_PATH, CB_MAX_CABINET_NAME); a cabinet that cannot be opened
  // or read still gives true, and shows only through the callbacks' messages and the files
  // that were (not) extracted. The library's own verdict is kept in CopySucceeded. A derived
  // binding may judge the extraction more strictly.
  virtual bool Unpack(const char* name, const char* directory, int flags);
  // Whether the library's last extraction call reported success.
  bool CopySucceeded() const { return CopyResult; }

  // Building a cabinet. Each call makes this binding the active one (the callbacks of the
  // library reach it). MakeCabinet starts a cabinet at path (refused while one is being
  // built); sizeLimit 0 limits each cabinet of the set to the free space of the target drive,
  // another value is the limit itself (a set continues into name.001, name.002, ... through
  // GetNextCabinet). Each returns true when the library reports success.
  bool MakeCabinet(const char* path, ULONG sizeLimit = 0);
  bool AddFile(const char* sourceFile, const char* nameInCabinet, bool execute, TCOMP compression);
  bool FlushCabinet();
  bool FlushFolder();
  bool DestroyCabinet();

  ULONG StatusTotal() const { return Status; }
  const ERF& ErrorRecord() const { return Erf; }
  const CCAB& CabinetParameters() const { return Parameters; }
  // The binding the library's callbacks reach; null when none has run in this process.
  static TCABPacker* ActivePacker();

  // ---- Virtual operations; the plain callbacks forward to these. ----
  // What each returns is what the library expects of the callback it serves; -1 (as the
  // library's unsigned types where they are unsigned) always means failure, and the library
  // then aborts or skips as it decides.
  //
  // File callbacks, over the run-time library's descriptors. `error` is the library's
  // out-parameter for the run-time error number: the building side passes one, the
  // extraction side none (null), and then nothing is stored. Open, read, write and delete
  // raise Error with the number when it is not 0; close and seek raise nothing.
  //   FileOpen   handle, or -1. The exclusive-create bit is ignored (see the definition).
  //   FileRead   bytes read: fewer than count only at the end of the file, 0 at it; -1 on error.
  //   FileWrite  bytes written (count unless the disk is full); -1 on error.
  //   FileClose  0, or -1 with the number stored.
  //   FileSeek   the new position, or -1 with the number stored.
  //   FileDelete 0, or -1 (building side only).
  virtual INT_PTR FileOpen(char* name, int flags, int mode, int* error);
  virtual UINT FileRead(INT_PTR handle, void* buffer, UINT count, int* error);
  virtual UINT FileWrite(INT_PTR handle, void* buffer, UINT count, int* error);
  virtual int FileClose(INT_PTR handle, int* error);
  virtual LONG FileSeek(INT_PTR handle, LONG distance, int origin, int* error);
  virtual int FileDelete(char* name, int* error);
  // Building side.
  //   GetNextCabinet  names the next cabinet of a set in *cabinet (its iCab already counts
  //                   it): TRUE to go on, FALSE ends the build with an error.
  //   FilePlaced      a file has been placed in a cabinet; 0 (-1 would abort).
  //   GetOpenInfo     the source file's local DOS date/time and attributes (masked with
  //                   0x27), and a read handle to it; -1 when it cannot be opened.
  //   Progress        statusFile: 0; statusCabinet: the size to write in the header
  //                   (value2, as proposed); others 0. -1 would abort.
  virtual BOOL GetNextCabinet(PCCAB cabinet, ULONG previousSize);
  virtual int FilePlaced(PCCAB cabinet, char* fileName, LONG size, BOOL continuation);
  virtual INT_PTR GetOpenInfo(char* name, USHORT* date, USHORT* time, USHORT* attributes, int* error);
  virtual LONG Progress(UINT statusType, ULONG value1, ULONG value2);
  // Both sides: a new, unique, already created file in the system temporary folder, whose
  // name is copied to buffer when it is shorter than bufferSize; FALSE otherwise.
  virtual BOOL GetTempFile(char* buffer, int bufferSize);
  // Extraction side: the notification callback and the three notifications it handles;
  // every other notification is answered 0 (go on).
  //   ExtractFile    a file begins: a write handle for it, 0 to skip it, -1 to abort.
  //   CloseFileInfo  a file is complete (record->hf is its handle): TRUE to go on.
  //   NextCabinet    the cabinet continues into another: -1, the extraction stops there.
  virtual INT_PTR Notify(FDINOTIFICATIONTYPE type, PFDINOTIFICATION record);
  virtual INT_PTR ExtractFile(FDINOTIFICATIONTYPE type, PFDINOTIFICATION record);
  virtual INT_PTR CloseFileInfo(FDINOTIFICATIONTYPE type, PFDINOTIFICATION record);
  virtual INT_PTR NextCabinet(FDINOTIFICATIONTYPE type, PFDINOTIFICATION record);
  // A formatted text for the user: a modal box without owner ("CAB Error" with the error
  // icon, "CAB Message" with the information icon); in console mode the caption and the text
  // on a line of standard error instead.
  virtual void Show(bool error, const char* text);

  // Console mode, process-wide: console programs set it before any binding exists, so that
  // no message (the library's load failure included, which a derived binding cannot
  // intercept) ever waits on a window nobody may be there to close.
  static void SetConsoleMode(bool on);

  // printf-style; the text is cut to MessageBufferSize - 1 characters and passed to Show.
  void Message(const char* format, ...) CAB_PRINTF_FORMAT(2, 3);
  void Error(const char* format, ...) CAB_PRINTF_FORMAT(2, 3);

 protected:
  // The close step of one extracted file, written to path: closes the record's handle, sets
  // the archived attributes (masked with 0x27) and then, if the file opens for writing, the
  // archived DOS date/time as creation and last-write time. A file archived read-only keeps
  // the time of its extraction, since the attribute is set first.
  void FinishExtractedFile(const char* path, PFDINOTIFICATION record);

 private:
  friend struct TCABForward;
  void Format(bool error, const char* format, va_list args);

  CCAB Parameters{};
  ERF Erf{};
  void* CompressionContext = nullptr;
  void* DecompressionContext = nullptr;
  ULONG Status = 0;
  bool CopyResult = false;
  HMODULE Library = nullptr;

  decltype(&::FCICreate) pFCICreate = nullptr;
  decltype(&::FCIAddFile) pFCIAddFile = nullptr;
  decltype(&::FCIFlushCabinet) pFCIFlushCabinet = nullptr;
  decltype(&::FCIFlushFolder) pFCIFlushFolder = nullptr;
  decltype(&::FCIDestroy) pFCIDestroy = nullptr;
  decltype(&::FDICreate) pFDICreate = nullptr;
  decltype(&::FDIIsCabinet) pFDIIsCabinet = nullptr;
  decltype(&::FDICopy) pFDICopy = nullptr;
  decltype(&::FDIDestroy) pFDIDestroy = nullptr;
};
