#pragma once
// TResponse<T>: one entry of a class's response table and the lookup over such a table.
//
// A window class answers messages through a static array of entries, one per message or
// command id, each naming a member function of that class. The class's Respond override
// searches its own table first and then calls its base class's Respond, so a derived class
// overrides a base handler simply by listing the same message:
//
//   bool TMyDialog::Respond(const TMessage& msg, LRESULT& result) {
//     using R = TResponse<TMyDialog>;
//     static const R table[] = {
//         R::Command(IDC_START, &TMyDialog::CmStart),
//         R::Message(WM_TIMER, &TMyDialog::EvTimer),
//     };
//     return R::Find(this, table, msg, result) || TDialog::Respond(msg, result);
//   }

#include <windows.h>

#include <cstddef>

#include "framework/message.h"

template <class T>
class TResponse {
 public:
  using TEvHandler = LRESULT (T::*)(WPARAM, LPARAM);
  using TCmHandler = void (T::*)();

  // A window message handled by a member that sees its parameters and returns the result.
  static constexpr TResponse Message(UINT message, TEvHandler handler) {
    return TResponse(message, 0, handler, nullptr);
  }

  // A WM_COMMAND from a menu, an accelerator or a control's BN_CLICKED with this id.
  static constexpr TResponse Command(UINT id, TCmHandler handler) {
    return TResponse(WM_COMMAND, id, nullptr, handler);
  }

  // Runs the first entry of table that matches msg; false when none does.
  template <size_t N>
  static bool Find(T* self, const TResponse (&table)[N], const TMessage& msg, LRESULT& result) {
    for (const TResponse& entry : table) {
      if (entry.Matches(msg)) {
        result = entry.Call(self, msg);
        return true;
      }
    }
    return false;
  }

 private:
  constexpr TResponse(UINT message, UINT id, TEvHandler ev, TCmHandler cm)
      : Msg(message), Id(id), EvHandler(ev), CmHandler(cm) {}

  bool Matches(const TMessage& msg) const {
    if (msg.Message != Msg) return false;
    if (!CmHandler) return true;
    // Commands: notification 0 is a click or a menu item, 1 with no control an accelerator.
    // Other notifications (EN_CHANGE, LBN_SELCHANGE, ...) never reach a command entry.
    UINT code = HIWORD(msg.WParam);
    return LOWORD(msg.WParam) == Id && (code == 0 || (code == 1 && msg.LParam == 0));
  }

  LRESULT Call(T* self, const TMessage& msg) const {
    if (CmHandler) {
      (self->*CmHandler)();
      return 0;
    }
    return (self->*EvHandler)(msg.WParam, msg.LParam);
  }

  UINT Msg;
  UINT Id;
  TEvHandler EvHandler;
  TCmHandler CmHandler;
};
