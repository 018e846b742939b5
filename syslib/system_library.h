#pragma once
// System libraries loaded from the system folder only. A library loaded by its bare name is
// looked for in the program's folder first, so a file of the same name planted beside the
// program would run with its rights (mendit runs elevated).

#include <windows.h>

// Loads the system library `name` (a file name without folder, such as "cabinet.dll") from
// the system folder: with LOAD_LIBRARY_SEARCH_SYSTEM32 where the system knows that flag,
// else by its full path in GetSystemDirectoryA's folder. Null when it cannot be loaded (or
// name holds a folder).
HMODULE LoadSystemLibrary(const char* name);

// Called first by every program: every later load by bare name (the programs' own, and the
// system libraries' loads of further libraries) searches the system folder only, through
// SetDefaultDllDirectories where kernel32 has it. Older systems get the current folder
// taken out of the search (SetDllDirectoryA with an empty text); the program's folder stays
// in theirs.
void LimitDllSearchToSystemFolder();
