// The formatting reporter base: texts formatted and cut to its buffer, split into rows.

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "report/formatting_reporter.h"

namespace {

TEST(SplitLogLines, OneRowPerLine) {
  struct Case {
    std::string text;
    std::vector<std::string> rows;
  } cases[] = {
      {"one", {"one"}},
      {"", {""}},
      {"a\nb\nc", {"a", "b", "c"}},
      {"line\n", {"line", ""}},
      {"\n\n", {"", "", ""}},
      {"tab\there\n x", {"tab\there", " x"}},
  };
  for (const Case& c : cases) EXPECT_EQ(c.rows, SplitLogLines(c.text));
}

class TKeptTexts : public TFormattingReporter {
 public:
  std::vector<std::string> Texts;
  void ReportProgress(int32_t, int32_t) override {}

 protected:
  void ReportText(TReportKind kind, const char* text) override {
    Texts.push_back((kind == TReportKind::Error ? "E " : kind == TReportKind::Warning ? "W " : "I ") + std::string(text));
  }
};

TEST(FormattingReporter, FormatsEachReportAndCutsLongOnes) {
  TKeptTexts reporter;
  reporter.ReportInfo("%s %d", "copied", 3);
  reporter.ReportWarning("File: %s", "A.DLL");
  reporter.ReportError("%s", std::string(TFormattingReporter::TextSize + 50, 'x').c_str());
  ASSERT_EQ(3u, reporter.Texts.size());
  EXPECT_EQ("I copied 3", reporter.Texts[0]);
  EXPECT_EQ("W File: A.DLL", reporter.Texts[1]);
  EXPECT_EQ("E " + std::string(TFormattingReporter::TextSize - 1, 'x'), reporter.Texts[2]);
}
}  // namespace
