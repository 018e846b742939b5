#pragma once
// The Restart Manager (rstrtmgr.dll, from the system folder only), asked which programs hold
// a file. The library is bound at run time: systems without it, and Wine, whose functions
// succeed but name no process (Wine 8), give an empty list, and the caller names the file alone.

#include <string>
#include <vector>

// The names of the programs that hold the file at path (their descriptive names, or their
// process ids where they have none); empty when the system cannot tell.
std::vector<std::string> ProgramsHolding(const std::string& path);
