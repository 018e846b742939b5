// Parser and code templates of the pattern compiler.
//
// A term is one atom, optionally followed by one operator that takes the atom as its left
// operand. The templates of most operators put code before the atom, so the parser first reads
// past the atom with the emitter in Nothing mode, looks at the operator, then goes back and
// parses the term for real. While already looking ahead, a term is read once: the atom first,
// then its operator, since nothing is emitted anyway. That keeps compiling linear in the text
// for each level of nesting instead of doubling per level.
#include "pattern/pattern_compiler.h"

#include <cstdlib>
#include <cstring>

#include "pattern/engine_state.h"
#include "pattern/pattern.h"
#include "pattern/pattern_macros.h"
#include "pattern/pattern_opcodes.h"

namespace {

// Deeper nesting (groups, prefixes, right-hand alternatives) is refused with status 3 rather
// than letting the recursive parser run out of machine stack. Real patterns nest a few levels.
constexpr int MaxNesting = 400;
// 2 bytes of size header, 5 of prologue, 3 of epilogue.
constexpr uint32_t FixedSize = 10;
constexpr uint8_t ResultTag = PatternResultTag;

bool IsDigit(uint8_t c) { return c >= '0' && c <= '9'; }

int HexValue(uint8_t c) {
  if (c >= '0' && c <= '9') return c - '0';
  if (c >= 'A' && c <= 'F') return c - 'A' + 10;
  if (c >= 'a' && c <= 'f') return c - 'a' + 10;
  return -1;
}

const uint8_t* Bytes(const char* text) { return reinterpret_cast<const uint8_t*>(text ? text : ""); }

}  // namespace

TPatternCompiler::TPatternCompiler() : out(status, TEmitMode::Size, nullptr, 0, FixedSize) {}

uint16_t TPatternCompiler::MeasureSize(const char* text) {
  status = 0;
  nextTag = 1;
  nesting = 0;
  runCount = 0;
  cursor = Bytes(text);
  out = TCodeCursor(status, TEmitMode::Size, nullptr, 0, FixedSize);
  ParseSequence(0);
  return status ? 0 : uint16_t(out.Here());
}

uint8_t* TPatternCompiler::Emit(const char* text, uint8_t* buffer, uint16_t size) {
  status = 0;
  nextTag = 1;
  nesting = 0;
  runCount = 0;
  cursor = Bytes(text);
  if (!buffer || size < 2) {
    status = PatternOutOfMemory;
    return nullptr;
  }
  std::memset(buffer, 0xFF, size);
  buffer[0] = uint8_t(size);
  buffer[1] = uint8_t(size >> 8);
  out = TCodeCursor(status, TEmitMode::Emit, buffer, size, 2);
  EmitPrologue();
  ParseSequence(0);
  EmitEpilogue();
  return status ? nullptr : buffer;
}

// ---------------------------------------------------------------------------------------------
// Parsing

bool TPatternCompiler::Enter() {
  if (nesting >= MaxNesting) {
    Fail(PatternOutOfMemory);
    return false;
  }
  ++nesting;
  return true;
}

// Terms up to `closer` (NUL for the whole pattern), which is consumed.
void TPatternCompiler::ParseSequence(uint8_t closer) {
  for (;;) {
    if (status) return;
    if (*cursor == closer) {
      if (closer) ++cursor;
      return;
    }
    if (!*cursor) {
      Fail(PatternNotClosed);
      return;
    }
    ParseTerm();
  }
}

TPatternCompiler::TOperator TPatternCompiler::PeekOperator() const {
  switch (*cursor) {
    case '#': return cursor[1] == '#' ? TOperator::Longest1 : TOperator::Longest;
    case '+': return cursor[1] == '+' ? TOperator::Shortest1 : TOperator::Shortest;
    case '|': return TOperator::Alternation;
    case '^': return TOperator::Count;
    case '<': return TOperator::Nest;
    default: return TOperator::None;
  }
}

// Reads one atom without emitting anything and tells which operator follows it; the cursor and
// the emitter are put back. Errors found on the way are real errors.
TPatternCompiler::TOperator TPatternCompiler::LookPastAtom() {
  const uint8_t* savedCursor = cursor;
  TCodeCursor savedOut = out;
  uint32_t savedRun = runCount;
  out.SetMode(TEmitMode::Nothing);
  ParseAtom();
  TOperator op = status ? TOperator::None : PeekOperator();
  cursor = savedCursor;
  out = savedOut;
  runCount = savedRun;
  return op;
}

void TPatternCompiler::ParseTerm() {
  if (status || !Enter()) return;
  const bool lookingAhead = out.Mode() == TEmitMode::Nothing;
  uint32_t atomSize = 0;
  TOperator op;
  if (lookingAhead) {
    uint32_t before = out.Here();
    ParseAtom();
    atomSize = out.Here() - before;
    op = status ? TOperator::None : PeekOperator();
  } else {
    op = LookPastAtom();
  }
  // Parses the left operand for real (already done when looking ahead).
  auto atom = [&] {
    if (lookingAhead) return;
    uint32_t before = out.Here();
    ParseAtom();
    atomSize = out.Here() - before;
  };
  switch (op) {
    case TOperator::None:
      atom();
      break;
    case TOperator::Longest:
    case TOperator::Longest1: {
      bool oneOrMore = op == TOperator::Longest1;
      uint32_t base = BeginLongest(oneOrMore);
      atom();
      if (status) break;
      cursor += oneOrMore ? 2 : 1;
      EndLongest(base);
      break;
    }
    case TOperator::Shortest:
    case TOperator::Shortest1: {
      bool oneOrMore = op == TOperator::Shortest1;
      uint32_t base = BeginShortest(oneOrMore);
      atom();
      if (status) break;
      cursor += oneOrMore ? 2 : 1;
      EndShortest(base);
      break;
    }
    case TOperator::Alternation: {
      uint32_t base = BeginAlternation();
      atom();
      if (status) break;
      uint32_t toEnd = MiddleAlternation(base);
      ++cursor;  // '|'
      ParseTerm();
      EndAlternation(base, toEnd);
      break;
    }
    case TOperator::Count: {
      uint32_t base = BeginCount();
      atom();
      if (status) break;
      ++cursor;  // '^'
      uint16_t count = ReadNumber();
      EndCount(base, count);
      break;
    }
    case TOperator::Nest: {
      uint32_t base = BeginNest();
      atom();
      if (status) break;
      if (atomSize == 0) {
        Fail(PatternEmptyNestOpener);
        break;
      }
      ++cursor;  // '<'
      ParseNestTail(base);
      break;
    }
  }
  Leave();
}

void TPatternCompiler::ParseAtom() {
  if (status || !Enter()) return;
  switch (*cursor) {
    case '*':
      ++cursor;
      EmitStar();
      break;
    case '?':
      ++cursor;
      out.Byte(ANY);
      break;
    case '[':
      ++cursor;
      ParseClass();
      break;
    case '^':
      ++cursor;
      out.Byte(AT_START);
      break;
    case '$':
      ++cursor;
      if (IsDigit(*cursor)) {
        out.Byte(BACKREF);
        out.Byte(uint8_t(*cursor++ - '0'));
      } else {
        out.Byte(AT_END);
      }
      break;
    case ':':
      ++cursor;
      ParseColon();
      break;
    case '~': {
      ++cursor;
      uint32_t base = BeginNot();
      ParseAtom();
      EndNot(base);
      break;
    }
    case '&': {
      ++cursor;
      uint32_t base = BeginAhead();
      ParseAtom();
      EndAhead(base);
      break;
    }
    case '!': {
      ++cursor;
      uint8_t c = ReadChar();
      out.Byte(NOT_CHAR);
      out.Byte(c);
      break;
    }
    case '(':
      ++cursor;
      ParseSequence(')');
      break;
    case '{': {
      ++cursor;
      uint8_t tag = TakeTag();
      out.Byte(TAG_START);
      out.Byte(tag);
      ParseSequence('}');
      out.Byte(TAG_END);
      out.Byte(tag);
      break;
    }
    case '-':
      ++cursor;
      out.Byte(TAG_START);
      out.Byte(ResultTag);
      break;
    case '=': {
      ++cursor;
      uint8_t opcode = *cursor == '+' ? CASE_EXACT
                       : *cursor == '-' ? CASE_IGNORE
                       : *cursor == '=' ? CASE_TOGGLE
                                        : OPCODE_COUNT;
      if (opcode == OPCODE_COUNT) {
        Fail(PatternBadCaseSwitch);
        break;
      }
      ++cursor;
      EmitCaseSwitch(opcode);
      break;
    }
    default: {
      uint8_t c = ReadChar();
      out.Byte(CHAR);
      out.Byte(c);
      break;
    }
  }
  Leave();
}

// After A<, with the cursor on B: the rest of the nesting construct.
void TPatternCompiler::ParseNestTail(uint32_t base) {
  // Q: the byte after A.
  const uint32_t q = out.Here();
  out.Byte(INC_SLOT);
  out.Slot(base + 3);
  out.Byte(STORE_POS);
  const uint32_t toP1 = out.Here();
  out.Reserve(2);
  out.Byte(PUSH_ALT_W);
  out.Offset16(base + 5);
  out.Byte(LOAD_POS);
  const uint32_t toP2 = out.Here();
  out.Reserve(2);
  out.Byte(PUSH_ALT_W);
  const uint32_t toZ = out.Here();
  out.Reserve(2);
  out.Byte(LOAD_POS);
  const uint32_t toP3 = out.Here();
  out.Reserve(2);
  // An empty B stands for any one character. So does a B that produces no code, such as
  // (): as it stands it would match nothing again and again at the same place for ever.
  const uint32_t bodyStart = out.Here();
  if (*cursor == '>') {
    ++cursor;
  } else {
    ParseSequence('>');
  }
  if (status) return;
  if (out.Here() == bodyStart) out.Byte(ANY);
  // R: the byte after B.
  out.Byte(JUMP_W);
  out.Offset16(q + 3);
  const uint32_t p = out.Here();
  out.Reserve(2);
  out.PatchOffset(toP1, p);
  out.PatchOffset(toP2, p);
  out.PatchOffset(toP3, p);
  out.PatchOffset(toZ, out.Here());
  ParseAtom();  // Z
  out.Byte(DEC_SLOT_JUMP);
  out.Slot(base + 3);
  out.Offset16(q + 3);
}

void TPatternCompiler::ParseClass() {
  uint8_t opcode = IN_CLASS;
  if (*cursor == '~') {  // special only directly after '['
    ++cursor;
    opcode = NOT_IN_CLASS;
  }
  out.Byte(opcode);
  runCount = 0;
  for (;;) {
    if (status) return;
    if (*cursor == ']') {
      ++cursor;
      break;
    }
    uint8_t lo = ReadChar();
    if (status) return;
    if (*cursor == '-') {
      ++cursor;
      uint8_t hi = ReadChar();
      if (status) return;
      ClassRange(lo, hi);
    } else {
      ClassSingle(lo);
    }
  }
  runCount = 0;
  out.Byte(CLASS_END);
}

void TPatternCompiler::ParseColon() {
  uint8_t c = *cursor;
  if (IsDigit(c)) {
    uint16_t column = ReadNumber();
    out.Byte(AT_COLUMN);
    out.Word(column);
    return;
  }
  const char* body = c ? PatternMacroBody(char(c)) : nullptr;
  if (!body) {
    Fail(PatternBadColon);
    return;
  }
  ++cursor;
  ParseMacro(body);
}

// Exactly one atom of the body; any error in there is reported as a macro error.
void TPatternCompiler::ParseMacro(const char* body) {
  const uint8_t* resume = cursor;
  cursor = Bytes(body);
  ParseAtom();
  if (status) status = PatternMacroError;
  cursor = resume;
}

// One character by the lexical rules: %hh, /x, or the byte itself.
uint8_t TPatternCompiler::ReadChar() {
  if (status) return 0;
  uint8_t c = *cursor;
  if (c == '%') {
    ++cursor;
    int high = HexValue(*cursor);
    if (high < 0) {
      Fail(PatternBadHexDigit);
      return 0;
    }
    ++cursor;
    int low = HexValue(*cursor);
    if (low < 0) {
      Fail(PatternBadHexDigit);
      return 0;
    }
    ++cursor;
    return uint8_t(high * 16 + low);
  }
  if (c == '/') {
    ++cursor;
    if (!*cursor) {
      Fail(PatternEndTooEarly);
      return 0;
    }
    return *cursor++;
  }
  if (!c) {
    Fail(PatternEndTooEarly);
    return 0;
  }
  ++cursor;
  return c;
}

// Zero or more digits into an unsigned 16-bit value (wrapping, as a 16-bit register does).
uint16_t TPatternCompiler::ReadNumber() {
  uint16_t n = 0;
  while (IsDigit(*cursor)) n = uint16_t(n * 10 + (*cursor++ - '0'));
  return n;
}

uint8_t TPatternCompiler::TakeTag() {
  if (status || out.Mode() == TEmitMode::Nothing) return 0;
  if (nextTag > 9) {
    Fail(PatternTooManyTags);
    return 0;
  }
  return nextTag++;
}

// ---------------------------------------------------------------------------------------------
// Code templates. Offsets in the comments count from the first byte of the construct (base);
// A is the enclosed atom, "end" the first byte after the construct.

// +0 PUSH_ALT_B -> +3 (backtrack point +2); +2 NEXT_START; +3 TAG_START 0
void TPatternCompiler::EmitPrologue() {
  const uint32_t base = out.Here();
  out.Byte(PUSH_ALT_B);
  out.Offset8(base + 3);
  out.Byte(NEXT_START);
  out.Byte(TAG_START);
  out.Byte(0);
}

// TAG_END 0; SUCCEED
void TPatternCompiler::EmitEpilogue() {
  out.Byte(TAG_END);
  out.Byte(0);
  out.Byte(SUCCEED);
}

// +0 PUSH_POS; +1 PUSH_ALT_B -> end; +3 POP_POS; +4 ANY; +5 JUMP_B -> +0
void TPatternCompiler::EmitStar() {
  const uint32_t base = out.Here();
  out.Byte(PUSH_POS);
  out.Byte(PUSH_ALT_B);
  out.Offset8(base + 7);
  out.Byte(POP_POS);
  out.Byte(ANY);
  out.Byte(JUMP_B);
  out.Offset8(base);
}

// +0 PUSH_CASE; +1 the switch; +2 PUSH_ALT_B -> end; +4 POP_CASE; +5 FAIL
void TPatternCompiler::EmitCaseSwitch(uint8_t opcode) {
  const uint32_t base = out.Here();
  out.Byte(PUSH_CASE);
  out.Byte(opcode);
  out.Byte(PUSH_ALT_B);
  out.Offset8(base + 6);
  out.Byte(POP_CASE);
  out.Byte(FAIL);
}

// &A: +0 STORE_POS slot +5; +3 JUMP_B -> +7; +5 slot; +7 A; LOAD_POS slot +5
uint32_t TPatternCompiler::BeginAhead() {
  const uint32_t base = out.Here();
  out.Byte(STORE_POS);
  out.Slot(base + 5);
  out.Byte(JUMP_B);
  out.Offset8(base + 7);
  out.Reserve(2);
  return base;
}

void TPatternCompiler::EndAhead(uint32_t base) {
  out.Byte(LOAD_POS);
  out.Slot(base + 5);
}

// ~A: +0 STORE_DEPTH slot +14; +3 STORE_POS slot +16; +6 PUSH_ALT_B -> +18; +8 LOAD_POS slot
// +16; +11 JUMP_W -> end; +14 slot; +16 slot; +18 A; LOAD_DEPTH slot +14; LOAD_POS slot +16; FAIL
uint32_t TPatternCompiler::BeginNot() {
  const uint32_t base = out.Here();
  out.Byte(STORE_DEPTH);
  out.Slot(base + 14);
  out.Byte(STORE_POS);
  out.Slot(base + 16);
  out.Byte(PUSH_ALT_B);
  out.Offset8(base + 18);
  out.Byte(LOAD_POS);
  out.Slot(base + 16);
  out.Byte(JUMP_W);
  out.Reserve(2);  // -> end
  out.Reserve(4);  // the two slots
  return base;
}

void TPatternCompiler::EndNot(uint32_t base) {
  out.Byte(LOAD_DEPTH);
  out.Slot(base + 14);
  out.Byte(LOAD_POS);
  out.Slot(base + 16);
  out.Byte(FAIL);
  out.PatchOffset(base + 12, out.Here());
}

// A|B: +0 PUSH_POS; +1 PUSH_ALT_B -> +7; +3 POP_POS; +4 JUMP_W -> B; +7 A; JUMP_W -> end; B
uint32_t TPatternCompiler::BeginAlternation() {
  const uint32_t base = out.Here();
  out.Byte(PUSH_POS);
  out.Byte(PUSH_ALT_B);
  out.Offset8(base + 7);
  out.Byte(POP_POS);
  out.Byte(JUMP_W);
  out.Reserve(2);  // -> B
  return base;
}

uint32_t TPatternCompiler::MiddleAlternation(uint32_t base) {
  out.Byte(JUMP_W);
  const uint32_t toEnd = out.Here();
  out.Reserve(2);
  out.PatchOffset(base + 5, out.Here());
  return toEnd;
}

void TPatternCompiler::EndAlternation(uint32_t, uint32_t toEnd) { out.PatchOffset(toEnd, out.Here()); }

// A+ / A++: +0 PUSH_SLOT slot +9; +3 PUSH_ALT_B -> +11 / +16; +5 POP_SLOT slot +9; +8 FAIL;
// +9 slot; +11 PUSH_POS; +12 PUSH_ALT_W -> end; +15 POP_POS; +16 STORE_POS slot +9; +19 A;
// FAIL_IF_SAME slot +9; JUMP_W -> +11
uint32_t TPatternCompiler::BeginShortest(bool oneOrMore) {
  const uint32_t base = out.Here();
  out.Byte(PUSH_SLOT);
  out.Slot(base + 9);
  out.Byte(PUSH_ALT_B);
  out.Offset8(base + (oneOrMore ? 16 : 11));
  out.Byte(POP_SLOT);
  out.Slot(base + 9);
  out.Byte(FAIL);
  out.Reserve(2);  // slot
  out.Byte(PUSH_POS);
  out.Byte(PUSH_ALT_W);
  out.Reserve(2);  // -> end
  out.Byte(POP_POS);
  out.Byte(STORE_POS);
  out.Slot(base + 9);
  return base;
}

void TPatternCompiler::EndShortest(uint32_t base) {
  out.Byte(FAIL_IF_SAME);
  out.Slot(base + 9);
  out.Byte(JUMP_W);
  out.Offset16(base + 11);
  out.PatchOffset(base + 13, out.Here());
}

// A# / A##: +0 PUSH_SLOT slot +19; +3 STORE_POS slot +19; +6 PUSH_ALT_B -> +12 / +21;
// +8 POP_SLOT slot +19; +11 FAIL; +12 PUSH_POS; +13 PUSH_ALT_B -> +21; +15 POP_POS;
// +16 JUMP_W -> end; +19 slot; +21 A; FAIL_IF_SAME slot +19; JUMP_W -> +12
uint32_t TPatternCompiler::BeginLongest(bool oneOrMore) {
  const uint32_t base = out.Here();
  out.Byte(PUSH_SLOT);
  out.Slot(base + 19);
  out.Byte(STORE_POS);
  out.Slot(base + 19);
  out.Byte(PUSH_ALT_B);
  out.Offset8(base + (oneOrMore ? 21 : 12));
  out.Byte(POP_SLOT);
  out.Slot(base + 19);
  out.Byte(FAIL);
  out.Byte(PUSH_POS);
  out.Byte(PUSH_ALT_B);
  out.Offset8(base + 21);
  out.Byte(POP_POS);
  out.Byte(JUMP_W);
  out.Reserve(2);  // -> end
  out.Reserve(2);  // slot
  return base;
}

void TPatternCompiler::EndLongest(uint32_t base) {
  out.Byte(FAIL_IF_SAME);
  out.Slot(base + 19);
  out.Byte(JUMP_W);
  out.Offset16(base + 12);
  out.PatchOffset(base + 17, out.Here());
}

// A^n: +0 SET_SLOT n, its slot at +3; +5 JUMP_W -> the DEC_SLOT_JUMP; +8 A;
// DEC_SLOT_JUMP slot +3 -> +8
uint32_t TPatternCompiler::BeginCount() {
  const uint32_t base = out.Here();
  out.Byte(SET_SLOT);
  out.Reserve(2);  // n, known after A
  out.Reserve(2);  // slot
  out.Byte(JUMP_W);
  out.Reserve(2);  // -> DEC_SLOT_JUMP
  return base;
}

void TPatternCompiler::EndCount(uint32_t base, uint16_t count) {
  out.PatchWord(base + 1, count);
  out.PatchOffset(base + 6, out.Here());
  out.Byte(DEC_SLOT_JUMP);
  out.Slot(base + 3);
  out.Offset16(base + 8);
}

// A<B>Z: +0 SET_SLOT 0xFFFF, its slot (the depth counter) at +3; +5 A; the rest follows A
// (ParseNestTail).
uint32_t TPatternCompiler::BeginNest() {
  const uint32_t base = out.Here();
  out.Byte(SET_SLOT);
  out.Word(0xFFFF);
  out.Reserve(2);  // slot
  return base;
}

// Consecutive single characters share a run of up to 255; the first pass counts 3 bytes for
// each, as if each began a run of its own.
void TPatternCompiler::ClassSingle(uint8_t c) {
  if (out.Mode() != TEmitMode::Emit) {
    out.Reserve(3);
    return;
  }
  if (runCount == 0 || out.ByteAt(runCount) == 255) {
    out.Byte(CLASS_RUN);
    runCount = out.Here();
    out.Byte(0);
  }
  out.Byte(c);
  out.PatchByte(runCount, uint8_t(out.ByteAt(runCount) + 1));
}

void TPatternCompiler::ClassRange(uint8_t lo, uint8_t hi) {
  runCount = 0;
  out.Byte(CLASS_RANGE);
  out.Byte(lo);
  out.Byte(hi);
}

// ---------------------------------------------------------------------------------------------
// The plain functions.

uint16_t PatternCodeSize(const char* text) {
  TPatternCompiler compiler;
  uint16_t size = compiler.MeasureSize(text);
  EngineState().status = compiler.Status();
  return size;
}

uint8_t* EmitPattern(const char* text, uint8_t* buffer, uint16_t size) {
  TPatternCompiler compiler;
  uint8_t* code = compiler.Emit(text, buffer, size);
  EngineState().status = compiler.Status();
  if (code) EngineState().nextTag = compiler.NextTag();
  return code;
}

uint8_t* CompilePattern(const char* text) {
  uint16_t size = PatternCodeSize(text);
  if (!size) return nullptr;
  auto* buffer = static_cast<uint8_t*>(std::malloc(size));
  if (!buffer) {
    EngineState().status = PatternOutOfMemory;
    return nullptr;
  }
  uint8_t* code = EmitPattern(text, buffer, size);
  if (!code) std::free(buffer);
  return code;
}

void FreePattern(uint8_t* code) { std::free(code); }
