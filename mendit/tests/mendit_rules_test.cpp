// Start-up and log rules of mendit that do not need a window.

#include <gtest/gtest.h>

#include <climits>
#include <map>
#include <vector>

#include "mendit/log_rules.h"
#include "mendit/silent_options.h"

namespace {

TEST(ScrollTopIndex, LastRowBecomesTheLastVisibleOne) {
  struct Case {
    int last, clientHeight, rowHeight, want;
  } cases[] = {
      {0, 130, 13, -1},   // 10 rows visible, first row
      {9, 130, 13, -1},   // the 10th row still fits
      {10, 130, 13, 1},   // the 11th scrolls by one
      {25, 130, 13, 16},
      {10, 135, 13, 1},   // partial rows do not count
      {3, 10, 13, 4},     // not even one whole row visible
      {5, 130, 0, -1},    // no usable row height
  };
  for (const Case& c : cases) EXPECT_EQ(c.want, ScrollTopIndex(c.last, c.clientHeight, c.rowHeight));
}

TEST(LogFileNameFor, CabinetNameWithTheLogExtension) {
  const std::map<std::string, std::string> cases = {
      {"C:\\PATCH\\NOTES.CAB", "NOTES.log"}, {"NOTES.CAB", "NOTES.log"},     {"D:APP.V2.CAB", "APP.V2.log"},
      {"..\\PATCH\\NOEXT", "NOEXT.log"},     {"C:\\PATCH\\", "mendit.log"}, {"", "mendit.log"},
  };
  for (const auto& [patch, want] : cases) EXPECT_EQ(want, LogFileNameFor(patch)) << patch;
}

TEST(ProgressPosition, SixtyFourBitProduct) {
  struct Case {
    int32_t done, total;
    int want;
  } cases[] = {
      {500, 1000, 50}, {30000000, 60000000, 50}, {INT32_MAX, INT32_MAX, 100}, {0, 1, 0}, {1, 3, 33}, {5, 0, -1},
  };
  for (const Case& c : cases) EXPECT_EQ(c.want, ProgressPosition(c.done, c.total));
}

// The unattended command line: /S anywhere, /D= taking the rest of the line, help and errors
// going to the -log file or to the note in the temporary folder.
TEST(ParseSilentArguments, AnyOrderAndTheRestOfTheLineAfterD) {
  struct Case {
    std::vector<const char*> args;
    bool silent, parsed;
    std::string target, log, note;
    bool help;
  } cases[] = {
      {{"/S", "/D=C:\\Tool"}, true, true, "C:\\Tool", "", "T:\\MENDIT-S.LOG", false},
      {{"-log", "L.TXT", "/S", "/D=C:\\Program", "Files\\Tool"}, true, true, "C:\\Program Files\\Tool", "L.TXT", "L.TXT", false},
      {{"/s", "-wait", "5", "/D=C:\\A  B"}, true, true, "C:\\A  B", "", "T:\\MENDIT-S.LOG", false},
      {{"/S", "-h"}, true, true, "", "", "T:\\MENDIT-S.LOG", true},
      {{"/S", "-log", "L.TXT", "/?"}, true, true, "", "L.TXT", "L.TXT", true},
      {{"/S", "-log", "L.TXT", "-bogus"}, true, false, "", "L.TXT", "L.TXT", false},
      {{"/S", "-target", "C:\\T\\A.EXE", "/D=C:\\T"}, true, false, "C:\\T\\A.EXE", "", "T:\\MENDIT-S.LOG", false},
      {{"/S", "/D=C:\\A", "B", "-log", "L.TXT"}, true, true, "C:\\A B", "L.TXT", "L.TXT", false},
      {{"/S", "/D="}, true, false, "", "", "T:\\MENDIT-S.LOG", false},
      {{"PATCH.MNI"}, false, true, "", "", "", false},
  };
  for (const Case& c : cases) {
    const int argc = static_cast<int>(c.args.size());
    SCOPED_TRACE(c.args.empty() ? "" : c.args.back());
    EXPECT_EQ(c.silent, IsSilentCommandLine(argc, c.args.data()));
    if (!c.silent) continue;
    TCompanionOptions options;
    std::string error;
    EXPECT_EQ(c.parsed, ParseSilentArguments(argc, c.args.data(), options, error)) << error;
    if (c.parsed) {
      EXPECT_EQ(c.target, options.Target);
    }
    EXPECT_EQ(c.help, options.Help);
    EXPECT_EQ(c.log, options.LogFile);
    EXPECT_EQ(c.note, SilentNotePath(options, "T:\\"));
  }
  // All or nothing unless -norollback (or a check).
  const struct {
    std::vector<const char*> args;
    bool parsed, rollBack, strict;
  } rollBacks[] = {
      {{"/S"}, true, true, false},
      {{"/S", "-strict"}, true, true, true},
      {{"/S", "-NoRollback"}, true, false, false},
      {{"/S", "-check"}, true, false, false},
      {{"/S", "-rollback"}, true, true, false},
      {{"/S", "-norollback", "-rollback"}, false, false, false},
      {{"/S", "-norollback", "-strict"}, false, false, false},
  };
  for (const auto& c : rollBacks) {
    SCOPED_TRACE(c.args.back());
    TCompanionOptions options;
    std::string error;
    EXPECT_EQ(c.parsed, ParseSilentArguments(static_cast<int>(c.args.size()), c.args.data(), options, error)) << error;
    if (!c.parsed) continue;
    EXPECT_EQ(c.rollBack, options.RollBack);
    EXPECT_EQ(c.strict, options.Strict);
  }
}

}  // namespace
