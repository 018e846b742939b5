#include "missing_cabinet.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <cstring>

#include "cab_test_support.h"

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
// Wine reads DLL overrides per program name from the registry: a copy of this executable
// under its own name gets its own load order for cabinet.dll, and nothing else is affected.
// (Setting WINEDLLOVERRIDES in this process's environment does not reach a child it starts.)
void RunCopyWithCabinetOrder(const std::string& filter, const char* suffix, const char* loadOrder,
                             const std::string& plantedLibrary) {
  TScratchDir dir;
  char self[MAX_PATH];
  ASSERT_NE(0u, GetModuleFileNameA(nullptr, self, sizeof self));
  // Named after this test program: test programs run in parallel on one prefix, and each
  // removes its registry entry when its child ends, so they must not share one.
  std::string childName = self;
  childName = childName.substr(childName.find_last_of("\\/") + 1);
  childName = childName.substr(0, childName.find_last_of('.')) + suffix;
  ASSERT_TRUE(CopyFileA(self, (dir / childName).c_str(), FALSE));
  if (!plantedLibrary.empty()) {
    ASSERT_TRUE(CopyFileA(plantedLibrary.c_str(), (dir / "cabinet.dll").c_str(), FALSE));
  }
  const std::string key = std::string("Software\\Wine\\AppDefaults\\") + childName;
  HKEY overrides = nullptr;
  ASSERT_EQ(ERROR_SUCCESS, RegCreateKeyExA(HKEY_CURRENT_USER, (key + "\\DllOverrides").c_str(), 0, nullptr, 0,
                                           KEY_SET_VALUE, nullptr, &overrides, nullptr));
  RegSetValueExA(overrides, "cabinet", 0, REG_SZ, reinterpret_cast<const BYTE*>(loadOrder),
                 DWORD(std::strlen(loadOrder) + 1));
  RegCloseKey(overrides);

  std::string command = "\"" + (dir / childName) + "\" --gtest_filter=" + filter;
  SetEnvironmentVariableA(ChildVariable, "1");
  STARTUPINFOA startup{};
  startup.cb = sizeof startup;
  PROCESS_INFORMATION process{};
  const BOOL started =
      CreateProcessA(nullptr, &command[0], nullptr, nullptr, TRUE, 0, nullptr, nullptr, &startup, &process);
  SetEnvironmentVariableA(ChildVariable, nullptr);

  DWORD exitCode = 1;
  if (started) {
    if (WaitForSingleObject(process.hProcess, 60000) != WAIT_OBJECT_0) {
      TerminateProcess(process.hProcess, 99);  // the child this test started, by its handle
      WaitForSingleObject(process.hProcess, 5000);
      ADD_FAILURE() << "the child did not end within 60 s (a message box nobody closed?)";
    }
    GetExitCodeProcess(process.hProcess, &exitCode);
    CloseHandle(process.hThread);
    CloseHandle(process.hProcess);
  }
  RegDeleteKeyA(HKEY_CURRENT_USER, (key + "\\DllOverrides").c_str());
  RegDeleteKeyA(HKEY_CURRENT_USER, key.c_str());
  ASSERT_TRUE(started);
  EXPECT_EQ(0u, exitCode);
}
}  // namespace

void RunWithoutCabinet(const std::string& filter) { RunCopyWithCabinetOrder(filter, "_without_cabinet.exe", "", ""); }

void RunWithPlantedCabinet(const std::string& filter, const std::string& library) {
  RunCopyWithCabinetOrder(filter, "_planted_cabinet.exe", "n,b", library);
}
