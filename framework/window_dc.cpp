#include "framework/window_dc.h"

TWindowDC::TWindowDC(HWND window) : TDC(GetWindowDC(window)), Window(window) {}

TWindowDC::~TWindowDC() {
  // Restore before the context goes back to the system.
  Restore();
  ReleaseDC(Window, Handle);
}
