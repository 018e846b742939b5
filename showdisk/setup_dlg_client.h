// TSetupDlgClient: the launcher's dialog, the client of its frame. A picture with the
// disc's items covers it; over each item's caption lies a transparent button that starts
// the item through the shell. Button 1 is the dialog's OK command and closes it.
#pragma once

#include <memory>

#include "framework/dialog.h"
#include "resource_ids.h"

class TTransparentButton;
struct TDiscItem;

class TSetupDlgClient : public TDialog {
 public:
  TSetupDlgClient(TWindow* parent, int resourceId = IDD_CLIENT, HINSTANCE module = nullptr);
  ~TSetupDlgClient() override;

  // Enables the buttons, which the template creates disabled.
  void SetupWindow() override;

 protected:
  bool Respond(const TMessage& msg, LRESULT& result) override;

  void CmVornaxSetup();
  void CmWirescopeDemo();
  void CmIe4Setup();
  void CmMenditSetup();
  void CmProductInfo();
  void CmPpViewSetup();
  void CmVornaxShow();

 private:
  // Starts the item of button id through the shell; says so when the shell cannot.
  void StartItem(int id);

  static const int ButtonCount = 8;
  std::unique_ptr<TTransparentButton> Buttons[ButtonCount];
};
