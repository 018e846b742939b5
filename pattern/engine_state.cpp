#include "pattern/engine_state.h"

namespace {

TEngineState state = [] {
  TEngineState s;
  for (int i = 0; i < PatternTagCount; ++i) {
    s.tagStart[i] = -1;
    s.tagLength[i] = 0;
  }
  return s;
}();

}  // namespace

TEngineState& EngineState() { return state; }

uint16_t PatternStatus() { return state.status; }

uint8_t PatternNextTag() { return state.nextTag; }

const char* PatternTagStart(int tag) {
  if (tag < 0 || tag >= PatternTagCount || state.tagStart[tag] < 0 || !state.text) return nullptr;
  // Garbage byte-code can leave a position beyond the text; keep the pointer inside it.
  int32_t at = state.tagStart[tag] > state.length ? state.length : state.tagStart[tag];
  return state.text + at;
}

uint16_t PatternTagLength(int tag) {
  if (tag < 0 || tag >= PatternTagCount) return 0;
  return state.tagLength[tag];
}

const char* PatternResult() { return PatternTagStart(PatternResultTag); }

void SetPatternStepLimit(uint32_t steps) { state.stepLimit = steps; }
