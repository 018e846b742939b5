// Starting and ending the program under test.
#pragma once
#include <windows.h>

#include <string>

namespace e2e {

// A started process; owns its handle. Ends the process on destruction if it still runs,
// so a failing test does not leave windows behind for the next one.
class Process {
 public:
  Process() = default;
  ~Process();
  Process(const Process&) = delete;
  Process& operator=(const Process&) = delete;

  // Starts commandLine (program path first, quoted if it holds spaces) in workDir
  // (empty: the driver's own), with showCommand as the start-up show command
  // (STARTUPINFO wShowWindow). Returns false if the system refused.
  bool Start(const std::string& commandLine, const std::string& workDir = "",
             WORD showCommand = SW_SHOWNORMAL);

  DWORD Id() const { return id; }
  bool Running() const;
  // Waits for the process to end; true with its exit code, false on timeout.
  bool WaitForExit(unsigned timeoutMs, DWORD* exitCode = nullptr);
  // Terminates the process if it still runs and waits for it.
  void End();

 private:
  HANDLE handle = nullptr;
  DWORD id = 0;
};

// Turns a Unix path (as the build system knows files) into the Windows path Wine maps
// it to (drive Z: is the Unix root); other paths are returned unchanged.
std::string WinePath(const std::string& path);

}  // namespace e2e
