#pragma once
// TClientDC: the context of a window's client area (GetDC / ReleaseDC).

#include "framework/dc.h"

class TClientDC : public TDC {
 public:
  // Throws TGdiFailure when the system gives no context.
  explicit TClientDC(HWND window);
  ~TClientDC() override;

 private:
  HWND Window;
};
