#include "restart_manager_win32.h"

#include <windows.h>
#include <restartmanager.h>

#include <algorithm>

#include "syslib/system_library.h"

namespace {

using TRmStartSession = DWORD(WINAPI*)(DWORD*, DWORD, WCHAR*);
using TRmRegisterResources = DWORD(WINAPI*)(DWORD, UINT, LPCWSTR*, UINT, RM_UNIQUE_PROCESS*, UINT, LPCWSTR*);
using TRmGetList = DWORD(WINAPI*)(DWORD, UINT*, UINT*, RM_PROCESS_INFO*, DWORD*);
using TRmEndSession = DWORD(WINAPI*)(DWORD);

struct TRestartManager {
  TRmStartSession StartSession = nullptr;
  TRmRegisterResources RegisterResources = nullptr;
  TRmGetList GetList = nullptr;
  TRmEndSession EndSession = nullptr;

  TRestartManager() {
    HMODULE library = LoadSystemLibrary("rstrtmgr.dll");  // kept for the process's life
    if (!library) return;
    ResolveEntry(library, "RmStartSession", StartSession);
    ResolveEntry(library, "RmRegisterResources", RegisterResources);
    ResolveEntry(library, "RmGetList", GetList);
    ResolveEntry(library, "RmEndSession", EndSession);
  }
  bool Bound() const { return StartSession && RegisterResources && GetList && EndSession; }
};

}  // namespace

std::vector<std::string> ProgramsHolding(const std::string& path) {
  static const TRestartManager manager;
  std::vector<std::string> names;
  WCHAR widePath[MAX_PATH + 1] = L"";
  if (!manager.Bound() || MultiByteToWideChar(CP_ACP, 0, path.c_str(), -1, widePath, MAX_PATH) == 0) return names;
  DWORD session = 0;
  WCHAR key[CCH_RM_SESSION_KEY + 1] = L"";
  if (manager.StartSession(&session, 0, key) != ERROR_SUCCESS) return names;
  LPCWSTR files[] = {widePath};
  std::vector<RM_PROCESS_INFO> processes(4);
  if (manager.RegisterResources(session, 1, files, 0, nullptr, 0, nullptr) == ERROR_SUCCESS) {
    // The list may grow between the two calls: ask again a few times.
    for (int attempt = 0; attempt < 3; ++attempt) {
      UINT needed = 0, count = static_cast<UINT>(processes.size());
      DWORD reasons = 0;
      const DWORD result = manager.GetList(session, &needed, &count, processes.data(), &reasons);
      if (result == ERROR_MORE_DATA && needed > processes.size() && needed < 4096) {
        processes.resize(needed);
        continue;
      }
      if (result == ERROR_SUCCESS)
        for (UINT i = 0; i < count && i < processes.size(); ++i) {
          std::string name = AnsiText(processes[i].strAppName);
          if (name.empty()) name = "process " + std::to_string(processes[i].Process.dwProcessId);
          if (std::find(names.begin(), names.end(), name) == names.end()) names.push_back(name);  // one per program
        }
      break;
    }
  }
  manager.EndSession(session);
  return names;
}
