#pragma once
// The folder a program's own file lies in: both window programs find their files beside
// themselves (mendit its description file, showdisk every disc item).

#include <string>

// The drive and directory of moduleFileName with the trailing backslash ("D:\DISC\" for
// "D:\DISC\SHOWDISK.EXE"), or empty when the name has no drive-letter-and-colon form (a
// network path): names then resolve against the current directory. Portable.
std::string ModuleFolderOf(const char* moduleFileName);

#ifdef _WIN32
// The folder of the running program (ModuleFolderOf its file name, read into nameSize
// characters). When the system cannot say, the box "GetModuleFileName failed!" is shown and
// the result is empty.
std::string ProgramFolder(unsigned long nameSize);
#endif
