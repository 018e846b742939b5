// The companion's own portable parts: the record log and the command line.
#include <gtest/gtest.h>

#include <cstdio>
#include <string>
#include <vector>

#include "console/record_tracker.h"
#include "unattended/companion_options.h"
#include "unattended/record_log.h"
#include "unattended/run_summary.h"

namespace {

// Everything written to a temporary stream, read back.
std::string Written(std::FILE* stream) {
  std::string text;
  std::rewind(stream);
  for (int c = std::fgetc(stream); c != EOF; c = std::fgetc(stream)) text.push_back(static_cast<char>(c));
  return text;
}

TEST(RecordLog, OneLinePerRecordInAStableFormat) {
  std::vector<TRecordResult> records(5);
  records[0] = {0, ptModify, "C:\\APP\\APP.EXE", TRecordOutcome::Applied, true, "Applying modify patch (APP.EXE)"};
  records[1] = {1, ptDelete, "C:\\APP\\A\tB.DLL", TRecordOutcome::Failed, false, "Cannot delete file: A\tB.DLL"};
  records[2] = {2, 9, "C:\\APP\\X", TRecordOutcome::Ignored, false, "record of unknown type 9"};
  records[3] = {3, ptCopy, "c:\\app\\SUB\\NEW.DLL", TRecordOutcome::UpToDate, false, "NEW.DLL is up to date"};
  records[4] = {4, ptCopy, "C:\\APPLE\\NEW.DLL", TRecordOutcome::Applied, false, "Applying copy patch (NEW.DLL)"};
  std::FILE* out = std::tmpfile();
  ASSERT_NE(nullptr, out);
  WriteRecordLog(out, false, "C:\\APP", records, {"Damaged patch directory\nat 5"}, 3);
  EXPECT_EQ("# menditcon records 2 run\n"
            "0\tfailed\t-\t\tDamaged patch directory at 5\n"
            "1\trolled-back\tmodify\tAPP.EXE\tApplying modify patch (APP.EXE)\n"
            "2\tfailed\tdelete\tA B.DLL\tCannot delete file: A B.DLL\n"
            "3\tignored\tunknown\tX\trecord of unknown type 9\n"
            "4\tup-to-date\tcopy\tSUB\\NEW.DLL\tNEW.DLL is up to date\n"
            "5\tapplied\tcopy\tC:\\APPLE\\NEW.DLL\tApplying copy patch (NEW.DLL)\n"
            "# exit 3\n",
            Written(out));
  std::fclose(out);
}

// What the last rows say became of the application, from how the run ended.
TEST(RunSummary, TheApplicationStateIsTakenFromTheOutcome) {
  auto run = [](bool check, bool ran, int applied, int upToDate, int skipped, int failed) {
    TRunSummary r;
    r.Check = check;
    r.RecordsRan = ran;
    r.Applied = applied;
    r.UpToDate = upToDate;
    r.Skipped = skipped;
    r.Failed = failed;
    return r;
  };
  TRunSummary rolledBack = run(false, true, 0, 0, 0, 1), notPutBack = run(false, false, 0, 0, 0, 0);
  rolledBack.RolledBack = true;
  notPutBack.NotPutBack = true;
  const struct {
    const char* What;
    TRunSummary Run;
    TApplicationState Want;
  } cases[] = {
      {"all applied", run(false, true, 3, 1, 0, 0), TApplicationState::UpToDate},
      {"all up to date", run(false, true, 0, 4, 0, 0), TApplicationState::UpToDate},
      {"one skipped among applied", run(false, true, 3, 0, 1, 0), TApplicationState::MayBeIncomplete},
      {"one failed among applied", run(false, true, 3, 0, 0, 1), TApplicationState::MayBeIncomplete},
      {"every record failed or skipped", run(false, true, 0, 2, 1, 1), TApplicationState::Unchanged},
      {"stopped before the records", run(false, false, 0, 0, 0, 0), TApplicationState::Unchanged},
      {"a check", run(true, true, 3, 0, 1, 1), TApplicationState::Unchanged},
      {"rolled back", rolledBack, TApplicationState::Unchanged},
      {"not put back", notPutBack, TApplicationState::MayBeIncomplete},
  };
  for (const auto& c : cases) EXPECT_EQ(c.Want, ApplicationStateAfter(c.Run)) << c.What;
  EXPECT_EQ(std::vector<std::string>({"Records: 3 applied, 0 up to date, 1 skipped, 0 failed",
                                      "Result: the application may be incomplete", "Exit code: 1"}),
            SummaryRows(run(false, true, 3, 0, 1, 0), 1));
}

TEST(CompanionOptions, CommandLines) {
  struct TCase {
    std::vector<const char*> Args;
    bool Ok;
    bool Check;
    const char* Description;
    const char* Target;
    const char* Log;
  } cases[] = {
      {{}, true, false, "", "", ""},
      {{"APP.MNI"}, true, false, "APP.MNI", "", ""},
      {{"-check", "-target", "C:\\A\\A.EXE", "-log", "L.TXT", "X.MNI"}, true, true, "X.MNI", "C:\\A\\A.EXE", "L.TXT"},
      {{"A.MNI", "B.MNI"}, false, false, "", "", ""},
      {{"-log"}, false, false, "", "", ""},
      {{"-verbose"}, false, false, "", "", ""},
      {{"/CHECK", "/Target", "C:\\A.EXE", "X.MNI"}, true, true, "X.MNI", "C:\\A.EXE", ""},
      {{"/?"}, true, false, "", "", ""},
#ifdef _WIN32
      {{"/verbose"}, false, false, "", "", ""},
#else
      {{"/verbose"}, true, false, "/verbose", "", ""},  // a path elsewhere
#endif
      {{"-strict"}, false, false, "", "", ""},
      {{"-check", "-rollback"}, false, false, "", "", ""},
      {{"-logformat", "xml"}, false, false, "", "", ""},
      {{"-Wait", "30", "X.MNI"}, true, false, "X.MNI", "", ""},
      {{"-force", "X.MNI"}, true, false, "X.MNI", "", ""},
      {{"-wait", "-5"}, false, false, "", "", ""},
      {{"-wait", "86401"}, false, false, "", "", ""},
  };
  for (const TCase& c : cases) {
    TCompanionOptions options;
    std::string error;
    const bool ok = ParseCompanionArguments(static_cast<int>(c.Args.size()), c.Args.data(), options, error);
    EXPECT_EQ(c.Ok, ok) << error;
    if (!ok || !c.Ok) continue;
    EXPECT_EQ(c.Check, options.Check);
    EXPECT_EQ(c.Description, options.Description);
    EXPECT_EQ(c.Target, options.Target);
    EXPECT_EQ(c.Log, options.LogFile);
  }
}

TEST(CompanionOptions, HelpRollbackAndLogFormat) {
  const char* args[] = {"-ROLLBACK", "/Strict", "-LogFormat", "RECORDS", "--help"};
  TCompanionOptions options;
  std::string error;
  ASSERT_TRUE(ParseCompanionArguments(5, args, options, error)) << error;
  EXPECT_TRUE(options.RollBack && options.Strict && options.Help);
  EXPECT_EQ(TLogFormat::Records, options.LogFormat);
}

}  // namespace
