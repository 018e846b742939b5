// The console programs without the cabinet library: the "CAB Error" text goes to standard
// error and the program ends with its error code; no window waits for a user. Each program
// runs as a copy under its own name, for which Wine disables cabinet.dll.

#include <gtest/gtest.h>

#include <windows.h>

#include <string>

#include "tests/driver/e2e_process.h"
#include "console/command_line.h"
#include "tests/support/without_cabinet.h"

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
  const std::string errors = folder + "\\stderr.txt";
  const std::string description = "[Application]\r\nName=APP.EXE\r\nDefaultPath=C:\\APP\\\r\nPatch=PATCH.CAB\r\n";
  HANDLE mni = CreateFileA((folder + "\\PATCH.MNI").c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, 0, nullptr);
  DWORD written = 0;
  WriteFile(mni, description.data(), DWORD(description.size()), &written, nullptr);
  CloseHandle(mni);
  // The installed application's main program, which -target names.
  CloseHandle(CreateFileA((folder + "\\APP.EXE").c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, 0, nullptr));
  const TChildRun run =
      RunCopyWithoutCabinet(e2e::WinePath(program), folder, copyName, arguments, errors, nullptr, 60000);
  TResult result;
  result.Ended = run.Started && run.Ended;
  result.ExitCode = run.ExitCode;

  HANDLE file = CreateFileA(errors.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING, 0, nullptr);
  char buffer[4096];
  DWORD got = 0;
  if (file != INVALID_HANDLE_VALUE && ReadFile(file, buffer, sizeof buffer, &got, nullptr))
    result.Errors.assign(buffer, got);
  if (file != INVALID_HANDLE_VALUE) CloseHandle(file);
  DeleteFileA(errors.c_str());
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
