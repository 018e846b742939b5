#pragma once
// Small PE images for tests: headers, a code section of x86/x64-like instructions whose
// calls, jumps and (on x86) absolute pointers point into the image, and a data section of
// pointers. The second version moves functions about (one grows, a new one is inserted),
// and every reference follows its target, as a linker moves them.
#include <cstdint>
#include <random>
#include <vector>

struct TSyntheticPe {
  std::vector<uint8_t> Old;
  std::vector<uint8_t> New;
};

namespace synthetic_pe {

inline void Put16(std::vector<uint8_t>& b, size_t at, uint32_t v) {
  b[at] = static_cast<uint8_t>(v);
  b[at + 1] = static_cast<uint8_t>(v >> 8);
}
inline void Put32(std::vector<uint8_t>& b, size_t at, uint32_t v) {
  Put16(b, at, v);
  Put16(b, at + 2, v >> 16);
}

// A function: bytes with holes for references to other functions (by index) or data.
struct TFunction {
  std::vector<uint8_t> Body;
  std::vector<std::pair<size_t, size_t>> Calls;  // operand offset in Body, callee index
  std::vector<std::pair<size_t, uint32_t>> Data;  // operand offset, data slot
};

constexpr uint32_t FileAlign = 0x200, SectionAlign = 0x1000, HeaderSize = 0x400;

// Lays out functions in order into .text and pointers to them into .data; returns the file.
inline std::vector<uint8_t> Link(const std::vector<TFunction>& functions, const std::vector<size_t>& order,
                                 uint32_t dataSlots, bool wide) {
  const uint32_t base32 = 0x400000;
  const uint64_t base = wide ? 0x140000000ull : base32;
  std::vector<uint32_t> at(functions.size());
  uint32_t textSize = 0;
  for (size_t f : order) {
    at[f] = textSize;
    textSize += static_cast<uint32_t>(functions[f].Body.size());
  }
  const uint32_t textRaw = (textSize + FileAlign - 1) / FileAlign * FileAlign;
  const uint32_t pointer = wide ? 8 : 4;
  const uint32_t dataRaw = (dataSlots * pointer + FileAlign - 1) / FileAlign * FileAlign;
  const uint32_t textRva = SectionAlign;
  const uint32_t dataRva = textRva + (textRaw + SectionAlign - 1) / SectionAlign * SectionAlign;
  const uint32_t imageSize = dataRva + (dataRaw + SectionAlign - 1) / SectionAlign * SectionAlign;
  std::vector<uint8_t> file(HeaderSize + textRaw + dataRaw);
  file[0] = 'M';
  file[1] = 'Z';
  Put32(file, 0x3C, 0x80);
  Put32(file, 0x80, 0x00004550);
  Put16(file, 0x84, wide ? 0x8664 : 0x014C);
  Put16(file, 0x86, 2);
  const uint32_t optionalSize = wide ? 240 : 224;
  Put16(file, 0x94, optionalSize);
  const size_t opt = 0x98;
  Put16(file, opt, wide ? 0x20B : 0x10B);
  if (wide) {
    Put32(file, opt + 24, static_cast<uint32_t>(base));
    Put32(file, opt + 28, static_cast<uint32_t>(base >> 32));
  } else {
    Put32(file, opt + 28, base32);
  }
  Put32(file, opt + 56, imageSize);
  Put32(file, opt + (wide ? 108 : 92), 16);
  const size_t sections = opt + optionalSize;
  const char* names[] = {".text", ".data"};
  const uint32_t rva[] = {textRva, dataRva}, raw[] = {textRaw, dataRaw}, offset[] = {HeaderSize, HeaderSize + textRaw};
  const uint32_t flags[] = {0x60000020, 0xC0000040};
  for (int s = 0; s < 2; s++) {
    const size_t h = sections + 40 * s;
    for (int c = 0; names[s][c]; c++) file[h + c] = static_cast<uint8_t>(names[s][c]);
    Put32(file, h + 8, raw[s]);
    Put32(file, h + 12, rva[s]);
    Put32(file, h + 16, raw[s]);
    Put32(file, h + 20, offset[s]);
    Put32(file, h + 36, flags[s]);
  }
  for (size_t f : order) {
    const TFunction& function = functions[f];
    const size_t start = HeaderSize + at[f];
    std::copy(function.Body.begin(), function.Body.end(), file.begin() + static_cast<ptrdiff_t>(start));
    for (const auto& call : function.Calls) {
      const uint32_t from = textRva + at[f] + static_cast<uint32_t>(call.first) + 4;
      Put32(file, start + call.first, textRva + at[call.second] - from);
    }
    for (const auto& data : function.Data) {
      const uint32_t target = dataRva + data.second * pointer;
      const uint32_t from = textRva + at[f] + static_cast<uint32_t>(data.first) + 4;
      Put32(file, start + data.first, wide ? target - from : static_cast<uint32_t>(base32 + target));
    }
  }
  for (uint32_t slot = 0; slot < dataSlots; slot++) {
    const uint64_t target = base + textRva + at[slot % functions.size()];
    Put32(file, HeaderSize + textRaw + slot * pointer, static_cast<uint32_t>(target));
    if (wide) Put32(file, HeaderSize + textRaw + slot * pointer + 4, static_cast<uint32_t>(target >> 32));
  }
  return file;
}

inline TFunction MakeFunction(std::mt19937& random, size_t functionCount, uint32_t dataSlots, bool wide) {
  TFunction function;
  const int instructions = 8 + static_cast<int>(random() % 40);
  for (int i = 0; i < instructions; i++) {
    const unsigned pick = random() % 6;
    if (pick == 0) {
      function.Body.push_back(0xE8);
      function.Calls.push_back({function.Body.size(), random() % functionCount});
      function.Body.insert(function.Body.end(), 4, 0);
    } else if (pick == 1) {
      if (wide) {
        function.Body.insert(function.Body.end(), {0x48, 0x8B, 0x05});
      } else {
        function.Body.insert(function.Body.end(), {0x8B, 0x0D});
      }
      function.Data.push_back({function.Body.size(), static_cast<uint32_t>(random() % dataSlots)});
      function.Body.insert(function.Body.end(), 4, 0);
    } else {
      const unsigned length = 1 + random() % 3;
      for (unsigned b = 0; b < length; b++) function.Body.push_back(static_cast<uint8_t>(0x40 + random() % 48));
    }
  }
  function.Body.push_back(0xC3);
  return function;
}

}  // namespace synthetic_pe

inline TSyntheticPe MakeSyntheticPe(size_t functionCount, uint32_t seed, bool wide) {
  using namespace synthetic_pe;
  std::mt19937 random(seed);
  const uint32_t dataSlots = static_cast<uint32_t>(functionCount);
  std::vector<TFunction> functions;
  for (size_t f = 0; f < functionCount; f++) functions.push_back(MakeFunction(random, functionCount + 1, dataSlots, wide));
  std::vector<size_t> order;
  for (size_t f = 0; f < functionCount; f++) order.push_back(f);
  TSyntheticPe pe;
  std::vector<TFunction> oldFunctions = functions;
  oldFunctions.push_back(MakeFunction(random, functionCount + 1, dataSlots, wide));  // removed later
  std::vector<size_t> oldOrder = order;
  oldOrder.insert(oldOrder.begin() + static_cast<ptrdiff_t>(functionCount / 2), functionCount);
  pe.Old = Link(oldFunctions, oldOrder, dataSlots, wide);
  // The new version: the extra function is gone, one grows, a new one goes in near the start.
  functions.push_back(MakeFunction(random, functionCount + 1, dataSlots, wide));
  functions[functionCount / 3].Body.insert(functions[functionCount / 3].Body.begin() + 1, 37, 0x90);
  for (auto& call : functions[functionCount / 3].Calls) call.first += 37;
  for (auto& data : functions[functionCount / 3].Data) data.first += 37;
  order.insert(order.begin() + 2, functionCount);
  pe.New = Link(functions, order, dataSlots, wide);
  return pe;
}
