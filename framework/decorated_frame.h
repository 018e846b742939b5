#pragma once
// TDecoratedFrame: the frame that applications derive their main window from. It would carry
// tool and status bars; our programs use none, so it adds nothing to TFrameWindow yet.

#include "framework/frame_window.h"

class TDecoratedFrame : public TFrameWindow {
 public:
  TDecoratedFrame(TWindow* parent, const char* title, TWindow* client = nullptr, bool shrinkToClient = false,
                  HINSTANCE module = nullptr)
      : TFrameWindow(parent, title, client, shrinkToClient, module) {}
};
