#pragma once
// System libraries loaded from the system folder only. A library loaded by its bare name is
// looked for in the program's folder first, so a file of the same name planted beside the
// program would run with its rights (mendit runs elevated).

#include <windows.h>

#include <string>

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

// Sets entry to the function name of library (loaded by LoadSystemLibrary), or to null when
// the library lacks it; every caller checks its entries before use.
template <typename T>
void ResolveEntry(HMODULE library, const char* name, T& entry) {
  entry = reinterpret_cast<T>(reinterpret_cast<void*>(GetProcAddress(library, name)));
}

// Texts the system gives in UTF-16 (names of certificates, of programs), in the 8-bit code
// page of the log and the file services; characters it lacks become '?', never a look-alike
// (no best fit: a full-width "A" is '?', not "A"). And back: an 8-bit
// path for a function that takes only UTF-16. Empty when the system cannot convert.
std::string AnsiText(const wchar_t* text);
std::wstring WideText(const std::string& text);
