// Where the time of a checked apply goes: a 64 MB file changed in five places, as a block
// delta (modify record) and as a difference record, each with content checks (the SHA-256
// of the old and of the new version). Prints every engine stage of one run timed alone
// (the directory, the old file read and hashed by a pass of its own, the rebuild, the new
// version's hash, the flush, the two renames, the journal) and then whole runs: without
// checks, with checks, over a journal. Best of five; a shared machine shows in the spread
// rather than in the best. Files go to the system's temporary folder.
#include <algorithm>
#include <chrono>
#include <cstdarg>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <functional>
#include <memory>
#include <random>
#include <string>
#include <vector>

#include "delta/delta_encoder.h"
#include "difference/difference_encoder.h"
#include "files/disk_file_system.h"
#include "files/journal_file_system.h"
#include "hash/sha256_pipe.h"
#include "patch/block_io.h"
#include "patch/content_check.h"
#include "bench/bench_reporter.h"
#include "patch/patch_file.h"
#include "patch/patch_writer.h"
#include "paths/macros.h"

namespace {

constexpr size_t FileSize = 64u << 20;
constexpr TDosStamp OldStamp = MakeDosStamp(2001, 5, 6, 7, 8, 10);
constexpr TDosStamp NewStamp = MakeDosStamp(2002, 3, 4, 5, 6, 8);
constexpr int Runs = 5;

double Best(const std::function<void()>& prepare, const std::function<void()>& work) {
  double best = 1e9;
  for (int run = 0; run < Runs; ++run) {
    prepare();
    const auto start = std::chrono::steady_clock::now();
    work();
    best = std::min(best, std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count());
  }
  return best;
}

bool WriteWhole(TFileSystem& files, const std::string& path, const std::vector<uint8_t>& bytes) {
  std::unique_ptr<TOutputFile> out = files.Create(path.c_str());
  return out && out->Write(0, bytes.data(), bytes.size());
}

}  // namespace

int main() {
  const std::string dir = (std::filesystem::temp_directory_path() / "apply_stages_bench").string();
  std::filesystem::create_directories(dir);
  const char separator = std::filesystem::path::preferred_separator;
  const std::string oldPath = dir + separator + "OLD.DAT", target = dir + separator + "TARGET.DAT";
  const std::string backup = dir + separator + "TARGET.$$$", scratch = dir + separator + "SCRATCH.DAT";
  const std::string journalPath = dir + separator + "UNDO";
  TDiskFileSystem files;
  int errors = 0;

  std::mt19937 random(7);
  std::vector<uint8_t> previous(FileSize);
  for (uint8_t& b : previous) b = static_cast<uint8_t>(random());
  std::vector<uint8_t> made(previous);
  for (size_t mb : {1, 9, 17, 33, 60}) std::copy_n("changed", 7, made.begin() + (mb << 20));
  made.insert(made.begin() + (40 << 20), 4096, 0x5a);  // and an insertion: the rest shifts
  made.resize(FileSize);
  TVerifyInfo checks;
  SetVerifyOld(checks, previous.data(), previous.size());
  SetVerifyNew(checks, made.data(), made.size());
  std::vector<uint8_t> delta, difference;
  if (!EncodeDelta(previous.data(), previous.size(), made.data(), made.size(), delta) ||
      !EncodeDifference(previous.data(), previous.size(), made.data(), made.size(), difference)) {
    std::printf("cannot encode the pair\n");
    return 1;
  }
  if (!WriteWhole(files, oldPath, previous)) ++errors;

  TMacroExpander macros;
  macros.AddMacro(new TMacroDef("&ROOT&", dir));
  auto freshTarget = [&] {
    files.Delete(target.c_str());
    files.Delete(backup.c_str());
    files.Delete(scratch.c_str());
    if (!WriteWhole(files, target, previous) || !files.SetStamp(target.c_str(), OldStamp)) ++errors;
  };
  auto run = [&](const std::string& dataPath, TFileSystem& through) {
    std::unique_ptr<TInputFile> data = files.OpenRead(dataPath.c_str());
    TBenchReporter reporter;
    TPatchFile installer(data.get(), &macros, &reporter, &through);
    installer.Run();
    errors += reporter.Errors;
  };

  std::printf("| stage (64 MB, best of %d) | block delta s | difference s |\n|---|---:|---:|\n", Runs);
  double whole[2][4] = {};
  double stages[8][2] = {};
  for (int kind = 0; kind < 2; ++kind) {
    const bool block = kind == 0;
    const std::vector<uint8_t>& record = block ? delta : difference;
    const std::string plainPath = dir + separator + (block ? "PLAIN.DAT" : "PLAIND.DAT");
    const std::string checkedPath = dir + separator + (block ? "CHECKED.DAT" : "CHECKEDD.DAT");
    TPatchWriter plain, checked;
    checked.AddVerify("&ROOT&\\TARGET.DAT", checks);
    if (block) {
      plain.AddModify("&ROOT&\\TARGET.DAT", OldStamp, NewStamp, record);
      checked.AddModify("&ROOT&\\TARGET.DAT", OldStamp, NewStamp, record);
    } else {
      plain.AddDifference("&ROOT&\\TARGET.DAT", OldStamp, NewStamp, record);
      checked.AddDifference("&ROOT&\\TARGET.DAT", OldStamp, NewStamp, record);
    }
    if (!WriteWhole(files, plainPath, plain.Bytes()) || !WriteWhole(files, checkedPath, checked.Bytes())) ++errors;
    auto nothing = [] {};

    // The stages one by one.
    stages[0][kind] = Best(nothing, [&] {
      std::unique_ptr<TInputFile> data = files.OpenRead(checkedPath.c_str());
      TPatchDirectory records = ReadPatchDirectory(*data);
      TVerifyInfo read;
      if (records.Count() != 2 || !ChecksFor(records, *data, 1, read)) ++errors;
    });
    stages[1][kind] = Best(nothing, [&] {
      std::unique_ptr<TInputFile> old = files.OpenRead(oldPath.c_str());
      std::vector<uint8_t> piece(PieceSize);
      for (int64_t at = 0; at < static_cast<int64_t>(FileSize); at += PieceSize)
        if (old->Read(at, piece.data(), PieceSize) != static_cast<int64_t>(PieceSize)) ++errors;
    });
    stages[2][kind] = Best(nothing, [&] {
      std::unique_ptr<TInputFile> old = files.OpenRead(oldPath.c_str());
      TSha256Digest digest;
      if (!HashFile(*old, FileSize, TMessagePump(), digest) || std::memcmp(digest.Bytes.data(), checks.OldHash, 32))
        ++errors;
    });
    stages[3][kind] = Best([&] { files.Delete(scratch.c_str()); }, [&] {
      std::unique_ptr<TInputFile> old = files.OpenRead(oldPath.c_str());
      std::unique_ptr<TOutputFile> out = files.Create(scratch.c_str());
      if (block) {
        TCachedBlockSource source(*old);
        TBufferedBlockTarget sink(*out);
        if (ApplyDelta(record.data(), record.size(), source, sink, nullptr).Status != TDeltaStatus::Applied || !sink.Flush())
          ++errors;
      } else {
        std::unique_ptr<TInputFile> data = files.OpenRead(checkedPath.c_str());
        const int64_t at = data->Size() - static_cast<int64_t>(record.size());
        TFileRangeSource recordSource(*data, at, record.size(), TMessagePump());
        TFileRangeSource oldSource(*old, 0, FileSize, TMessagePump());
        TFileDifferenceSink sink(*out);
        if (ApplyDifference(recordSource, oldSource, sink) != TDifferenceStatus::Applied) ++errors;
      }
    });
    stages[4][kind] = Best(nothing, [&] {
      TSha256 hasher;
      for (size_t at = 0; at < FileSize; at += PieceSize) hasher.Update(made.data() + at, PieceSize);
      hasher.Final();
    });
    stages[5][kind] = Best(nothing, [&] {
      TSha256Pipe hasher;
      for (size_t at = 0; at < FileSize; at += PieceSize) hasher.Update(made.data() + at, PieceSize);
      hasher.Final();
    });
    stages[6][kind] = Best([&] { WriteWhole(files, scratch, made); }, [&] {
      std::unique_ptr<TOutputFile> out = files.Create(scratch.c_str());
      // Rewrites the last byte, so the file is dirty again, then sends it to the disk.
      if (!out->Write(FileSize - 1, made.data() + FileSize - 1, 1) || !out->Flush()) ++errors;
    });
    stages[7][kind] = Best([&] { freshTarget(); WriteWhole(files, scratch, made); }, [&] {
      if (!files.Move(target.c_str(), backup.c_str()) || !files.Move(scratch.c_str(), target.c_str())) ++errors;
    });

    // Whole runs of the record.
    whole[kind][0] = Best(freshTarget, [&] { run(plainPath, files); });
    whole[kind][1] = Best(freshTarget, [&] { run(checkedPath, files); });
    TSha256Pipe::HashInPlace(true);
    whole[kind][3] = Best(freshTarget, [&] { run(checkedPath, files); });
    TSha256Pipe::HashInPlace(false);
    whole[kind][2] = Best([&] { freshTarget(); files.Delete(journalPath.c_str()); }, [&] {
      TJournalFileSystem journal(files, journalPath, dir);
      if (!journal.Begin()) ++errors;
      run(checkedPath, journal);
      if (!journal.Commit()) ++errors;
    });
    std::unique_ptr<TInputFile> result = files.OpenRead(target.c_str());
    TSha256Digest digest;
    if (!result || !HashFile(*result, FileSize, TMessagePump(), digest) ||
        std::memcmp(digest.Bytes.data(), checks.NewHash, 32) != 0)
      ++errors;
  }
  const char* names[] = {"directory and checks read", "old file read alone (no hash)",
                         "old file check as a pass of its own (read + SHA-256)", "rebuild alone (no hashing)",
                         "SHA-256 of 64 MB in memory, this thread", "SHA-256 of 64 MB through the pipe (second thread)",
                         "flush of a written 64 MB file", "two renames"};
  for (int s = 0; s < 8; ++s) std::printf("| %s | %.3f | %.3f |\n", names[s], stages[s][0], stages[s][1]);
  const char* runs[] = {"whole run, no checks", "whole run, with checks", "whole run, checks, over a journal",
                        "whole run, with checks, hashing on the one thread"};
  std::printf("| old sequence: check pass + rebuild + hash of the new version (sum of the stages above) | %.3f | %.3f |\n",
              stages[2][0] + stages[3][0] + stages[4][0], stages[2][1] + stages[3][1] + stages[4][1]);
  for (int r = 0; r < 4; ++r) std::printf("| %s | %.3f | %.3f |\n", runs[r], whole[0][r], whole[1][r]);
  std::printf("checked / unchecked: %.2f (block delta), %.2f (difference); difference / block delta, checked: %.2f; "
              "hashing beside the work: %s; records %zu and %zu bytes\n",
              whole[0][1] / whole[0][0], whole[1][1] / whole[1][0], whole[1][1] / whole[0][1],
              TSha256Pipe::SecondCore() ? "yes" : "no (one core)", delta.size(), difference.size());
  std::filesystem::remove_all(dir);
  if (errors) std::printf("%d errors\n", errors);
  return errors ? 1 : 0;
}
