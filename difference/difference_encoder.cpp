#include "difference_encoder.h"

#include <algorithm>
#include <stdexcept>

#include "difference_format.h"
#include "suffix_array.h"

namespace {

// Longest match of a text among the old file's suffixes.
class TMatchFinder {
 public:
  TMatchFinder(const uint8_t* old, int64_t oldSize, const std::vector<int32_t>& suffixes)
      : old(old), oldSize(oldSize), suffixes(suffixes) {}

  // Length of the longest common prefix of text and a suffix of the old file; position
  // gets that suffix's start (0 when nothing matches).
  int64_t Longest(const uint8_t* text, int64_t textSize, int64_t& position) const {
    position = 0;
    if (oldSize == 0 || textSize == 0) return 0;
    // Bisect between the first and last suffix; every suffix between two bounds shares
    // with the text at least the shorter of the bounds' common prefixes.
    int64_t low = 0;
    int64_t high = oldSize - 1;
    int64_t lowLength = Common(suffixes[low], text, textSize, 0);
    int64_t highLength = Common(suffixes[high], text, textSize, 0);
    while (high - low > 1) {
      const int64_t middle = low + (high - low) / 2;
      const int64_t start = suffixes[middle];
      const int64_t length = Common(start, text, textSize, std::min(lowLength, highLength));
      if (length == textSize) {
        position = start;
        return length;
      }
      if (start + length == oldSize || old[start + length] < text[length]) {
        low = middle;
        lowLength = length;
      } else {
        high = middle;
        highLength = length;
      }
    }
    if (lowLength >= highLength) {
      position = suffixes[low];
      return lowLength;
    }
    position = suffixes[high];
    return highLength;
  }

 private:
  const uint8_t* old;
  int64_t oldSize;
  const std::vector<int32_t>& suffixes;

  int64_t Common(int64_t start, const uint8_t* text, int64_t textSize, int64_t known) const {
    const int64_t limit = std::min(oldSize - start, textSize);
    int64_t length = known;
    while (length < limit && old[start + length] == text[length]) length++;
    return length;
  }
};

// Finds the control entries; the streams follow from them.
std::vector<TDifferenceEntry> FindEntries(const uint8_t* old, int64_t oldSize, const uint8_t* next,
                                          int64_t newSize, const std::vector<int32_t>& suffixes) {
  std::vector<TDifferenceEntry> entries;
  const TMatchFinder finder(old, oldSize, suffixes);
  // Bytes of the new file at newAt that equal the old file's at newAt + offset.
  auto agrees = [&](int64_t newAt, int64_t offset) {
    const int64_t oldAt = newAt + offset;
    return oldAt >= 0 && oldAt < oldSize && old[oldAt] == next[newAt];
  };

  int64_t scan = 0;
  int64_t length = 0;
  int64_t position = 0;
  int64_t lastScan = 0;      // where the new file's uncovered part starts
  int64_t lastPosition = 0;  // the old position that goes with it
  int64_t lastOffset = 0;    // old - new of the alignment in use
  while (scan < newSize) {
    // Move on until an exact match is found that beats the current alignment by more than
    // a few bytes, or that the current alignment covers exactly (then it is skipped over).
    int64_t oldScore = 0;
    scan += length;
    for (int64_t scored = scan; scan < newSize; scan++) {
      length = finder.Longest(next + scan, newSize - scan, position);
      for (; scored < scan + length; scored++) {
        if (agrees(scored, lastOffset)) oldScore++;
      }
      if ((length == oldScore && length != 0) || length > oldScore + 8) break;
      if (agrees(scan, lastOffset)) oldScore--;
    }
    if (length == oldScore && scan != newSize) continue;

    // Stretch the previous alignment forwards from lastScan while more than half agrees...
    int64_t forward = 0;
    for (int64_t i = 0, same = 0, best = 0; lastScan + i < scan && lastPosition + i < oldSize;) {
      if (old[lastPosition + i] == next[lastScan + i]) same++;
      i++;
      if (same * 2 - i > best * 2 - forward) {
        best = same;
        forward = i;
      }
    }
    // ...and the new match backwards from scan.
    int64_t backward = 0;
    if (scan < newSize) {
      for (int64_t i = 1, same = 0, best = 0; scan >= lastScan + i && position >= i; i++) {
        if (old[position - i] == next[scan - i]) same++;
        if (same * 2 - i > best * 2 - backward) {
          best = same;
          backward = i;
        }
      }
    }
    // Where the two stretches overlap, split them where the most bytes agree.
    if (lastScan + forward > scan - backward) {
      const int64_t overlap = lastScan + forward - (scan - backward);
      int64_t split = 0;
      for (int64_t i = 0, score = 0, best = 0; i < overlap; i++) {
        if (next[lastScan + forward - overlap + i] == old[lastPosition + forward - overlap + i]) score++;
        if (next[scan - backward + i] == old[position - backward + i]) score--;
        if (score > best) {
          best = score;
          split = i + 1;
        }
      }
      forward += split - overlap;
      backward -= split;
    }

    TDifferenceEntry entry;
    entry.Add = static_cast<uint32_t>(forward);
    entry.Copy = static_cast<uint32_t>(scan - backward - (lastScan + forward));
    entry.Seek = scan < newSize ? static_cast<int32_t>(position - backward - (lastPosition + forward)) : 0;
    entries.push_back(entry);
    lastScan = scan - backward;
    lastPosition = position - backward;
    lastOffset = position - scan;
  }
  return entries;
}

}  // namespace

bool EncodeDifference(const uint8_t* oldData, size_t oldSize, const uint8_t* newData, size_t newSize,
                      std::vector<uint8_t>& record) {
  record.clear();
  if (oldSize > MaxDifferenceFileSize || newSize > MaxDifferenceFileSize) return false;
  try {
    std::vector<TDifferenceEntry> entries;
    {
      std::vector<int32_t> suffixes;
      if (!BuildSuffixArray(oldData, oldSize, suffixes)) return false;
      entries = FindEntries(oldData, static_cast<int64_t>(oldSize), newData, static_cast<int64_t>(newSize), suffixes);
    }
    // The streams, then the record: header, control, runs, changes, extra.
    std::vector<uint8_t> control, runs, changes, extra;
    TDifferenceHeader header;
    size_t oldAt = 0;
    size_t newAt = 0;
    uint32_t zeros = 0;  // unchanged bytes since the last change
    for (const TDifferenceEntry& entry : entries) {
      PutDifferenceEntry(control, entry);
      for (uint32_t i = 0; i < entry.Add; i++) {
        const uint8_t difference = static_cast<uint8_t>(newData[newAt + i] - oldData[oldAt + i]);
        if (difference == 0) {
          zeros++;
        } else {
          PutNumber(runs, zeros);
          changes.push_back(difference);
          zeros = 0;
        }
      }
      newAt += entry.Add;
      extra.insert(extra.end(), newData + newAt, newData + newAt + entry.Copy);
      newAt += entry.Copy;
      oldAt = static_cast<size_t>(static_cast<int64_t>(oldAt) + entry.Add + entry.Seek);
      header.DifferenceLength += entry.Add;
    }
    header.OldSize = static_cast<uint32_t>(oldSize);
    header.NewSize = static_cast<uint32_t>(newSize);
    header.EntryCount = static_cast<uint32_t>(entries.size());
    header.ControlLength = static_cast<uint32_t>(control.size());
    header.ChangeCount = static_cast<uint32_t>(changes.size());
    header.RunLength = static_cast<uint32_t>(runs.size());
    header.ExtraLength = static_cast<uint32_t>(extra.size());
    // Streams of numbers could in theory outgrow their 32-bit lengths: refused, not cut.
    if (control.size() > MaxDifferenceFileSize || runs.size() > MaxDifferenceFileSize ||
        header.RecordSize() > SIZE_MAX) {
      return false;
    }
    record.reserve(static_cast<size_t>(header.RecordSize()));
    record.resize(DifferenceHeaderSize);
    PutDifferenceHeader(record.data(), header);
    for (const std::vector<uint8_t>* stream : {&control, &runs, &changes, &extra}) {
      record.insert(record.end(), stream->begin(), stream->end());
    }
  } catch (const std::exception&) {  // out of memory, or more than a vector can hold
    std::vector<uint8_t>().swap(record);
    return false;
  }
  return true;
}
