#pragma once
// Machine-code-like test data: instructions of one to three opcode bytes (from a small
// set, as real code uses few), a third of them followed by a 32-bit little-endian address
// into the file. The second version has blocks of new code inserted, and every address
// past an insertion moves with it, as a linker moves them.
#include <algorithm>
#include <cstdint>
#include <random>
#include <vector>

struct TSyntheticCode {
  std::vector<uint8_t> Old;
  std::vector<uint8_t> New;
};

inline TSyntheticCode MakeSyntheticCode(size_t size, uint32_t seed, int insertions) {
  std::mt19937 random(seed);
  TSyntheticCode code;
  std::vector<size_t> addressAt;  // offsets of the address fields in Old
  std::vector<size_t> boundaries;
  while (code.Old.size() < size) {
    boundaries.push_back(code.Old.size());
    const unsigned opcodes = 1 + random() % 3;
    for (unsigned i = 0; i < opcodes; i++) code.Old.push_back(static_cast<uint8_t>(0x40 + random() % 48));
    if (random() % 3 == 0) {
      addressAt.push_back(code.Old.size());
      const uint32_t target = 0x400000 + static_cast<uint32_t>(random() % size);
      for (int i = 0; i < 4; i++) code.Old.push_back(static_cast<uint8_t>(target >> (8 * i)));
    }
  }
  // Insertion points at instruction boundaries, each with its block of new code.
  std::vector<size_t> points;
  for (int i = 0; i < insertions; i++) points.push_back(boundaries[random() % boundaries.size()]);
  std::sort(points.begin(), points.end());
  std::vector<uint32_t> lengths;
  for (size_t p = 0; p < points.size(); p++) lengths.push_back(16 + random() % 500);
  std::vector<uint32_t> before(1, 0);  // bytes inserted by the first n points
  for (uint32_t length : lengths) before.push_back(before.back() + length);
  auto shiftAt = [&](size_t offset) {  // bytes inserted at or before offset
    return before[std::upper_bound(points.begin(), points.end(), offset) - points.begin()];
  };
  size_t from = 0;
  for (size_t p = 0; p <= points.size(); p++) {
    const size_t to = p < points.size() ? points[p] : code.Old.size();
    code.New.insert(code.New.end(), code.Old.begin() + from, code.Old.begin() + to);
    if (p < points.size()) {
      for (uint32_t i = 0; i < lengths[p]; i++) code.New.push_back(static_cast<uint8_t>(random()));
    }
    from = to;
  }
  for (size_t field : addressAt) {
    uint32_t address = 0;
    for (int i = 0; i < 4; i++) address |= uint32_t{code.Old[field + i]} << (8 * i);
    address += shiftAt(address - 0x400000);
    const size_t at = field + shiftAt(field);
    for (int i = 0; i < 4; i++) code.New[at + i] = static_cast<uint8_t>(address >> (8 * i));
  }
  return code;
}
