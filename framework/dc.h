#pragma once
// TDC: a device context for the length of one drawing function.
//
// The state of the context (selected objects, colours, modes) is saved on construction and
// restored on destruction, so whatever the drawing code selects is put back in the same
// function, however it leaves. This base wraps a context it does not own (the one that comes
// with WM_DRAWITEM or WM_ERASEBKGND); TWindowDC and TClientDC get and release their own.

#include <windows.h>

class TDC {
 public:
  // Throws TGdiFailure when dc is null.
  explicit TDC(HDC dc);
  virtual ~TDC();
  TDC(const TDC&) = delete;
  TDC& operator=(const TDC&) = delete;

  HDC GetHDC() const { return Handle; }
  operator HDC() const { return Handle; }

 protected:
  // Puts back the state saved on construction (once).
  void Restore();

  HDC Handle;

 private:
  int SavedState;
};
