// The generator in memory: whole outputs for the basic tree, the topic order, and what
// happens when an output file cannot be created.

#include <gtest/gtest.h>

#include "contents_generator.h"
#include "memory_folder.h"
#include "page_index.h"

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

std::string Entry(const std::string& Title, const std::string& Name) {
  return "        <LI> <OBJECT type=\"text/sitemap\">\r\n"
         "                <param name=\"Name\" value=\"" + Title + "\">\r\n"
         "                <param name=\"Local\" value=\"" + Name + "\">\r\n"
         "                </OBJECT>\r\n";
}

const std::string Head =
    "<!DOCTYPE HTML PUBLIC \"-//IETF//DTD HTML//EN\">\r\n"
    "<HTML>\r\n"
    "<HEAD>\r\n"
    "<meta name=\"GENERATOR\" content=\"Microsoft&reg; HTML Help Workshop 4.00\">\r\n"
    "<!-- Sitemap 1.0 -->\r\n"
    "</HEAD><BODY>\r\n"
    "<OBJECT type=\"text/site properties\">\r\n"
    "        <param name=\"FrameName\" value=\"main\">\r\n"
    "        <param name=\"Window Styles\" value=\"0x25\">\r\n"
    "        <param name=\"ImageType\" value=\"Folder\">\r\n"
    "</OBJECT>\r\n"
    "<UL>\r\n"
    "        <LI> <OBJECT type=\"text/sitemap\">\r\n"
    "                \x3C\x70\x61\x72\x61\x6D\x20\x6E\x61\x6D\x65\x3D\x22\x4E\x61\x6D\x65\x22\x20\x76\x61\x6C\x75\x65\x3D\x22"
    "\x50\x6F\x64\x72\xEA\x63\x7A\x6E\x69\x6B\x20\x75\xBF\x79\x74\x6B\x6F\x77\x6E\x69\x6B\x61\x22\x3E\r\n"
    "                <param name=\"Local\" value=\"index.html\">\r\n"
    "                </OBJECT>\r\n";
const std::string Tail = "</UL>\r\n</BODY></HTML>\r\n";
const std::string Banner =
    "TOC Generator for HTML Help\n"
    "Writes toc.hhc, map.txt and htmlhelp.h for the numbered pages of this directory\n\n";

TEST(ContentsGenerator, EmptyFolderWritesHeadAndTailOnly) {
  TRun Run;
  Run.Go();
  EXPECT_EQ(0, Run.Result);
  EXPECT_EQ(Head + Tail, Run.Folder.Files["toc.hhc"]);
  EXPECT_EQ("", Run.Folder.Files["map.txt"]);
  EXPECT_EQ("", Run.Folder.Files["htmlhelp.h"]);
  EXPECT_EQ(Banner, Run.Console.Text);
}

TEST(ContentsGenerator, PageWithSubPage) {
  TRun Run;
  Run.Folder.Files["01_a.htm"] = "<title>A</title>";
  Run.Folder.Files["0101_b.htm"] = "<title>B</title>";
  Run.Go();
  EXPECT_EQ(Head + Entry("A", "01_a.htm") + "        <UL>\r\n" + Entry("B", "0101_b.htm") +
                "        <UL>\r\n        </UL>\r\n        </UL>\r\n" + Tail,
            Run.Folder.Files["toc.hhc"]);
  EXPECT_EQ("IDH_01=01_a.htm\r\nIDH_0101=0101_b.htm\r\n", Run.Folder.Files["map.txt"]);
  EXPECT_EQ("#define IDH_01 1\r\n#define IDH_0101 2\r\n", Run.Folder.Files["htmlhelp.h"]);
  EXPECT_EQ(Banner + "Processing: 01_a.htm (A)\nProcessing: 0101_b.htm (B)\n", Run.Console.Text);
}

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
  EXPECT_EQ(Head + Entry("A", "01_a.htm") + "        <UL>\r\n        </UL>\r\n" + Tail, Run.Folder.Files["toc.hhc"]);
}

TEST(ContentsGenerator, UnreadablePageKeepsItsEntry) {
  TRun Run;
  Run.Folder.Files["01_a.htm"] = "<title>A</title>";
  Run.Folder.Unreadable.insert("01_a.htm");
  Run.Go();
  EXPECT_EQ(Head + Entry("", "01_a.htm") + "        <UL>\r\n        </UL>\r\n" + Tail, Run.Folder.Files["toc.hhc"]);
  EXPECT_EQ("#define IDH_01 1\r\n", Run.Folder.Files["htmlhelp.h"]);
}

}  // namespace
