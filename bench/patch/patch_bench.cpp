// Applies a modify patch to a 64 MB file (shifted copy blocks, copy blocks with edits,
// literal blocks) and copies a 64 MB file with CopyFileA, in the same temporary directory;
// prints MB/s of both and their ratio. Each is run five times and the best run counts, so
// that both work from a warm file cache. Also the same run all or nothing (over a journal,
// as menditcon -rollback does it): committed, and put back from the journal. And the same
// modify patch with content checks (a verification record: the SHA-256 of the previous
// and of the new version), whose cost is the old file hashed before and the new one while
// it is written. Last, the same change as a difference record (made by the encoder from the
// two versions), applied with the same checks.
#include <windows.h>

#include <cstdarg>
#include <cstdio>
#include <algorithm>
#include <random>
#include <string>
#include <vector>

#include "difference/difference_encoder.h"
#include "files/journal_file_system.h"
#include "bench/bench_reporter.h"
#include "patch/patch_file.h"
#include "patch/patch_writer.h"
#include "files/disk_file_system.h"
#include "paths/macros.h"

namespace {

constexpr size_t FileSize = 64u << 20;
constexpr TDosStamp oldStamp = MakeDosStamp(2001, 5, 6, 7, 8, 10);
constexpr TDosStamp newStamp = MakeDosStamp(2002, 3, 4, 5, 6, 8);

void PeekMessages() {
  MSG msg;
  while (PeekMessageA(&msg, nullptr, 0, 0, PM_REMOVE)) DispatchMessageA(&msg);
}

// The owner's message hook as it should be: called before every block, it looks for
// messages only when 10 ms have passed, since PeekMessageA itself costs far more than a
// block (a call to the Wine server each time).
void ThrottledPeekMessages(void*) {
  static DWORD last = 0;
  const DWORD now = GetTickCount();
  if (now - last < 10) return;
  last = now;
  PeekMessages();
}

double Seconds() {
  static LARGE_INTEGER frequency = [] {
    LARGE_INTEGER f;
    QueryPerformanceFrequency(&f);
    return f;
  }();
  LARGE_INTEGER now;
  QueryPerformanceCounter(&now);
  return static_cast<double>(now.QuadPart) / static_cast<double>(frequency.QuadPart);
}

bool WriteWhole(TFileSystem& files, const std::string& path, const std::vector<uint8_t>& bytes) {
  std::unique_ptr<TOutputFile> out = files.Create(path.c_str());
  return out && out->Write(0, bytes.data(), bytes.size());
}

// The delta: per 256-byte block of the new file, mostly the previous version shifted by 37
// bytes (an insertion near the start), every fifth block with a few edits, every tenth a
// literal block, and now and then a block taken from far away.
std::vector<uint8_t> MakeDelta(std::mt19937& random) {
  TDeltaWriter delta;
  std::vector<uint8_t> literal(256);
  for (int32_t block = 0; block < static_cast<int32_t>(FileSize / 256); ++block) {
    const int32_t destination = block * 256;
    const int kind = block % 10;
    if (kind == 9) {
      for (uint8_t& b : literal) b = static_cast<uint8_t>(random());
      delta.LiteralBlock(destination, literal.data(), literal.size());
    } else if (kind == 4) {
      delta.CopyBlock(destination, destination + 37,
                      {{17, {1, 2, 3, 4}}, {100, {5, 6}}, {250, {7, 8, 9, 10, 11, 12}}});
    } else if (kind == 7 && block % 1000 == 7) {
      delta.CopyBlock(destination, static_cast<int32_t>(random() % (FileSize - 256)));
    } else {
      delta.CopyBlock(destination, destination + 37);
    }
  }
  return delta.Bytes();
}

}  // namespace

int main() {
  char temp[MAX_PATH];
  GetTempPathA(sizeof temp, temp);
  const std::string dir = std::string(temp) + "patch_bench_" + std::to_string(GetCurrentProcessId());
  CreateDirectoryA(dir.c_str(), nullptr);
  const std::string previousPath = dir + "\\PREVIOUS.DAT";
  const std::string targetPath = dir + "\\TARGET.DAT";
  const std::string backupPath = dir + "\\TARGET.$$$";
  const std::string copyPath = dir + "\\COPY.DAT";
  const std::string dataPath = dir + "\\PATCH.DAT";

  TDiskFileSystem files;
  std::mt19937 random(1);
  std::vector<uint8_t> previous(FileSize);
  for (uint8_t& b : previous) b = static_cast<uint8_t>(random());
  TPatchWriter writer;
  writer.AddModify("&ROOT&\\TARGET.DAT", oldStamp, newStamp, MakeDelta(random));
  if (!WriteWhole(files, previousPath, previous) || !WriteWhole(files, dataPath, writer.Bytes())) {
    std::printf("cannot write the input files in %s\n", dir.c_str());
    return 1;
  }
  std::printf("previous version %u MB, patch data file %.1f MB, %u blocks\n",
              static_cast<unsigned>(FileSize >> 20), writer.Bytes().size() / 1048576.0,
              static_cast<unsigned>(FileSize / 256));

  TMacroExpander macros;
  macros.AddMacro(new TMacroDef("&ROOT&", dir));
  double bestPatch = 1e9, bestCopy = 1e9, bestJournaled = 1e9, bestRestore = 1e9, bestChecked = 1e9;
  const std::string checkedPath = dir + "\\CHECKED.DAT";
  const std::string differencePath = dir + "\\DIFFER.DAT";
  double bestDifference = 1e9, encodeSeconds = 0;
  size_t differenceSize = 0;
  std::vector<uint8_t> modifyRecord(writer.Bytes());
  int64_t savedBytes = 0;
  const std::string journalPath = dir + ".UNDO";
  int errors = 0;
  for (int run = 0; run < 5; ++run) {
    // Copy first, then patch: each starts with its source in the file cache.
    DeleteFileA(copyPath.c_str());
    double start = Seconds();
    if (!CopyFileA(previousPath.c_str(), copyPath.c_str(), FALSE)) ++errors;
    bestCopy = std::min(bestCopy, Seconds() - start);

    DeleteFileA(targetPath.c_str());
    DeleteFileA(backupPath.c_str());
    if (!CopyFileA(previousPath.c_str(), targetPath.c_str(), FALSE) ||
        !files.SetStamp(targetPath.c_str(), oldStamp))
      ++errors;
    std::unique_ptr<TInputFile> data = files.OpenRead(dataPath.c_str());
    TBenchReporter reporter;
    start = Seconds();
    {
      TPatchFile installer(data.get(), &macros, &reporter, &files);
      installer.SetMessageHook(ThrottledPeekMessages, nullptr);
      installer.Run();
    }
    bestPatch = std::min(bestPatch, Seconds() - start);

    // With content checks: the new version is known once the first run made it.
    if (run == 0) {
      std::vector<uint8_t> made(FileSize);
      std::unique_ptr<TInputFile> target = files.OpenRead(targetPath.c_str());
      if (!target || target->Read(0, made.data(), made.size()) != static_cast<int64_t>(FileSize)) ++errors;
      TVerifyInfo checks;
      SetVerifyOld(checks, previous.data(), previous.size());
      SetVerifyNew(checks, made.data(), made.size());
      TPatchWriter checked;
      checked.AddVerify("&ROOT&\\TARGET.DAT", checks);
      checked.AddModify("&ROOT&\\TARGET.DAT", oldStamp, newStamp,
                        std::vector<uint8_t>(modifyRecord.begin() + TPatchInfo::Size, modifyRecord.end()));
      target.reset();
      if (!WriteWhole(files, checkedPath, checked.Bytes())) ++errors;
      std::vector<uint8_t> record;
      const double encodeStart = Seconds();
      if (!EncodeDifference(previous.data(), previous.size(), made.data(), made.size(), record)) ++errors;
      encodeSeconds = Seconds() - encodeStart;
      differenceSize = record.size();
      TPatchWriter difference;
      difference.AddVerify("&ROOT&\\TARGET.DAT", checks);
      difference.AddDifference("&ROOT&\\TARGET.DAT", oldStamp, newStamp, record);
      if (!WriteWhole(files, differencePath, difference.Bytes())) ++errors;
    }
    DeleteFileA(targetPath.c_str());
    DeleteFileA(backupPath.c_str());
    if (!CopyFileA(previousPath.c_str(), targetPath.c_str(), FALSE) ||
        !files.SetStamp(targetPath.c_str(), oldStamp))
      ++errors;
    {
      std::unique_ptr<TInputFile> differenceData = files.OpenRead(differencePath.c_str());
      start = Seconds();
      TPatchFile installer(differenceData.get(), &macros, &reporter, &files);
      installer.SetMessageHook(ThrottledPeekMessages, nullptr);
      installer.Run();
      bestDifference = std::min(bestDifference, Seconds() - start);
    }
    DeleteFileA(targetPath.c_str());
    DeleteFileA(backupPath.c_str());
    if (!CopyFileA(previousPath.c_str(), targetPath.c_str(), FALSE) ||
        !files.SetStamp(targetPath.c_str(), oldStamp))
      ++errors;
    {
      std::unique_ptr<TInputFile> checkedData = files.OpenRead(checkedPath.c_str());
      start = Seconds();
      TPatchFile installer(checkedData.get(), &macros, &reporter, &files);
      installer.SetMessageHook(ThrottledPeekMessages, nullptr);
      installer.Run();
      bestChecked = std::min(bestChecked, Seconds() - start);
    }

    // All or nothing (menditcon -rollback): the same run over a journal, put back from it;
    // then committed (so the target ends patched, for the check below).
    for (bool commit : {false, true}) {
      DeleteFileA(targetPath.c_str());
      DeleteFileA(backupPath.c_str());
      if (!CopyFileA(previousPath.c_str(), targetPath.c_str(), FALSE) ||
          !files.SetStamp(targetPath.c_str(), oldStamp))
        ++errors;
      start = Seconds();
      TJournalFileSystem journal(files, journalPath, dir);
      if (!journal.Begin()) ++errors;
      {
        TPatchFile installer(data.get(), &macros, &reporter, &journal);
        installer.SetMessageHook(ThrottledPeekMessages, nullptr);
        installer.Run();
      }
      if (commit) {
        if (!journal.Commit()) ++errors;
        bestJournaled = std::min(bestJournaled, Seconds() - start);
        savedBytes = journal.SavedBytes();
        continue;
      }
      journal.Close();
      start = Seconds();
      if (!RestoreJournal(files, journalPath, dir, reporter, [](const char* path) { return RemoveDirectoryA(path) != 0; }))
        ++errors;
      bestRestore = std::min(bestRestore, Seconds() - start);
      std::unique_ptr<TInputFile> restored = files.OpenRead(targetPath.c_str());
      TDosStamp stamp = 0;
      if (!restored || restored->Size() != static_cast<int64_t>(FileSize) || !restored->GetStamp(stamp) ||
          stamp != oldStamp || files.OpenRead(backupPath.c_str()))
        ++errors;
    }
    errors += reporter.Errors;
  }

  // The result must be the previous version shifted, edited and mixed as the delta says.
  std::unique_ptr<TInputFile> rebuilt = files.OpenRead(targetPath.c_str());
  std::vector<uint8_t> block(256);
  if (!rebuilt || rebuilt->Size() != static_cast<int64_t>(FileSize) ||
      rebuilt->Read(256, block.data(), 256) != 256 ||
      !std::equal(block.begin(), block.end(), previous.begin() + 256 + 37))
    ++errors;
  rebuilt.reset();

  const double mb = static_cast<double>(FileSize) / 1048576.0;
  std::printf("modify patch: %.1f MB/s (%.3f s)\n", mb / bestPatch, bestPatch);
  std::printf("with checks:  %.1f MB/s (%.3f s, +%.0f%%)\n", mb / bestChecked, bestChecked,
              100.0 * (bestChecked - bestPatch) / bestPatch);
  std::printf("difference record, with checks: %.1f MB/s (%.3f s, %.2fx the block delta's; record %.1f MB, "
              "encoded in %.1f s)\n",
              mb / bestDifference, bestDifference, bestDifference / bestChecked, differenceSize / 1048576.0,
              encodeSeconds);
  std::printf("CopyFileA:    %.1f MB/s (%.3f s)\n", mb / bestCopy, bestCopy);
  std::printf("patch / copy: %.2f\n", bestCopy / bestPatch);
  std::printf("all or nothing: %.3f s with the journal (+%.3f s, %.1f MB saved first), %.3f s to put it back\n",
              bestJournaled, bestJournaled - bestPatch, static_cast<double>(savedBytes) / 1048576.0, bestRestore);

  // What an unthrottled hook would add: one PeekMessageA per block.
  const int calls = 2000;
  double start = Seconds();
  for (int i = 0; i < calls; ++i) PeekMessages();
  const double perCall = (Seconds() - start) / calls;
  std::printf("PeekMessageA: %.2f us a call, %.2f s for the %u blocks if called before each\n",
              perCall * 1e6, perCall * static_cast<double>(FileSize / 256),
              static_cast<unsigned>(FileSize / 256));
  for (const std::string& path : {previousPath, targetPath, backupPath, copyPath, dataPath, checkedPath, differencePath})
    DeleteFileA(path.c_str());
  RemoveDirectoryA(dir.c_str());
  if (errors) std::printf("%d errors\n", errors);
  return errors ? 1 : 0;
}
