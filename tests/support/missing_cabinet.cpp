#include "tests/support/missing_cabinet.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <cstring>

#include "tests/support/cab_test_support.h"
#include "tests/support/without_cabinet.h"

namespace {
const char* const ChildVariable = "CABINET_TEST_CHILD";

BOOL CALLBACK FindBox(HWND window, LPARAM found) {
  DWORD process = 0;
  GetWindowThreadProcessId(window, &process);
  char className[16] = "";
  GetClassNameA(window, className, sizeof className);
  if (process != GetCurrentProcessId() || std::string(className) != "#32770" || !IsWindowVisible(window))
    return TRUE;
  *reinterpret_cast<HWND*>(found) = window;
  return FALSE;
}
BOOL CALLBACK FindText(HWND child, LPARAM text) {
  char className[16] = "", buffer[1100] = "";
  GetClassNameA(child, className, sizeof className);
  GetWindowTextA(child, buffer, sizeof buffer);
  if (_stricmp(className, "Static") != 0 || !buffer[0]) return TRUE;
  *reinterpret_cast<std::string*>(text) = buffer;
  return FALSE;
}
// The icon static of a message box: the one static that holds an icon.
BOOL CALLBACK FindIcon(HWND child, LPARAM icon) {
  HICON shown = reinterpret_cast<HICON>(SendMessageA(child, STM_GETICON, 0, 0));
  if (!shown) return TRUE;
  *reinterpret_cast<HICON*>(icon) = shown;
  return FALSE;
}
}  // namespace

const TBox LoadFailureBox{"CAB Error", "Cannot load CABINET.DLL", true, false};

std::ostream& operator<<(std::ostream& out, const TBox& box) {
  return out << "{" << box.Caption << ", " << box.Text << ", error icon " << box.IconIsError
             << ", information icon " << box.IconIsInformation << "}";
}

void TBoxWatcher::Watch() {
  while (!done) {
    HWND box = nullptr;
    EnumWindows(FindBox, reinterpret_cast<LPARAM>(&box));
    if (!box) {
      Sleep(20);
      continue;
    }
    Sleep(50);  // let the box finish building its controls
    TBox seen;
    char caption[100] = "";
    GetWindowTextA(box, caption, sizeof caption);
    seen.Caption = caption;
    EnumChildWindows(box, FindText, reinterpret_cast<LPARAM>(&seen.Text));
    HICON icon = nullptr;
    EnumChildWindows(box, FindIcon, reinterpret_cast<LPARAM>(&icon));
    seen.IconIsError = icon && icon == LoadIcon(nullptr, IDI_ERROR);
    seen.IconIsInformation = icon && icon == LoadIcon(nullptr, IDI_INFORMATION);
    {
      std::lock_guard<std::mutex> lock(mutex);
      boxes.push_back(seen);
    }
    PostMessageA(box, WM_COMMAND, MAKEWPARAM(IDOK, BN_CLICKED), 0);
    while (IsWindow(box)) Sleep(10);
  }
}

bool IsCabinetMissingChild() { return std::getenv(ChildVariable) != nullptr; }

bool DisplayAvailable() {
  HWND probe = CreateWindowExA(0, "STATIC", "", WS_POPUP, 0, 0, 1, 1, nullptr, nullptr, nullptr, nullptr);
  if (!probe) return false;
  DestroyWindow(probe);
  return true;
}

namespace {
// The copy is named after this test program: test programs run in parallel on one prefix,
// and each removes its registry entry when its child ends, so they must not share one.
void RunCopy(const std::string& filter, const char* suffix, const char* loadOrder, const std::string& planted) {
  TScratchFolder dir("cabtest", true);
  char self[MAX_PATH];
  ASSERT_NE(0u, GetModuleFileNameA(nullptr, self, sizeof self));
  std::string childName = self;
  childName = childName.substr(childName.find_last_of("\\/") + 1);
  childName = childName.substr(0, childName.find_last_of('.')) + suffix;
  const TChildRun run = RunCopyWithCabinetOrder(self, dir.Path(), childName, "--gtest_filter=" + filter, "",
                                                ChildVariable, 60000, loadOrder, planted);
  if (run.Started && !run.Ended) ADD_FAILURE() << "the child did not end within 60 s (a message box nobody closed?)";
  ASSERT_TRUE(run.Started);
  EXPECT_EQ(0u, run.ExitCode);
}
}  // namespace

void RunWithoutCabinet(const std::string& filter) { RunCopy(filter, "_without_cabinet.exe", "", ""); }

void RunWithPlantedCabinet(const std::string& filter, const std::string& library) {
  RunCopy(filter, "_planted_cabinet.exe", "n,b", library);
}
