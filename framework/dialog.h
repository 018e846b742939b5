#pragma once
// TDialog: a dialog made from a dialog template resource.
//
// Two uses: modeless, as the client of a frame window (Create makes it a child window of its
// parent, whatever the template says), or modal, run by Execute until it ends (About boxes).
// IDOK and IDCANCEL close it: a modal dialog ends with that id, a modeless one is destroyed
// (if CanClose agrees). The dialog pre-translates keyboard messages with IsDialogMessage, so
// Tab, Enter (the default push button) and Esc (IDCANCEL) work inside a frame as well.

#include "framework/window.h"

class TDialog : public TWindow {
 public:
  TDialog(TWindow* parent, int resourceId, HINSTANCE module = nullptr);

  // Creates the modeless dialog as a child of the parent's window (hidden; the owner shows it).
  bool Create() override;
  // Runs the dialog modally; the result is the id it was closed with, -1 on failure.
  INT_PTR Execute();
  bool IsModal() const { return Modal; }

  void Destroy(int returnValue = 0) override;
  bool PreProcessMsg(MSG& msg) override;

  void CmOk();
  void CmCancel();

 protected:
  bool Respond(const TMessage& msg, LRESULT& result) override;
  LRESULT DefaultProcessing() override;

  int ResourceId;

 private:
  bool Modal = false;
};
