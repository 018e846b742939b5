#pragma once
// TPatchDlgClient: mendit's main dialog (resource 2000), the client of the main frame. It
// shows the path of the target application's main executable, a progress bar and the log,
// runs an installation when "Install patch" is pressed, and is the patch engine's reporter:
// every report becomes rows of the log, every progress step the bar's position.
//
// The whole installation runs inside CmInstall on the one UI thread; the engine lets waiting
// messages be dispatched between blocks. A request to close the window meanwhile (Quit, Esc,
// the close box) would destroy the dialog under the running installation: it is remembered
// and carried out when the run has ended.

#include <cstdarg>
#include <memory>

#include "ex_list_box.h"
#include "ex_list_box_par.h"
#include "framework/button.h"
#include "framework/dialog.h"
#include "framework/edit.h"
#include "framework/progress_bar.h"
#include "report/patch_reporter.h"

class TFileSystem;
class TMenditorApp;

class TPatchDlgClient : public TDialog, public TPatchReporter {
 public:
  static constexpr int MessageBufferSize = 10000;
  static constexpr int PathFieldLimit = 255;
  static constexpr int PathBufferSize = 299;

  TPatchDlgClient(TWindow* parent, int resourceId, HINSTANCE module = nullptr);
  ~TPatchDlgClient() override;

  void SetupWindow() override;
  bool CanClose() override;

  void ReportProgress(int32_t done, int32_t total) override;
  // Formats the message and adds one row of kind per line of it.
  void AddMessage(TExListBoxPar* kind, const char* format, va_list args);

  void CmInstall();
  void CmBrowse();
  void CmAbout();

  bool IsRunning() const { return Running; }

  // The files the runs change; null for the disk (tests pass one that throws).
  TFileSystem* Files = nullptr;

 protected:
  bool Respond(const TMessage& msg, LRESULT& result) override;
  void Report(TReportKind kind, const char* format, va_list args) override;

 private:
  TMenditorApp* App() const;
  // Appends one row; when the list refuses, drops row 0 and tries once more. The row's index,
  // or a negative value when it was dropped.
  int AddRow(const char* text, TExListBoxPar* kind);
  // After a run: gives the focus back to the path field or the "Install patch" button,
  // whichever had it when the run started, if it has gone nowhere since.
  void RestoreFocus(HWND focusAtStart);
  // Scrolls so that row lastIndex is the last visible one.
  void ShowRow(int lastIndex);
  // The engine's hook between blocks: dispatches the waiting window messages. It is called
  // before every 256-byte block, and asking the system for messages costs far more than a
  // block (a server round trip under Wine), so it looks only when 10 ms have passed since
  // it last did: the window still repaints and answers at once to the eye.
  static void DispatchWaitingMessages(void* context);
  unsigned long LastPump = 0;  // GetTickCount of the last dispatch

  std::unique_ptr<TEdit> PathField;
  std::unique_ptr<TExListBox> Log;
  std::unique_ptr<TButton> InstallButton;
  std::unique_ptr<TProgressBar> ProgressBar;
  std::unique_ptr<TExListBoxPar> InfoKind;
  std::unique_ptr<TExListBoxPar> ErrorKind;
  std::unique_ptr<TExListBoxPar> WarningKind;
  bool Running = false;
  bool CloseRequested = false;
};
