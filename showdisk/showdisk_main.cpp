// showdisk: the start-up screen of the distribution disc. Takes no arguments.
#include <objbase.h>

#include "setup_app.h"
#include "syslib/system_library.h"

int WINAPI WinMain(HINSTANCE, HINSTANCE, LPSTR, int) {
  LimitDllSearchToSystemFolder();
  // The shell opens the disc's items; for verbs, shortcuts and documents handled by shell
  // extensions it needs COM on the calling thread, apartment-threaded, before ShellExecute.
  HRESULT com = CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED | COINIT_DISABLE_OLE1DDE);
  int exitCode = TSetupApp().Run();
  if (SUCCEEDED(com)) CoUninitialize();
  return exitCode;
}
