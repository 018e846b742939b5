#include "suffix_array.h"

#include <algorithm>
#include <stdexcept>

// Induced sorting, as Nong, Zhang and Chan published it. A suffix is S-type when it is
// smaller than the suffix after it, L-type when larger; the text ends with a virtual marker
// smaller than every character, so the last suffix is L-type. A left-most S-type position
// (LMS: S-type after an L-type one) starts an LMS substring, which runs to the next LMS
// position. Sorting the LMS substrings, naming them and sorting the text of names
// recursively orders the LMS suffixes; two scans then induce the order of all others.
//
// Each level works inside the suffix array of its caller: the names of a level go to the
// tail of the array, the reduced level sorts into its head (at most half of the array is
// LMS positions), and the reduced level's buckets use the space between when they fit.

namespace {

class TTypeBits {
 public:
  explicit TTypeBits(int32_t size) : bits((static_cast<size_t>(size) + 7) / 8, 0) {}
  bool IsS(int32_t i) const { return (bits[static_cast<size_t>(i) >> 3] >> (i & 7)) & 1; }
  void SetS(int32_t i) { bits[static_cast<size_t>(i) >> 3] |= static_cast<uint8_t>(1u << (i & 7)); }

 private:
  std::vector<uint8_t> bits;
};

template <class TChar>
class TLevel {
 public:
  TLevel(const TChar* text, int32_t* suffixes, int32_t size, int32_t alphabet, int32_t* spare, size_t spareSize)
      : text(text), suffixes(suffixes), size(size), alphabet(alphabet), types(size) {
    if (static_cast<size_t>(alphabet) <= spareSize) {
      buckets = spare;
    } else {
      ownBuckets.resize(static_cast<size_t>(alphabet));
      buckets = ownBuckets.data();
    }
  }

  void Sort() {
    for (int32_t i = size - 2; i >= 0; i--) {
      if (text[i] < text[i + 1] || (text[i] == text[i + 1] && types.IsS(i + 1))) types.SetS(i);
    }
    // Sort the LMS substrings: LMS positions at their bucket ends, then induce.
    std::fill(suffixes, suffixes + size, -1);
    BucketEnds();
    for (int32_t i = 1; i < size; i++) {
      if (IsLms(i)) suffixes[--buckets[Char(i)]] = i;
    }
    Induce();

    // Gather the sorted LMS positions at the head and name their substrings; a name goes to
    // slot lmsCount + position / 2 (LMS positions are at least two apart).
    int32_t lmsCount = 0;
    for (int32_t i = 0; i < size; i++) {
      if (IsLms(suffixes[i])) suffixes[lmsCount++] = suffixes[i];
    }
    std::fill(suffixes + lmsCount, suffixes + size, -1);
    int32_t names = 0;
    int32_t previous = -1;
    for (int32_t i = 0; i < lmsCount; i++) {
      const int32_t position = suffixes[i];
      if (previous < 0 || !EqualLmsSubstrings(position, previous)) names++;
      previous = position;
      suffixes[lmsCount + position / 2] = names - 1;
    }
    // The names, in text order, to the tail.
    int32_t* reduced = suffixes + size - lmsCount;
    for (int32_t i = size - 1, j = size - 1; i >= lmsCount; i--) {
      if (suffixes[i] >= 0) suffixes[j--] = suffixes[i];
    }

    if (names < lmsCount) {
      TLevel<int32_t>(reduced, suffixes, lmsCount, names, suffixes + lmsCount,
                      static_cast<size_t>(size - 2 * lmsCount))
          .Sort();
    } else {
      for (int32_t i = 0; i < lmsCount; i++) suffixes[reduced[i]] = i;
    }

    // The reduced order back to text positions, then the LMS suffixes, now in their true
    // order, to their bucket ends, and induce the rest.
    for (int32_t i = 1, j = 0; i < size; i++) {
      if (IsLms(i)) reduced[j++] = i;
    }
    for (int32_t i = 0; i < lmsCount; i++) suffixes[i] = reduced[suffixes[i]];
    std::fill(suffixes + lmsCount, suffixes + size, -1);
    BucketEnds();
    for (int32_t i = lmsCount - 1; i >= 0; i--) {
      const int32_t position = suffixes[i];
      suffixes[i] = -1;
      suffixes[--buckets[Char(position)]] = position;
    }
    Induce();
  }

 private:
  const TChar* text;
  int32_t* suffixes;
  int32_t size;
  int32_t alphabet;
  TTypeBits types;
  int32_t* buckets = nullptr;
  std::vector<int32_t> ownBuckets;

  int32_t Char(int32_t i) const { return static_cast<int32_t>(text[i]); }
  bool IsLms(int32_t i) const { return i > 0 && types.IsS(i) && !types.IsS(i - 1); }

  void CountChars() {
    std::fill(buckets, buckets + alphabet, 0);
    for (int32_t i = 0; i < size; i++) buckets[Char(i)]++;
  }
  void BucketStarts() {
    CountChars();
    int32_t sum = 0;
    for (int32_t c = 0; c < alphabet; c++) {
      const int32_t count = buckets[c];
      buckets[c] = sum;
      sum += count;
    }
  }
  void BucketEnds() {
    CountChars();
    int32_t sum = 0;
    for (int32_t c = 0; c < alphabet; c++) {
      sum += buckets[c];
      buckets[c] = sum;
    }
  }

  // L-type suffixes from left to right (the last suffix, which follows the virtual marker,
  // first), then S-type ones from right to left.
  void Induce() {
    BucketStarts();
    suffixes[buckets[Char(size - 1)]++] = size - 1;
    for (int32_t i = 0; i < size; i++) {
      const int32_t j = suffixes[i] - 1;
      if (j >= 0 && !types.IsS(j)) suffixes[buckets[Char(j)]++] = j;
    }
    BucketEnds();
    for (int32_t i = size - 1; i >= 0; i--) {
      const int32_t j = suffixes[i] - 1;
      if (j >= 0 && types.IsS(j)) suffixes[--buckets[Char(j)]] = j;
    }
  }

  // Equal characters and types up to and including the next LMS position of both; a
  // substring that reaches the virtual marker equals no other.
  bool EqualLmsSubstrings(int32_t a, int32_t b) const {
    for (int32_t i = 0;; i++) {
      if (a + i == size || b + i == size) return false;
      if (text[a + i] != text[b + i] || types.IsS(a + i) != types.IsS(b + i)) return false;
      if (i > 0 && IsLms(a + i)) return true;  // then b + i is LMS too: same types before
    }
  }
};

}  // namespace

bool BuildSuffixArray(const uint8_t* text, size_t size, std::vector<int32_t>& suffixes) {
  suffixes.clear();
  if (size > MaxSuffixArrayText) return false;
  try {
    suffixes.resize(size);
    if (size > 0) TLevel<uint8_t>(text, suffixes.data(), static_cast<int32_t>(size), 256, nullptr, 0).Sort();
  } catch (const std::exception&) {  // out of memory, or more than a vector can hold
    std::vector<int32_t>().swap(suffixes);
    return false;
  }
  return true;
}
