// TSetupApp: the launcher's application object. Knows the directory the launcher was
// started from, against which every disc item is found, and builds the main window.
#pragma once

#include <string>

#include "framework/application.h"

class TSetupApp : public TApplication {
 public:
  TSetupApp();

  // The drive and directory of showdisk.exe with its trailing backslash, or empty when
  // it could not be found out (items then resolve against the current directory).
  std::string ModuleDir;

 protected:
  int NormalizeCmdShow(int cmdShow) override;
  void InitMainWindow() override;
};
