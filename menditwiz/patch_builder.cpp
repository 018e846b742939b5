#include "patch_builder.h"

#include <algorithm>
#include <climits>

#include "difference/difference_encoder.h"
#include "parallel/parallel_work.h"
#include "patch/patch_info.h"
#include "patch/patch_writer.h"
#include "patch/verify_info.h"

namespace {

struct TProgressContext {
  const TBuildHooks* Hooks;
  const std::string* Path;
};

void DeltaProgress(void* context, size_t done, size_t total) {
  auto* c = static_cast<TProgressContext*>(context);
  c->Hooks->Progress(*c->Path, done, total);
}


// The largest old file whose block delta is made beside its difference records.
constexpr size_t SideBySideLimit = 256u << 20;

// What data adds to a cabinet compressed with compression: its frames and their data block
// headers. Zero when it cannot be packed.
size_t PackedSize(const std::vector<uint8_t>& data, TCabCompression compression, TLzxEffort effort) {
  constexpr size_t DataBlockHeader = 8;
  TCompressedFrames frames;
  std::string error;
  if (!CompressFrames(data.data(), data.size(), compression, frames, error, nullptr, effort)) return 0;
  size_t size = 0;
  for (const std::vector<uint8_t>& frame : frames.Frames) size += frame.size() + DataBlockHeader;
  return size;
}

// Candidates are compared by their quick LZX packing (a third of the time, 1-2% larger than
// the cabinet's). Those within this share of the smallest (1/25: 4%, twice what the two
// packings differ by on patch data) are packed again as the cabinet packs them, and decided by
// that.
constexpr size_t CloseCallShare = 25;

// The smallest packed size of the candidates (0: none, or it cannot be packed) once each one
// that the quick packing cannot tell from the smallest is packed again in full.
void DecideCloseCalls(const std::vector<const std::vector<uint8_t>*>& candidates, std::vector<size_t>& packed,
                      TCabCompression compression) {
  if (compression != TCabCompression::Lzx) return;  // MSZIP packs one way only
  size_t smallest = 0;
  for (size_t size : packed) {
    if (size != 0 && (smallest == 0 || size < smallest)) smallest = size;
  }
  std::vector<size_t> again;
  for (size_t i = 0; i < candidates.size(); i++) {
    if (packed[i] != 0 && packed[i] - smallest <= smallest / CloseCallShare) again.push_back(i);
  }
  if (again.size() < 2) return;
  RunEach(again.size(), [&](size_t k) { packed[again[k]] = PackedSize(*candidates[again[k]], compression, TLzxEffort::Best); });
}

}  // namespace

bool BuildPatchData(TFileSystem& files, const std::string& oldRoot, const std::string& newRoot,
                    const std::vector<TPlannedRecord>& plan, const TBuildHooks& hooks,
                    std::vector<uint8_t>& data, std::vector<TBuiltRecord>& records,
                    std::string& error, TDeltaChoice choice, TCabCompression compression) {
  TPatchWriter writer;
  records.clear();
  std::vector<uint8_t> oldBytes, newBytes, delta, difference, executable;
  // Record offsets and sizes are 32-bit signed numbers. Every record comes with its
  // verification record.
  auto fits = [&](size_t payload) {
    return writer.Bytes().size() + 2 * TPatchInfo::Size + TVerifyInfo::Size + payload <=
           static_cast<size_t>(INT32_MAX);
  };
  // The plan has refused paths that do not fit a record; a refusal here still ends the build
  // rather than leave a record out.
  auto noRecord = [&](const std::string& path) {
    error = "Path too long for a patch record: " + path;
    return false;
  };
  auto tooLarge = [&](const std::string& path) {
    error = "The patch would exceed 2 GB at " + path;
    return false;
  };

  // What the records will need at the least (a copy carries its file whole; a modify record
  // spends at least 8 bytes on every 256-byte block of its file), checked before anything is
  // read or encoded, so a patch too large for the format is refused at once, not after hours.
  int64_t leastSize = 0;
  for (const TPlannedRecord& planned : plan) {
    leastSize += 2 * static_cast<int64_t>(TPatchInfo::Size) + static_cast<int64_t>(TVerifyInfo::Size);
    if (planned.Kind == TPlannedKind::Add) leastSize += planned.NewSize;
    if (planned.Kind == TPlannedKind::Change) leastSize += planned.NewSize / 32;
  }
  // The records' offsets are 32-bit signed numbers, and a cabinet folder holds at most
  // 65,535 data blocks of 32 KB.
  constexpr int64_t Largest = std::min<int64_t>(INT32_MAX, 65535LL * 32768);
  if (leastSize > Largest) {
    error = "The patch would exceed 2 GB: its records need at least " + std::to_string(leastSize) + " bytes";
    return false;
  }

  for (const TPlannedRecord& planned : plan) {
    TBuiltRecord built;
    built.Plan = planned;
    TVerifyInfo verify;
    verify.Alternative = planned.Alternative;
    const std::string& recordRoot = planned.OldRoot.empty() ? oldRoot : planned.OldRoot;
    if (planned.Kind == TPlannedKind::Delete) {
      const std::string oldPath = JoinPath(recordRoot, planned.OldPath);
      if (!ReadWholeFile(files, oldPath, oldBytes, MaxDeltaFileSize)) {
        error = "Cannot read file " + oldPath;
        return false;
      }
      SetVerifyOld(verify, oldBytes.data(), oldBytes.size());
      const std::string path = RecordPath(planned.OldPath);
      if (!fits(0)) return tooLarge(planned.OldPath);
      if (!writer.AddVerify(path, verify) || !writer.AddDelete(path, planned.OldStamp))
        return noRecord(planned.OldPath);
      built.Kind = TBuiltKind::Delete;
      records.push_back(built);
      continue;
    }
    if (hooks.Progress) hooks.Progress(planned.NewPath, 0, static_cast<size_t>(planned.NewSize));
    const std::string newPath = JoinPath(newRoot, planned.NewPath);
    if (!ReadWholeFile(files, newPath, newBytes, MaxDeltaFileSize)) {
      error = "Cannot read file " + newPath;
      return false;
    }
    const bool copy = planned.Kind == TPlannedKind::Add;
    if (!copy) {
      const std::string oldPath = JoinPath(recordRoot, planned.OldPath);
      if (!ReadWholeFile(files, oldPath, oldBytes, MaxDeltaFileSize)) {
        error = "Cannot read file " + oldPath;
        return false;
      }
      if (oldBytes == newBytes && planned.OldStamp == planned.NewStamp) {
        records.push_back(built);  // unchanged: no record
        continue;
      }
      if (newBytes.empty()) {
        error = "A file of both releases is empty in the new one, which no checked record can express "
                "(remove it in one release, or give it content): " + planned.NewPath;
        return false;
      }
      TProgressContext context{&hooks, &planned.NewPath};
      auto encodeBlocks = [&] {
        EncodeDelta(oldBytes.data(), oldBytes.size(), newBytes.data(), newBytes.size(), delta, &built.Delta,
                    hooks.Progress ? DeltaProgress : nullptr, &context);
      };
      if (choice != TDeltaChoice::Best) {
        encodeBlocks();
      } else {
        // The block delta (with its progress, on this thread) and the difference records beside
        // it; then every candidate is packed quickly, two at a time, and close calls again as
        // the cabinet packs them. The difference record wins only when it packs smaller; two PE
        // images of one machine also get the executable mode, and the smaller of the two
        // competes.
        bool encoded = false;
        auto blocks = [&] {
          encodeBlocks();
          built.PackedBlock = PackedSize(delta, compression, TLzxEffort::Quick);
        };
        auto differences = [&] {
          encoded = EncodeDifferences(oldBytes.data(), oldBytes.size(), newBytes.data(), newBytes.size(), difference,
                                      &executable);
        };
        // Side by side, the block delta's index and the suffix array (4 bytes a byte of the old
        // file) are held at once: a 32-bit process does one after the other for large files.
        if (oldBytes.size() <= SideBySideLimit) {
          RunBoth(blocks, differences);
        } else {
          blocks();
          differences();
        }
        if (encoded) {
          std::vector<size_t> packed = {built.PackedBlock, 0, 0};
          RunBoth([&] { packed[1] = PackedSize(difference, compression, TLzxEffort::Quick); },
                  [&] { packed[2] = executable.empty() ? 0 : PackedSize(executable, compression, TLzxEffort::Quick); });
          DecideCloseCalls({&delta, &difference, &executable}, packed, compression);
          built.PackedBlock = packed[0];
          built.PackedDifference = packed[1];
          if (packed[2] != 0 && (packed[1] == 0 || packed[2] < packed[1])) {
            built.PackedDifference = packed[2];
            difference.swap(executable);
          }
          built.Difference = built.PackedDifference != 0 && built.PackedDifference < built.PackedBlock;
          if (built.Difference) delta.swap(difference);
        } else {
          built.PackedBlock = 0;
        }
      }
    }
    SetVerifyNew(verify, newBytes.data(), newBytes.size());
    if (copy) {
      const std::string path = RecordPath(planned.NewPath);
      if (!fits(newBytes.size())) return tooLarge(planned.NewPath);
      if (!writer.AddVerify(path, verify) || !writer.AddCopy(path, planned.NewStamp, newBytes))
        return noRecord(planned.NewPath);
      built.Kind = TBuiltKind::Copy;
      built.DataSize = newBytes.size();
      built.Delta = TDeltaStats();
    } else {
      if (hooks.InspectDelta) hooks.InspectDelta(planned, delta);
      if (!fits(delta.size())) return tooLarge(planned.NewPath);
      // The record names the file as the old release spells it: that is the file it changes.
      SetVerifyOld(verify, oldBytes.data(), oldBytes.size());
      const std::string path = RecordPath(planned.OldPath);
      if (!writer.AddVerify(path, verify) ||
          !(built.Difference ? writer.AddDifference(path, planned.OldStamp, planned.NewStamp, delta)
                             : writer.AddModify(path, planned.OldStamp, planned.NewStamp, delta)))
        return noRecord(planned.OldPath);
      built.Kind = TBuiltKind::Modify;
      built.DataSize = delta.size();
    }
    records.push_back(built);
  }
  data = writer.Bytes();
  return true;
}
