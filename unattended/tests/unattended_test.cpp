// The companion's own portable parts: the record log and the command line.
#include <gtest/gtest.h>

#include <cstdio>
#include <string>
#include <vector>

#include "console/record_tracker.h"
#include "unattended/companion_options.h"
#include "unattended/record_log.h"

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
