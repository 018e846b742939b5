#pragma once
// TProgressBar: the common controls' progress bar (msctls_progress32). Load the common
// controls (LoadCommonControls) before its dialog is created.

#include "framework/control.h"

class TProgressBar : public TControl {
 public:
  TProgressBar(TWindow* parent, int resourceId, HINSTANCE module = nullptr) : TControl(parent, resourceId, module) {}

  // PBM_SETPOS; the range stays the control's default 0-100 unless changed.
  void SetValue(int position);

 protected:
  const char* GetClassName() const override { return "msctls_progress32"; }
  bool RegisterClass() override { return true; }
};
