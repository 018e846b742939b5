#include "framework/dc.h"

#include "framework/gdi_failure.h"

TDC::TDC(HDC dc) : Handle(dc), SavedState(0) {
  if (!Handle) throw TGdiFailure();
  SavedState = SaveDC(Handle);
}

TDC::~TDC() { Restore(); }

void TDC::Restore() {
  if (SavedState) RestoreDC(Handle, SavedState);
  SavedState = 0;
}
