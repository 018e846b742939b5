// The directory part of the launcher's own file name, as every disc item is found beside it.
#pragma once
#include <string>

// The drive and directory of moduleFileName with the trailing backslash ("D:\DISC\" for
// "D:\DISC\SHOWDISK.EXE"), or empty when the name has no drive-letter-and-colon form (a
// network path): targets then resolve against the current directory.
std::string ModuleDirOf(const char* moduleFileName);
