// mendit: applies a vendor's patch to an installed application.

#include <windows.h>

#include "menditor_app.h"

int WINAPI WinMain(HINSTANCE, HINSTANCE, LPSTR, int) {
  TMenditorApp app;
  return app.Run();
}
