// showdisk: the start-up screen of the distribution disc. Takes no arguments.
#include "setup_app.h"

int WINAPI WinMain(HINSTANCE, HINSTANCE, LPSTR, int) {
  TSetupApp app;
  return app.Run();
}
