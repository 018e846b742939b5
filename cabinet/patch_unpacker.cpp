#include "patch_unpacker.h"

#include <io.h>
#include <sys/stat.h>

#include <cstring>

#include "open_flags.h"

TPatchUnpacker::TPatchUnpacker(TPatchReporter* reporter) : Reporter(reporter) { Extracted[0] = '\0'; }

INT_PTR TPatchUnpacker::ExtractFile(FDINOTIFICATIONTYPE, PFDINOTIFICATION) {
  // Until this file is complete, ExtractedName names nothing usable: if the step fails
  // here, the caller must not go on with the previous file of the cabinet (or with an empty
  // temporary file) as if it were the patch data.
  char name[ExtractedNameSize];
  if (!GetTempFile(name, ExtractedNameSize - 1)) {
    Extracted[0] = '\0';
    Error("Cannot open temporary file");
    return -1;
  }
  Temporaries.emplace_back(name);
  const int handle = _open(name, cab_open::Binary | cab_open::WriteOnly | cab_open::Create,
                           _S_IREAD | _S_IWRITE);
  if (handle == -1) {
    Extracted[0] = '\0';
    return -1;
  }
  std::memcpy(Extracted, name, sizeof name);
  return handle;
}

INT_PTR TPatchUnpacker::CloseFileInfo(FDINOTIFICATIONTYPE, PFDINOTIFICATION record) {
  FinishExtractedFile(Extracted, record);
  return TRUE;
}

void TPatchUnpacker::Show(bool error, const char* text) {
  if (error)
    Reporter->ReportError("%s", text);
  else
    Reporter->ReportInfo("%s", text);
}

bool TPatchUnpacker::RemoveTemporaryFiles() {
  bool removed = true;
  std::vector<std::string> kept;
  for (const std::string& name : Temporaries) {
    SetFileAttributesA(name.c_str(), FILE_ATTRIBUTE_NORMAL);
    if (!DeleteFileA(name.c_str()) && GetLastError() != ERROR_FILE_NOT_FOUND) {
      removed = false;
      kept.push_back(name);
    }
  }
  Temporaries.swap(kept);
  return removed;
}
