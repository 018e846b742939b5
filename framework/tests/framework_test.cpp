// The framework under Wine: a frame with a dialog client, response tables, subclassed
// controls, owner drawing, the pump and the closing chain.

#include <gtest/gtest.h>

#include <memory>
#include <string>
#include <vector>

#include "framework/application.h"
#include "framework/button.h"
#include "framework/dc.h"
#include "framework/decorated_frame.h"
#include "framework/dialog.h"
#include "framework/edit.h"
#include "framework/gdi_failure.h"
#include "framework/response_table.h"
#include "test_ids.h"

namespace {

const UINT CountMessage = WM_APP + 1;
const UINT ThrowMessage = WM_APP + 2;

// An owner-drawn button that records what reached it.
class TProbeButton : public TButton {
 public:
  TProbeButton(TWindow* parent, int id) : TButton(parent, id) {}
  int DrawEntire = 0;
  int EraseBackgrounds = 0;

 protected:
  bool Respond(const TMessage& msg, LRESULT& result) override {
    using R = TResponse<TProbeButton>;
    static const R table[] = {R::Message(WM_ERASEBKGND, &TProbeButton::EvEraseBkgnd)};
    return R::Find(this, table, msg, result) || TButton::Respond(msg, result);
  }
  LRESULT EvEraseBkgnd(WPARAM, LPARAM) {
    ++EraseBackgrounds;
    return TRUE;
  }
  void ODADrawEntire(DRAWITEMSTRUCT&) override { ++DrawEntire; }
};

class TProbeDialog : public TDialog {
 public:
  TProbeDialog() : TDialog(nullptr, IDD_TEST_CLIENT) {
    Probe = std::make_unique<TProbeButton>(this, IDC_TEST_OWNERDRAW);
    Edit = std::make_unique<TEdit>(this, IDC_TEST_EDIT, 10);
  }
  int Presses = 0;
  int Counted = 0;
  int OkPresses = 0;
  bool AllowClose = true;
  bool SetUp = false;
  std::unique_ptr<TProbeButton> Probe;
  std::unique_ptr<TEdit> Edit;

  void SetupWindow() override {
    TDialog::SetupWindow();
    SetUp = Probe->GetHandle() != nullptr && Edit->GetHandle() != nullptr;
  }
  bool CanClose() override { return AllowClose; }

 protected:
  bool Respond(const TMessage& msg, LRESULT& result) override {
    using R = TResponse<TProbeDialog>;
    static const R table[] = {
        R::Command(IDC_TEST_BUTTON, &TProbeDialog::CmPress),
        R::Message(CountMessage, &TProbeDialog::EvCount),
        R::Message(ThrowMessage, &TProbeDialog::EvThrow),
    };
    return R::Find(this, table, msg, result) || TDialog::Respond(msg, result);
  }
  void CmPress() { ++Presses; }
  LRESULT EvThrow(WPARAM, LPARAM) { throw TGdiFailure(); }
  LRESULT EvCount(WPARAM wParam, LPARAM) {
    ++Counted;
    return static_cast<LRESULT>(wParam) + 1;
  }
};

class TTestApp : public TApplication {
 public:
  TTestApp() : TApplication("Framework test") {}
  TProbeDialog* Client = nullptr;
  TDecoratedFrame* Frame = nullptr;

  void Build() {
    Client = new TProbeDialog();
    Frame = new TDecoratedFrame(nullptr, "Framework test", Client, true);
    Frame->GetAttr().Style = WS_OVERLAPPED | WS_SYSMENU | WS_CLIPCHILDREN;
    SetMainWindow(Frame);
    ASSERT_TRUE(Frame->Create());
    Frame->Show(SW_SHOWNORMAL);
  }
  int Loop() { return MessageLoop(); }
};

void Drain() {
  TApplication::PumpWaitingMessages();
}

TEST(Framework, FrameShrinksAroundItsDialogClientAndAttachesControls) {
  TTestApp app;
  app.Build();
  Drain();
  EXPECT_TRUE(app.Client->SetUp);
  RECT dialog = app.Client->GetWindowRect();
  RECT frameClient = app.Frame->GetClientRect();
  EXPECT_EQ(dialog.right - dialog.left, frameClient.right);
  EXPECT_EQ(dialog.bottom - dialog.top, frameClient.bottom);
  // The client is a child of the frame, without a caption of its own.
  EXPECT_EQ(app.Frame->GetHandle(), GetParent(app.Client->GetHandle()));
  EXPECT_EQ(0, GetWindowLongA(app.Client->GetHandle(), GWL_STYLE) & WS_CAPTION);
  // The edit's limit counts the terminating zero.
  EXPECT_EQ(9, SendMessageA(app.Client->Edit->GetHandle(), EM_GETLIMITTEXT, 0, 0));
}

TEST(Framework, ResponseTablesRouteMessagesCommandsAndOwnerDrawing) {
  TTestApp app;
  app.Build();
  Drain();
  HWND dialog = app.Client->GetHandle();
  EXPECT_EQ(42, SendMessageA(dialog, CountMessage, 41, 0));  // through DWLP_MSGRESULT
  SendMessageA(dialog, WM_COMMAND, MAKEWPARAM(IDC_TEST_BUTTON, BN_CLICKED), 0);
  // Other notifications from the same id are not commands.
  SendMessageA(dialog, WM_COMMAND, MAKEWPARAM(IDC_TEST_BUTTON, BN_SETFOCUS), 1);
  EXPECT_EQ(1, app.Client->Presses);
  InvalidateRect(app.Client->Probe->GetHandle(), nullptr, TRUE);
  UpdateWindow(app.Client->Probe->GetHandle());
  EXPECT_LE(1, app.Client->Probe->DrawEntire);
  EXPECT_LE(1, app.Client->Probe->EraseBackgrounds);
}

TEST(Framework, PumpPassesQuitOnToTheMainLoop) {
  TTestApp app;
  app.Build();
  HWND dialog = app.Client->GetHandle();
  PostMessageA(dialog, CountMessage, 0, 0);
  PostQuitMessage(7);
  PostMessageA(dialog, CountMessage, 0, 0);
  EXPECT_FALSE(TApplication::PumpWaitingMessages());
  EXPECT_EQ(2, app.Client->Counted);  // posted messages come before the quit
  EXPECT_EQ(7, app.Loop());
}

TEST(Framework, ClosingTheClientClosesTheFrameUnlessItRefuses) {
  TTestApp app;
  app.Build();
  HWND dialog = app.Client->GetHandle();
  app.Client->AllowClose = false;
  SendMessageA(dialog, WM_COMMAND, MAKEWPARAM(IDOK, BN_CLICKED), 0);
  SendMessageA(app.Frame->GetHandle(), WM_CLOSE, 0, 0);
  EXPECT_TRUE(IsWindow(dialog));
  app.Client->AllowClose = true;
  // Esc reaches the dialog as IDCANCEL through the loop's pre-translation.
  SetFocus(app.Client->Edit->GetHandle());
  PostMessageA(app.Client->Edit->GetHandle(), WM_KEYDOWN, VK_ESCAPE, 0x00010001);
  EXPECT_EQ(0, app.Loop());
  EXPECT_FALSE(IsWindow(dialog));
  EXPECT_EQ(nullptr, app.Frame->GetHandle());
}

TEST(Framework, DeviceContextWithoutHandleIsAGdiFailure) {
  std::string what;
  try {
    TDC dc(nullptr);
  } catch (const TGdiFailure& failure) {
    what = failure.what();
  }
  EXPECT_EQ("GDI failure", what);
}

// An exception thrown while a message is answered stops at the window procedure and reaches
// the user (here: the recorder in place of the error box); the window goes on working.
std::vector<std::string> Failures;

TEST(Framework, AnExceptionInAHandlerBecomesAnErrorNotACrash) {
  const TWindow::TFailureReporter shown = TWindow::FailureReporter;
  TWindow::FailureReporter = [](HWND, const char* what) { Failures.push_back(what); };
  TTestApp app;
  app.Build();
  Drain();
  HWND dialog = app.Client->GetHandle();
  SendMessageA(dialog, ThrowMessage, 0, 0);
  EXPECT_EQ(std::vector<std::string>{"GDI failure"}, Failures);
  EXPECT_EQ(42, SendMessageA(dialog, CountMessage, 41, 0));
  TWindow::FailureReporter = shown;
}

}  // namespace
