// Release pairs built in memory go through listing, planning, record building and the
// engine's own installer; the result must be the new release, file by file.
#include <gtest/gtest.h>

#include <algorithm>

#include "menditwiz/release_names.h"

#include <algorithm>
#include <set>
#include <string>
#include <vector>

#include "cabinet/cab_writer.h"
#include "check_matches_run.h"
#include "delta/delta_encoder.h"
#include "difference/difference_encoder.h"
#include "memory_lister.h"
#include "menditwiz/patch_builder.h"
#include "menditwiz/patch_plan.h"
#include "menditwiz/release_verifier.h"
#include "files/memory_file_system.h"
#include "parallel/parallel_work.h"
#include "tests/support/synthetic_code.h"
#include "tests/support/release_test_files.h"

namespace {

using TBytes = std::vector<uint8_t>;

const std::string OldRoot = "C:\\OLD";
const std::string NewRoot = "C:\\NEW";
const std::string Scratch = "C:\\SCRATCH";
constexpr TDosStamp Monday = MakeDosStamp(2001, 5, 7, 10, 0, 0);
constexpr TDosStamp Tuesday = MakeDosStamp(2001, 5, 8, 11, 30, 4);

TBytes Random(size_t size, uint32_t seed) { return RandomBytes(size, seed, 7); }

TBytes Edited(TBytes bytes, size_t step) {
  for (size_t i = step / 2; i < bytes.size(); i += step) bytes[i] ^= 0x40;
  return bytes;
}

struct TPairCase {
  const char* Name;
  std::vector<TReleaseTestFile> Old;
  std::vector<TReleaseTestFile> New;
  std::vector<std::string> Folders;  // extra (empty) folders of the old release
  int Copies, Modifies, Deletes;
};

class TPair {
 public:
  explicit TPair(const TPairCase& c) : lister(files) {
    files.AddDirectory(OldRoot);
    files.AddDirectory(NewRoot);
    files.AddDirectory(Scratch);
    for (const std::string& d : c.Folders) files.AddDirectory(JoinPath(OldRoot, d));
    Put(OldRoot, c.Old);
    Put(NewRoot, c.New);
  }

  // Scans, plans and builds; false with error on the way.
  bool Build(const TBuildHooks& hooks = {}, TDeltaChoice choice = TDeltaChoice::Block) {
    return ScanRelease(lister, files, OldRoot, oldRelease, error) &&
           ScanRelease(lister, files, NewRoot, newRelease, error) &&
           PlanPatch(oldRelease, newRelease, plan, error) &&
           BuildPatchData(files, OldRoot, NewRoot, plan, hooks, data, records, error, choice);
  }

  bool Verify() {
    TMemoryInputFile input(data);
    return VerifyPatch(lister, files, OldRoot, oldRelease, newRelease, NewRoot, records, input,
                       Scratch, verification);
  }

  int Count(TBuiltKind kind) const {
    int n = 0;
    for (const TBuiltRecord& r : records) n += r.Kind == kind;
    return n;
  }

  TMemoryFileSystem files;
  TMemoryLister lister;
  TRelease oldRelease, newRelease;
  std::vector<TPlannedRecord> plan;
  std::vector<TBuiltRecord> records;
  TBytes data;
  TVerification verification;
  std::string error;

 private:
  void Put(const std::string& root, const std::vector<TReleaseTestFile>& release) {
    for (const TReleaseTestFile& f : release) {
      const std::string path = JoinPath(root, f.Path);
      const size_t slash = path.rfind('\\');
      files.AddDirectory(path.substr(0, slash));
      files.AddFile(path, f.Content, f.Stamp);
    }
  }
};

std::string Join(const std::vector<std::string>& lines) {
  std::string all;
  for (const std::string& l : lines) all += l + "\n";
  return all;
}

TEST(PatchBuilder, ReleasePairsRoundTripThroughTheEngine) {
  const TBytes app = Random(70000, 1), lib = Random(3000, 2), big = Random(1 << 20, 3);
  const TPairCase cases[] = {
      {"identical", {{"APP.EXE", app, Monday}}, {{"APP.EXE", app, Monday}}, {}, 0, 0, 0},
      {"added_in_new_nested_folders",
       {{"APP.EXE", app, Monday}},
       {{"APP.EXE", app, Monday}, {"DATA\\LANG\\PL\\TEXT.DAT", lib, Tuesday}}, {}, 1, 0, 0},
      {"longest_record_path", {{"APP.EXE", app, Monday}}, {{"APP.EXE", app, Monday}, {std::string(192, 'N'), lib, Tuesday}}, {}, 1, 0, 0},
      {"removed", {{"APP.EXE", app, Monday}, {"OLD.DLL", lib, Monday}}, {{"APP.EXE", app, Monday}}, {}, 0, 0, 1},
      {"changed", {{"APP.EXE", app, Monday}}, {{"APP.EXE", Edited(app, 300), Tuesday}}, {}, 0, 1, 0},
      {"only_date_time_changed", {{"APP.EXE", app, Monday}}, {{"APP.EXE", app, Tuesday}}, {}, 0, 1, 0},
      {"renamed_case_unchanged", {{"App.Exe", app, Monday}}, {{"APP.EXE", app, Monday}}, {}, 0, 0, 0},
      {"renamed_case_changed", {{"sub\\App.Exe", app, Monday}}, {{"SUB\\APP.EXE", Edited(app, 99), Tuesday}}, {}, 0, 1, 0},
      {"empty_files", {{"E1", {}, Monday}, {"E2", {}, Monday}}, {{"E1", {}, Monday}, {"E2", lib, Tuesday}, {"E3", {}, Tuesday}}, {}, 1, 1, 0},
      // A file of both releases always goes as a modify record, which checks the date/time.
      {"unrelated_content_goes_as_modify", {{"X.DAT", Random(5000, 7), Monday}}, {{"X.DAT", Random(5000, 8), Tuesday}}, {}, 0, 1, 0},
      {"large", {{"BIG.BIN", big, Monday}}, {{"BIG.BIN", Edited(big, 5000), Tuesday}}, {}, 0, 1, 0},
      {"file_gives_way_to_folder", {{"DOC", lib, Monday}}, {{"DOC\\README.TXT", lib, Tuesday}}, {}, 1, 0, 1},
      {"backup_name_of_a_removed_file", {{"A.EXE", app, Monday}, {"A.$$$", lib, Monday}}, {{"A.EXE", Edited(app, 500), Tuesday}}, {}, 0, 1, 1},
      {"shrunk_to_one_byte_goes_as_modify", {{"APP.EXE", app, Monday}}, {{"APP.EXE", {9}, Tuesday}}, {}, 0, 1, 0},
      {"everything_at_once",
       {{"APP.EXE", app, Monday}, {"GONE.TXT", lib, Monday}, {"BIN\\Lib.dll", lib, Monday}},
       {{"app.exe", Edited(app, 1000), Tuesday}, {"BIN\\LIB.DLL", lib, Monday}, {"BIN\\NEW\\X.DLL", app, Tuesday}},
       {"EMPTY"}, 1, 1, 1},
  };
  for (const TPairCase& c : cases) {
    SCOPED_TRACE(c.Name);
    TPair pair(c);
    ASSERT_TRUE(pair.Build()) << pair.error;
    EXPECT_EQ(c.Copies, pair.Count(TBuiltKind::Copy));
    EXPECT_EQ(c.Modifies, pair.Count(TBuiltKind::Modify));
    EXPECT_EQ(c.Deletes, pair.Count(TBuiltKind::Delete));
    EXPECT_TRUE(pair.Verify()) << Join(pair.verification.Problems) << Join(pair.verification.EngineRows);
    // The companion's check predicts every record of the real run, on both releases.
    for (const std::string& target : {OldRoot, NewRoot}) ExpectCheckMatchesRun(pair.files, target, pair.data);
  }
}

TEST(PatchBuilder, DeletesComeFirstAndNewFilesLast) {
  const TBytes a = Random(1000, 4);
  TPair pair({"order", {{"B.DLL", a, Monday}, {"C.DLL", a, Monday}}, {{"A.DLL", a, Monday}, {"B.DLL", Edited(a, 10), Tuesday}}, {}, 0, 0, 0});
  ASSERT_TRUE(pair.Build()) << pair.error;
  ASSERT_EQ(3u, pair.plan.size());
  EXPECT_EQ(TPlannedKind::Delete, pair.plan[0].Kind);
  EXPECT_EQ("C.DLL", pair.plan[0].OldPath);
  EXPECT_EQ(TPlannedKind::Change, pair.plan[1].Kind);
  EXPECT_EQ(TPlannedKind::Add, pair.plan[2].Kind);
  EXPECT_EQ("A.DLL", pair.plan[2].NewPath);
}

TEST(PatchBuilder, RefusesWhatRecordsCannotExpress) {
  const TBytes a = Random(100, 5);
  const std::string longName(200, 'N');
  const TPairCase cases[] = {
      {"folder_becomes_file", {{"DOC\\README.TXT", a, Monday}}, {{"DOC", a, Monday}}, {}, 0, 0, 0},
      {"path_too_long", {}, {{longName, a, Monday}}, {}, 0, 0, 0},
      {"record_path_of_200", {}, {{std::string(193, 'N'), a, Monday}}, {}, 0, 0, 0},
      {"deleted_record_path_of_200", {{std::string(193, 'N'), a, Monday}}, {}, {}, 0, 0, 0},
      {"file_becomes_empty", {{"A.DLL", a, Monday}}, {{"A.DLL", {}, Tuesday}}, {}, 0, 0, 0},
      {"empty_file_redated", {{"A.DLL", {}, Monday}}, {{"A.DLL", {}, Tuesday}}, {}, 0, 0, 0},
  };
  for (const TPairCase& c : cases) {
    SCOPED_TRACE(c.Name);
    TPair pair(c);
    EXPECT_FALSE(pair.Build());
    EXPECT_FALSE(pair.error.empty());
  }
}

TEST(PatchBuilder, VerificationCatchesABrokenDelta) {
  const TBytes app = Random(20000, 6);
  TPair pair({"broken", {{"APP.EXE", app, Monday}}, {{"APP.EXE", Edited(app, 700), Tuesday}}, {}, 0, 1, 0});
  TBuildHooks hooks;
  // The first copy block's source moves by one byte: a well-formed delta that builds the
  // wrong file.
  hooks.InspectDelta = [](const TPlannedRecord&, TBytes& delta) { delta[4] ^= 1; };
  ASSERT_TRUE(pair.Build(hooks)) << pair.error;
  EXPECT_FALSE(pair.Verify());
  // The engine's own check of the written file refuses it first, so the old version stays.
  EXPECT_EQ("The patch engine reported errors or warnings\n"
            "Other date/time after patching: APP.EXE (date/time 2AA75000, wanted 2AA85BC2)\n"
            "Other content after patching: APP.EXE\n",
            Join(pair.verification.Problems));
}

TEST(PatchBuilder, VerificationCatchesAMissingRecord) {
  const TBytes a = Random(100, 7);
  TPair pair({"missing", {}, {{"NEW.DLL", a, Monday}}, {}, 1, 0, 0});
  ASSERT_TRUE(pair.Build()) << pair.error;
  pair.data.clear();
  pair.records.clear();
  EXPECT_FALSE(pair.Verify());
  EXPECT_EQ("Missing after patching: NEW.DLL\n", Join(pair.verification.Problems));
}

// The candidates of a changed file are encoded and packed on two threads where there are two
// cores: the patch must be the same bytes whichever thread ends first, and the same as on one
// thread.
TEST(PatchBuilder, BestPatchesDoNotDependOnThreads) {
  const TSyntheticCode code = MakeSyntheticCode(300000, 21, 40);
  // Over 4 MB: the difference encoder matches it in pieces, on both cores.
  const TBytes big = Random(9 << 19, 22);
  TBytes bigger = Edited(big, 1000);
  bigger.insert(bigger.begin() + (17 << 18), 300, 0x5A);
  const TPairCase pairCase = {"threads",
                              {{"CODE.BIN", code.Old, Monday}, {"BIG.BIN", big, Monday}},
                              {{"CODE.BIN", code.New, Tuesday}, {"BIG.BIN", bigger, Tuesday}},
                              {}, 0, 2, 0};
  std::vector<TBytes> patches;
  for (bool one : {true, false}) {
    KeepToOneThread(one);
    TPair pair(pairCase);
    const bool built = pair.Build({}, TDeltaChoice::Best);
    KeepToOneThread(false);
    ASSERT_TRUE(built) << pair.error;
    ASSERT_TRUE(pair.Verify()) << Join(pair.verification.Problems);
    // Both files had their difference records made and measured; the code goes as one.
    for (const TBuiltRecord& r : pair.records) {
      EXPECT_NE(0u, r.PackedDifference) << r.Plan.NewPath;
      if (r.Plan.NewPath == "CODE.BIN") {
        EXPECT_TRUE(r.Difference);
      }
    }
    patches.push_back(pair.data);
  }
  EXPECT_TRUE(patches[0] == patches[1]);
}

// -delta best compares its candidates by a quick packing and packs close calls again in full:
// whatever it chose must pack, as the cabinet packs it, no larger than the candidate it left.
TEST(PatchBuilder, BestTakesTheCandidateThatPacksSmaller) {
  const TSyntheticCode code = MakeSyntheticCode(200000, 31, 30);
  const TBytes random = Random(200000, 32);
  const struct {
    const char* Name;
    TBytes Old, New;
  } cases[] = {
      {"moved code", code.Old, code.New},
      {"a few edits", random, Edited(random, 40000)},
      {"an edit every block", random, Edited(random, 256)},
      {"all new", {1}, random},
      {"halves swapped", random, [&] {
         TBytes swapped(random.begin() + 100000, random.end());
         swapped.insert(swapped.end(), random.begin(), random.begin() + 100000);
         return swapped;
       }()},
  };
  auto packed = [](const TBytes& data) {
    TCompressedFrames frames;
    std::string error;
    EXPECT_TRUE(CompressFrames(data.data(), data.size(), TCabCompression::Lzx, frames, error));
    size_t size = 0;
    for (const TBytes& frame : frames.Frames) size += frame.size();
    return size;
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.Name);
    TPair pair({c.Name, {{"A.BIN", c.Old, Monday}}, {{"A.BIN", c.New, Tuesday}}, {}, 0, 1, 0});
    ASSERT_TRUE(pair.Build({}, TDeltaChoice::Best)) << pair.error;
    ASSERT_EQ(1u, pair.records.size());
    TBytes delta, plain, executable;
    ASSERT_TRUE(EncodeDelta(c.Old.data(), c.Old.size(), c.New.data(), c.New.size(), delta));
    ASSERT_TRUE(EncodeDifferences(c.Old.data(), c.Old.size(), c.New.data(), c.New.size(), plain, &executable));
    const size_t block = packed(delta), difference = packed(plain);
    if (pair.records[0].Difference) {
      EXPECT_LT(difference, block);
    } else {
      EXPECT_LE(block, difference);
    }
  }
}

TEST(PatchBuilder, UnreadableFilesAreNamed) {
  const TBytes a = Random(100, 8);
  TPair pair({"unreadable", {{"A.DLL", a, Monday}}, {{"A.DLL", Edited(a, 10), Monday}}, {}, 0, 0, 0});
  pair.files.FailOpen.insert(JoinPath(OldRoot, "A.DLL"));
  EXPECT_FALSE(pair.Build());
  EXPECT_EQ("Cannot read file C:\\OLD\\A.DLL", pair.error);
}

}  // namespace

// Releases 1.0 and 1.1 brought to 1.2 by one patch: one record per distinct old content (a
// copy where an old release lacks a new file), a file's records one group when they are
// more; every old release is reproduced.
TEST(PatchBuilder, SeveralOldReleasesShareOnePatch) {
  constexpr TDosStamp Wednesday = MakeDosStamp(2001, 5, 9, 9, 15, 0);
  const TBytes a = Random(9000, 11), l = Random(4000, 12), r = Random(800, 13);
  const struct {
    std::string Path;
    std::vector<TReleaseTestFile> Versions;  // 1.0, 1.1, 1.2 (stamp 0: not in that release)
    std::vector<TBuiltKind> Records;
    bool SameStampNoted;
  } cases[] = {
      {"APP.EXE", {{"", a, Monday}, {"", Edited(a, 300), Tuesday}, {"", Edited(a, 200), Wednesday}},
       {TBuiltKind::Modify, TBuiltKind::Modify}, false},
      {"PLUGIN.DLL", {{"", {}, 0}, {"", l, Tuesday}, {"", Edited(l, 100), Wednesday}},
       {TBuiltKind::Modify, TBuiltKind::Copy}, false},
      {"OLD.TXT", {{"", r, Monday}, {"", r, Monday}, {"", {}, 0}}, {TBuiltKind::Delete}, false},
      {"README.TXT", {{"", r, Monday}, {"", r, Monday}, {"", Edited(r, 50), Wednesday}}, {TBuiltKind::Modify}, false},
      {"LIB.DLL", {{"", l, Monday}, {"", Edited(l, 70), Monday}, {"", Edited(l, 90), Wednesday}},
       {TBuiltKind::Modify, TBuiltKind::Modify}, true},
  };
  const std::string roots[] = {"C:\\R10", "C:\\R11", NewRoot};
  TMemoryFileSystem files;
  TMemoryLister lister(files);
  for (const std::string& root : {roots[0], roots[1], NewRoot, Scratch}) files.AddDirectory(root);
  for (const auto& c : cases)
    for (int v = 0; v < 3; ++v)
      if (c.Versions[v].Stamp) files.AddFile(JoinPath(roots[v], c.Path), c.Versions[v].Content, c.Versions[v].Stamp);
  std::string error;
  std::vector<TOldRelease> olds{{roots[0], {}}, {roots[1], {}}};
  TRelease newRelease;
  for (TOldRelease& old : olds) ASSERT_TRUE(ScanRelease(lister, files, old.Root, old.Files, error)) << error;
  ASSERT_TRUE(ScanRelease(lister, files, NewRoot, newRelease, error)) << error;
  std::vector<TPlannedRecord> plan;
  std::vector<std::string> sameStamp;
  std::vector<TBuiltRecord> records;
  TBytes data;
  ASSERT_TRUE(PlanMultiPatch(files, olds, newRelease, NewRoot, plan, sameStamp, error)) << error;
  ASSERT_TRUE(BuildPatchData(files, roots[0], NewRoot, plan, {}, data, records, error)) << error;
  for (const auto& c : cases) {
    SCOPED_TRACE(c.Path);
    std::vector<TBuiltKind> kinds;
    std::set<uint32_t> groups;
    for (const TBuiltRecord& b : records)
      if (PathKey(b.Plan.Kind == TPlannedKind::Delete ? b.Plan.OldPath : b.Plan.NewPath) == c.Path) {
        kinds.push_back(b.Kind);
        groups.insert(b.Plan.Alternative);
      }
    EXPECT_EQ(c.Records, kinds);
    EXPECT_EQ(std::set<uint32_t>{kinds.size() > 1 ? *groups.rbegin() : 0}, groups);
    EXPECT_EQ(c.SameStampNoted, std::count(sameStamp.begin(), sameStamp.end(), c.Path) == 1);
  }
  for (int v = 0; v < 2; ++v) {
    const std::string target = JoinPath(Scratch, std::to_string(v));
    files.AddDirectory(target);
    TMemoryInputFile input(data);
    TVerification verification;
    EXPECT_TRUE(VerifyPatch(lister, files, roots[v], olds[v].Files, newRelease, NewRoot, records, input, target,
                            verification)) << Join(verification.Problems) << Join(verification.EngineRows);
    ExpectCheckMatchesRun(files, roots[v], data);
  }
}

// Names no patch can carry, all of them, each with its release and reason.
TEST(ReleaseNameProblems, EveryNameAtOnce) {
  TRelease release;
  release.Directories = {"Docs", "DOCS"};
  for (const char* path : {"Readme.txt", "README.TXT", "AUX", "bad:name", "dots.", "ok.txt"}) {
    TReleaseFile f;
    f.Path = path;
    release.Files.push_back(f);
  }
  const char* cannot = "NEW: a name Windows cannot hold (a device, a refused character, trailing dots or spaces): ";
  std::vector<std::string> want = {
      "NEW: two names differ only in letter case: Docs and DOCS",
      "NEW: two names differ only in letter case: Readme.txt and README.TXT",
      std::string(cannot) + "AUX",
      std::string(cannot) + "bad:name",
      std::string(cannot) + "dots.",
  };
  std::vector<std::string> got = ReleaseNameProblems(release, "NEW");
  std::sort(got.begin(), got.end());
  std::sort(want.begin(), want.end());
  EXPECT_EQ(want, got);
}
