#pragma once
// Running a Windows program without the system cabinet library, for the tests of what the
// programs do then. Wine reads DLL overrides per program name from the registry: a copy of
// the program under a name of its own gets cabinet.dll disabled, and nothing else is
// affected. (WINEDLLOVERRIDES in a process's environment does not reach a child it starts.)

#include <windows.h>

#include <string>

struct TChildRun {
  bool Started = false;
  bool Ended = false;  // within the time allowed; otherwise the child was ended
  DWORD ExitCode = 1;
};

// Copies program (a Windows path) into folder as copyName, disables cabinet.dll for that
// name, and runs it there with arguments (standard output and error to outputFile when it
// is not empty; the environment variable childVariable set to "1" when given) for at most
// timeoutMs. The registry entry and the copy go again afterwards.
TChildRun RunCopyWithoutCabinet(const std::string& program, const std::string& folder, const std::string& copyName,
                                const std::string& arguments, const std::string& outputFile,
                                const char* childVariable, DWORD timeoutMs);
// The same with cabinet.dll's load order for the copy given ("" disables it; "n,b" prefers a
// library beside the program), and plantedLibrary, when given, copied beside it as cabinet.dll.
TChildRun RunCopyWithCabinetOrder(const std::string& program, const std::string& folder, const std::string& copyName,
                                  const std::string& arguments, const std::string& outputFile,
                                  const char* childVariable, DWORD timeoutMs, const char* loadOrder,
                                  const std::string& plantedLibrary);
