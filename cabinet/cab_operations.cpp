// The default virtual operations of TCABPacker: what each library callback does unless a
// derived class says otherwise. File handles are the run-time library's descriptors.

#include <io.h>
#include <sys/stat.h>

#include <cerrno>
#include <cstdio>
#include <cstring>

#include "cab_packer.h"
#include "open_flags.h"

namespace {
constexpr USHORT ArchivedAttributeMask = 0x27;  // read-only, hidden, system, archive
constexpr int NewFileMode = _S_IREAD | _S_IWRITE;

void StoreError(int* error, int number) {
  if (error) *error = number;
}

// A name stored in a cabinet is untrusted: extracting it relative to the current directory
// must not reach outside that directory (absolute paths, drives, ".." components).
bool IsContainedName(const char* name) {
  if (!name || !*name || name[0] == '\\' || name[0] == '/' || std::strchr(name, ':')) return false;
  const char* part = name;
  while (true) {
    size_t length = std::strcspn(part, "\\/");
    if (length == 2 && part[0] == '.' && part[1] == '.') return false;
    if (part[length] == '\0') return true;
    part += length + 1;
  }
}
}  // namespace

// The library asks for its temporary files with the exclusive-create bit, but GetTempFile
// has already created them (the system's unique-name service does), so with the bit the open
// would always fail. It is removed; everything else goes to the run-time open unchanged.
INT_PTR TCABPacker::FileOpen(char* name, int flags, int mode, int* error) {
  const int handle = _open(name, flags & ~cab_open::Exclusive, mode);
  if (handle == -1) {
    const int number = errno;
    StoreError(error, number);
    if (number != 0) Error("Error opening file: %s, error code: %d", name, number);
    return -1;
  }
  return handle;
}

UINT TCABPacker::FileRead(INT_PTR handle, void* buffer, UINT count, int* error) {
  const int done = _read(int(handle), buffer, count);
  if (done == -1) {
    const int number = errno;
    StoreError(error, number);
    if (number != 0) Error("Error reading file, error code: %d", number);
  }
  return UINT(done);
}

UINT TCABPacker::FileWrite(INT_PTR handle, void* buffer, UINT count, int* error) {
  const int done = _write(int(handle), buffer, count);
  if (done == -1) {
    const int number = errno;
    StoreError(error, number);
    if (number != 0) Error("Error writing file, error code: %d", number);
  }
  return UINT(done);
}

int TCABPacker::FileClose(INT_PTR handle, int* error) {
  const int result = _close(int(handle));
  if (result != 0) StoreError(error, errno);
  return result;
}

LONG TCABPacker::FileSeek(INT_PTR handle, LONG distance, int origin, int* error) {
  const LONG position = _lseek(int(handle), distance, origin);
  if (position == -1) StoreError(error, errno);
  return position;
}

int TCABPacker::FileDelete(char* name, int* error) {
  if (std::remove(name) != 0) {
    const int number = errno;
    StoreError(error, number);
    if (number != 0) Error("Error deleting file: %s, error code: %d", name, number);
    return -1;
  }
  return 0;
}

// The set continues into a cabinet named after the first one with the cabinet number as
// extension (name.001, ...). A name that would not fit the library's field ends the set.
BOOL TCABPacker::GetNextCabinet(PCCAB cabinet, ULONG) {
  char name[sizeof cabinet->szCab];
  const char* dot = std::strrchr(cabinet->szCab, '.');
  const int stemLength = int(dot ? dot - cabinet->szCab : std::strlen(cabinet->szCab));
  const int length = std::snprintf(name, sizeof name, "%.*s.%03d", stemLength, cabinet->szCab, cabinet->iCab);
  if (length < 0 || size_t(length) >= sizeof name) return FALSE;
  std::strcpy(cabinet->szCab, name);
  std::snprintf(cabinet->szDisk, sizeof cabinet->szDisk, "DISK%d", cabinet->iCab);
  return TRUE;
}

int TCABPacker::FilePlaced(PCCAB, char*, LONG, BOOL) { return 0; }

INT_PTR TCABPacker::GetOpenInfo(char* name, USHORT* date, USHORT* time, USHORT* attributes, int* error) {
  *date = 0;
  *time = 0;
  WIN32_FILE_ATTRIBUTE_DATA data;
  if (GetFileAttributesExA(name, GetFileExInfoStandard, &data)) {
    FILETIME local;
    WORD dosDate = 0, dosTime = 0;
    if (FileTimeToLocalFileTime(&data.ftLastWriteTime, &local) &&
        FileTimeToDosDateTime(&local, &dosDate, &dosTime)) {
      *date = dosDate;
      *time = dosTime;
    }
    *attributes = USHORT(data.dwFileAttributes & ArchivedAttributeMask);
  } else {
    *attributes = 0;
  }
  const int handle = _open(name, cab_open::Binary | cab_open::ReadOnly);
  if (handle == -1) {
    StoreError(error, errno);
    return -1;
  }
  return handle;
}

// Type 0 (a file's block): add its size to the total; type 2 (a cabinet is finished): accept
// the size the library proposes by returning it.
LONG TCABPacker::Progress(UINT statusType, ULONG, ULONG value2) {
  if (statusType == statusFile) {
    Status += value2;
    return 0;
  }
  if (statusType == statusCabinet) return LONG(value2);
  return 0;
}

BOOL TCABPacker::GetTempFile(char* buffer, int bufferSize) {
  if (!buffer || bufferSize <= 0) return FALSE;
  char directory[MAX_PATH + 1];
  const DWORD directoryLength = GetTempPathA(MAX_PATH, directory);
  if (directoryLength == 0 || directoryLength >= MAX_PATH) return FALSE;
  char name[MAX_PATH];
  if (!GetTempFileNameA(directory, "tmp", 0, name)) return FALSE;
  if (std::strlen(name) >= size_t(bufferSize)) {
    // The system has created the file; one that cannot be handed out is not left behind.
    DeleteFileA(name);
    return FALSE;
  }
  std::strcpy(buffer, name);
  return TRUE;
}

INT_PTR TCABPacker::Notify(FDINOTIFICATIONTYPE type, PFDINOTIFICATION record) {
  switch (type) {
    case fdintCOPY_FILE:
      return ExtractFile(type, record);
    case fdintCLOSE_FILE_INFO:
      return CloseFileInfo(type, record);
    case fdintNEXT_CABINET:
      return NextCabinet(type, record);
    default:
      return 0;
  }
}

// Writes the file under its stored name below the current directory. A name that would
// leave that directory is skipped (0 tells the library to skip the file); -1 aborts.
INT_PTR TCABPacker::ExtractFile(FDINOTIFICATIONTYPE, PFDINOTIFICATION record) {
  if (!IsContainedName(record->psz1)) return 0;
  return _open(record->psz1, cab_open::Binary | cab_open::WriteOnly | cab_open::Create, NewFileMode);
}

INT_PTR TCABPacker::CloseFileInfo(FDINOTIFICATIONTYPE, PFDINOTIFICATION record) {
  FinishExtractedFile(record->psz1, record);
  return TRUE;
}

// An extraction never continues into a further cabinet: -1 makes the library stop there.
INT_PTR TCABPacker::NextCabinet(FDINOTIFICATIONTYPE, PFDINOTIFICATION) { return -1; }

void TCABPacker::FinishExtractedFile(const char* path, PFDINOTIFICATION record) {
  _close(int(record->hf));
  SetFileAttributesA(path, record->attribs & ArchivedAttributeMask);
  HANDLE file = CreateFileA(path, GENERIC_READ | GENERIC_WRITE, FILE_SHARE_READ, nullptr, OPEN_EXISTING,
                            FILE_ATTRIBUTE_NORMAL, nullptr);
  if (file == INVALID_HANDLE_VALUE) return;
  FILETIME local, stamp;
  if (DosDateTimeToFileTime(record->date, record->time, &local) && LocalFileTimeToFileTime(&local, &stamp))
    SetFileTime(file, &stamp, nullptr, &stamp);
  CloseHandle(file);
}
