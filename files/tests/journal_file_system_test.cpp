// The journal file system over the in-memory file system: what it refuses to note.
#include <gtest/gtest.h>

#include <string>

#include "files/journal_file_system.h"
#include "files/memory_file_system.h"
#include "tests/support/test_reporters.h"

namespace {

// A record path with a line end cannot write a journal line that deletes another file.
TEST(JournalFileSystem, NamesThatWouldForgeLinesAreRefused) {
  const std::string journalPath = "C:\\APP.MENDITCON-UNDO";
  TMemoryFileSystem files;
  files.AddDirectory("C:\\APP");
  files.AddFile("C:\\KEEP.DLL", {1}, MakeDosStamp(2001, 1, 2, 3, 4, 6));
  TJournalFileSystem journal(files, journalPath, "C:\\APP");
  ASSERT_TRUE(journal.Begin());
  EXPECT_EQ(nullptr, journal.Create("C:\\APP\\X\nabsent\tC:\\KEEP.DLL"));
  EXPECT_FALSE(journal.CreateDir("C:\\APP\\D\tE"));
  journal.Close();
  TSilentReporter silent;
  EXPECT_TRUE(RestoreJournal(files, journalPath, "C:\\APP", silent, nullptr));
  EXPECT_TRUE(files.Exists("C:\\KEEP.DLL"));
}

}  // namespace
