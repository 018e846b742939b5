// All-or-nothing runs over the in-memory file system with the process "killed" (an exception
// thrown from the file system, after half of a write) at every change of the run and at every
// change of the restore that follows: the next start always puts back every file's content,
// date/time and presence, and leaves no journal behind.
#include <gtest/gtest.h>

#include <cstdio>
#include <functional>
#include <map>
#include <string>
#include <vector>

#include "tests/support/killing_file_system.h"
#include "unattended/rollback_run.h"
#include "files/memory_file_system.h"
#include "patch/patch_file.h"
#include "patch/patch_writer.h"
#include "paths/macros.h"
#include "tests/support/test_reporters.h"

namespace {

using TBytes = std::vector<uint8_t>;
constexpr TDosStamp OldStamp = MakeDosStamp(2001, 1, 2, 3, 4, 6);
constexpr TDosStamp NewStamp = MakeDosStamp(2002, 1, 2, 3, 4, 6);
const std::string Journal = "C:\\APP.MENDITCON-UNDO";
const std::string Folder = "C:\\APP";

struct TFileState {
  TBytes Content;
  TDosStamp Stamp;
  bool operator==(const TFileState& o) const { return Content == o.Content && Stamp == o.Stamp; }
};
using TPicture = std::map<std::string, TFileState>;

TPicture Picture(const TMemoryFileSystem& files) {
  TPicture picture;
  for (const std::string& f : files.FileNames()) picture[TMemoryFileSystem::Key(f)] = {files.Contents(f), files.StampOf(f)};
  return picture;
}

void Copy(const TMemoryFileSystem& from, TMemoryFileSystem& to) {
  for (const std::string& d : from.DirectoryNames()) to.AddDirectory(d);
  for (const std::string& f : from.FileNames()) to.AddFile(f, from.Contents(f), from.StampOf(f));
}

// An installed application with an old backup beside it, and a patch that modifies, copies
// over an existing file, copies into new folders and deletes; when failing, its last record
// names a file that is not there.
void Installed(TMemoryFileSystem& files) {
  files.AddDirectory("C:\\APP");
  files.AddFile("C:\\APP\\APP.EXE", {1, 2, 3, 4}, OldStamp);
  files.AddFile("C:\\APP\\APP.$$$", {9}, OldStamp);
  files.AddFile("C:\\APP\\LIB.DLL", {5, 6}, OldStamp);
  files.AddFile("C:\\APP\\GONE.DLL", {7}, OldStamp);
}

TBytes Patch(bool failing) {
  TDeltaWriter delta;
  delta.CopyBlock(0, 0, {{1, {42}}});
  const uint8_t tail[] = {8, 8};
  delta.Literal(256, tail, sizeof tail);
  TPatchWriter writer;
  writer.AddModify("&ROOT&\\APP.EXE", OldStamp, NewStamp, delta.Bytes());
  writer.AddCopy("&ROOT&\\LIB.DLL", NewStamp, {6, 5, 4});
  writer.AddCopy("&ROOT&\\NEW\\SUB\\X.DLL", NewStamp, {3, 3});
  writer.AddDelete("&ROOT&\\GONE.DLL", OldStamp);
  if (failing) writer.AddDelete("&ROOT&\\MISSING.DLL", OldStamp);
  return writer.Bytes();
}

// afterRun is called once the records are done; rows about the journal go to reporter.
TRollbackResult RunPatch(TFileSystem& files, const TBytes& patch, bool strict, TRecordTracker& tracker,
                         TPatchReporter* reporter = nullptr, const std::function<void()>& afterRun = nullptr) {
  TSilentReporter silent;
  return RunAllOrNothing(files, Journal, Folder, strict, tracker, reporter ? *reporter : silent, nullptr, [&](TFileSystem& journaled) {
    TMemoryInputFile data(patch);
    TMacroExpander macros;
    macros.AddMacro(new TMacroDef("&ROOT&", "C:\\APP"));
    TPatchFile installer(&data, &macros, &tracker, &journaled);
    installer.SetRecordObserver(&tracker);
    installer.Run();
    if (afterRun) afterRun();
  });
}

TEST(AllOrNothing, KilledAtEveryChangeOfTheRunAndOfTheRestore) {
  for (bool failing : {true, false}) {
    SCOPED_TRACE(failing ? "failing patch" : "good patch");
    const TBytes patch = Patch(failing);
    TMemoryFileSystem original;
    Installed(original);
    const TPicture before = Picture(original);

    // Uninterrupted: put back, or committed with nothing of the journal left.
    TMemoryFileSystem whole;
    Copy(original, whole);
    TKillingFileSystem counting(whole, -1);
    TSilentReporter silent;
    TRecordTracker tracker(silent, false);
    ASSERT_EQ(failing ? TRollbackResult::RolledBack : TRollbackResult::Committed, RunPatch(counting, patch, false, tracker));
    if (failing) {
      EXPECT_EQ(before, Picture(whole));
    } else {
      EXPECT_EQ(NewStamp, whole.StampOf("C:\\APP\\NEW\\SUB\\X.DLL"));
      EXPECT_FALSE(whole.Exists("C:\\APP\\GONE.DLL"));
      EXPECT_TRUE(whole.Exists("C:\\APP\\NEW\\SUB\\X.DLL"));
      for (const std::string& f : whole.FileNames()) EXPECT_EQ(std::string::npos, f.find("UNDO")) << f;
    }
    const int runChanges = counting.Changes;
    const TPicture after = Picture(whole);
    ASSERT_GT(runChanges, 20);

    for (int kill = 0; kill < runChanges; ++kill) {
      SCOPED_TRACE("run killed at change " + std::to_string(kill));
      TMemoryFileSystem files;
      Copy(original, files);
      TKillingFileSystem killing(files, kill);
      bool killed = false;
      try {
        TRecordTracker tracker(silent, false);
        RunPatch(killing, patch, false, tracker);
      } catch (const TKilled&) {
        killed = true;
      }
      ASSERT_TRUE(killed);
      // The next start, itself killed at every change of its restore, then started again.
      for (int restoreKill = 0;; ++restoreKill) {
        TMemoryFileSystem next;
        Copy(files, next);
        TKillingFileSystem restoring(next, restoreKill);
        TSilentReporter silent;
        bool restoreKilled = false;
        try {
          EXPECT_TRUE(FinishUnfinishedRun(restoring, Journal, Folder, silent, nullptr));
        } catch (const TKilled&) {
          restoreKilled = true;
        }
        if (restoreKilled) {
          EXPECT_TRUE(FinishUnfinishedRun(next, Journal, Folder, silent, nullptr));
        }
        // A good run killed once its journal says it stands is finished, not put back.
        const TPicture picture = Picture(next);
        if (failing || picture != after) {
          EXPECT_EQ(before, picture) << "restore killed at change " << restoreKill;
        }
        if (!restoreKilled) break;
      }
    }
  }
}

// The patch names files in upper case (as the engine writes them); files put back keep the
// names they had, whether the run fails or is killed and put back on the next start.
TEST(AllOrNothing, FilesPutBackKeepTheirNames) {
  const std::vector<std::string> names{"C:\\APP\\app.Exe", "C:\\APP\\lib.dll", "C:\\APP\\Gone.dll"};
  for (int kill : {-1, 3, 8, 14}) {
    SCOPED_TRACE("killed at change " + std::to_string(kill));
    TMemoryFileSystem files;
    files.AddDirectory("C:\\APP");
    files.AddFile(names[0], {1, 2, 3, 4}, OldStamp);
    files.AddFile(names[1], {5, 6}, OldStamp);
    files.AddFile(names[2], {7}, OldStamp);
    TKillingFileSystem killing(files, kill);
    TSilentReporter silent;
    TRecordTracker tracker(silent, false);
    try {
      EXPECT_EQ(TRollbackResult::RolledBack, RunPatch(killing, Patch(true), false, tracker));
    } catch (const TKilled&) {
      ASSERT_TRUE(FinishUnfinishedRun(files, Journal, Folder, silent, nullptr));
    }
    for (const std::string& name : names) EXPECT_EQ(name, files.NameOf(name));
  }
}

TEST(AllOrNothing, StrictRollsBackSkippedRecordsAndADamagedJournalIsLeftAlone) {
  TMemoryFileSystem files;
  Installed(files);
  files.SetStamp("C:\\APP\\GONE.DLL", NewStamp);  // another version: its delete is skipped
  const TPicture before = Picture(files);
  TSilentReporter silent;
  TRecordTracker tracker(silent, false);
  const TBytes patch = Patch(false);
  EXPECT_EQ(TRollbackResult::RolledBack, RunPatch(files, patch, true, tracker));
  EXPECT_EQ(before, Picture(files));
  EXPECT_EQ(3, tracker.Count(TRecordTally::RolledBack));
  EXPECT_EQ(1, tracker.Count(TRecordTally::Skipped));

  for (const TBytes& journal : {TBytes{'X', '\n'}, TBytes{'M', 'E', 'N', 'D', 'I', 'T', ' ', 'J', 'O', 'U', 'R', 'N', 'A', 'L',
                                                          ' ', '1', '\n', 's', 'a', 'v', 'e', 'd', '\t', '\n'}}) {
    files.AddFile(Journal, journal, OldStamp);
    EXPECT_FALSE(FinishUnfinishedRun(files, Journal, Folder, silent, nullptr));
    EXPECT_TRUE(files.Exists(Journal));
    // Nor is another run's journal written over.
    EXPECT_EQ(TRollbackResult::NotStarted, RunPatch(files, patch, false, tracker));
    EXPECT_EQ(journal, files.Contents(Journal));
  }
}

}  // namespace

namespace {

// Every file but the journal's own.
TPicture Application(const TMemoryFileSystem& files) {
  TPicture picture = Picture(files);
  for (auto it = picture.begin(); it != picture.end();)
    it = it->first.compare(0, Journal.size(), Journal) == 0 ? picture.erase(it) : std::next(it);
  return picture;
}


// Each fault of the journal met during a run gives its row and changes no file of the
// application (journals a restore refuses: files/tests/journal_file_system_test.cpp).
TEST(AllOrNothing, JournalFaultsGiveTheirRowAndChangeNothing) {
  struct TCase {
    const char* Name;
    std::function<void(TMemoryFileSystem&)> Plant;     // before; null: nothing planted
    std::function<void(TMemoryFileSystem&)> AfterRun;  // at the end of the records
    std::string Row;                                   // the first error or warning row
    bool Stands;                                       // the run's changes stay
  };
  const TCase cases[] = {
      {"a file that cannot be opened", [](TMemoryFileSystem& files) { files.FailOpen.insert("C:\\APP\\LIB.DLL"); },
       [](TMemoryFileSystem&) {}, "ERROR Cannot open destination file: LIB.DLL", false},
      // Passed over, never written or deleted: the run takes the next number.
      {"a copy's name taken", [](TMemoryFileSystem& files) { files.AddFile(Journal + ".1", {9}, OldStamp); },
       [](TMemoryFileSystem&) {}, "", true},
      {"no commit line", nullptr, [](TMemoryFileSystem& files) { files.FailWrites.insert(Journal); },
       "ERROR Cannot write the journal that puts files back: C:\\APP.MENDITCON-UNDO", false},
      {"a journal that stays", nullptr, [](TMemoryFileSystem& files) { files.SetReadOnly(Journal, true); },
       "WARNING Cannot delete file: C:\\APP.MENDITCON-UNDO", true},
  };
  for (const TCase& c : cases) {
    SCOPED_TRACE(c.Name);
    TMemoryFileSystem files;
    Installed(files);
    if (c.Plant) c.Plant(files);
    const TPicture before = Application(files);
    TRecordingReporter rows;
    TRecordTracker tracker(rows, false);
    EXPECT_EQ(c.Stands ? TRollbackResult::Committed : TRollbackResult::RolledBack,
              RunPatch(files, Patch(false), false, tracker, &rows, [&] { c.AfterRun(files); }));
    std::string first;  // the first error row, else the first warning row
    for (const char* kind : {"ERROR ", "WARNING "})
      for (const std::string& row : rows.Lines)
        if (first.empty() && row.rfind(kind, 0) == 0) first = row;
    EXPECT_EQ(c.Row, first);
    if (c.Stands) {
      EXPECT_FALSE(files.Exists("C:\\APP\\GONE.DLL"));
    } else {
      EXPECT_EQ(before, Application(files));
    }
  }
}

}  // namespace
