#pragma once
// TApplication: the program's application object.
//
// It knows the program's name, instance and show command, owns the main window and runs the
// message loop. Run calls NormalizeCmdShow (the hook through which an application changes the
// show command it was started with) and InitMainWindow (where it builds its main window and
// calls SetMainWindow), creates and shows the main window and loops until WM_QUIT, whose
// parameter becomes Run's result, the program's exit code.
//
// Every message, in the loop and in PumpWaitingMessages, first goes to PreProcessMsg of the
// target window's object and then of each ancestor's (a dialog there applies IsDialogMessage);
// only a message none of them consumed is translated and dispatched.

#include <windows.h>

#include <memory>
#include <string>

class TWindow;

class TApplication {
 public:
  explicit TApplication(const char* name, HINSTANCE instance = nullptr);
  virtual ~TApplication();
  TApplication(const TApplication&) = delete;
  TApplication& operator=(const TApplication&) = delete;

  const std::string& GetName() const { return Name; }
  HINSTANCE GetInstance() const { return Instance; }
  int GetCmdShow() const { return CmdShow; }
  void SetCmdShow(int cmdShow) { CmdShow = cmdShow; }

  TWindow* GetMainWindow() const { return MainWindow.get(); }
  // Takes ownership.
  void SetMainWindow(TWindow* window);

  // Builds and shows the main window, then runs the message loop; returns the exit code.
  virtual int Run();

  // Processes every message waiting in the thread's queue as the loop would. A WM_QUIT ends
  // the pump and is posted again, so that the main loop still ends. False when that happened.
  static bool PumpWaitingMessages();
  // One message through pre-translation, TranslateMessage and DispatchMessage.
  static void ProcessMessage(MSG& msg);

  // The running application object (there is one per program).
  static TApplication* Current() { return Instance_; }

 protected:
  // Returns the show command to use instead of the one the program was started with.
  virtual int NormalizeCmdShow(int cmdShow) { return cmdShow; }
  // Builds the main window object (SetMainWindow); the window is created by Run.
  virtual void InitMainWindow() {}
  int MessageLoop();

 private:
  std::string Name;
  HINSTANCE Instance;
  int CmdShow;
  std::unique_ptr<TWindow> MainWindow;
  static TApplication* Instance_;
};
