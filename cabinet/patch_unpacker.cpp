#include "patch_unpacker.h"

#include <io.h>

#include <cstring>

#include "open_flags.h"

TPatchUnpacker::TPatchUnpacker(TPatchReporter* reporter) : Reporter(reporter) { Extracted[0] = '\0'; }

bool TPatchUnpacker::Unpack(const char* name, const char* directory, int flags) {
  Extracted[0] = '\0';
  Current = -1;
  Begun = false;
  Whole = true;
  if (!TCABPacker::Unpack(name, directory, flags)) return false;
  // A file the library began and never finished: its handle is closed here, or the
  // temporary file could not be removed.
  if (Current != -1) {
    _close(int(Current));
    Current = -1;
    Whole = false;
  }
  if (!Begun) return true;
  if (Whole && CopySucceeded()) return true;
  Extracted[0] = '\0';
  RemoveTemporaryFiles();
  return false;
}

INT_PTR TPatchUnpacker::ExtractFile(FDINOTIFICATIONTYPE, PFDINOTIFICATION record) {
  // Until this file is complete, ExtractedName names nothing usable: if the step fails
  // here, the caller must not go on with the previous file of the cabinet (or with an empty
  // temporary file) as if it were the patch data.
  Begun = true;
  if (Current != -1) Whole = false;  // the previous file was never closed by the close step
  Extracted[0] = '\0';
  char name[ExtractedNameSize];
  if (!GetTempFile(name, ExtractedNameSize - 1)) {
    Whole = false;
    Error("Cannot open temporary file");
    return -1;
  }
  // The folder has just made it empty, so the bytes counted are its whole content. The
  // library writes and closes a duplicate; the folder keeps the original.
  const HANDLE held = Folder.FileCount() ? Folder.Handle(Folder.FileCount() - 1) : INVALID_HANDLE_VALUE;
  HANDLE copy;
  int handle = -1;
  if (held != INVALID_HANDLE_VALUE &&
      DuplicateHandle(GetCurrentProcess(), held, GetCurrentProcess(), &copy, 0, FALSE, DUPLICATE_SAME_ACCESS)) {
    handle = _open_osfhandle(intptr_t(copy), cab_open::Binary | cab_open::WriteOnly);
    if (handle == -1) CloseHandle(copy);
  }
  if (handle == -1) {
    Whole = false;
    return -1;
  }
  ExtractedHandle = held;
  Current = handle;
  Expected = record->cb < 0 ? 0 : static_cast<unsigned long long>(record->cb);
  Written = 0;
  std::memcpy(Extracted, name, sizeof name);
  return handle;
}

INT_PTR TPatchUnpacker::CloseFileInfo(FDINOTIFICATIONTYPE, PFDINOTIFICATION record) {
  if (record->hf != Current || Written != Expected) Whole = false;
  Current = -1;
  _close(int(record->hf));
  FILETIME local, stamp;
  const bool dated =
      DosDateTimeToFileTime(record->date, record->time, &local) && LocalFileTimeToFileTime(&local, &stamp);
  constexpr USHORT ArchivedAttributes = 0x27;  // read-only, hidden, system, archive
  SetTimeAndAttributes(ExtractedHandle, dated ? &stamp : nullptr, record->attribs & ArchivedAttributes);
  return TRUE;
}

BOOL TPatchUnpacker::GetTempFile(char* buffer, int bufferSize) {
  std::string name;
  if (!buffer || Folder.NewFile(name) == INVALID_HANDLE_VALUE) return FALSE;
  Temporaries.push_back(name);  // removed with the folder, handed out or not
  if (name.size() >= size_t(bufferSize)) return FALSE;
  std::memcpy(buffer, name.c_str(), name.size() + 1);
  return TRUE;
}

std::unique_ptr<TInputFile> TPatchUnpacker::OpenExtracted() const {
  if (Extracted[0] == '\0' || Folder.FileCount() == 0) return nullptr;
  return Folder.Reader(Folder.FileCount() - 1);
}

INT_PTR TPatchUnpacker::FileOpen(char* name, int flags, int mode, int* error) {
  const INT_PTR handle = TCABPacker::FileOpen(name, flags, mode, error);
  if (handle == -1 || WindowPath.empty() || _stricmp(name, WindowPath.c_str()) != 0) return handle;
  // A window the run-time seek cannot reach is no cabinet.
  if (WindowOffset < 0 || WindowLength < 0 || WindowOffset + WindowLength > 0x7FFFFFFF ||
      TCABPacker::FileSeek(handle, LONG(WindowOffset), SEEK_SET, error) != LONG(WindowOffset)) {
    TCABPacker::FileClose(handle, nullptr);
    return -1;
  }
  Windowed[handle] = 0;
  return handle;
}

LONG TPatchUnpacker::FileSeek(INT_PTR handle, LONG distance, int origin, int* error) {
  auto window = Windowed.find(handle);
  if (window == Windowed.end()) return TCABPacker::FileSeek(handle, distance, origin, error);
  const int64_t base = origin == SEEK_SET ? 0 : origin == SEEK_CUR ? window->second : WindowLength;
  const int64_t target = base + distance;
  if (target < 0 || target > WindowLength) return -1;
  if (TCABPacker::FileSeek(handle, LONG(WindowOffset + target), SEEK_SET, error) == -1) return -1;
  window->second = target;
  return LONG(target);
}

UINT TPatchUnpacker::FileRead(INT_PTR handle, void* buffer, UINT count, int* error) {
  Pump();
  auto window = Windowed.find(handle);
  if (window == Windowed.end()) return TCABPacker::FileRead(handle, buffer, count, error);
  // The bytes after the cabinet belong to the program file, not to it.
  const int64_t left = WindowLength - window->second;
  if (int64_t(count) > left) count = UINT(left);
  const UINT done = count == 0 ? 0 : TCABPacker::FileRead(handle, buffer, count, error);
  if (done != UINT(-1)) window->second += done;
  return done;
}

UINT TPatchUnpacker::FileWrite(INT_PTR handle, void* buffer, UINT count, int* error) {
  const UINT done = TCABPacker::FileWrite(handle, buffer, count, error);
  if (handle == Current) {
    if (done == UINT(-1) || done != count)
      Whole = false;
    else
      Written += done;
  }
  Pump();
  return done;
}

int TPatchUnpacker::FileClose(INT_PTR handle, int* error) {
  if (handle == Current && handle != -1) {
    Current = -1;
    Whole = false;
  }
  Windowed.erase(handle);
  return TCABPacker::FileClose(handle, error);
}

void TPatchUnpacker::Show(bool error, const char* text) {
  if (error)
    Reporter->ReportError("%s", text);
  else
    Reporter->ReportInfo("%s", text);
}

bool TPatchUnpacker::RemoveTemporaryFiles() {
  Temporaries.clear();
  ExtractedHandle = INVALID_HANDLE_VALUE;
  return Folder.Remove();
}
