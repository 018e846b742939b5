#include "check_matches_run.h"

#include <gtest/gtest.h>

#include <set>

#include "patch/patch_file.h"
#include "console/record_tracker.h"
#include "files/recording_file_system.h"
#include "paths/macros.h"
#include "tests/support/test_reporters.h"

namespace {

bool Under(const std::string& path, const std::string& root) {
  return TMemoryFileSystem::Key(path).compare(0, root.size() + 1, TMemoryFileSystem::Key(root) + "\\") == 0;
}

// The files under root, copied so that they share no buffer with the original (a memory file
// system's own copy would).
void CopyFiles(const TMemoryFileSystem& from, const std::string& root, TMemoryFileSystem& to) {
  to.AddDirectory(root);
  for (const std::string& d : from.DirectoryNames())
    if (Under(d, root)) to.AddDirectory(d);
  for (const std::string& f : from.FileNames())
    if (Under(f, root)) to.AddFile(f, from.Contents(f), from.StampOf(f));
}

void Run(TFileSystem& files, const std::string& root, const std::vector<uint8_t>& data, TRecordTracker& tracker) {
  TMemoryInputFile input(data);
  TMacroExpander macros;
  macros.AddMacro(new TMacroDef("&ROOT&", root));
  TPatchFile installer(&input, &macros, &tracker, &files);
  installer.SetRecordObserver(&tracker);
  installer.Run();
}

void ExpectSame(const std::vector<uint8_t>& data, const TMemoryFileSystem& original, const std::string& root) {
  TSilentReporter silent;
  TMemoryFileSystem checked, ran;
  CopyFiles(original, root, checked);
  CopyFiles(original, root, ran);
  TRecordingFileSystem recording(checked);
  // A flipped delta offset can ask for a file of gigabytes: both refuse the same writes.
  ran.MaxFileSize = recording.MaxFileSize = 8 << 20;
  TRecordTracker prediction(silent, true), outcome(silent, false);
  Run(recording, root, data, prediction);
  Run(ran, root, data, outcome);

  EXPECT_EQ(0, checked.Writes);
  ASSERT_EQ(outcome.Results().size(), prediction.Results().size());
  for (size_t i = 0; i < outcome.Results().size(); ++i) {
    const TRecordResult &want = outcome.Results()[i], &got = prediction.Results()[i];
    EXPECT_EQ(RecordTallyName(want.Tally()), std::string(RecordTallyName(got.Tally()))) << want.Path;
    EXPECT_EQ(want.Message, got.Message) << want.Path;
  }
  EXPECT_EQ(outcome.ErrorsOutsideRecords(), prediction.ErrorsOutsideRecords());

  // The files as the run left them, seen through the record of changes.
  std::set<std::string> names;
  for (const std::string& f : checked.FileNames()) names.insert(f);
  for (const std::string& f : ran.FileNames()) names.insert(f);
  for (const std::string& name : names) {
    std::unique_ptr<TInputFile> file = recording.OpenRead(name.c_str());
    ASSERT_EQ(ran.Exists(name), file != nullptr) << name;
    if (!file) continue;
    std::vector<uint8_t> content(static_cast<size_t>(file->Size()));
    if (!content.empty()) file->Read(0, content.data(), content.size());
    EXPECT_EQ(ran.Contents(name), content) << name;
    TDosStamp stamp = 0;
    if (file->GetStamp(stamp)) {
      EXPECT_EQ(ran.StampOf(name), stamp) << name;
    }
  }
  for (const std::string& d : ran.DirectoryNames()) EXPECT_TRUE(recording.DirectoryExists(d.c_str())) << d;
}

}  // namespace

void ExpectCheckMatchesRun(const TMemoryFileSystem& files, const std::string& root,
                           const std::vector<uint8_t>& data) {
  ExpectSame(data, files, root);
  // Damaged copies: bytes flipped across headers and data, and the file cut short.
  constexpr size_t Variants = 10;
  for (size_t k = 0; k < Variants && !data.empty(); ++k) {
    SCOPED_TRACE("damage " + std::to_string(k));
    std::vector<uint8_t> flipped = data;
    flipped[(k * 7919 + 13 + k * data.size() / Variants) % data.size()] ^= 0x5A;
    ExpectSame(flipped, files, root);
    std::vector<uint8_t> cut(data.begin(), data.begin() + static_cast<long>(data.size() * k / Variants));
    ExpectSame(cut, files, root);
  }
}
