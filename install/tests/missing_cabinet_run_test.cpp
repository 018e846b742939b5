// An installation run without cabinet.dll: the binding's box, then the run's rows.

#include <gtest/gtest.h>

#include "tests/support/cab_test_support.h"
#include "tests/support/missing_cabinet.h"
#include "install/installation_run.h"
#include "paths/macros.h"

namespace {

TEST(InstallationRunWithoutCabinet, Child) {
  if (!IsCabinetMissingChild()) GTEST_SKIP() << "runs in the process started by the parent case";
  TBoxWatcher watcher;
  TRecordingReporter reporter;
  TMacroExpander macros;
  TInstallationRun run;
  // The test program stands for the installed application's main program.
  char self[MAX_PATH] = "";
  GetModuleFileNameA(nullptr, self, MAX_PATH);
  run.TargetPath = self;
  run.Patch = "C:\\PATCH\\patch.cab";
  run.Macros = &macros;
  run.Reporter = &reporter;
  run.ClearLog = [&] { reporter.Lines.push_back("CLEAR"); };
  EXPECT_EQ(TInstallOutcome::CannotUnpack, RunInstallation(run));
  const std::vector<std::string> rows{"CLEAR", "INFO Unpacking patch...",
                                      "ERROR Cannot unpack patch file: C:\\PATCH\\patch.cab"};
  EXPECT_EQ(rows, reporter.Lines);
  EXPECT_EQ(std::vector<TBox>{LoadFailureBox}, watcher.Boxes());
}

TEST(InstallationRunWithoutCabinet, Parent) {
  if (IsCabinetMissingChild()) GTEST_SKIP() << "the child does not start itself again";
  if (!DisplayAvailable()) GTEST_SKIP() << "no display: message boxes cannot be shown (run under scripts/with-xvfb)";
  RunWithoutCabinet("InstallationRunWithoutCabinet.Child");
}
}  // namespace
