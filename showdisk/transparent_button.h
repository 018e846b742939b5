// TTransparentButton: an invisible push button over a background picture.
//
// The button is an owner-drawn control of a dialog template and paints nothing, in any
// state, so the picture beneath (a picture control of the same dialog) shows through,
// caption included. While the pointer is over it the button inverts its whole area; that
// is the only feedback. Every inversion that highlights is matched by exactly one that
// restores: on leaving (seen through the capture held while highlighted), on the left
// button's release and on losing the focus. Clicking works as with any push button.
#pragma once

#include "framework/button.h"

class TTransparentButton : public TButton {
 public:
  // Attaches to the control with this id that the parent dialog's template creates.
  TTransparentButton(TWindow* parent, int resourceId, HINSTANCE module = nullptr);
  ~TTransparentButton() override;

  // Owner drawing: nothing, for every action.
  void DrawItem(DRAWITEMSTRUCT& item) override;

  bool IsHighlighted() const { return Highlighted; }

 protected:
  bool Respond(const TMessage& msg, LRESULT& result) override;

  virtual LRESULT EvEraseBkgnd(WPARAM wParam, LPARAM lParam);
  virtual LRESULT EvMouseMove(WPARAM wParam, LPARAM lParam);

 public:
  // Drops the highlight on the left button's release before the system button sees it.
  bool PreProcessMsg(MSG& msg) override;

 protected:
  virtual LRESULT EvKillFocus(WPARAM wParam, LPARAM lParam);
  LRESULT EvPaletteChanged(WPARAM wParam, LPARAM lParam);

 private:
  // Inverts the button's whole area on the screen; doing it twice restores the picture.
  void Invert();

  bool Highlighted = false;
};
