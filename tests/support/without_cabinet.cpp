#include "tests/support/without_cabinet.h"

#include <cstring>

TChildRun RunCopyWithoutCabinet(const std::string& program, const std::string& folder, const std::string& copyName,
                                const std::string& arguments, const std::string& outputFile,
                                const char* childVariable, DWORD timeoutMs) {
  return RunCopyWithCabinetOrder(program, folder, copyName, arguments, outputFile, childVariable, timeoutMs, "", "");
}

TChildRun RunCopyWithCabinetOrder(const std::string& program, const std::string& folder, const std::string& copyName,
                                  const std::string& arguments, const std::string& outputFile,
                                  const char* childVariable, DWORD timeoutMs, const char* loadOrder,
                                  const std::string& plantedLibrary) {
  TChildRun run;
  const std::string copy = folder + "\\" + copyName;
  if (!CopyFileA(program.c_str(), copy.c_str(), FALSE)) return run;
  if (!plantedLibrary.empty() && !CopyFileA(plantedLibrary.c_str(), (folder + "\\cabinet.dll").c_str(), FALSE)) {
    DeleteFileA(copy.c_str());
    return run;
  }
  const std::string key = std::string("Software\\Wine\\AppDefaults\\") + copyName;
  HKEY overrides = nullptr;
  if (RegCreateKeyExA(HKEY_CURRENT_USER, (key + "\\DllOverrides").c_str(), 0, nullptr, 0, KEY_SET_VALUE, nullptr,
                      &overrides, nullptr) != ERROR_SUCCESS) {
    DeleteFileA(copy.c_str());
    return run;
  }
  RegSetValueExA(overrides, "cabinet", 0, REG_SZ, reinterpret_cast<const BYTE*>(loadOrder),
                 static_cast<DWORD>(std::strlen(loadOrder) + 1));
  RegCloseKey(overrides);

  HANDLE output = INVALID_HANDLE_VALUE;
  STARTUPINFOA startup{};
  startup.cb = sizeof startup;
  if (!outputFile.empty()) {
    SECURITY_ATTRIBUTES inherit{sizeof inherit, nullptr, TRUE};
    output = CreateFileA(outputFile.c_str(), GENERIC_WRITE, FILE_SHARE_READ, &inherit, CREATE_ALWAYS, 0, nullptr);
    startup.dwFlags = STARTF_USESTDHANDLES;
    startup.hStdInput = GetStdHandle(STD_INPUT_HANDLE);
    startup.hStdOutput = output;
    startup.hStdError = output;
  }
  std::string command = "\"" + copy + "\" " + arguments;
  if (childVariable) SetEnvironmentVariableA(childVariable, "1");
  PROCESS_INFORMATION process{};
  run.Started = CreateProcessA(nullptr, &command[0], nullptr, nullptr, TRUE, 0, nullptr, folder.c_str(), &startup,
                               &process) != 0;
  if (childVariable) SetEnvironmentVariableA(childVariable, nullptr);
  if (run.Started) {
    // A message box would wait for ever: the child this test started is ended, by its handle.
    run.Ended = WaitForSingleObject(process.hProcess, timeoutMs) == WAIT_OBJECT_0;
    if (!run.Ended) {
      TerminateProcess(process.hProcess, 99);
      WaitForSingleObject(process.hProcess, 5000);
    }
    GetExitCodeProcess(process.hProcess, &run.ExitCode);
    CloseHandle(process.hThread);
    CloseHandle(process.hProcess);
  }
  if (output != INVALID_HANDLE_VALUE) CloseHandle(output);
  RegDeleteKeyA(HKEY_CURRENT_USER, (key + "\\DllOverrides").c_str());
  RegDeleteKeyA(HKEY_CURRENT_USER, key.c_str());
  DeleteFileA(copy.c_str());
  return run;
}
