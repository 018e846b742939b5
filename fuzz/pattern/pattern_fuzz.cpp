// Fuzz target of the pattern engine.
// Input: one mode byte, then
//   mode even: a pattern text, a 0x00, and the text to match. The pattern is compiled (the
//     first pass must agree with the second) and run on the text, held in a buffer of exactly
//     its length, anchored, forward and backward from both ends; afterwards only the code's
//     slots may have changed. The same runs go through TPattern on a NUL-terminated copy.
//   mode odd: raw byte-code. It gets a size header covering exactly its bytes and runs on a
//     short text in the three step modes; the matcher must stay inside the buffer and leave
//     the size header alone.
// A step limit keeps backtracking-heavy patterns from running for minutes.
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

#include "pattern/pattern.h"
#include "pattern/pattern_dump.h"

namespace {

void Check(bool ok) {
  if (!ok) std::abort();
}

const uint16_t Steps[] = {0, 1, 0xFFFF};

// Every tag of the most recent match lies inside the text.
void CheckTags(const char* text, size_t length) {
  for (int tag = 0; tag < PatternTagCount; ++tag) {
    const char* start = PatternTagStart(tag);
    if (start) Check(start >= text && start <= text + uint16_t(length));
    const std::string s = TPattern::Tag(tag);
    if (!s.empty()) Check(start && start + s.size() <= text + uint16_t(length));
  }
}

void RunCompiled(const std::string& pattern, const uint8_t* textBytes, size_t length) {
  const uint16_t size = PatternCodeSize(pattern.c_str());
  uint8_t* code = CompilePattern(pattern.c_str());
  Check((size != 0) == (code != nullptr));
  if (!code) {
    Check(PatternStatus() == 3 || (PatternStatus() >= 5 && PatternStatus() <= 12));
    return;
  }
  Check(size == uint16_t(code[0] | code[1] << 8));
  const std::vector<uint8_t> original(code, code + size);
  std::vector<bool> slot(size, false);
  for (uint32_t at : PatternSlots(code)) {
    Check(at >= 2 && at + 2 <= size);
    slot[at] = slot[at + 1] = true;
  }
  DumpPattern(code);

  // The text in a heap buffer of exactly its length: no NUL behind it to lean on.
  char* text = static_cast<char*>(std::malloc(length ? length : 1));
  if (length) std::memcpy(text, textBytes, length);
  const uint16_t starts[] = {0, uint16_t(length), uint16_t(length / 2)};
  for (uint16_t step : Steps)
    for (uint16_t start : starts) {
      const uint16_t result = MatchPattern(code, text, length, start, step);
      const uint16_t status = PatternStatus();
      Check(result ? status == 0 : (status == 1 || status == 4));
      Check(status != 4);  // compiled code is never invalid
      CheckTags(text, length);
      for (uint32_t i = 0; i < size; ++i) Check(slot[i] || code[i] == original[i]);
    }
  std::free(text);
  FreePattern(code);

  const std::string zText(reinterpret_cast<const char*>(textBytes), length);
  TPattern object(pattern);
  object.Match(zText.c_str());
  CheckTags(zText.c_str(), std::strlen(zText.c_str()));
  object.SearchForward(zText.c_str());
  object.SearchBackward(zText.c_str());
  CheckTags(zText.c_str(), std::strlen(zText.c_str()));
}

void RunRaw(const uint8_t* body, size_t length) {
  if (length > 60000) length = 60000;
  const size_t size = length + 2;
  auto* code = static_cast<uint8_t*>(std::malloc(size));
  code[0] = uint8_t(size);
  code[1] = uint8_t(size >> 8);
  if (length) std::memcpy(code + 2, body, length);
  DumpPattern(code);
  const char text[] = {'a', 'B', '{', '\\', 'x'};
  for (uint16_t step : Steps) {
    const uint16_t start = step == 0xFFFF ? sizeof text : 0;
    MatchPattern(code, text, sizeof text, start, step);
    Check(code[0] == uint8_t(size) && code[1] == uint8_t(size >> 8));
    CheckTags(text, sizeof text);
  }
  std::free(code);
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  SetPatternStepLimit(200000);
  if (size == 0) {
    RunCompiled("", data, 0);
    return 0;
  }
  const uint8_t mode = data[0];
  ++data;
  --size;
  if (mode & 1) {
    RunRaw(data, size);
    return 0;
  }
  const uint8_t* zero = static_cast<const uint8_t*>(std::memchr(data, 0, size));
  const size_t patternLength = zero ? size_t(zero - data) : size;
  const std::string pattern(reinterpret_cast<const char*>(data), patternLength);
  const size_t textAt = zero ? patternLength + 1 : size;
  RunCompiled(pattern, data + textAt, size - textAt);
  return 0;
}
