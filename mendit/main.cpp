// mendit: applies a vendor's patch to an installed application.

#include <windows.h>

#include "menditor_app.h"
#include "syslib/system_library.h"

int WINAPI WinMain(HINSTANCE, HINSTANCE, LPSTR, int) {
  LimitDllSearchToSystemFolder();
  TMenditorApp app;
  return app.Run();
}
