// Titles in every odd shape, each read in pieces of several sizes.

#include <gtest/gtest.h>

#include "memory_folder.h"
#include "indexwright/page_title.h"

namespace {

struct TTitleCase {
  const char* What;
  std::string Page;
  std::string Want;
};

const TTitleCase TitleCases[] = {
    {"plain", "<html><head><title>Setup</title></head>", "Setup"},
    {"capital tags keep the title's case", "<TITLE>Install The Disk</TITLE>", "Install The Disk"},
    {"mixed-case tags", "<TiTlE>x</tItLe>", "x"},
    {"quot references", "<title>&quot;B&quot;</title>", "'B'"},
    {"quot beside quot", "<title>&quot;&quot;&quot;</title>", "'''"},
    {"only quot is replaced", "<title>&amp; &QUOT; &quot</title>", "&amp; &QUOT; &quot"},
    {"no title tag", "<html><body>text</body></html>", ""},
    {"no end tag", "<title>open", ""},
    {"no start tag", "text</title>", ""},
    {"empty title", "<title></title>", ""},
    {"spaces kept", "<title>  a  b  </title>", "  a  b  "},
    {"crlf becomes lf", "<title>two\r\nlines</title>", "two\nlines"},
    {"lone cr stays", "<title>a\rb\r</title>", "a\rb\r"},
    {"cr cr lf", "<title>a\r\r\nb</title>", "a\r\nb"},
    {"crlf in the start tag", "<title\r\n>x</title>", ""},
    {"ctrl-z ends the text", "<title>abc\x1a</title>", ""},
    {"ctrl-z after the title", "<title>abc</title>\x1a<title>", "abc"},
    {"nul ends the text", std::string("<title>ab\0c</title>", 19), ""},
    {"nul before the title", std::string("\0<title>x</title>", 17), ""},
    {"first of two titles", "<title>one</title><title>two</title>", "one"},
    {"start tag twice", "<title><title>x</title>", "<title>x"},
    {"broken tag then tag", "<titl<title>x</title>", "x"},
    {"end tag before start tag", "</title><title>Real</title>", "Real"},
    {"end tag only before start tag", "</title> <title>Open", ""},
    {"tag with attribute is no tag", "<title lang=pl>x</title>", ""},
    {"code page 1250 bytes", "<title>Podr\xEA" "cznik</title>", "Podr\xEA" "cznik"},
    {"markup inside kept", "<title>a <b>b</b></title>", "a <b>b</b>"},
    {"almost an end tag", "<title>a</titl</title>", "a</titl"},
};

TEST(PageTitle, EveryShapeInEveryPieceSize) {
  for (size_t ChunkSize : {size_t(1), size_t(2), size_t(3), size_t(7), size_t(4096)}) {
    for (const TTitleCase& Case : TitleCases) {
      TMemoryFolder Folder;
      Folder.ChunkSize = ChunkSize;
      Folder.Files["page.htm"] = Case.Page;
      EXPECT_EQ(Case.Want, ReadHTMLTitle(Folder, "page.htm")) << Case.What << ", pieces of " << ChunkSize;
    }
  }
}

TEST(PageTitle, UnreadablePageHasEmptyTitle) {
  TMemoryFolder Folder;
  Folder.Files["page.htm"] = "<title>x</title>";
  Folder.Unreadable.insert("page.htm");
  EXPECT_EQ("", ReadHTMLTitle(Folder, "page.htm"));
  EXPECT_EQ("", ReadHTMLTitle(Folder, "missing.htm"));
}

}  // namespace
