// mendit: applies a vendor's patch to an installed application. A mendit.exe that carries a
// patch (written by menditwiz -exe) is the whole patch in one file; with /S it installs
// without a window (silent_options.h).

#include <windows.h>

#include <memory>
#include <string>
#include <vector>

#include "files/checked_output.h"
#include "files/disk_file_system.h"
#include "unattended/companion_run.h"
#include "menditor_app.h"
#include "silent_options.h"
#include "syslib/program_file.h"
#include "syslib/system_library.h"
#include "cabinet/cab_packer.h"

// The mark that tells menditwiz this program can carry a patch (payload.h: IsMenditStub).
extern "C" __attribute__((used)) const char MenditStubMark[] = "MENDIT-STUB-MARK-1: applies the patch it carries";

namespace {

std::string TempFolder() {
  char temp[MAX_PATH + 1] = "";
  const DWORD length = GetTempPathA(sizeof temp, temp);
  return length > 0 && length < sizeof temp ? temp : "";
}

// Text for a file that Notepad shows line by line.
std::string CrLf(const std::string& text) {
  std::string result;
  for (char c : text) {
    if (c == '\n') result += '\r';
    result += c;
  }
  return result;
}

}  // namespace

int WINAPI WinMain(HINSTANCE, HINSTANCE, LPSTR, int) {
  LimitDllSearchToSystemFolder();
  const int argc = __argc > 0 ? __argc - 1 : 0;
  const char* const* argv = __argv ? __argv + 1 : nullptr;
  TDiskFileSystem disk;
  const std::string program = ProgramFile();
  // The program file stays as it is now until the process ends: shared for reading only, it
  // can be neither written nor renamed and replaced by another. So the payload whose digest is
  // checked here, the signature the log names and the cabinet extracted are of one file.
  // (Where it cannot be held, as under a tool that has it open for writing, the run goes on.)
  if (!program.empty())
    CreateFileA(program.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
  const TCarriedPatch carried = program.empty() ? TCarriedPatch() : ReadCarriedPatch(disk, program);

  if (IsSilentCommandLine(argc, argv)) {
    // Nobody may be there to close a box: the cabinet binding's messages become rows.
    TCABPacker::SetConsoleMode(true);
    TCompanionOptions options;
    std::string error;
    const bool parsed = ParseSilentArguments(argc, argv, options, error);
    if (!parsed || options.Help) {
      // No console and no window: help and a command line that cannot run go to a file.
      const std::string text = (parsed ? std::string() : "mendit: " + error + "\r\n\r\n") +
                               CrLf(std::string(SilentUsageText) + ToolExitCodesText);
      const std::string path = SilentNotePath(options, TempFolder());
      // Never through a link planted at the name (an elevated script would empty its target).
      WriteCheckedFile(path, std::vector<uint8_t>(text.begin(), text.end()));
      return parsed ? ToolExitDone : ToolExitUsage;
    }
    // The run ends its own exceptions with a row in the log; what escapes before the log
    // is open still gets its exit code, never abort()'s 3 ("rolled back").
    try {
      return RunCompanion(options, nullptr, &carried);
    } catch (...) {
      return ToolExitInternal;
    }
  }
  if (argc == 1 && IsHelpOption(argv[0])) {
    const std::string text = std::string(SilentUsageText) + ToolExitCodesText;
    MessageBoxExA(nullptr, text.c_str(), "mendit", MB_ICONINFORMATION, 0);
    return ToolExitDone;
  }
  // A damaged patch says so once, before any window, and installs nothing.
  if (carried.State == TPayloadState::Damaged) {
    MessageBoxExA(nullptr, DamagedPatchText(program, carried.Problem).c_str(), DamagedPatchCaption,
                  MB_ICONHAND, 0);
    return ToolExitNothingDone;
  }
  TMenditorApp app(carried.State == TPayloadState::Found ? &carried : nullptr);
  return app.Run();
}
