#pragma once
// TControl: a child control, either attached to the item of the parent dialog's template that
// has its id, or created by code at a position of its own.
//
// Attached controls are subclassed, so their response tables see every message (mouse
// moves, erasing, focus changes) before the system control does. Owner drawing arrives from
// the parent as DrawItem and is split into the three owner-draw actions.

#include "framework/window.h"

class TControl : public TWindow {
 public:
  // Attaches to the template item with this id when the parent is set up.
  TControl(TWindow* parent, int resourceId, HINSTANCE module = nullptr);
  // Creates a control of its own inside the parent.
  TControl(TWindow* parent, int id, const char* title, int x, int y, int w, int h, HINSTANCE module = nullptr);

  int GetId() const { return Attr.Id; }
  void DrawItem(DRAWITEMSTRUCT& item) override;

 protected:
  virtual void ODADrawEntire(DRAWITEMSTRUCT& item);
  virtual void ODAFocus(DRAWITEMSTRUCT& item);
  virtual void ODASelect(DRAWITEMSTRUCT& item);
};
