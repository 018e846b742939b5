#include "test_disc.h"

#include <windows.h>

#include <fstream>
#include <sstream>

#include "tests/driver/e2e_driver.h"

const char* const TestDisc::ProgramTargets[] = {
    "VORNAX\\SETUP.EXE", "MENDIT\\SETUP.EXE", "WIN95\\EN\\PACKAGES\\IE4SETUP.EXE", "PPV\\PPView97.EXE", nullptr};

namespace {

// Creates every directory on the way to path's file.
void MakeParents(const std::string& path) {
  for (size_t at = path.find('\\', 3); at != std::string::npos; at = path.find('\\', at + 1))
    CreateDirectoryA(path.substr(0, at).c_str(), nullptr);
}

}  // namespace

bool TestDisc::Build(const std::string& root) {
  char full[MAX_PATH] = "";
  if (!GetFullPathNameA(root.c_str(), MAX_PATH, full, nullptr)) return false;
  Root = full;
  if (Root.back() != '\\') Root += '\\';
  MakeParents(Root);
  bool ok = CopyFileA(e2e::WinePath(SHOWDISK_EXE).c_str(), Launcher().c_str(), FALSE) != 0;
  for (const char* const* target = ProgramTargets; *target; ++target) {
    MakeParents(Path(*target));
    ok = CopyFileA(e2e::WinePath(DISC_TARGET_EXE).c_str(), Path(*target).c_str(), FALSE) && ok;
    RemoveMarker(*target);
  }
  // A presentation with no program to show it; the Internet shortcut and the Wirescope
  // demo are missing from this disc.
  std::ofstream(Path("VORNAX.PPT")) << "not a presentation\n";
  DeleteFileA(Path("OPISY.URL").c_str());
  DeleteFileA(Path("WSDEMO\\WS.PIF").c_str());
  return ok;
}

std::string TestDisc::Path(const std::string& relative) const { return Root + relative; }

std::string TestDisc::ReadMarker(const std::string& target) const {
  std::ifstream in(MarkerOf(target));
  std::stringstream text;
  text << in.rdbuf();
  return text.str();
}

void TestDisc::RemoveMarker(const std::string& target) const { DeleteFileA(MarkerOf(target).c_str()); }
