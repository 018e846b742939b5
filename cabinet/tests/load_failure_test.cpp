// cabinet.dll missing from the system: the binding's and the unpacker's boxes and results.

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "tests/support/cab_test_support.h"
#include "tests/support/missing_cabinet.h"
#include "cabinet/patch_unpacker.h"

namespace {

TEST(CabinetMissing, Child) {
  if (!IsCabinetMissingChild()) GTEST_SKIP() << "runs in the process started by CabinetMissing.Parent";
  TBoxWatcher watcher;
  std::vector<TBox> want;

  // The unpacker's load failure is the base's box, not a report.
  TRecordingReporter reporter;
  {
    TPatchUnpacker unpacker(&reporter);
    want.push_back(LoadFailureBox);
    EXPECT_FALSE(unpacker.IsLoaded());
    EXPECT_FALSE(unpacker.Unpack("patch.cab", "C:\\", 0));
    EXPECT_EQ(std::string(), unpacker.ExtractedName());
  }
  EXPECT_EQ(std::vector<std::string>{}, reporter.Lines);

  // The base's two boxes, and building refused without the library.
  {
    TCABPacker packer;
    want.push_back(LoadFailureBox);
    packer.Message("%d files", 2);
    want.push_back({"CAB Message", "2 files", false, true});
    EXPECT_FALSE(packer.MakeCabinet("C:\\x.cab"));
  }

  EXPECT_EQ(want, watcher.Boxes());
}

TEST(CabinetMissing, Parent) {
  if (IsCabinetMissingChild()) GTEST_SKIP() << "the child does not start itself again";
  if (!DisplayAvailable()) GTEST_SKIP() << "no display: message boxes cannot be shown (run under scripts/with-xvfb)";
  RunWithoutCabinet("CabinetMissing.Child");
}
}  // namespace
