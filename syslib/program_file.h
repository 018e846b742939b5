#pragma once
// The running program's own file, by one rule for every program: the name the system gives
// in UTF-16, as an 8-bit path the file services can open. Where the ANSI code page lacks a
// character of the long name (converted without best fit, so no look-alike ever stands for
// it), its short 8.3 form is used instead.

#include <string>

// Empty when the system cannot say, or neither form converts (a volume without short names).
std::string ProgramFile();

// The folder of ProgramFile with its trailing backslash ("C:\APP\"); empty when it has none.
std::string ProgramFileFolder();
