// The pattern compiler: a recursive-descent parser over the NUL-terminated pattern text that
// drives the emitter (TCodeCursor) in two passes, first adding up the size of the code, then
// writing it. Each compile has its own compiler object; the plain functions of pattern.h copy
// its status and next tag number into the process-wide engine state.
#pragma once

#include <cstdint>

#include "pattern/code_cursor.h"

class TPatternCompiler {
 public:
  TPatternCompiler();

  // First pass: the size of the compiled form, or 0 on error.
  uint16_t MeasureSize(const char* text);
  // Second pass into a buffer of `size` bytes: the buffer, or null on error.
  uint8_t* Emit(const char* text, uint8_t* buffer, uint16_t size);

  uint16_t Status() const { return status; }
  uint8_t NextTag() const { return nextTag; }

 private:
  enum class TOperator : uint8_t { None, Longest, Longest1, Shortest, Shortest1, Alternation, Count, Nest };

  // Parsing.
  void ParseSequence(uint8_t closer);
  void ParseTerm();
  void ParseAtom();
  void ParseClass();
  void ParseColon();
  void ParseMacro(const char* body);
  void ParseNestTail(uint32_t base);
  TOperator LookPastAtom();
  TOperator PeekOperator() const;
  uint8_t ReadChar();
  uint16_t ReadNumber();
  bool Enter();
  void Leave() { --nesting; }
  void Fail(uint16_t code) { if (!status) status = code; }

  // Code templates (see the template comments in the .cpp file).
  void EmitPrologue();
  void EmitEpilogue();
  void EmitStar();
  void EmitCaseSwitch(uint8_t opcode);
  uint32_t BeginAhead();            // &A
  void EndAhead(uint32_t base);
  uint32_t BeginNot();              // ~A
  void EndNot(uint32_t base);
  uint32_t BeginAlternation();      // A|B
  uint32_t MiddleAlternation(uint32_t base);
  void EndAlternation(uint32_t base, uint32_t toEnd);
  uint32_t BeginShortest(bool oneOrMore);   // A+ A++
  void EndShortest(uint32_t base);
  uint32_t BeginLongest(bool oneOrMore);    // A# A##
  void EndLongest(uint32_t base);
  uint32_t BeginCount();            // A^n
  void EndCount(uint32_t base, uint16_t count);
  uint32_t BeginNest();             // A<B>Z
  uint8_t TakeTag();
  void ClassSingle(uint8_t c);
  void ClassRange(uint8_t lo, uint8_t hi);

  const uint8_t* cursor = nullptr;
  TCodeCursor out;
  uint16_t status = 0;
  uint8_t nextTag = 1;
  int nesting = 0;
  uint32_t runCount = 0;  // address of the count byte of the class run being written, 0 if none
};
