#include "delta_encoder.h"

#include <algorithm>
#include <cstring>
#include <memory>

#include "block_edits.h"
#include "delta_writer.h"
#include "old_file_index.h"

namespace {

using BlockEdits::BlockSize;

// Extra cost given to a block whose shift differs from the previous block's: its header
// breaks the regular run that the cabinet's compressor turns into a few bits.
constexpr size_t ShiftChangePenalty = 4;
constexpr size_t RecentShiftCount = 4;
constexpr size_t MaxCandidates = 32;       // distinct sources gathered from the index per block
constexpr size_t MaxCandidatesCosted = 12;
constexpr size_t MaxBucketProbes = 8;      // entries looked at per window of the new block
constexpr size_t ProgressStep = 1 << 20;

struct TCandidate {
  int64_t Source;
  uint32_t Votes;
};

class TEncoder {
 public:
  TEncoder(const uint8_t* oldData, size_t oldSize, const uint8_t* newData,
           std::vector<uint8_t>& delta, TDeltaStats& stats)
      : oldData(oldData), oldSize(oldSize), newData(newData), delta(delta), stats(stats) {}
  TEncoder(const TEncoder&) = delete;
  TEncoder& operator=(const TEncoder&) = delete;

  // Encodes the 256 bytes of the new version at destination, or, when literalLength is below
  // 256, either those literalLength bytes at destination + 256 - literalLength as a literal
  // block or the whole 256 bytes as a copy block.
  void EncodeBlock(int64_t destination, size_t literalLength);
  // A literal block of length (1 ... 256) bytes of the new version at start.
  void WriteLiteral(int64_t start, size_t length);

 private:
  // The 256 bytes of the previous version at source, zero past its end (as the engine reads).
  const uint8_t* OldBlock(int64_t source);
  void Consider(int64_t source, int64_t destination, const uint8_t* newBlock);
  void GatherFromIndex(const uint8_t* newBlock);
  void AddVote(int64_t source);
  void RememberShift(int64_t shift);

  const uint8_t* oldData;
  size_t oldSize;
  const uint8_t* newData;
  TDeltaWriter delta;
  TDeltaStats& stats;
  // Built when a block first needs it: files whose blocks all continue the previous shift
  // (unchanged or nearly unchanged files) never pay for it.
  std::unique_ptr<TOldFileIndex> index;

  uint8_t padded[BlockSize];
  int64_t lastShift = 0;
  int64_t recentShifts[RecentShiftCount] = {};
  size_t recentCount = 0;

  // The block being encoded.
  size_t bestScore = 0;
  size_t bestCost = 0;
  int64_t bestSource = -1;
  TCandidate candidates[MaxCandidates];
  size_t candidateCount = 0;
};

const uint8_t* TEncoder::OldBlock(int64_t source) {
  const size_t start = static_cast<size_t>(source);
  if (start <= oldSize && oldSize - start >= BlockSize) return oldData + start;
  const size_t available = start < oldSize ? oldSize - start : 0;
  if (available > 0) std::memcpy(padded, oldData + start, available);
  std::memset(padded + available, 0, BlockSize - available);
  return padded;
}

void TEncoder::Consider(int64_t source, int64_t destination, const uint8_t* newBlock) {
  if (source < 0 || source > static_cast<int64_t>(MaxDeltaFileSize)) return;
  const size_t penalty = source - destination == lastShift ? 0 : ShiftChangePenalty;
  if (bestScore <= BlockEdits::CopyBaseCost + penalty) return;
  const size_t limit = bestScore - penalty - 1;
  const size_t cost = BlockEdits::Cost(OldBlock(source), newBlock, limit);
  if (cost > limit) return;
  bestScore = cost + penalty;
  bestCost = cost;
  bestSource = source;
}

void TEncoder::AddVote(int64_t source) {
  for (size_t i = 0; i < candidateCount; ++i) {
    if (candidates[i].Source == source) {
      ++candidates[i].Votes;
      return;
    }
  }
  if (candidateCount < MaxCandidates) candidates[candidateCount++] = {source, 1};
}

// Every window of the new block is looked up; each verified hit votes for the source that
// would align it, so the sources that share most bytes with the block come first. Windows
// that the best candidate so far already matches are skipped: a lookup there would mostly
// find that candidate again, and lookups (cache misses in a table as large as the file) are
// what the search costs.
void TEncoder::GatherFromIndex(const uint8_t* newBlock) {
  constexpr size_t Window = TOldFileIndex::WindowSize;
  candidateCount = 0;
  if (!index) index = std::make_unique<TOldFileIndex>(oldData, oldSize);
  // covered[p]: bytes of [0, p) where the best candidate agrees with the block.
  uint16_t covered[BlockSize + 1];
  covered[0] = 0;
  const uint8_t* best = bestSource >= 0 ? OldBlock(bestSource) : nullptr;
  for (size_t i = 0; i < BlockSize; ++i)
    covered[i + 1] = static_cast<uint16_t>(covered[i] + (best && best[i] == newBlock[i]));

  uint32_t hash = TOldFileIndex::Hash(newBlock);
  for (size_t p = 0;; ++p) {
    if (covered[p + Window] - covered[p] != Window) {
      const uint32_t* end = index->End(hash);
      size_t probes = 0;
      for (const uint32_t* q = index->Begin(hash); q != end && probes < MaxBucketProbes; ++q, ++probes) {
        if (std::memcmp(oldData + *q, newBlock + p, Window) == 0)
          AddVote(static_cast<int64_t>(*q) - static_cast<int64_t>(p));
      }
    }
    if (p + Window >= BlockSize) break;
    hash = TOldFileIndex::Roll(hash, newBlock[p], newBlock[p + Window]);
  }
}

void TEncoder::RememberShift(int64_t shift) {
  lastShift = shift;
  for (size_t i = 0; i < recentCount; ++i) {
    if (recentShifts[i] == shift) {
      std::rotate(recentShifts, recentShifts + i, recentShifts + i + 1);
      return;
    }
  }
  if (recentCount < RecentShiftCount) ++recentCount;
  std::copy_backward(recentShifts, recentShifts + recentCount - 1, recentShifts + recentCount);
  recentShifts[0] = shift;
}

void TEncoder::EncodeBlock(int64_t destination, size_t literalLength) {
  const uint8_t* newBlock = newData + destination;
  bestScore = BlockEdits::LiteralCost + ShiftChangePenalty;
  bestCost = BlockEdits::LiteralCost;
  bestSource = -1;

  // Cheap candidates first: a perfect continuation ends the search at once.
  Consider(destination + lastShift, destination, newBlock);
  for (size_t i = 0; i < recentCount; ++i) Consider(destination + recentShifts[i], destination, newBlock);
  Consider(static_cast<int64_t>(oldSize), destination, newBlock);  // zero bytes
  if (bestCost > BlockEdits::CopyBaseCost && oldSize >= TOldFileIndex::WindowSize) {
    GatherFromIndex(newBlock);
    std::stable_sort(candidates, candidates + candidateCount,
                     [](const TCandidate& a, const TCandidate& b) { return a.Votes > b.Votes; });
    for (size_t i = 0; i < candidateCount && i < MaxCandidatesCosted; ++i)
      Consider(candidates[i].Source, destination, newBlock);
  }

  if (bestSource < 0) {
    // Literal: the last literalLength bytes of the 256 at destination.
    WriteLiteral(destination + static_cast<int64_t>(BlockSize - literalLength), literalLength);
    return;
  }
  // Offsets stay below MaxDeltaFileSize: they fit the layout's 32-bit fields.
  const size_t before = delta.Size();
  delta.CopyBlock(static_cast<int32_t>(destination), static_cast<int32_t>(bestSource), OldBlock(bestSource), newBlock);
  stats.EditedBytes += delta.Size() - before - BlockEdits::HeaderSize - BlockEdits::TerminatorSize;
  ++stats.CopyBlocks;
  RememberShift(bestSource - destination);
}

void TEncoder::WriteLiteral(int64_t start, size_t length) {
  delta.LiteralBlock(static_cast<int32_t>(start), newData + start, length);
  ++stats.LiteralBlocks;
}

}  // namespace

bool EncodeDelta(const uint8_t* oldData, size_t oldSize, const uint8_t* newData, size_t newSize,
                 std::vector<uint8_t>& delta, TDeltaStats* stats, TDeltaProgress progress,
                 void* progressContext) {
  delta.clear();
  if (newSize == 0 || newSize > MaxDeltaFileSize || oldSize > MaxDeltaFileSize) return false;
  TDeltaStats localStats;
  TDeltaStats& counts = stats ? *stats : localStats;
  counts = TDeltaStats();
  TEncoder encoder(oldData, oldSize, newData, delta, counts);

  const size_t fullBlocks = newSize / BlockSize;
  size_t nextReport = ProgressStep;
  for (size_t b = 0; b < fullBlocks; ++b) {
    encoder.EncodeBlock(static_cast<int64_t>(b * BlockSize), BlockSize);
    if (progress && (b + 1) * BlockSize >= nextReport) {
      progress(progressContext, (b + 1) * BlockSize, newSize);
      nextReport += ProgressStep;
    }
  }
  const size_t tail = newSize % BlockSize;
  if (tail > 0) {
    if (newSize >= BlockSize) {
      // The last 256 bytes, ending at the file's end: copied if that is cheaper, else the
      // tail alone as a literal block.
      encoder.EncodeBlock(static_cast<int64_t>(newSize - BlockSize), tail);
    } else {
      // Shorter than one block: only a literal block writes it without extending it.
      encoder.WriteLiteral(0, tail);
    }
  }
  if (progress) progress(progressContext, newSize, newSize);
  return true;
}
