#pragma once
// TSDIDecFrame: mendit's main window, a decorated frame without tool bar, status bar or
// menu, sized around its client, the main dialog.

#include "framework/decorated_frame.h"

class TSDIDecFrame : public TDecoratedFrame {
 public:
  TSDIDecFrame(TWindow* parent, const char* title, TWindow* client)
      : TDecoratedFrame(parent, title, client, /*shrinkToClient=*/true) {}
};
