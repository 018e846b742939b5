// The console programs without the cabinet library: the "CAB Error" text goes to standard
// error and the program ends with its error code; no window waits for a user. Each program
// runs as a copy under its own name, for which Wine disables cabinet.dll.

#include <gtest/gtest.h>

#include <windows.h>

#include <string>

#include "tests/driver/e2e_process.h"
#include "console/command_line.h"

namespace {

std::string TempFolder() {
  char temp[MAX_PATH];
  GetTempPathA(MAX_PATH, temp);
  std::string folder = std::string(temp) + "console_tools_" + std::to_string(GetCurrentProcessId());
  CreateDirectoryA(folder.c_str(), nullptr);
  return folder;
}

struct TResult {
  bool Ended = false;
  DWORD ExitCode = 0;
  std::string Errors;
};

// Runs a copy of program named copyName with cabinet.dll disabled, standard error to a file.
TResult RunWithoutCabinet(const std::string& program, const char* copyName, const std::string& arguments) {
  const std::string folder = TempFolder();
  const std::string copy = folder + "\\" + copyName, errors = folder + "\\stderr.txt";
  TResult result;
  const std::string description = "[Application]\r\nName=APP.EXE\r\nDefaultPath=C:\\APP\\\r\nPatch=PATCH.CAB\r\n";
  HANDLE mni = CreateFileA((folder + "\\PATCH.MNI").c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, 0, nullptr);
  DWORD written = 0;
  WriteFile(mni, description.data(), DWORD(description.size()), &written, nullptr);
  CloseHandle(mni);
  // The installed application's main program, which -target names.
  CloseHandle(CreateFileA((folder + "\\APP.EXE").c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, 0, nullptr));
  if (!CopyFileA(e2e::WinePath(program).c_str(), copy.c_str(), FALSE)) return result;
  const std::string key = std::string("Software\\Wine\\AppDefaults\\") + copyName;
  HKEY overrides = nullptr;
  if (RegCreateKeyExA(HKEY_CURRENT_USER, (key + "\\DllOverrides").c_str(), 0, nullptr, 0, KEY_SET_VALUE, nullptr,
                      &overrides, nullptr) != ERROR_SUCCESS)
    return result;
  RegSetValueExA(overrides, "cabinet", 0, REG_SZ, reinterpret_cast<const BYTE*>(""), 1);
  RegCloseKey(overrides);

  SECURITY_ATTRIBUTES inherit{sizeof inherit, nullptr, TRUE};
  HANDLE errorFile = CreateFileA(errors.c_str(), GENERIC_WRITE, FILE_SHARE_READ, &inherit, CREATE_ALWAYS, 0, nullptr);
  STARTUPINFOA startup{};
  startup.cb = sizeof startup;
  startup.dwFlags = STARTF_USESTDHANDLES;
  startup.hStdInput = GetStdHandle(STD_INPUT_HANDLE);
  startup.hStdOutput = errorFile;
  startup.hStdError = errorFile;
  std::string command = "\"" + copy + "\" " + arguments;
  PROCESS_INFORMATION process{};
  if (CreateProcessA(nullptr, &command[0], nullptr, nullptr, TRUE, 0, nullptr, folder.c_str(), &startup, &process)) {
    // A message box would wait for ever: the test ends the child it started, by its handle.
    result.Ended = WaitForSingleObject(process.hProcess, 60000) == WAIT_OBJECT_0;
    if (!result.Ended) {
      TerminateProcess(process.hProcess, 99);
      WaitForSingleObject(process.hProcess, 5000);
    }
    GetExitCodeProcess(process.hProcess, &result.ExitCode);
    CloseHandle(process.hThread);
    CloseHandle(process.hProcess);
  }
  CloseHandle(errorFile);
  RegDeleteKeyA(HKEY_CURRENT_USER, (key + "\\DllOverrides").c_str());
  RegDeleteKeyA(HKEY_CURRENT_USER, key.c_str());

  HANDLE file = CreateFileA(errors.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING, 0, nullptr);
  char buffer[4096];
  DWORD got = 0;
  if (file != INVALID_HANDLE_VALUE && ReadFile(file, buffer, sizeof buffer, &got, nullptr))
    result.Errors.assign(buffer, got);
  if (file != INVALID_HANDLE_VALUE) CloseHandle(file);
  DeleteFileA(errors.c_str());
  DeleteFileA(copy.c_str());
  DeleteFileA((folder + "\\PATCH.MNI").c_str());
  DeleteFileA((folder + "\\APP.EXE").c_str());
  RemoveDirectoryA(folder.c_str());
  return result;
}

TEST(ConsoleTools, WithoutTheCabinetLibraryTheErrorGoesToStandardError) {
  struct Case {
    const char* Program;
    const char* Copy;
    const char* Arguments;
    DWORD ExitCode;
  } cases[] = {
      {MENDITCON_EXE, "menditcon_nocab.exe", "-target APP.EXE PATCH.MNI", ToolExitNothingDone},
      {MENDITCON_EXE, "menditcon_nocab.exe", "-check -target APP.EXE PATCH.MNI", ToolExitNothingDone},
      {MENDITWIZ_EXE, "menditwiz_nocab.exe", "C:\\OLD C:\\NEW APP.EXE C:\\APP C:\\OUT", ToolExitNothingDone},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(std::string(c.Copy) + " " + c.Arguments);
    const TResult result = RunWithoutCabinet(c.Program, c.Copy, c.Arguments);
    ASSERT_TRUE(result.Ended) << "still running after 60 s: waiting on a window?";
    EXPECT_EQ(c.ExitCode, result.ExitCode);
    EXPECT_NE(std::string::npos, result.Errors.find("CAB Error: Cannot load CABINET.DLL")) << result.Errors;
  }
}

}  // namespace
