#include "lzx/lzx_huffman.h"

#include <algorithm>
#include <vector>

namespace {

// Unlimited Huffman code lengths of the used symbols (sorted by ascending frequency), by the
// two-queue method: leaves in order, inner nodes in the order they are made.
void OptimalLengths(const std::vector<std::pair<uint32_t, uint32_t>>& leaves, std::vector<unsigned>& depth) {
  size_t n = leaves.size();
  std::vector<uint64_t> weight(2 * n - 1);
  std::vector<size_t> parent(2 * n - 1, 0);
  for (size_t i = 0; i < n; i++) {
    weight[i] = leaves[i].first;
  }
  size_t nextLeaf = 0, nextInner = n, made = n;
  auto takeSmallest = [&]() {
    if (nextLeaf < n && (nextInner >= made || weight[nextLeaf] <= weight[nextInner])) {
      return nextLeaf++;
    }
    return nextInner++;
  };
  while (made < 2 * n - 1) {
    size_t a = takeSmallest();
    size_t b = takeSmallest();
    weight[made] = weight[a] + weight[b];
    parent[a] = made;
    parent[b] = made;
    made++;
  }
  std::vector<unsigned> nodeDepth(2 * n - 1, 0);
  for (size_t i = 2 * n - 1; i-- > 0;) {
    nodeDepth[i] = (i == 2 * n - 2) ? 0 : nodeDepth[parent[i]] + 1;
  }
  depth.assign(nodeDepth.begin(), nodeDepth.begin() + n);
}

}  // namespace

void BuildCodeLengths(const uint32_t* freq, size_t count, unsigned maxLength, uint8_t* lens) {
  std::vector<std::pair<uint32_t, uint32_t>> leaves;  // frequency, symbol
  for (size_t i = 0; i < count; i++) {
    lens[i] = 0;
    if (freq[i] > 0) {
      leaves.emplace_back(freq[i], static_cast<uint32_t>(i));
    }
  }
  for (size_t i = 0; i < count && leaves.size() < 2; i++) {
    if (freq[i] == 0) {
      leaves.emplace_back(0, static_cast<uint32_t>(i));
    }
  }
  if (leaves.size() < 2) {
    return;  // a code of fewer than two symbols cannot exist (count < 2)
  }
  std::stable_sort(leaves.begin(), leaves.end(),
                   [](const auto& a, const auto& b) { return a.first < b.first; });
  std::vector<unsigned> depth;
  OptimalLengths(leaves, depth);

  // Clamp to maxLength, then restore the Kraft sum by lengthening the longest codes that
  // are still shorter than the limit.
  std::vector<uint32_t> perLength(maxLength + 1, 0);
  for (unsigned d : depth) {
    perLength[std::min(d, maxLength)]++;
  }
  uint64_t kraft = 0;
  for (unsigned len = 1; len <= maxLength; len++) {
    kraft += static_cast<uint64_t>(perLength[len]) << (maxLength - len);
  }
  while (kraft > (uint64_t{1} << maxLength)) {
    perLength[maxLength]--;
    for (unsigned len = maxLength - 1; len > 0; len--) {
      if (perLength[len] > 0) {
        perLength[len]--;
        perLength[len + 1] += 2;
        break;
      }
    }
    kraft--;
  }
  // The most frequent symbols take the shortest codes.
  size_t next = leaves.size();
  for (unsigned len = 1; len <= maxLength; len++) {
    for (uint32_t k = 0; k < perLength[len]; k++) {
      lens[leaves[--next].second] = static_cast<uint8_t>(len);
    }
  }
}

void BuildCanonicalCodes(const uint8_t* lens, size_t count, uint32_t* codes) {
  uint32_t perLength[33] = {};
  for (size_t i = 0; i < count; i++) {
    perLength[lens[i]]++;
  }
  perLength[0] = 0;
  uint32_t nextCode[33] = {};
  uint32_t code = 0;
  for (unsigned len = 1; len <= 32; len++) {
    code = (code + perLength[len - 1]) << 1;
    nextCode[len] = code;
  }
  for (size_t i = 0; i < count; i++) {
    codes[i] = lens[i] ? nextCode[lens[i]]++ : 0;
  }
}
