#include "framework/module_folder.h"

#include "pattern/pattern.h"

std::string ModuleFolderOf(const char* moduleFileName) {
  // The group takes the shortest text up to a colon ("/:" is a literal colon), the colon,
  // a backslash, then as many shortest runs ending in a backslash as possible: everything
  // up to the last backslash. The file name follows.
  TPattern dir("{*/:\\(*\\)#}*");
  dir.Match(moduleFileName);
  // After a failed match the tag is empty.
  return TPattern::Tag(1);
}
