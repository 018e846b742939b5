#include "engine_table.h"

#include <gtest/gtest.h>

#include "files/memory_file_system.h"
#include "installer_test_data.h"

// The fault layer.

namespace {

struct TBrokenInput : TInputFile {
  TBrokenInput(std::unique_ptr<TInputFile> inner, bool failReads, bool failStamp)
      : inner(std::move(inner)), failReads(failReads), failStamp(failStamp) {}
  int64_t Read(int64_t offset, void* buffer, size_t size) override {
    return failReads ? -1 : inner->Read(offset, buffer, size);
  }
  int64_t Size() override { return inner->Size(); }
  bool GetStamp(TDosStamp& stamp) override { return !failStamp && inner->GetStamp(stamp); }
  std::unique_ptr<TInputFile> inner;
  bool failReads, failStamp;
};

struct TBrokenOutput : TOutputFile {
  TBrokenOutput(std::unique_ptr<TOutputFile> inner, bool failWrites, int64_t maxSize)
      : inner(std::move(inner)), failWrites(failWrites), maxSize(maxSize) {}
  bool Write(int64_t offset, const void* buffer, size_t size) override {
    if (failWrites || offset + static_cast<int64_t>(size) > maxSize) return false;
    return inner->Write(offset, buffer, size);
  }
  bool Flush() override { return inner->Flush(); }
  std::unique_ptr<TOutputFile> inner;
  bool failWrites;
  int64_t maxSize;
};

}  // namespace

bool TFaultyFiles::Has(const TPaths& paths, const char* path) {
  return paths.count(TMemoryFileSystem::Key(path)) != 0;
}

std::unique_ptr<TInputFile> TFaultyFiles::OpenRead(const char* path) {
  std::unique_ptr<TInputFile> file = inner.OpenRead(path);
  if (file && (Has(FailReads, path) || Has(FailStamp, path)))
    return std::make_unique<TBrokenInput>(std::move(file), Has(FailReads, path), Has(FailStamp, path));
  return file;
}

std::unique_ptr<TOutputFile> TFaultyFiles::Faulty(std::unique_ptr<TOutputFile> file, const char* path) {
  if (file && (Has(FailWrites, path) || MaxFileSize != INT64_MAX))
    return std::make_unique<TBrokenOutput>(std::move(file), Has(FailWrites, path), MaxFileSize);
  return file;
}

std::unique_ptr<TOutputFile> TFaultyFiles::Create(const char* path) {
  return Has(FailCreate, path) ? nullptr : Faulty(inner.Create(path), path);
}

std::unique_ptr<TOutputFile> TFaultyFiles::CreateNew(const char* path) {
  return Has(FailCreate, path) ? nullptr : Faulty(inner.CreateNew(path), path);
}

bool TFaultyFiles::Move(const char* from, const char* to) { return !Has(FailMove, from) && inner.Move(from, to); }

bool TFaultyFiles::Replace(const char* from, const char* to) {
  return !Has(FailMove, from) && inner.Replace(from, to);
}

bool TFaultyFiles::CreateDir(const char* path) { return !Has(FailCreateDir, path) && inner.CreateDir(path); }

// The scene.

TEngineScene::TEngineScene(TEngineWorld& world) : World(world), Files(world.Files()) {
  Macros.AddMacro(new TMacroDef("&ROOT&", world.Root()));
}

std::string TEngineScene::At(const std::string& name) const { return World.Root() + "\\" + name; }

void TEngineScene::Put(const std::string& name, const std::vector<uint8_t>& bytes, TDosStamp stamp, bool readOnly) {
  TFileSystem& files = World.Files();
  std::unique_ptr<TOutputFile> out = files.Create(At(name).c_str());
  ASSERT_TRUE(out != nullptr) << name;
  ASSERT_TRUE(bytes.empty() || out->Write(0, bytes.data(), bytes.size())) << name;
  out.reset();
  ASSERT_TRUE(files.SetStamp(At(name).c_str(), stamp)) << name;
  if (readOnly) {
    ASSERT_TRUE(files.MakeReadOnly(At(name).c_str(), true)) << name;
  }
}

void TEngineScene::Folder(const std::string& name) { ASSERT_TRUE(World.Files().CreateDir(At(name).c_str())) << name; }

void TEngineScene::Fault(TFaultyFiles::TPaths TFaultyFiles::*faults, const std::string& name) {
  (Files.*faults).insert(TMemoryFileSystem::Key(At(name)));
}

bool TEngineScene::Exists(const std::string& name) { return World.Files().FileExists(At(name).c_str()); }

std::vector<uint8_t> TEngineScene::Contents(const std::string& name) {
  std::unique_ptr<TInputFile> in = World.Files().OpenRead(At(name).c_str());
  if (!in) return Bytes("<missing>");
  std::vector<uint8_t> bytes(static_cast<size_t>(in->Size()));
  if (!bytes.empty() && in->Read(0, bytes.data(), bytes.size()) != static_cast<int64_t>(bytes.size()))
    return Bytes("<unreadable>");
  return bytes;
}

TDosStamp TEngineScene::Stamp(const std::string& name) {
  std::unique_ptr<TInputFile> in = World.Files().OpenRead(At(name).c_str());
  TDosStamp stamp = 0;
  if (in) in->GetStamp(stamp);
  return stamp;
}

bool TEngineScene::IsReadOnly(const std::string& name) { return World.Files().ReadOnly(At(name).c_str()); }

void TEngineScene::AfterRecord(TPatchFile&, int, TRecordOutcome outcome, const std::string& path) {
  Outcomes.push_back(outcome);
  Paths.push_back(path);
}

void RunEngineCase(TEngineWorld& world, const TEngineCase& c) {
  SCOPED_TRACE(c.Name);
  TEngineScene scene(world);
  c.Arrange(scene);
  if (::testing::Test::HasFatalFailure()) return;
  std::vector<uint8_t> data = scene.Records.Bytes();
  if (scene.Keep >= 0) data.resize(static_cast<size_t>(scene.Keep));
  scene.DataSize = static_cast<int64_t>(data.size());
  TMemoryInputFile file(data);
  TPatchFile installer(&file, &scene.Macros, &scene.Reporter, &scene.Files);
  installer.SetMessageHook([](void* count) { ++*static_cast<int*>(count); }, &scene.HookCalls);
  installer.SetRecordObserver(&scene);
  installer.Run();
  TLines want = {reading};
  want.insert(want.end(), c.Rows.begin(), c.Rows.end());
  EXPECT_EQ(want, scene.Reporter.Lines);
  if (c.Check) c.Check(scene);
}

// The cases.

namespace {

using TBytes = std::vector<uint8_t>;

// The delta used for MAIN.EXE throughout: every block kind over a 1000-byte file, blocks out
// of order, one copy near the end of the previous version (zero bytes follow it).
TBytes MainDelta() {
  TDeltaWriter delta;
  const TBytes text = Bytes("new text");
  delta.CopyBlock(256, 256);
  delta.CopyBlock(0, 3, {{0, Bytes("AB")}, {10, Bytes("C")}, {5, {}}});
  delta.LiteralBlock(512, text.data(), text.size());
  delta.CopyBlock(520, 900);
  delta.LiteralBlock(776, Counting(256, 9).data(), 256);
  return delta.Bytes();
}

// What MainDelta makes of Counting(1000, seed).
TBytes MainRebuilt(int seed = 0) {
  const TBytes old = Counting(1000, seed);
  const TBytes tail = Counting(256, 9);
  const std::string text = "new text";
  TBytes want(776 + 256, 0);
  for (size_t i = 0; i < 256; ++i) want[i] = old[3 + i];
  want[0] = 'A';
  want[1] = 'B';
  want[10] = 'C';
  for (size_t i = 256; i < 512; ++i) want[i] = old[i];
  for (size_t i = 0; i < text.size(); ++i) want[512 + i] = static_cast<uint8_t>(text[i]);
  for (size_t i = 0; i < 100; ++i) want[520 + i] = old[900 + i];  // then zeros: past the end
  for (size_t i = 0; i < 256; ++i) want[776 + i] = tail[i];
  return want;
}

// A delta whose edit reaches past the end of its block.
TBytes MalformedDelta() {
  TDeltaWriter malformed;
  malformed.CopyBlock(0, 0);
  malformed.AppendInt32(256);
  malformed.AppendInt32(0);
  malformed.Append({250, 10});
  return malformed.Bytes();
}

const TDosStamp interruptedStamp = MakeDosStamp(2003, 1, 1, 0, 0, 0);
const std::string userFile = "the user's file";

// A copy of 1000 bytes to SUB\FILE.DAT, then a delete the run goes on to after a failure.
void CopyToSubThenNext(TEngineScene& s) {
  s.Records.AddCopy("&ROOT&\\Sub\\File.dat", oldStamp, Counting(1000));
  s.Records.AddDelete("&ROOT&\\NEXT.TXT", 0);
}
void NoFileOfUnreadBytes(TEngineScene& s) {
  EXPECT_FALSE(s.Exists("SUB\\FILE.DAT"));
  EXPECT_EQ(TLines{}, s.World.Listing());
}

// The user's File.dat, newer than the patch, then a copy of 600 KB over it.
void CopyOverUserFile(TEngineScene& s, bool readOnly) {
  s.Put("File.dat", Bytes(userFile), newStamp, readOnly);
  s.Records.AddCopy("&ROOT&\\File.dat", oldStamp, Counting(600 * 1024, 1));
}
// Only the file itself, under the spelling it had; its content whole, old or new.
void UserFileKept(TEngineScene& s) {
  EXPECT_EQ(TLines{"File.dat"}, s.World.Listing());
  EXPECT_EQ(Bytes(userFile), s.Contents("FILE.DAT"));
  EXPECT_EQ(newStamp, s.Stamp("FILE.DAT"));
}

// The delete of "old.dll" at oldStamp: the check names the file by its full path (upper
// case), the rest as the record spells it.
void DeleteOld(TEngineScene& s) { s.Records.AddDelete("&ROOT&\\old.dll", oldStamp); }
void OldKept(TEngineScene& s) { EXPECT_TRUE(s.Exists("OLD.DLL")); }
void OldGone(TEngineScene& s) { EXPECT_EQ(TLines{}, s.World.Listing()); }

// MAIN.EXE at oldStamp, its modify record and a delete the run goes on to after a failure.
void ModifyMainThenNext(TEngineScene& s, const TBytes& delta) {
  s.Put("MAIN.EXE", Counting(1000), oldStamp);
  s.Records.AddModify("&ROOT&\\MAIN.EXE", oldStamp, newStamp, delta);
  s.Records.AddDelete("&ROOT&\\NEXT.TXT", 0);
}
// The previous version is back in place, and nothing else is left.
void MainPutBack(TEngineScene& s) {
  EXPECT_EQ(Counting(1000), s.Contents("MAIN.EXE"));
  EXPECT_EQ(oldStamp, s.Stamp("MAIN.EXE"));
  EXPECT_EQ(TLines{"MAIN.EXE"}, s.World.Listing());
}
const std::string nextMissing = "ERROR Cannot open source file: NEXT.TXT";

// A run ended in the middle of MAIN.EXE's modify record: what it wrote so far (as MAIN.EXE,
// or beside it as MAIN.$$N when it ended between the two renames) and the backup it made.
void Interrupted(TEngineScene& s, const TBytes& written, bool renamed, TDosStamp backupStamp) {
  s.Put(renamed ? "MAIN.$$N" : "MAIN.EXE", written, interruptedStamp);
  s.Put("MAIN.$$$", Counting(1000), backupStamp);
  s.Records.AddModify("&ROOT&\\MAIN.EXE", oldStamp, newStamp, MainDelta());
}
TBytes PartWritten() {
  const TBytes rebuilt = MainRebuilt();
  return TBytes(rebuilt.begin(), rebuilt.begin() + 300);
}
TBytes LongerThanNew() {
  TBytes longer = MainRebuilt();
  longer.push_back(0);
  return longer;
}
void ExpectOutcome(TEngineScene& s, TRecordOutcome outcome) {
  EXPECT_EQ(std::vector<TRecordOutcome>{outcome}, s.Outcomes);
  ASSERT_EQ(1u, s.Paths.size());
  EXPECT_EQ(TMemoryFileSystem::Key(s.At("MAIN.EXE")), TMemoryFileSystem::Key(s.Paths[0]));
}
// The next run put the backup back and applied the record.
void Recovered(TEngineScene& s) {
  ExpectOutcome(s, TRecordOutcome::RecoveredAndApplied);
  EXPECT_EQ(MainRebuilt(), s.Contents("MAIN.EXE"));
  EXPECT_EQ(newStamp, s.Stamp("MAIN.EXE"));
  EXPECT_EQ(Counting(1000), s.Contents("MAIN.$$$"));
  EXPECT_EQ(oldStamp, s.Stamp("MAIN.$$$"));
  EXPECT_EQ((TLines{"MAIN.$$$", "MAIN.EXE"}), s.World.Listing());
}
// The next run left what it found alone: it is not what this record writes.
void NotRecovered(TEngineScene& s, const TBytes& target, TDosStamp backupStamp) {
  ExpectOutcome(s, TRecordOutcome::SkippedOtherVersion);
  EXPECT_EQ(target, s.Contents("MAIN.EXE"));
  EXPECT_EQ(interruptedStamp, s.Stamp("MAIN.EXE"));
  EXPECT_EQ(Counting(1000), s.Contents("MAIN.$$$"));
  EXPECT_EQ(backupStamp, s.Stamp("MAIN.$$$"));
  EXPECT_FALSE(s.Exists("MAIN.$$N"));
}
const std::string recovering = "WARNING File: MAIN.EXE was left incomplete by an interrupted run - restoring MAIN.$$$...";
const std::string mainOtherStamp = "WARNING File: MAIN.EXE has improper date/time stamp - skipping...";

}  // namespace

const std::vector<TEngineCase>& EngineCases() {
  static const std::vector<TEngineCase> cases = {
      {"no_records", [](TEngineScene&) {}, {}, [](TEngineScene& s) { EXPECT_EQ(TLines{}, s.World.Listing()); }},

      // Copy records.
      {"copy_makes_its_folders_and_stamps_the_file",
       [](TEngineScene& s) { s.Records.AddCopy("&ROOT&\\data\\New\\File.dat", oldStamp, Counting(70000)); },
       {"INFO Applying copy patch (File.dat)"},
       [](TEngineScene& s) {
         EXPECT_EQ(TLines{"DATA\\NEW\\FILE.DAT"}, s.World.Listing());
         EXPECT_EQ(Counting(70000), s.Contents("DATA\\NEW\\FILE.DAT"));
         EXPECT_EQ(oldStamp, s.Stamp("DATA\\NEW\\FILE.DAT"));
       }},
      {"copy_of_an_empty_file", [](TEngineScene& s) { s.Records.AddCopy("&ROOT&\\Empty.txt", newStamp, {}); },
       {"INFO Applying copy patch (Empty.txt)"},
       [](TEngineScene& s) {
         EXPECT_EQ(TBytes(), s.Contents("EMPTY.TXT"));
         EXPECT_EQ(newStamp, s.Stamp("EMPTY.TXT"));
       }},
      {"copy_makes_folders_of_any_depth_that_fits",
       // Three levels of 60 characters below the root: a directory part of some 220.
       [](TEngineScene& s) {
         const std::string dir = std::string(60, 'A') + "\\" + std::string(60, 'B') + "\\" + std::string(60, 'C');
         s.Records.AddCopy("&ROOT&\\" + dir + "\\F.TXT", oldStamp, Bytes("deep"));
       },
       {"INFO Applying copy patch (F.TXT)"},
       [](TEngineScene& s) {
         const std::string dir = std::string(60, 'A') + "\\" + std::string(60, 'B') + "\\" + std::string(60, 'C');
         EXPECT_EQ(Bytes("deep"), s.Contents(dir + "\\F.TXT"));
       }},
      {"copy_over_a_longer_file_leaves_no_tail_and_no_backup",
       [](TEngineScene& s) {
         s.Put("Old.txt", Bytes("a longer previous content"), newStamp);
         s.Records.AddCopy("&ROOT&\\Old.txt", oldStamp, Bytes("short"));
       },
       {"INFO Applying copy patch (Old.txt)"},
       [](TEngineScene& s) {
         EXPECT_EQ(TLines{"Old.txt"}, s.World.Listing());
         EXPECT_EQ(Bytes("short"), s.Contents("OLD.TXT"));
         EXPECT_EQ(oldStamp, s.Stamp("OLD.TXT"));
       }},
      {"copy_over_a_file_replaces_it_whole_keeping_its_spelling",
       [](TEngineScene& s) { CopyOverUserFile(s, false); }, {"INFO Applying copy patch (File.dat)"},
       [](TEngineScene& s) {
         EXPECT_EQ(TLines{"File.dat"}, s.World.Listing());
         EXPECT_EQ(Counting(600 * 1024, 1), s.Contents("FILE.DAT"));
         EXPECT_EQ(oldStamp, s.Stamp("FILE.DAT"));
         // Waiting messages are dispatched before every 256 KB piece of the copy.
         EXPECT_EQ(3, s.HookCalls);
       }},
      {"copy_over_a_read_only_file_is_refused", [](TEngineScene& s) { CopyOverUserFile(s, true); },
       {"INFO Applying copy patch (File.dat)", "ERROR Cannot open destination file: File.dat"},
       [](TEngineScene& s) {
         UserFileKept(s);
         EXPECT_TRUE(s.IsReadOnly("FILE.DAT"));
       }},
      {"copy_over_a_file_failing_midway_keeps_it",
       [](TEngineScene& s) {
         s.Files.MaxFileSize = 300 * 1024;
         CopyOverUserFile(s, false);
       },
       {"INFO Applying copy patch (File.dat)", "ERROR Cannot write destination file: File.dat"}, UserFileKept},
      {"copy_data_cut_short",
       [](TEngineScene& s) {
         CopyToSubThenNext(s);
         s.Keep = 221 + 500;
       },
       {"INFO Applying copy patch (File.dat)", "ERROR Cannot read patch data for file: File.dat"}, NoFileOfUnreadBytes},
      {"copy_folder_refused",
       [](TEngineScene& s) {
         s.Fault(&TFaultyFiles::FailCreateDir, "SUB");
         CopyToSubThenNext(s);
       },
       {"INFO Applying copy patch (File.dat)", "ERROR Cannot create directories for file: File.dat", nextMissing},
       NoFileOfUnreadBytes},
      {"copy_file_refused",
       [](TEngineScene& s) {
         s.Fault(&TFaultyFiles::FailCreate, "SUB\\FILE.DAT");
         CopyToSubThenNext(s);
       },
       {"INFO Applying copy patch (File.dat)", "ERROR Cannot open destination file: File.dat", nextMissing},
       NoFileOfUnreadBytes},
      {"copy_write_fails",
       [](TEngineScene& s) {
         s.Fault(&TFaultyFiles::FailWrites, "SUB\\FILE.DAT");
         CopyToSubThenNext(s);
       },
       {"INFO Applying copy patch (File.dat)", "ERROR Cannot write destination file: File.dat", nextMissing},
       NoFileOfUnreadBytes},

      // Delete records act only on the exact version.
      {"delete_of_the_exact_version",
       [](TEngineScene& s) {
         s.Put("OLD.DLL", {1}, oldStamp);
         DeleteOld(s);
       },
       {"INFO Applying delete patch (old.dll)"}, OldGone},
      {"delete_of_another_stamp",
       [](TEngineScene& s) {
         s.Put("OLD.DLL", {1}, newStamp);
         DeleteOld(s);
       },
       {"WARNING File: OLD.DLL has improper date/time stamp - skipping..."}, OldKept},
      {"delete_of_a_stamp_two_seconds_off",
       [](TEngineScene& s) {
         s.Put("OLD.DLL", {1}, oldStamp + 1);
         DeleteOld(s);
       },
       {"WARNING File: OLD.DLL has improper date/time stamp - skipping..."}, OldKept},
      {"delete_when_the_stamp_cannot_be_read",
       [](TEngineScene& s) {
         s.Put("OLD.DLL", {1}, oldStamp);
         s.Fault(&TFaultyFiles::FailStamp, "OLD.DLL");
         DeleteOld(s);
       },
       {"WARNING File: OLD.DLL has improper date/time stamp - skipping..."}, OldKept},
      {"delete_of_a_missing_file", DeleteOld, {"ERROR Cannot open source file: OLD.DLL"}, nullptr},
      {"delete_of_a_read_only_file",
       [](TEngineScene& s) {
         s.Put("OLD.DLL", {1}, oldStamp, true);
         DeleteOld(s);
       },
       {"INFO Applying delete patch (old.dll)", "ERROR Cannot delete file: old.dll"}, OldKept},

      // Modify records.
      {"modify_rebuilds_from_every_block_kind_and_keeps_the_backup",
       [](TEngineScene& s) {
         s.Put("Main.exe", Counting(1000), oldStamp);
         s.Records.AddModify("&ROOT&\\Main.exe", oldStamp, newStamp, MainDelta());
       },
       {"INFO Applying modify patch (Main.exe)"},
       [](TEngineScene& s) {
         EXPECT_EQ((TLines{"MAIN.$$$", "MAIN.EXE"}), s.World.Listing());
         EXPECT_EQ(MainRebuilt(), s.Contents("MAIN.EXE"));
         EXPECT_EQ(newStamp, s.Stamp("MAIN.EXE"));
         EXPECT_EQ(Counting(1000), s.Contents("MAIN.$$$"));
         EXPECT_EQ(oldStamp, s.Stamp("MAIN.$$$"));
         // Once per block: the hook, then progress against the length of the data file.
         EXPECT_EQ(5, s.HookCalls);
         ASSERT_EQ(5u, s.Reporter.Progress.size());
         EXPECT_EQ(776, s.Reporter.Progress.back().first);
         EXPECT_EQ(s.DataSize, s.Reporter.Progress.back().second);
       }},
      {"modify_of_two_files_sharing_a_backup_name",
       [](TEngineScene& s) {
         s.Put("MAIN.EXE", Counting(1000), oldStamp);
         s.Put("MAIN.DLL", Counting(1000, 5), oldStamp);
         s.Records.AddModify("&ROOT&\\MAIN.EXE", oldStamp, newStamp, MainDelta());
         s.Records.AddModify("&ROOT&\\MAIN.DLL", oldStamp, newStamp, MainDelta());
       },
       {"INFO Applying modify patch (MAIN.EXE)", "INFO Applying modify patch (MAIN.DLL)"},
       [](TEngineScene& s) {
         EXPECT_EQ(MainRebuilt(), s.Contents("MAIN.EXE"));
         EXPECT_EQ(MainRebuilt(5), s.Contents("MAIN.DLL"));
         EXPECT_EQ(newStamp, s.Stamp("MAIN.DLL"));
         EXPECT_EQ(Counting(1000, 5), s.Contents("MAIN.$$$"));  // the previous MAIN.DLL
       }},
      {"modify_of_a_name_without_extension",
       [](TEngineScene& s) {
         s.Put("README", Counting(1000, 7), oldStamp);
         s.Records.AddModify("&ROOT&\\README", oldStamp, newStamp, MainDelta());
       },
       {"INFO Applying modify patch (README.)"},
       [](TEngineScene& s) {
         EXPECT_EQ(MainRebuilt(7), s.Contents("README"));
         EXPECT_EQ(Counting(1000, 7), s.Contents("README.$$$"));
       }},
      {"modify_of_a_stamp_two_seconds_off",
       [](TEngineScene& s) {
         s.Put("MAIN.EXE", Counting(1000), oldStamp + 1);
         s.Records.AddModify("&ROOT&\\MAIN.EXE", oldStamp, newStamp, MainDelta());
       },
       {mainOtherStamp},
       [](TEngineScene& s) {
         EXPECT_EQ(Counting(1000), s.Contents("MAIN.EXE"));
         EXPECT_EQ(TLines{"MAIN.EXE"}, s.World.Listing());
       }},
      {"records_act_in_file_order_and_unknown_types_are_silent",
       [](TEngineScene& s) {
         s.Records.AddCopy("&ROOT&\\MAIN.EXE", oldStamp, Counting(1000));
         s.Records.AddRecord(MakePatchInfo("&ROOT&\\MAIN.EXE", 3, 0), {});
         s.Records.AddRecord(MakePatchInfo("&ROOT&\\MAIN.EXE", 0x403, 0), {});
         s.Records.AddRecord(MakePatchInfo("&ROOT&\\MAIN.EXE", 0xFFFFFFFF, 0), {});
         s.Records.AddRecord(MakePatchInfo("&ROOT&\\MAIN.EXE", 0x1402, oldStamp), {});
         s.Records.AddRecord(
             MakePatchInfo("&ROOT&\\MAIN.EXE", ptModify | PatchTypeReservedBit, oldStamp, newStamp), MainDelta());
         s.Records.AddDelete("&ROOT&\\MAIN.$$$", oldStamp);
       },
       {"INFO Applying copy patch (MAIN.EXE)", "INFO Applying modify patch (MAIN.EXE)",
        "INFO Applying delete patch (MAIN.$$$)"},
       [](TEngineScene& s) {
         using O = TRecordOutcome;
         EXPECT_EQ((std::vector<O>{O::Applied, O::Ignored, O::Ignored, O::Ignored, O::Ignored, O::Applied, O::Applied}),
                   s.Outcomes);
         EXPECT_EQ(TLines{"MAIN.EXE"}, s.World.Listing());
         EXPECT_EQ(MainRebuilt(), s.Contents("MAIN.EXE"));
         EXPECT_EQ(newStamp, s.Stamp("MAIN.EXE"));
       }},
      {"modify_data_cut_short_leaves_the_file_alone",
       [](TEngineScene& s) {
         s.Put("MAIN.EXE", Counting(1000), oldStamp);
         s.Put("MAIN.$$$", Bytes("earlier backup"), oldStamp);
         s.Records.AddModify("&ROOT&\\MAIN.EXE", oldStamp, newStamp, MainDelta());
         s.Keep = static_cast<int64_t>(s.Records.Bytes().size()) - 1;
       },
       {"INFO Applying modify patch (MAIN.EXE)", "ERROR Cannot read patch data for file: MAIN.EXE"},
       [](TEngineScene& s) {
         EXPECT_EQ(Counting(1000), s.Contents("MAIN.EXE"));
         EXPECT_EQ(Bytes("earlier backup"), s.Contents("MAIN.$$$"));
       }},
      {"modify_of_a_file_named_like_its_backup_is_refused",
       [](TEngineScene& s) {
         s.Put("DATA.$$$", Counting(1000), oldStamp);
         s.Records.AddModify("&ROOT&\\DATA.$$$", oldStamp, newStamp, MainDelta());
       },
       {"INFO Applying modify patch (DATA.$$$)", "ERROR Cannot move file DATA.$$$ to DATA.$$$"},
       [](TEngineScene& s) { EXPECT_EQ(Counting(1000), s.Contents("DATA.$$$")); }},

      // A failed modify puts the previous version back. The new version is written beside
      // the target as MAIN.$$N, then takes its place.
      {"modify_target_cannot_move_to_backup",
       [](TEngineScene& s) {
         s.Fault(&TFaultyFiles::FailMove, "MAIN.EXE");
         ModifyMainThenNext(s, MainDelta());
       },
       {"INFO Applying modify patch (MAIN.EXE)", "ERROR Cannot move file MAIN.EXE to MAIN.$$$", nextMissing},
       MainPutBack},
      {"modify_backup_name_taken_by_a_folder",
       // A folder cannot be deleted as a file, nor moved over.
       [](TEngineScene& s) {
         s.Folder("MAIN.$$$");
         ModifyMainThenNext(s, MainDelta());
       },
       {"INFO Applying modify patch (MAIN.EXE)", "ERROR Cannot move file MAIN.EXE to MAIN.$$$", nextMissing},
       MainPutBack},
      {"modify_new_version_cannot_take_its_place",
       [](TEngineScene& s) {
         s.Fault(&TFaultyFiles::FailMove, "MAIN.$$N");
         ModifyMainThenNext(s, MainDelta());
       },
       {"INFO Applying modify patch (MAIN.EXE)", "ERROR Cannot open destination file: MAIN.EXE", nextMissing},
       MainPutBack},
      {"modify_new_version_cannot_be_created",
       [](TEngineScene& s) {
         s.Fault(&TFaultyFiles::FailCreate, "MAIN.$$N");
         ModifyMainThenNext(s, MainDelta());
       },
       {"INFO Applying modify patch (MAIN.EXE)", "ERROR Cannot open destination file: MAIN.EXE", nextMissing},
       MainPutBack},
      {"modify_read_error_in_the_block_loop",
       [](TEngineScene& s) {
         s.Fault(&TFaultyFiles::FailReads, "MAIN.EXE");
         ModifyMainThenNext(s, MainDelta());
       },
       {"INFO Applying modify patch (MAIN.EXE)", "ERROR Cannot read source file: MAIN.EXE", nextMissing},
       MainPutBack},
      {"modify_write_error_in_the_block_loop",
       [](TEngineScene& s) {
         s.Fault(&TFaultyFiles::FailWrites, "MAIN.$$N");
         ModifyMainThenNext(s, MainDelta());
       },
       {"INFO Applying modify patch (MAIN.EXE)", "ERROR Cannot write destination file: MAIN.EXE", nextMissing},
       MainPutBack},
      {"modify_edit_past_the_block_end", [](TEngineScene& s) { ModifyMainThenNext(s, MalformedDelta()); },
       {"INFO Applying modify patch (MAIN.EXE)", "ERROR Damaged patch data for file: MAIN.EXE", nextMissing},
       MainPutBack},
      {"modify_with_an_empty_delta", [](TEngineScene& s) { ModifyMainThenNext(s, {}); },
       {"INFO Applying modify patch (MAIN.EXE)", "ERROR Cannot read patch data for file: MAIN.EXE", nextMissing},
       MainPutBack},

      // A modify record ended in the middle (the user ended a program that stopped
      // answering) is finished by the next run, when what it finds is what the record writes.
      {"interrupted_with_part_written", [](TEngineScene& s) { Interrupted(s, PartWritten(), false, oldStamp); },
       {recovering, "INFO Applying modify patch (MAIN.EXE)"}, Recovered},
      {"interrupted_with_nothing_written", [](TEngineScene& s) { Interrupted(s, {}, false, oldStamp); },
       {recovering, "INFO Applying modify patch (MAIN.EXE)"}, Recovered},
      {"interrupted_with_all_written_not_stamped",
       [](TEngineScene& s) { Interrupted(s, MainRebuilt(), false, oldStamp); },
       {recovering, "INFO Applying modify patch (MAIN.EXE)"}, Recovered},
      {"interrupted_between_the_renames_new_version_complete",
       [](TEngineScene& s) { Interrupted(s, MainRebuilt(), true, oldStamp); },
       {recovering, "INFO Applying modify patch (MAIN.EXE)"}, Recovered},
      {"interrupted_then_changed_by_the_user",
       [](TEngineScene& s) { Interrupted(s, Bytes("the user's own settings"), false, oldStamp); }, {mainOtherStamp},
       [](TEngineScene& s) { NotRecovered(s, Bytes("the user's own settings"), oldStamp); }},
      {"interrupted_longer_than_the_new_version",
       [](TEngineScene& s) { Interrupted(s, LongerThanNew(), false, oldStamp); }, {mainOtherStamp},
       [](TEngineScene& s) { NotRecovered(s, LongerThanNew(), oldStamp); }},
      {"interrupted_with_a_backup_of_another_version",
       [](TEngineScene& s) { Interrupted(s, PartWritten(), false, newStamp); }, {mainOtherStamp},
       [](TEngineScene& s) { NotRecovered(s, PartWritten(), newStamp); }},
      {"interrupted_between_the_renames_new_version_partial",
       [](TEngineScene& s) { Interrupted(s, PartWritten(), true, oldStamp); },
       {"ERROR Cannot open source file: MAIN.EXE"}, [](TEngineScene& s) { ExpectOutcome(s, TRecordOutcome::Failed); }},
  };
  return cases;
}
