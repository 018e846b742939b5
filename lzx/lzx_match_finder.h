#pragma once
// Hash-chain match finder of the LZX encoder. Every position is hashed on its first four
// bytes; a chain links the earlier positions of the same hash, nearest first, over a table as
// large as the window (or the input, when that is smaller). Three-byte matches only pay when
// they are near, so a small table remembers just the latest position of each three-byte hash.

#include <cstddef>
#include <cstdint>
#include <vector>

struct TLzMatch {
  uint32_t Length;
  uint32_t Distance;  // 1 = the byte before
};

class TLzxMatchFinder {
 public:
  // maxDistance: farthest match offset allowed; chainDepth: candidates looked at per
  // position; niceLength: a match this long ends the search.
  TLzxMatchFinder(const uint8_t* data, size_t size, uint32_t maxDistance, unsigned chainDepth,
                  unsigned niceLength);

  // Looks up the matches at pos of at most maxLength bytes and then records pos. Writes
  // them to matches (room for maxLength entries), each longer than the one before, and
  // returns how many. Positions must be given in increasing order, each at most once,
  // through FindMatches or Skip. quick: only the newest candidate of the chain is looked at
  // (for data that hardly compresses, where every candidate costs a cache miss and finds
  // nothing; a far repeat of such data is still found).
  size_t FindMatches(uint32_t pos, uint32_t maxLength, TLzMatch* matches, bool quick = false);
  void Skip(uint32_t pos);

  // One position in eight, chosen by its content: the quick search records and searches
  // these only, so the copies of repeated bytes still meet at the same anchors.
  bool IsAnchor(uint32_t pos) const;

  // Length of the common prefix of pos and pos - distance, at most maxLength.
  uint32_t MatchLength(uint32_t pos, uint32_t distance, uint32_t maxLength) const;

 private:
  uint32_t Hash4At(uint32_t pos) const;
  uint32_t Hash3At(uint32_t pos) const;

  const uint8_t* Data;
  size_t Size;
  uint32_t MaxDistance;
  unsigned ChainDepth;
  unsigned NiceLength;
  unsigned HashBits;
  uint32_t ChainMask;
  std::vector<uint32_t> Head;
  std::vector<uint32_t> Chain;
  std::vector<uint32_t> Head3;
};
