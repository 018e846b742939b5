#pragma once
// TWindow: a C++ object bound to one window handle.
//
// The object is attached to its handle once: on WM_NCCREATE for windows it creates, on
// WM_INITDIALOG for dialogs, or when a control made by a dialog template is subclassed. The
// static window procedure finds the object through a window property (the one cast of the
// framework) and hands every message to ReceiveMessage, which asks the class's response
// table (Respond) and falls back to the default processing of the window.
//
// Objects do not own one another through this class: a parent only keeps a list of the
// child objects registered with it, so that it can attach or create them when its own window
// is set up. Owners hold their children as members.

#include <windows.h>

#include <string>
#include <vector>

#include "framework/message.h"

class TApplication;

class TWindow {
 public:
  // Creation attributes; adjust them between construction and Create.
  struct TAttr {
    DWORD Style = WS_CHILD | WS_VISIBLE;
    DWORD ExStyle = 0;
    int X = CW_USEDEFAULT;
    int Y = CW_USEDEFAULT;
    int W = CW_USEDEFAULT;
    int H = CW_USEDEFAULT;
    int Id = 0;  // control id of a child window
  };

  explicit TWindow(TWindow* parent, const char* title = nullptr, HINSTANCE module = nullptr);
  virtual ~TWindow();
  TWindow(const TWindow&) = delete;
  TWindow& operator=(const TWindow&) = delete;

  HWND GetHandle() const { return Handle; }
  // Creation attributes; changes take effect when the window is created.
  TAttr& GetAttr() { return Attr; }
  TWindow* GetParentObject() const { return Parent; }
  // Registers this object with a new parent; only before the window exists.
  void SetParentObject(TWindow* parent);
  TApplication* GetApplication() const;
  HINSTANCE GetModule() const { return Module; }
  const std::string& GetTitle() const { return Title; }

  // Creates the window (registered class of GetClassName, Attr, Title). False on failure.
  virtual bool Create();
  // Called once the handle exists: creates or attaches the registered children, then
  // lets derived classes initialise (they call the base first).
  virtual void SetupWindow();
  // Runs in the message loop before the message is translated and dispatched; true means
  // the message was consumed. The loop asks the target window and then its ancestors.
  virtual bool PreProcessMsg(MSG& msg);
  // Asked before the window closes; false keeps it open.
  virtual bool CanClose() { return true; }
  // Closes the window if CanClose agrees.
  virtual void CloseWindow(int returnValue = 0);
  // Destroys the window handle.
  virtual void Destroy(int returnValue = 0);
  // Owner-drawn controls override this; the parent routes WM_DRAWITEM to the child's object.
  virtual void DrawItem(DRAWITEMSTRUCT& item);
  // The frame overrides these to follow its client window.
  virtual void ChildDestroyed(TWindow* child);
  virtual void ChildResized(TWindow* child);

  bool EnableWindow(bool enable);
  bool IsWindowEnabled() const;
  void Show(int showCommand);
  void SetText(const char* text);
  int GetText(char* buffer, int size) const;
  LRESULT SendMessage(UINT message, WPARAM wParam = 0, LPARAM lParam = 0) const;
  bool PostMessage(UINT message, WPARAM wParam = 0, LPARAM lParam = 0) const;
  int MessageBox(const char* text, const char* caption, UINT type) const;
  HWND GetDlgItem(int id) const;
  RECT GetClientRect() const;
  RECT GetWindowRect() const;

  // The object attached to a handle, or null.
  static TWindow* FromHandle(HWND handle);

  // Where the window and dialog procedures send an exception that a message's answer threw
  // (handle: the window, what: the exception's text). ShowFailure, the default, shows it in an
  // error box; tests put a recorder here.
  using TFailureReporter = void (*)(HWND handle, const char* what);
  static TFailureReporter FailureReporter;
  static void ShowFailure(HWND handle, const char* what);

 protected:
  // The class's response table lookup; the base answers WM_DRAWITEM.
  virtual bool Respond(const TMessage& msg, LRESULT& result);
  // What the window would do without this object (previous window procedure, or the
  // default one). Handlers call it to pass a message on.
  virtual LRESULT DefaultProcessing();
  // Window class to create (registered by RegisterClass for the framework's own classes).
  virtual const char* GetClassName() const { return "TWindow"; }
  virtual bool RegisterClass();

  // Binds this object to a handle that exists already.
  void Attach(HWND handle);
  // Replaces the window procedure of an existing control with the framework's.
  void Subclass(HWND handle);
  // Dispatches one message through the response table; passedOn tells whether it went to
  // the default processing.
  LRESULT ReceiveMessage(UINT message, WPARAM wParam, LPARAM lParam, bool& passedOn);
  // Current message, for DefaultProcessing.
  const TMessage& CurrentMessage() const { return Current; }
  // Creates or attaches every child registered with AutoCreate.
  void CreateChildren();

  LRESULT EvDrawItem(WPARAM wParam, LPARAM lParam);

  // The window and dialog procedures are exception barriers: an exception thrown while a
  // message is answered (a TGdiFailure from drawing, a bad_alloc) never crosses the system's
  // frames; it goes to FailureReporter, which by default shows it to the user in an error
  // box, and the message counts as answered (a creation as failed).
  static LRESULT CALLBACK WindowProc(HWND handle, UINT message, WPARAM wParam, LPARAM lParam);
  // Dialog procedure of TDialog: attaches on WM_INITDIALOG, whose parameter is the object.
  static INT_PTR CALLBACK DialogProc(HWND handle, UINT message, WPARAM wParam, LPARAM lParam);
  static LRESULT WindowProcedure(HWND handle, UINT message, WPARAM wParam, LPARAM lParam);
  static INT_PTR DialogProcedure(HWND handle, UINT message, WPARAM wParam, LPARAM lParam);

  TAttr Attr;
  std::string Title;
  HINSTANCE Module;
  HWND Handle = nullptr;
  TWindow* Parent;
  std::vector<TWindow*> Children;
  // Controls made by a dialog template are attached by id instead of being created.
  bool IsAlias = false;
  // Created with the parent's window (controls); dialogs are created explicitly.
  bool AutoCreate = true;
  // Set when the handle was created by this object, so the object may destroy it.
  bool OwnsHandle = false;
  // Set by a DefaultProcessing that cannot run the default itself (dialogs: the dialog
  // manager does it when the dialog procedure answers FALSE).
  bool PassOn = false;

 private:
  void Detach();

  WNDPROC PrevWndProc = nullptr;
  TMessage Current = {0, 0, 0};
};
