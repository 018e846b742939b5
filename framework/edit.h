#pragma once
// TEdit: a single-line edit control (class "EDIT").

#include "framework/control.h"

class TEdit : public TControl {
 public:
  // textLimit counts the terminating zero, as the size of a buffer that must hold the text:
  // the user can type textLimit - 1 characters. 0 leaves the system's limit.
  TEdit(TWindow* parent, int resourceId, int textLimit = 0, HINSTANCE module = nullptr);

  void SetupWindow() override;
  void LimitText(int maxChars);

 protected:
  const char* GetClassName() const override { return "EDIT"; }
  bool RegisterClass() override { return true; }

 private:
  int TextLimit;
};
