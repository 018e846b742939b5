// The generator in memory: the topic order, unreadable pages and output files that cannot
// be created.

#include <gtest/gtest.h>

#include "indexwright/contents_generator.h"
#include "memory_folder.h"
#include "indexwright/page_index.h"

namespace {

struct TRun {
  TMemoryFolder Folder;
  TStringSink Console;
  TStringSink Errors;
  int Result = -1;

  void Go() {
    TPageIndex Index(Folder.ListFiles());
    Result = RunIndexwright(Folder, Index, Console, Errors);
  }
};

// The four lines of one page's entry in the contents file.
std::string Entry(const std::string& Title, const std::string& Name) {
  return "        <LI> <OBJECT type=\"text/sitemap\">\r\n"
         "                <param name=\"Name\" value=\"" + Title + "\">\r\n"
         "                <param name=\"Local\" value=\"" + Name + "\">\r\n"
         "                </OBJECT>\r\n";
}

// The whole outputs, head and tail included, are compared by the golden projects in
// both builds; these tests look at what those cannot set up on disk.

// Topic numbers follow the depth-first walk, not the order of the names.
TEST(ContentsGenerator, NumbersFollowTheDepthFirstWalk) {
  TRun Run;
  for (const char* Name : {"02_b.htm", "0201_c.htm", "01_a.htm", "020101_d.htm", "0202_e.htm", "03_f.htm", "01_A2.htm"}) {
    Run.Folder.Files[Name] = "";
  }
  Run.Go();
  EXPECT_EQ(
      "#define IDH_01 1\r\n#define IDH_01 2\r\n#define IDH_02 3\r\n#define IDH_0201 4\r\n"
      "#define IDH_020101 5\r\n#define IDH_0202 6\r\n#define IDH_03 7\r\n",
      Run.Folder.Files["htmlhelp.h"]);
  EXPECT_EQ(
      "IDH_01=01_a.htm\r\nIDH_01=01_A2.htm\r\nIDH_02=02_b.htm\r\nIDH_0201=0201_c.htm\r\n"
      "IDH_020101=020101_d.htm\r\nIDH_0202=0202_e.htm\r\nIDH_03=03_f.htm\r\n",
      Run.Folder.Files["map.txt"]);
}

// A file that cannot be created loses its text, the others are still written, and the
// failure is reported instead of being hidden behind success.
TEST(ContentsGenerator, UncreatableOutputIsReported) {
  TRun Run;
  Run.Folder.Files["01_a.htm"] = "<title>A</title>";
  Run.Folder.Uncreatable.insert("map.txt");
  Run.Go();
  EXPECT_EQ(1, Run.Result);
  EXPECT_EQ("Cannot write map.txt\n", Run.Errors.Text);
  EXPECT_EQ(0u, Run.Folder.Files.count("map.txt"));
  EXPECT_EQ("#define IDH_01 1\r\n", Run.Folder.Files["htmlhelp.h"]);
  EXPECT_NE(std::string::npos, Run.Folder.Files["toc.hhc"].find(Entry("A", "01_a.htm")));
}

TEST(ContentsGenerator, UnreadablePageKeepsItsEntry) {
  TRun Run;
  Run.Folder.Files["01_a.htm"] = "<title>A</title>";
  Run.Folder.Unreadable.insert("01_a.htm");
  Run.Go();
  EXPECT_NE(std::string::npos, Run.Folder.Files["toc.hhc"].find(Entry("", "01_a.htm")));
  EXPECT_EQ("#define IDH_01 1\r\n", Run.Folder.Files["htmlhelp.h"]);
}

}  // namespace
