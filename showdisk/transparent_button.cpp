#include "transparent_button.h"

#include <windowsx.h>

#include "framework/application.h"
#include "framework/response_table.h"
#include "framework/window_dc.h"

TTransparentButton::TTransparentButton(TWindow* parent, int resourceId, HINSTANCE module)
    : TButton(parent, resourceId, module) {}

TTransparentButton::~TTransparentButton() = default;

void TTransparentButton::DrawItem(DRAWITEMSTRUCT&) {}

bool TTransparentButton::Respond(const TMessage& msg, LRESULT& result) {
  using R = TResponse<TTransparentButton>;
  static const R table[] = {
      R::Message(WM_PALETTECHANGED, &TTransparentButton::EvPaletteChanged),
      R::Message(WM_ERASEBKGND, &TTransparentButton::EvEraseBkgnd),
      R::Message(WM_MOUSEMOVE, &TTransparentButton::EvMouseMove),
      R::Message(WM_KILLFOCUS, &TTransparentButton::EvKillFocus),
  };
  return R::Find(this, table, msg, result) || TButton::Respond(msg, result);
}

LRESULT TTransparentButton::EvPaletteChanged(WPARAM, LPARAM) { return DefaultProcessing(); }

LRESULT TTransparentButton::EvEraseBkgnd(WPARAM, LPARAM) {
  // Erased as far as the system is concerned: no brush may cover the picture.
  return TRUE;
}

LRESULT TTransparentButton::EvMouseMove(WPARAM, LPARAM lParam) {
  // Let queued input and painting go first, so the highlight follows the newest state.
  TApplication::PumpWaitingMessages();
  // The pump may have handled newer moves (here or in nested calls of this handler), so
  // this message's point can be stale by now: deciding on it would leave the area inverted
  // with the pointer elsewhere. Decide on where the pointer is now; the message's point
  // only when the system cannot tell.
  POINT point;
  if (!GetCursorPos(&point)) {
    RECT window = GetWindowRect();
    // Signed: with the capture held the point may lie left of or above the button.
    point = {GET_X_LPARAM(lParam) + window.left, GET_Y_LPARAM(lParam) + window.top};
  }
  const bool over = WindowFromPoint(point) == Handle;
  if (!Highlighted && over) {
    // The capture lets this button see the pointer leave, even out of the launcher.
    SetCapture(Handle);
    // A move made before the capture was taken went to another window: check the pointer
    // once more now that every later move comes here.
    if (GetCursorPos(&point) && WindowFromPoint(point) != Handle) {
      ReleaseCapture();
      return 0;
    }
    Highlighted = true;
    Invert();
  } else if (Highlighted && !over) {
    Highlighted = false;
    ReleaseCapture();
    Invert();
  }
  // Not passed on: the system button has no hover look of its own to track.
  return 0;
}

bool TTransparentButton::PreProcessMsg(MSG& msg) {
  bool consumed = TButton::PreProcessMsg(msg);
  if (msg.message == WM_LBUTTONUP && Highlighted) {
    // Restore the picture before the system button sends BN_CLICKED and the item starts.
    // The capture stays: the system button's own release handling ends it.
    Highlighted = false;
    Invert();
  }
  return consumed;
}

LRESULT TTransparentButton::EvKillFocus(WPARAM, LPARAM) {
  if (Highlighted) {
    Highlighted = false;
    Invert();
  }
  return 0;
}

void TTransparentButton::Invert() {
  TWindowDC dc(Handle);
  // The button has no border: its client rectangle is the whole window.
  RECT area = GetClientRect();
  InvertRect(dc, &area);
}
