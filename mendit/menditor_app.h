#pragma once
// TMenditorApp: mendit's application object. Before the window appears it finds the
// program's directory, defines the start-up macros ("&PROGRAMS&", "&SYSTEM&", "&WINDOWS&"),
// creates the main frame with the main dialog and reads the patch description file; the
// dialog reads the description values and the macros from here.

#include <string>

#include "description/description_file.h"
#include "framework/application.h"
#include "paths/macros.h"
#include "payload/payload.h"

class TMenditorApp : public TApplication {
 public:
  static constexpr int ModulePathSize = 300;

  // carried: the patch this program file carries (not owned), whose description takes the
  // place of the description file; null for a program without one.
  explicit TMenditorApp(const TCarriedPatch* carried = nullptr);

  // The application's macros; "&ROOT&" is added and removed around each installation.
  TMacroExpander Macros{false};
  // From section Application of the description file; DefaultPath with macros expanded.
  std::string Name;
  std::string DefaultPath;
  std::string Patch;
  // Who made the patch and what it updates (optional keys; empty when not given).
  TVendorIdentity Vendor;
  // The program's directory with a trailing backslash; empty when unknown or without drive.
  std::string ModuleDir;
  // The carried patch; null when the description file and the cabinet are loose files.
  const TCarriedPatch* const Carried;

 protected:
  int NormalizeCmdShow(int cmdShow) override;
  void InitMainWindow() override;

 private:
  void DefineStartupMacros();
  // Reads the description file; false (after the "Init failed" box) when a key is unreadable.
  bool ReadDescriptionFile();
};
