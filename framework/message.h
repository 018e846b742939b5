#pragma once
// TMessage: one window message as the response tables see it.

#include <windows.h>

struct TMessage {
  UINT Message;
  WPARAM WParam;
  LPARAM LParam;
};
