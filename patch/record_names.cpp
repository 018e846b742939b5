#include "record_names.h"

#include <cstring>

bool ExtensionIs(const TPathName& name, const char* extension) {
  const char* own = name.Extension();
  if (*own == '.') ++own;
  return std::strcmp(own, extension) == 0;
}

namespace {

// target with another extension: the first, or the second when target already has the first.
std::string Beside(const TPathName& target, const char* extension, const char* otherwise, std::string* fileName) {
  TPathName name(target);
  name.SetExtension(ExtensionIs(target, extension) ? otherwise : extension);
  std::string path = name.FullPath(false);
  if (fileName) *fileName = name.FileName();
  return path;
}

}  // namespace

TRecordNames::TRecordNames(const std::string& expanded) : Expanded(expanded), Name(expanded) {
  Target = Name.FullPath(false);
  TargetFile = Name.FileName();
  Backup = Beside(Name, BackupExtension, BackupExtension, &BackupFile);
  Scratch = Beside(Name, "$$N", "$$M", nullptr);
  CopyScratch = Beside(Name, "$$C", "$$D", nullptr);
  Aside = Beside(Name, "$$B", "$$A", nullptr);
}
