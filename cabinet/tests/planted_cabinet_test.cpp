// A cabinet.dll planted beside a program is never loaded: the binding takes the system's
// library, and so does every load by bare name once the programs' start-up call has run.

#include <gtest/gtest.h>

#include <string>

#include "tests/support/cab_test_support.h"
#include "tests/support/missing_cabinet.h"
#include "syslib/system_library.h"

namespace {

// The folder of this executable, with a closing backslash.
std::string ProgramFolder() {
  char self[MAX_PATH] = "";
  GetModuleFileNameA(nullptr, self, sizeof self);
  const std::string path = self;
  return path.substr(0, path.find_last_of('\\') + 1);
}

TEST(CabinetPlanted, Child) {
  if (!IsCabinetMissingChild()) GTEST_SKIP() << "runs in the process started by CabinetPlanted.Parent";
  TCABPacker::SetConsoleMode(true);
  const std::string marker = ProgramFolder() + "cabinet.dll.loaded";

  {
    TScratchFolder dir("cabtest", true);
    WriteFile(dir / "source.dat", "extracted by the system's library");
    ASSERT_TRUE(MakeCabinetWithFci(dir / "one.cab", {{dir / "source.dat", "data.bin"}}));
    TScratchFolder out("cabtest", true);
    TRecordingPacker packer;
    EXPECT_TRUE(packer.Unpack("one.cab", dir.Dir().c_str(), 0));
    EXPECT_EQ("extracted by the system's library", ReadFile(out / "data.bin"));
  }
  EXPECT_FALSE(FileExists(marker));

  ASSERT_EQ(nullptr, GetModuleHandleA("cabinet.dll"));  // else a bare name would find that one
  LimitDllSearchToSystemFolder();
  HMODULE bare = LoadLibraryA("cabinet.dll");
  ASSERT_NE(nullptr, bare);
  EXPECT_NE(nullptr, GetProcAddress(bare, "FDICopy"));
  FreeLibrary(bare);
  EXPECT_FALSE(FileExists(marker));

  // The planted library is taken when the program's folder is searched: the checks above
  // would have seen it.
  HMODULE planted = LoadLibraryExA("cabinet.dll", nullptr, LOAD_LIBRARY_SEARCH_APPLICATION_DIR);
  EXPECT_NE(nullptr, planted);
  EXPECT_TRUE(FileExists(marker));
  if (planted) FreeLibrary(planted);
}

TEST(CabinetPlanted, Parent) {
  if (IsCabinetMissingChild()) GTEST_SKIP() << "the child does not start itself again";
  RunWithPlantedCabinet("CabinetPlanted.Child", ProgramFolder() + "planted\\cabinet.dll");
}

}  // namespace
