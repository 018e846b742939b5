// The pattern engine: a small pattern language of our own, its two-pass compiler to byte-code,
// the backtracking matcher and the pattern object through which the programs use them.
//
// Where the state lives (one compile or match at a time; nothing here is reentrant):
// - Each compile runs in its own compiler object (cursor, emitter, next tag number). Only its
//   outcome is kept process-wide: the pattern status and the next tag number of the last compile.
// - The pattern status word, the tag table and the result position are process-wide, shared by
//   every compiler and matcher: they describe the most recent compile or match of any pattern.
//   Read them (or TPattern::Tag) before the next match operation.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>

// Values of the pattern status word.
enum TPatternStatus : uint16_t {
  PatternOk = 0,                // compiled, or matched
  PatternNoMatch = 1,           // no match, or the backtrack stack ran out (or the step limit)
  PatternOutOfMemory = 3,       // no buffer, compiled form of 32768 bytes or more, nesting too deep
  PatternInvalidCode = 4,       // the matcher met an invalid instruction or an offset outside the code
  PatternEmptyNestOpener = 5,   // the opening atom of a '<' construct produces no code
  PatternBadHexDigit = 6,       // a character after '%' is not a hexadecimal digit
  PatternEndTooEarly = 7,       // the pattern ends where a character is required
  PatternBadColon = 8,          // ':' followed by neither digits nor a macro letter
  PatternMacroError = 9,        // an error inside a macro body
  PatternNotClosed = 10,        // the pattern ends before ')', '}' or '>'
  PatternBadCaseSwitch = 11,    // '=' followed by something other than '+', '-' or '='
  PatternTooManyTags = 12,      // more than 9 brace groups
  PatternInternalError = 13,    // the parser asked for a construct the emitter does not know
};

// Tags: 0 is the whole match, 1 to 9 the brace groups, 10 the result marker '-'.
constexpr int PatternTagCount = 11;
constexpr int PatternResultTag = 10;
// Depth of the matcher's backtrack stack.
constexpr int PatternStackDepth = 400;

// Size in bytes of the compiled form of a NUL-terminated pattern text (the first pass), or 0
// on error with the status saying why. The status is set to 0 first.
uint16_t PatternCodeSize(const char* text);

// Second pass: fills the buffer with 0xFF, stores the size at offset 0 and writes the code.
// Returns the buffer, or null on error (the status says why).
uint8_t* EmitPattern(const char* text, uint8_t* buffer, uint16_t size);

// Both passes into a newly allocated buffer; null on error. Release it with FreePattern.
uint8_t* CompilePattern(const char* text);

// Releases a compiled pattern; null is ignored.
void FreePattern(uint8_t* code);

// Runs a compiled pattern on a text of the given length (only its low 16 bits count) from the
// start position with a step of 0 (anchored), 1 (forward search) or 0xFFFF (backward search).
// Returns the backtrack stack depth at success (at least 1), or 0. Allocates nothing. Writes
// the code slots inside the compiled pattern: one compiled pattern, one operation at a time.
uint16_t MatchPattern(uint8_t* code, const char* text, size_t length, uint16_t start, uint16_t step);

// The same on a NUL-terminated text, starting at the pointer from (the text's start if null).
uint16_t MatchPattern(uint8_t* code, const char* text, const char* from, uint16_t step);

// The pattern status of the most recent compile or match operation.
uint16_t PatternStatus();

// The next tag number left by the most recent successful compile: brace groups plus 1.
uint8_t PatternNextTag();

// The tag table of the most recent match operation. The start is null when the tag was not
// set; tags set on a path that backtracking abandoned keep their values. The start always
// lies inside the text that was matched; the raw length may reach past its end (see Tag).
const char* PatternTagStart(int tag);
uint16_t PatternTagLength(int tag);

// The result position of the most recent match: where '-' stood, else where the successful
// attempt began; null after a failed match.
const char* PatternResult();

// A guard for patterns from untrusted sources: a match operation that runs more than this many
// instructions ends as a failed match (status 1). 0, the default, means no limit.
void SetPatternStepLimit(uint32_t steps);

// A pattern text with its compiled form. Compiles itself when constructed or assigned;
// mutating the text through the std::string interface does not recompile.
class TPattern : public std::string {
 public:
  TPattern();
  TPattern(const std::string& text);
  TPattern(const char* text);
  TPattern(const TPattern& other);
  ~TPattern();
  TPattern& operator=(const TPattern& other);
  TPattern& operator=(const std::string& text);
  TPattern& operator=(const char* text);

  // Each returns the result position in the text, or null; Status() says why.
  const char* Match(const char* text);                        // anchored at the first byte
  const char* MatchAgain();  // anchored at the last result of any pattern; null if there is none
  const char* SearchForward(const char* text, const char* from = nullptr);   // from 0 if null
  const char* SearchBackward(const char* text, const char* from = nullptr);  // from the end if null
  const char* Search(const char* text, const char* from, uint16_t step);     // from 0 if null

  // The text of tag n (0 to 10) of the most recent match of any pattern; empty when the tag
  // was not set or is empty. Never reaches past the end of the matched text.
  static std::string Tag(int n);

  uint16_t CodeSize() const;  // the size header, 0 when not compiled
  uint16_t Status() const;    // the pattern status after this object's last compile or match
  uint16_t TagCount() const;  // brace groups plus 1 after a successful compile, else 0

 private:
  void Compile();
  void Release();
  const char* Run(const char* text, size_t length, uint16_t start, uint16_t step);

  uint8_t* code;
  uint16_t status;
  uint16_t tagCount;
};
