#pragma once
// TButton: a push button (class "BUTTON").

#include "framework/control.h"

class TButton : public TControl {
 public:
  TButton(TWindow* parent, int resourceId, HINSTANCE module = nullptr) : TControl(parent, resourceId, module) {}
  TButton(TWindow* parent, int id, const char* text, int x, int y, int w, int h, HINSTANCE module = nullptr)
      : TControl(parent, id, text, x, y, w, h, module) {
    Attr.Style |= BS_PUSHBUTTON;
  }

 protected:
  const char* GetClassName() const override { return "BUTTON"; }
  bool RegisterClass() override { return true; }
};
