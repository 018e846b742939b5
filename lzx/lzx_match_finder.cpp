#include "lzx/lzx_match_finder.h"

#include <algorithm>
#include <cstring>

namespace {

constexpr uint32_t NoPosition = 0xFFFFFFFFu;

uint64_t Load64(const uint8_t* p) {
  uint64_t v;
  std::memcpy(&v, p, sizeof v);
  return v;
}

unsigned FirstDifferingByte(uint64_t x) {
  // x != 0; the lowest differing byte of two little-endian loads comes first in memory.
  unsigned n = 0;
  while ((x & 0xFF) == 0) {
    x >>= 8;
    n++;
  }
  return n;
}

bool IsLittleEndian() {
  uint16_t probe = 1;
  uint8_t first;
  std::memcpy(&first, &probe, 1);
  return first == 1;
}

}  // namespace

// Three-byte matches farther than this cost more than their literals.
constexpr uint32_t NearDistance = 1u << 14;
constexpr unsigned Hash3Bits = 14;

uint32_t Load32(const uint8_t* p) {
  return p[0] | (p[1] << 8) | (p[2] << 16) | (static_cast<uint32_t>(p[3]) << 24);
}

TLzxMatchFinder::TLzxMatchFinder(const uint8_t* data, size_t size, uint32_t maxDistance,
                                 unsigned chainDepth, unsigned niceLength)
    : Data(data), Size(size), MaxDistance(maxDistance), ChainDepth(chainDepth), NiceLength(niceLength) {
  // Chain table: a power of two covering the farthest distance, or the whole input.
  size_t chainSize = 1;
  while (chainSize < size && chainSize <= maxDistance) {
    chainSize <<= 1;
  }
  ChainMask = static_cast<uint32_t>(chainSize - 1);
  Chain.assign(chainSize, NoPosition);
  HashBits = 10;
  while (HashBits < 20 && (size_t{1} << HashBits) < size) {
    HashBits++;
  }
  Head.assign(size_t{1} << HashBits, NoPosition);
  Head3.assign(size_t{1} << Hash3Bits, NoPosition);
}

uint32_t TLzxMatchFinder::Hash4At(uint32_t pos) const {
  return (Load32(Data + pos) * 2654435761u) >> (32 - HashBits);
}

uint32_t TLzxMatchFinder::Hash3At(uint32_t pos) const {
  return ((Load32(Data + pos) << 8) * 2654435761u) >> (32 - Hash3Bits);
}

bool TLzxMatchFinder::IsAnchor(uint32_t pos) const {
  return pos + 4 <= Size && ((Load32(Data + pos) * 0x9E3779B1u) >> 29) == 0;
}

uint32_t TLzxMatchFinder::MatchLength(uint32_t pos, uint32_t distance, uint32_t maxLength) const {
  const uint8_t* a = Data + pos;
  const uint8_t* b = a - distance;
  uint32_t n = 0;
  static const bool little = IsLittleEndian();
  if (little) {
    while (n + 8 <= maxLength) {
      uint64_t x = Load64(a + n) ^ Load64(b + n);
      if (x != 0) {
        return n + FirstDifferingByte(x);
      }
      n += 8;
    }
  }
  while (n < maxLength && a[n] == b[n]) {
    n++;
  }
  return n;
}

void TLzxMatchFinder::Skip(uint32_t pos) {
  if (pos + 4 > Size) {
    return;
  }
  uint32_t h = Hash4At(pos);
  Chain[pos & ChainMask] = Head[h];
  Head[h] = pos;
  Head3[Hash3At(pos)] = pos;
}

size_t TLzxMatchFinder::FindMatches(uint32_t pos, uint32_t maxLength, TLzMatch* matches, bool quick) {
  if (pos + 4 > Size) {
    return 0;
  }
  uint32_t h = Hash4At(pos);
  uint32_t candidate = Head[h];
  Chain[pos & ChainMask] = candidate;
  Head[h] = pos;
  uint32_t& near = Head3[Hash3At(pos)];
  uint32_t nearCandidate = near;
  near = pos;
  if (maxLength < 3) {
    return 0;
  }
  size_t count = 0;
  uint32_t best = 2;
  const uint8_t* here = Data + pos;
  if (nearCandidate != NoPosition && nearCandidate < pos && pos - nearCandidate <= NearDistance) {
    uint32_t len = MatchLength(pos, pos - nearCandidate, maxLength);
    if (len >= 3) {
      best = len;
      matches[count++] = TLzMatch{len, pos - nearCandidate};
      if (len >= NiceLength || len >= maxLength) {
        return count;
      }
    }
  }
  const uint32_t head = Load32(here);
  unsigned chainDepth = quick ? 1 : ChainDepth;
  for (unsigned depth = 0; depth < chainDepth && candidate != NoPosition; depth++) {
    if (candidate >= pos || pos - candidate > MaxDistance) {
      break;
    }
    const uint8_t* there = Data + candidate;
    if (there[best] == here[best] && Load32(there) == head) {
      uint32_t len = MatchLength(pos, pos - candidate, maxLength);
      if (len > best) {
        best = len;
        matches[count++] = TLzMatch{len, pos - candidate};
        if (len >= NiceLength || len >= maxLength) {
          break;
        }
        if (len >= NiceLength / 2) {
          // Good enough: look at a few more candidates only.
          chainDepth = std::min(chainDepth, depth + 1 + ChainDepth / 4);
        }
      }
    }
    uint32_t older = Chain[candidate & ChainMask];
    if (older != NoPosition && older >= candidate) {
      break;  // the slot was reused by a newer position: the chain ends here
    }
    candidate = older;
  }
  return count;
}
