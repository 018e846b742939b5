// The journal file system over the in-memory file system: where journals lie, what it refuses
// to note, and the journals a restore refuses whole. Runs that go wrong part-way through are
// tested with the all-or-nothing run that drives the engine through the journal.
#include <gtest/gtest.h>

#include <functional>
#include <map>
#include <string>
#include <vector>

#include "files/journal_file_system.h"
#include "files/memory_file_system.h"
#include "hash/sha256.h"
#include "tests/support/test_reporters.h"

namespace {

using TBytes = std::vector<uint8_t>;
constexpr TDosStamp OldStamp = MakeDosStamp(2001, 1, 2, 3, 4, 6);
const std::string Journal = "C:\\APP.MENDITCON-UNDO";
const std::string Folder = "C:\\APP";

TBytes Bytes(const std::string& s) { return TBytes(s.begin(), s.end()); }

TEST(JournalFileSystem, JournalPlaces) {
  EXPECT_EQ("C:\\APP.MENDITCON-UNDO", JournalPathFor("C:\\APP\\"));
  EXPECT_EQ("C:\\TEMP\\MENDITCON-UNDO-D", JournalPathFor("D:", "C:\\TEMP\\"));
}

// A record path with a line end cannot write a journal line that deletes another file.
TEST(JournalFileSystem, NamesThatWouldForgeLinesAreRefused) {
  TMemoryFileSystem files;
  files.AddDirectory("C:\\APP");
  files.AddFile("C:\\KEEP.DLL", {1}, OldStamp);
  TJournalFileSystem journal(files, Journal, Folder);
  ASSERT_TRUE(journal.Begin());
  EXPECT_EQ(nullptr, journal.Create("C:\\APP\\X\nabsent\tC:\\KEEP.DLL"));
  EXPECT_FALSE(journal.CreateDir("C:\\APP\\D\tE"));
  journal.Close();
  TSilentReporter silent;
  EXPECT_TRUE(RestoreJournal(files, Journal, Folder, silent, nullptr));
  EXPECT_TRUE(files.Exists("C:\\KEEP.DLL"));
}

// Every file but the journal's own, with content and date/time.
std::map<std::string, std::pair<TBytes, TDosStamp>> Application(const TMemoryFileSystem& files) {
  std::map<std::string, std::pair<TBytes, TDosStamp>> picture;
  for (const std::string& f : files.FileNames())
    if (TMemoryFileSystem::Key(f).compare(0, Journal.size(), Journal) != 0)
      picture[TMemoryFileSystem::Key(f)] = {files.Contents(f), files.StampOf(f)};
  return picture;
}

// A planted journal is refused whole, with its row, before anything is changed; a saved copy
// that is gone or damaged is not put back, and the journal stays for the next attempt.
TEST(JournalFileSystem, RefusedJournalsChangeNothing) {
  const std::string v2 = "MENDIT JOURNAL 2\nfolder\tC:\\APP\n";
  const std::string appDigest = Sha256("\x01\x02\x03\x04", 4).Hex();
  auto journal = [](std::string text) {
    return [text](TMemoryFileSystem& files) { files.AddFile(Journal, Bytes(text), OldStamp); };
  };
  const struct {
    const char* Name;
    std::function<void(TMemoryFileSystem&)> Plant;
    std::string Row;  // the first error row
  } cases[] = {
      {"a path outside the folder", journal(v2 + "absent\tC:\\OTHER\\KEEP.DLL\n"),
       "ERROR Refused journal: C:\\APP.MENDITCON-UNDO names a file outside C:\\APP: C:\\OTHER\\KEEP.DLL"},
      {"a path climbing out", journal("MENDIT JOURNAL 1\nabsent\tC:\\APP\\..\\OTHER\\KEEP.DLL\n"),
       "ERROR Refused journal: C:\\APP.MENDITCON-UNDO names a file outside C:\\APP: C:\\APP\\..\\OTHER\\KEEP.DLL"},
      {"another folder's journal", journal("MENDIT JOURNAL 2\nfolder\tC:\\OTHER\nabsent\tC:\\APP\\APP.EXE\n"),
       "ERROR Refused journal: C:\\APP.MENDITCON-UNDO is not the journal of C:\\APP"},
      {"a stranger's journal",
       [&](TMemoryFileSystem& files) {
         journal(v2 + "absent\tC:\\APP\\APP.EXE\n")(files);
         files.Untrusted.insert(Journal);
       },
       "ERROR Refused journal: C:\\APP.MENDITCON-UNDO is owned by neither you nor the administrators"},
      {"a stranger's copy",
       [&](TMemoryFileSystem& files) {
         journal(v2 + "saved\t1\t-\t1\t" + Sha256("\x09", 1).Hex() + "\tC:\\APP\\APP.EXE\n")(files);
         files.AddFile(Journal + ".1", {9}, OldStamp);
         files.Untrusted.insert(Journal + ".1");
       },
       "ERROR Refused journal: its copy C:\\APP.MENDITCON-UNDO.1 is owned by neither you nor the administrators"},
      {"a copy gone, the file not put back",
       journal(v2 + "saved\t1\t-\t1\t" + Sha256("\x09", 1).Hex() + "\tC:\\APP\\APP.EXE\n"),
       "ERROR The saved copy of C:\\APP\\APP.EXE is missing: C:\\APP.MENDITCON-UNDO.1"},
      {"a damaged copy",
       [&](TMemoryFileSystem& files) {
         journal(v2 + "saved\t1\t-\t4\t" + appDigest + "\tC:\\APP\\APP.EXE\n")(files);
         files.AddFile(Journal + ".1", {1, 2, 3, 5}, OldStamp);
       },
       "ERROR The saved copy of C:\\APP\\APP.EXE is damaged: C:\\APP.MENDITCON-UNDO.1"},
      // Links planted after the run: a folder swapped for one, one at a saved copy's name.
      {"a folder swapped for a link",
       [&](TMemoryFileSystem& files) {
         journal(v2 + "dir\tC:\\APP\\NEW\nabsent\tC:\\APP\\NEW\\KEEP.DLL\n")(files);
         files.Links["C:\\APP\\NEW"] = "C:\\OTHER";
       },
       "ERROR Refused journal: C:\\APP.MENDITCON-UNDO leads outside C:\\APP through a link: C:\\APP\\NEW"},
      {"a link at a saved copy",
       [&](TMemoryFileSystem& files) {
         journal(v2 + "saved\t1\t-\t1\t" + Sha256("\x01", 1).Hex() + "\tC:\\APP\\APP.EXE\n")(files);
         files.Links[Journal + ".1"] = "C:\\OTHER\\KEEP.DLL";
       },
       "ERROR Refused journal: its copy C:\\APP.MENDITCON-UNDO.1 is a link or has other names"},
      {"a file with other names",
       [&](TMemoryFileSystem& files) {
         journal(v2 + "absent\tC:\\APP\\APP.EXE\n")(files);
         files.OtherNames.insert("C:\\APP\\APP.EXE");
       },
       "ERROR Refused journal: C:\\APP.MENDITCON-UNDO leads outside C:\\APP through a link: C:\\APP\\APP.EXE"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.Name);
    TMemoryFileSystem files;
    files.AddDirectory("C:\\APP");
    files.AddFile("C:\\APP\\APP.EXE", {1, 2, 3, 4}, OldStamp);
    files.AddDirectory("C:\\OTHER");
    files.AddFile("C:\\OTHER\\KEEP.DLL", {1}, OldStamp);
    c.Plant(files);
    const auto before = Application(files);
    TRecordingReporter rows;
    EXPECT_FALSE(RestoreJournal(files, Journal, Folder, rows, nullptr));
    EXPECT_TRUE(files.Exists(Journal));
    std::string first;
    for (const std::string& row : rows.Lines)
      if (first.empty() && row.rfind("ERROR ", 0) == 0) first = row;
    EXPECT_EQ(c.Row, first);
    EXPECT_EQ(before, Application(files));
  }
}

}  // namespace
