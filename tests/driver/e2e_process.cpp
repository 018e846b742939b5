#include "e2e_process.h"

#include <vector>

namespace e2e {

Process::~Process() { End(); }

bool Process::Start(const std::string& commandLine, const std::string& workDir, WORD showCommand) {
  End();
  STARTUPINFOA startup = {};
  startup.cb = sizeof startup;
  startup.dwFlags = STARTF_USESHOWWINDOW;
  startup.wShowWindow = showCommand;
  PROCESS_INFORMATION info = {};
  std::vector<char> line(commandLine.begin(), commandLine.end());
  line.push_back('\0');
  if (!CreateProcessA(nullptr, line.data(), nullptr, nullptr, FALSE, 0, nullptr,
                      workDir.empty() ? nullptr : workDir.c_str(), &startup, &info))
    return false;
  CloseHandle(info.hThread);
  handle = info.hProcess;
  id = info.dwProcessId;
  // Let the program reach its message loop before anyone looks for its windows.
  WaitForInputIdle(handle, 10000);
  return true;
}

bool Process::Running() const {
  return handle && WaitForSingleObject(handle, 0) == WAIT_TIMEOUT;
}

bool Process::WaitForExit(unsigned timeoutMs, DWORD* exitCode) {
  if (!handle) return false;
  if (WaitForSingleObject(handle, timeoutMs) != WAIT_OBJECT_0) return false;
  if (exitCode) GetExitCodeProcess(handle, exitCode);
  return true;
}

void Process::End() {
  if (!handle) return;
  if (Running()) {
    TerminateProcess(handle, 1);
    WaitForSingleObject(handle, 5000);
  }
  CloseHandle(handle);
  handle = nullptr;
  id = 0;
}

std::string WinePath(const std::string& path) {
  if (path.empty() || path[0] != '/') return path;
  std::string out = "Z:" + path;
  for (char& c : out)
    if (c == '/') c = '\\';
  return out;
}

}  // namespace e2e
