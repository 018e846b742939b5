// The process-wide results shared by the compiler, the matcher and the pattern object: the
// pattern status word, the tag table of the most recent match and the step limit.
#pragma once

#include <cstdint>

#include "pattern/pattern.h"

struct TEngineState {
  uint16_t status = PatternOk;
  uint8_t nextTag = 1;     // left by the last successful compile
  const char* text = nullptr;  // the text of the most recent match
  uint16_t length = 0;         // its length (low 16 bits)
  // Tag starts are kept as offsets into the text (-1: null); they become pointers only when read.
  int32_t tagStart[PatternTagCount];
  uint16_t tagLength[PatternTagCount];
  uint32_t stepLimit = 0;
};

TEngineState& EngineState();
