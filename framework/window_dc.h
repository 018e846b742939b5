#pragma once
// TWindowDC: the context of a whole window, frame included (GetWindowDC / ReleaseDC).

#include "framework/dc.h"

class TWindowDC : public TDC {
 public:
  // Throws TGdiFailure when the system gives no context.
  explicit TWindowDC(HWND window);
  ~TWindowDC() override;

 private:
  HWND Window;
};
