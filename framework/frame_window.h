#pragma once
// TFrameWindow: a top-level window whose client area is one client window (a dialog).
//
// The frame owns its client. With ShrinkToClient set it sizes itself around the client
// (AdjustWindowRectEx of its own styles) when it is set up and whenever the client changes
// size; otherwise it stretches the client over its client area. When the client window is
// destroyed (a dialog closed by OK or Cancel) the frame posts itself WM_CLOSE. A close request
// asks the client's CanClose first. The application's main frame ends the message loop when
// it is destroyed.

#include <memory>

#include "framework/window.h"

class TFrameWindow : public TWindow {
 public:
  TFrameWindow(TWindow* parent, const char* title, TWindow* client = nullptr, bool shrinkToClient = false,
               HINSTANCE module = nullptr);
  ~TFrameWindow() override;

  TWindow* GetClientWindow() const { return Client.get(); }
  void SetShrinkToClient(bool shrink) { ShrinkToClient = shrink; }
  // Large and small icon from an icon resource of module (the frame's module when null).
  void SetIcon(int largeIconId, int smallIconId, HINSTANCE module = nullptr);

  void SetupWindow() override;
  bool CanClose() override;
  void ChildDestroyed(TWindow* child) override;
  void ChildResized(TWindow* child) override;

 protected:
  bool Respond(const TMessage& msg, LRESULT& result) override;
  const char* GetClassName() const override { return "TFrameWindow"; }

  LRESULT EvClose(WPARAM wParam, LPARAM lParam);
  LRESULT EvDestroy(WPARAM wParam, LPARAM lParam);
  LRESULT EvSetFocus(WPARAM wParam, LPARAM lParam);
  LRESULT EvSize(WPARAM wParam, LPARAM lParam);

  // Sizes the frame so that its client area has exactly the client window's size.
  void FitAroundClient();

 private:
  std::unique_ptr<TWindow> Client;
  bool ShrinkToClient;
  int LargeIconId = 0;
  int SmallIconId = 0;
  HINSTANCE IconModule = nullptr;
  HICON LargeIcon = nullptr;
  HICON SmallIcon = nullptr;
};
