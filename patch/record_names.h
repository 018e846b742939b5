#pragma once
// The names one record's step works with, formed once per record from its expanded path
// (ResolveRecordPath): the target, the backup a rebuild keeps of the previous version, the
// scratch names new content is written under before it takes the target's place, and the
// name an earlier backup is put aside under. The installer and the look for files in use
// take them from here; nothing else forms them.

#include <string>

#include "paths/path_name.h"

// The extension of the backup in which a modify or difference record keeps the previous
// version.
inline constexpr char BackupExtension[] = "$$$";

// Whether name's extension is extension (given without its full stop). A split keeps the
// full stop in front of the extension; an extension set directly may lack it.
bool ExtensionIs(const TPathName& name, const char* extension);

struct TRecordNames {
  explicit TRecordNames(const std::string& expanded);

  std::string Expanded;     // the record's path, macros expanded, as spelt
  TPathName Name;           // Expanded split; Name.Cut() when it did not fit whole
  std::string Target;       // the whole path, upper case
  std::string TargetFile;   // the file name alone, case kept (for rows)
  std::string Backup;       // "$$$": the previous version of a rebuilt file
  std::string BackupFile;
  // Each scratch name takes a neighbouring letter when the target itself is named so, and is
  // empty when it does not fit a path.
  std::string Scratch;      // "$$N" ("$$M"): a rebuild's new version
  std::string CopyScratch;  // "$$C" ("$$D"): a copy's new content over an existing file
  std::string Aside;        // "$$B" ("$$A"): an earlier backup, until the renames that need its name worked
};
