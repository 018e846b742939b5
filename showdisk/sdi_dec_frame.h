// TSDIDecFrame: the launcher's main window, a fixed-size frame around its dialog,
// centred on the screen.
#pragma once

#include "framework/decorated_frame.h"

class TSDIDecFrame : public TDecoratedFrame {
 public:
  // Without a client the frame makes the launcher's dialog its client.
  TSDIDecFrame(TWindow* parent, const char* title, TWindow* client = nullptr, bool shrinkToClient = false,
               HINSTANCE module = nullptr);

  void SetupWindow() override;

 private:
  void DropForcedCaption();
  void CentreOnScreen();
};
