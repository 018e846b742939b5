#include "framework/client_dc.h"

TClientDC::TClientDC(HWND window) : TDC(GetDC(window)), Window(window) {}

TClientDC::~TClientDC() {
  // Restore before the context goes back to the system.
  Restore();
  ReleaseDC(Window, Handle);
}
