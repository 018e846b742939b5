// The console tools' shared parts: the row format of the log file, the check mode's verdicts
// over records in directory order (the engine over a record of changes, worded by outcome),
// the tracker's outcomes, and the option matching.
#include <gtest/gtest.h>

#include <cstdio>
#include <string>
#include <vector>

#include "console/command_line.h"
#include "console/console_reporter.h"
#include "console/record_tracker.h"
#include "files/memory_file_system.h"
#include "files/recording_file_system.h"
#include "patch/patch_writer.h"
#include "paths/macros.h"

namespace {

constexpr TDosStamp OldStamp = MakeDosStamp(2001, 1, 2, 3, 4, 6);
constexpr TDosStamp NewStamp = MakeDosStamp(2002, 1, 2, 3, 4, 6);

// Everything written to a temporary stream, read back.
std::string Drain(std::FILE* stream) {
  std::rewind(stream);
  std::string text;
  for (int c; (c = std::fgetc(stream)) != EOF;) text += static_cast<char>(c);
  return text;
}

TEST(ConsoleReporter, WritesRowsInTheLogFileFormat) {
  std::FILE* out = std::tmpfile();
  std::FILE* log = std::tmpfile();
  ASSERT_NE(nullptr, out);
  ASSERT_NE(nullptr, log);
  TConsoleReporter reporter(out, log);
  reporter.ReportInfo("Applying copy patch (%s)", "A.DLL");
  reporter.ReportWarning("File: %s has improper date/time stamp - skipping...", "B.DLL");
  reporter.ReportError("two\nlines");
  const std::string want =
      "\tApplying copy patch (A.DLL)\n"
      "[WARNING]\tFile: B.DLL has improper date/time stamp - skipping...\n"
      "[ERROR]\ttwo\n"
      "[ERROR]\tlines\n";
  EXPECT_EQ(want, Drain(out));
  EXPECT_EQ(want, Drain(log));
  EXPECT_EQ(2, reporter.ErrorRows());
  EXPECT_EQ(1, reporter.WarningRows());
  std::fclose(out);
  std::fclose(log);
}

struct TCheckCase {
  const char* Name;
  std::vector<TPatchInfo> Records;
  std::vector<std::vector<uint8_t>> Data;  // per record; a modify record's delta
  std::vector<std::string> WantRows;       // after "Reading patch directory..."
};

TPatchInfo Record(const char* path, uint32_t type, TDosStamp stamp, TDosStamp newStamp = 0) {
  return MakePatchInfo(path, type, stamp, newStamp);
}

// A delta that writes the three bytes 7, 8, 9.
std::vector<uint8_t> Delta() {
  TDeltaWriter delta;
  const uint8_t bytes[] = {7, 8, 9};
  delta.Literal(0, bytes, sizeof bytes);
  return delta.Bytes();
}

// The check: the engine itself over a record of changes, its rows worded as predictions (what
// later records see of earlier ones: files/tests/recording_file_system_test.cpp).
TEST(RecordCheck, TheEngineOverRecordedChangesWithoutTouchingFiles) {
  const std::vector<uint8_t> none, copied = {4, 5};
  const TCheckCase cases[] = {
      {"modify_applies", {Record("&ROOT&\\APP.EXE", ptModify, OldStamp, NewStamp)}, {Delta()},
       {"\tWould apply modify patch (APP.EXE)"}},
      {"malformed_delta_fails", {Record("&ROOT&\\APP.EXE", ptModify, OldStamp, NewStamp)}, {{1, 2, 3}},
       {"\tWould apply modify patch (APP.EXE)", "[ERROR]\tWould fail: Damaged patch data for file: APP.EXE"}},
      {"modify_of_other_version_is_skipped", {Record("&ROOT&\\APP.EXE", ptModify, NewStamp, NewStamp)}, {Delta()},
       {"[WARNING]\tWould skip: File: APP.EXE has improper date/time stamp - skipping..."}},
      {"missing_file_fails", {Record("&ROOT&\\GONE.DLL", ptDelete, OldStamp)}, {none},
       {"[ERROR]\tWould fail: Cannot open source file: GONE.DLL"}},
      {"unknown_type_is_ignored", {Record("&ROOT&\\APP.EXE", 7, OldStamp)}, {none}, {}},
  };
  for (const TCheckCase& c : cases) {
    SCOPED_TRACE(c.Name);
    TMemoryFileSystem files;
    files.AddDirectory("C:\\APP");
    files.AddFile("C:\\APP\\APP.EXE", {1, 2, 3}, OldStamp);
    TPatchWriter writer;
    for (size_t i = 0; i < c.Records.size(); ++i) writer.AddRecord(c.Records[i], c.Data[i]);
    TMemoryInputFile data(writer.Bytes());
    TMacroExpander macros;
    macros.AddMacro(new TMacroDef("&ROOT&", "C:\\APP"));
    std::FILE* out = std::tmpfile();
    ASSERT_NE(nullptr, out);
    TConsoleReporter reporter(out, nullptr);
    TRecordTracker tracker(reporter, true);
    TRecordingFileSystem recording(files);
    TPatchFile installer(&data, &macros, &tracker, &recording);
    installer.SetRecordObserver(&tracker);
    installer.Run();
    std::string want = "\tReading patch directory...\n";
    for (const std::string& row : c.WantRows) want += row + "\n";
    EXPECT_EQ(want, Drain(out));
    std::fclose(out);
    EXPECT_EQ(0, files.Writes);
    EXPECT_EQ(std::vector<std::string>({"C:\\APP\\APP.EXE"}), files.FileNames());
    EXPECT_EQ(std::vector<uint8_t>({1, 2, 3}), files.Contents("C:\\APP\\APP.EXE"));
    EXPECT_EQ(OldStamp, files.StampOf("C:\\APP\\APP.EXE"));
  }
}

// The tracker counts and explains records by the outcome the engine reports, whatever rows
// came before: a record finished after an interrupted run (a warning row first) is applied.
TEST(RecordCheck, OutcomesComeFromTheEngineNotFromRows) {
  TPatchWriter writer;
  writer.AddDelete("&ROOT&\\A.DLL", OldStamp);
  TMemoryInputFile data(writer.Bytes());
  TMemoryFileSystem files;
  std::FILE* out = std::tmpfile();
  ASSERT_NE(nullptr, out);
  TConsoleReporter reporter(out, nullptr);
  TRecordTracker tracker(reporter, false);
  TPatchFile installer(&data, nullptr, &tracker, &files);
  for (TRecordOutcome outcome : {TRecordOutcome::SkippedOtherVersion, TRecordOutcome::RecoveredAndApplied}) {
    tracker.BeforeRecord(installer, 0);
    tracker.ReportWarning("File: A.DLL was left incomplete by an interrupted run - restoring A.$$$...");
    tracker.ReportInfo("Applying delete patch (A.DLL)");
    tracker.AfterRecord(installer, 0, outcome, "C:\\A.DLL");
  }
  EXPECT_EQ(TRecordTally::Skipped, tracker.Results()[0].Tally());
  EXPECT_EQ("File: A.DLL was left incomplete by an interrupted run - restoring A.$$$...", tracker.Results()[0].Message);
  EXPECT_EQ(TRecordTally::Applied, tracker.Results()[1].Tally());
  EXPECT_EQ("Applying delete patch (A.DLL)", tracker.Results()[1].Message);
  EXPECT_EQ("C:\\A.DLL", tracker.Results()[1].Path);
  EXPECT_EQ(1, tracker.Count(TRecordTally::Applied));
  std::fclose(out);
}

TEST(ToolCommandLine, OptionsAndHelp) {
  struct TCase {
    const char* Arg;
    const char* Name;
    bool Is;
  } cases[] = {
      {"-check", "check", true}, {"/CHECK", "check", true}, {"-Check", "check", true},
      {"-checks", "check", false}, {"-chec", "check", false}, {"check", "check", false},
      {"--check", "check", false}, {"/", "check", false},
  };
  for (const TCase& c : cases) EXPECT_EQ(c.Is, IsOption(c.Arg, c.Name)) << c.Arg;
  for (const char* help : {"-h", "/H", "/?", "-?", "--help", "-HELP", "/help"}) EXPECT_TRUE(IsHelpOption(help)) << help;
  for (const char* other : {"-hh", "?", "h", "-", "---help"}) EXPECT_FALSE(IsHelpOption(other)) << other;
  EXPECT_FALSE(LooksLikeOption("-"));
  EXPECT_FALSE(LooksLikeOption("C:\\A.MNI"));
}

}  // namespace
