// The backtracking matcher: one loop around one switch over the byte-code of pattern_opcodes.h.
//
// Hardening beyond the instruction table, so that no byte-code, however damaged, makes the
// matcher read or write outside the code buffer (whose size is the header at offset 0) or the
// text: every operand, jump target and code slot is checked against that size (a slot may not
// overlap the size header), and an instruction that would leave it, a tag number above 10, a
// pop from an empty stack or a LOAD_DEPTH that would raise the depth ends the operation as an
// invalid instruction (status 4). A back-reference whose saved text reaches past the end of
// the text fails. Compiled patterns never do any of these.
#include <cstring>

#include "pattern/engine_state.h"
#include "pattern/fold_table.h"
#include "pattern/pattern.h"
#include "pattern/pattern_opcodes.h"

namespace {

inline uint16_t ReadWord(const uint8_t* code, uint32_t at) {
  return uint16_t(code[at] | code[at + 1] << 8);
}

inline void WriteWord(uint8_t* code, uint32_t at, uint16_t value) {
  code[at] = uint8_t(value);
  code[at + 1] = uint8_t(value >> 8);
}

// The address of the slot named by the s16 operand at `at`, or 0 when the slot does not lie
// wholly inside the code behind the size header.
inline uint32_t SlotAddress(const uint8_t* code, uint32_t size, uint32_t at) {
  int32_t slot = int32_t(at) + 2 + int16_t(ReadWord(code, at));
  if (slot < 2 || uint32_t(slot) + 2 > size) return 0;
  return uint32_t(slot);
}

// A jump target; one outside the code is caught when the instruction there is fetched.
inline uint32_t Target(uint32_t after, int32_t offset) { return uint32_t(int32_t(after) + offset); }

// Tests c (already folded in folded mode) against the class items at `at` and finds the byte
// after their closing 0x00. False when the items run past the end of the code.
bool ScanClass(const uint8_t* code, uint32_t size, uint32_t at, const uint8_t* fold, uint8_t c,
               bool& hit, uint32_t& end) {
  hit = false;
  bool looking = true;
  for (uint32_t i = at;;) {
    if (i >= size) return false;
    switch (code[i]) {
      case CLASS_END:
        end = i + 1;
        return true;
      case CLASS_RANGE:
        if (i + 3 > size) return false;
        if (looking && fold[code[i + 1]] <= c && c <= fold[code[i + 2]]) hit = true;
        i += 3;
        break;
      case CLASS_RUN: {
        if (i + 2 > size || i + 2 + code[i + 1] > size) return false;
        const uint32_t n = code[i + 1];
        for (uint32_t j = 0; looking && j < n; ++j)
          if (fold[code[i + 2 + j]] == c) hit = true;
        i += 2 + n;
        break;
      }
      default:  // an unknown item ends the search without a hit; skipping steps over it
        looking = false;
        i += 1;
        break;
    }
    if (hit) looking = false;
  }
}

}  // namespace

uint16_t MatchPattern(uint8_t* code, const char* textChars, size_t textLength, uint16_t start,
                      uint16_t step) {
  TEngineState& engine = EngineState();
  int32_t* const tagStart = engine.tagStart;
  uint16_t* const tagLength = engine.tagLength;
  engine.status = PatternNoMatch;
  for (int i = 0; i < PatternTagCount; ++i) {
    tagStart[i] = -1;
    tagLength[i] = 0;
  }
  if (!textChars) {
    textChars = "";
    textLength = 0;
  }
  const uint8_t* const text = reinterpret_cast<const uint8_t*>(textChars);
  const uint32_t length = uint16_t(textLength);  // texts are limited to 16-bit lengths
  engine.text = textChars;
  engine.length = uint16_t(length);
  if (start > length) return 0;
  if (!code) {
    engine.status = PatternInvalidCode;
    return 0;
  }

  const uint32_t size = ReadWord(code, 0);
  const uint32_t limit = engine.stepLimit;
  uint32_t steps = 0;
  uint32_t stack[PatternStackDepth];
  uint32_t depth = 0;
  uint32_t attempt = start;  // where the current attempt began
  uint32_t pos = start;
  uint16_t caseMode = 0;
  const uint8_t* fold = PatternIdentityTable;
  uint32_t ip = 2;
  uint32_t slot = 0;

// Operand checks: the instruction's bytes, and the code slot named by the s16 operand at `at`.
#define NEED(n) \
  if (ip + (n) > size) goto invalid
#define SLOT(at) \
  if (!(slot = SlotAddress(code, size, (at)))) goto invalid

  for (;;) {
    if (limit && ++steps > limit) goto exhausted;
    if (ip < 2 || ip >= size) goto invalid;
    fold = caseMode ? PatternFoldTable : PatternIdentityTable;
    switch (code[ip]) {
      case PUSH_ALT_W: {
        NEED(3);
        if (depth == PatternStackDepth) goto exhausted;
        stack[depth++] = ip + 3;
        ip = Target(ip + 3, int16_t(ReadWord(code, ip + 1)));
        continue;
      }
      case PUSH_ALT_B: {
        NEED(2);
        if (depth == PatternStackDepth) goto exhausted;
        stack[depth++] = ip + 2;
        ip = Target(ip + 2, int8_t(code[ip + 1]));
        continue;
      }
      case BACKREF: {
        NEED(2);
        const uint8_t tag = code[ip + 1];
        if (tag >= PatternTagCount) goto invalid;
        ip += 2;
        if (tagStart[tag] < 0 || tagLength[tag] == 0) continue;  // matches empty
        const uint32_t n = tagLength[tag];
        const uint32_t from = uint32_t(tagStart[tag]);
        if (pos + n > length || from + n > length) goto fail;
        for (uint32_t i = 0; i < n; ++i)
          if (fold[text[pos + i]] != fold[text[from + i]]) goto fail;
        pos += n;
        continue;
      }
      case SUCCEED: {
        engine.status = PatternOk;
        if (tagStart[PatternResultTag] < 0) tagStart[PatternResultTag] = tagStart[0];
        return uint16_t(depth ? depth : 1);
      }
      case INC_SLOT: {
        NEED(3);
        SLOT(ip + 1);
        WriteWord(code, slot, uint16_t(ReadWord(code, slot) + 1));
        ip += 3;
        continue;
      }
      case DEC_SLOT_JUMP: {
        NEED(5);
        SLOT(ip + 1);
        const uint32_t target = Target(ip + 5, int16_t(ReadWord(code, ip + 3)));
        const uint16_t v = ReadWord(code, slot);
        WriteWord(code, slot, uint16_t(v - 1));
        ip = v ? target : ip + 5;
        continue;
      }
      case JUMP_W: {
        NEED(3);
        const uint32_t target = Target(ip + 3, int16_t(ReadWord(code, ip + 1)));
        // The one backward jump onto STORE_POS closes a unit of a nesting construct's body,
        // whose start position that slot holds. A unit that consumed nothing (a body such
        // as $ or {}) would bring the construct back to the same state for ever: it fails.
        if (target < ip && target + 3 <= size && code[target] == STORE_POS) {
          SLOT(target + 1);
          if (pos == ReadWord(code, slot)) goto fail;
        }
        ip = target;
        continue;
      }
      case JUMP_B:
        NEED(2);
        ip = Target(ip + 2, int8_t(code[ip + 1]));
        continue;
      case NEXT_START: {
        ip = 2;
        depth = 0;
        caseMode = 0;
        if (step == 0) goto nomatch;
        // The walk ends where the start would leave the text, and also where 16-bit arithmetic
        // would wrap it around to the other end (a text of 65535 bytes would never end).
        const int32_t next = int32_t(attempt) + int16_t(step);
        if (next < 0 || uint32_t(next) > length) goto nomatch;
        attempt = pos = uint32_t(next);
        continue;
      }
      case LOAD_POS:
        NEED(3);
        SLOT(ip + 1);
        pos = ReadWord(code, slot);
        ip += 3;
        continue;
      case LOAD_DEPTH: {
        NEED(3);
        SLOT(ip + 1);
        const uint32_t v = ReadWord(code, slot);
        if (v > depth) goto invalid;
        depth = v;
        ip += 3;
        continue;
      }
      case TAG_START: {
        NEED(2);
        const uint8_t tag = code[ip + 1];
        if (tag >= PatternTagCount) goto invalid;
        tagStart[tag] = int32_t(pos);
        ip += 2;
        continue;
      }
      case TAG_END: {
        NEED(2);
        const uint8_t tag = code[ip + 1];
        if (tag >= PatternTagCount) goto invalid;
        tagLength[tag] = tagStart[tag] < 0 ? 0 : uint16_t(pos - uint32_t(tagStart[tag]));
        ip += 2;
        continue;
      }
      case STORE_POS:
        NEED(3);
        SLOT(ip + 1);
        WriteWord(code, slot, uint16_t(pos));
        ip += 3;
        continue;
      case STORE_DEPTH:
        NEED(3);
        SLOT(ip + 1);
        WriteWord(code, slot, uint16_t(depth));
        ip += 3;
        continue;
      case POP_POS:
        if (depth == 0) goto invalid;
        pos = uint16_t(stack[--depth]);
        ip += 1;
        continue;
      case POP_SLOT:
        NEED(3);
        SLOT(ip + 1);
        if (depth == 0) goto invalid;
        WriteWord(code, slot, uint16_t(stack[--depth]));
        ip += 3;
        continue;
      case PUSH_POS:
        if (depth == PatternStackDepth) goto exhausted;
        stack[depth++] = pos;
        ip += 1;
        continue;
      case PUSH_SLOT:
        NEED(3);
        SLOT(ip + 1);
        if (depth == PatternStackDepth) goto exhausted;
        stack[depth++] = ReadWord(code, slot);
        ip += 3;
        continue;
      case FAIL:
        goto fail;
      case AT_COLUMN:
        NEED(3);
        if (pos != ReadWord(code, ip + 1)) goto fail;
        ip += 3;
        continue;
      case AT_END:
        if (pos < length) goto fail;
        ip += 1;
        continue;
      case AT_START:
        if (pos != 0) goto fail;
        ip += 1;
        continue;
      case IN_CLASS:
      case NOT_IN_CLASS: {
        const bool negated = code[ip] == NOT_IN_CLASS;
        if (pos >= length) goto fail;
        const uint8_t c = fold[text[pos++]];
        bool hit = false;
        uint32_t end = 0;
        if (!ScanClass(code, size, ip + 1, fold, c, hit, end)) goto invalid;
        if (hit == negated) goto fail;
        ip = end;
        continue;
      }
      case CHAR:
        NEED(2);
        if (pos >= length) goto fail;
        if (fold[text[pos++]] != fold[code[ip + 1]]) goto fail;
        ip += 2;
        continue;
      case ANY:
        if (pos >= length) goto fail;
        pos += 1;
        ip += 1;
        continue;
      case FAIL_IF_SAME:
        NEED(3);
        SLOT(ip + 1);
        if (pos == ReadWord(code, slot)) goto fail;
        ip += 3;
        continue;
      case NOT_CHAR:
        NEED(2);
        if (pos >= length) goto fail;
        if (fold[text[pos++]] == fold[code[ip + 1]]) goto fail;
        ip += 2;
        continue;
      case SET_SLOT:
        NEED(5);
        WriteWord(code, ip + 3, ReadWord(code, ip + 1));
        ip += 5;
        continue;
      case CASE_TOGGLE:
        caseMode = caseMode ? 0 : 1;
        ip += 1;
        continue;
      case CASE_EXACT:
        caseMode = 0;
        ip += 1;
        continue;
      case CASE_IGNORE:
        caseMode = 1;
        ip += 1;
        continue;
      case PUSH_CASE:
        if (depth == PatternStackDepth) goto exhausted;
        stack[depth++] = caseMode;
        ip += 1;
        continue;
      case POP_CASE:
        if (depth == 0) goto invalid;
        caseMode = uint16_t(stack[--depth]);
        ip += 1;
        continue;
      default:
        goto invalid;
    }
  fail:
    // Backtrack: resume at the code address on top of the stack.
    if (depth == 0) goto invalid;
    ip = stack[--depth];
  }
#undef NEED
#undef SLOT

nomatch:
exhausted:
  tagStart[PatternResultTag] = -1;
  return 0;
invalid:
  engine.status = PatternInvalidCode;
  tagStart[PatternResultTag] = -1;
  return 0;
}

uint16_t MatchPattern(uint8_t* code, const char* text, const char* from, uint16_t step) {
  if (!text) text = "";
  const size_t length = std::strlen(text);
  const uint16_t start = from ? uint16_t(from - text) : 0;
  return MatchPattern(code, text, length, start, step);
}
