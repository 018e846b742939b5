// Stands in for a program on the test disc (an installer, a demo): leaves a marker file
// beside itself, named after its own file with ".ran" appended, that says how it was
// started, and ends. A window program, so that starting it shows nothing on the screen;
// with SHOWDISK_DEMO_TARGET set (the demo disc) it says in a message box what it is.
#include <windows.h>

#include <cstdio>
#include <cstdlib>

int WINAPI WinMain(HINSTANCE, HINSTANCE, LPSTR commandLine, int) {
  char path[MAX_PATH + 8] = "";
  DWORD length = GetModuleFileNameA(nullptr, path, MAX_PATH);
  if (length == 0 || length >= MAX_PATH) return 1;
  STARTUPINFOA startup = {};
  startup.cb = sizeof startup;
  GetStartupInfoA(&startup);
  const int show = (startup.dwFlags & STARTF_USESHOWWINDOW) ? startup.wShowWindow : -1;
  if (std::getenv("SHOWDISK_DEMO_TARGET")) MessageBoxA(nullptr, path, "Started from the demo disc", MB_OK);
  lstrcatA(path, ".ran");
  FILE* marker = std::fopen(path, "w");
  if (!marker) return 1;
  std::fprintf(marker, "show=%d\nargs=%s\n", show, commandLine);
  std::fclose(marker);
  return 0;
}
