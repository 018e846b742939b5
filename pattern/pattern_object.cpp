// TPattern: a pattern text that compiles itself when set and runs the matcher on
// NUL-terminated texts. The results of a match (tags, result position) stay in the engine.
#include <cstdlib>
#include <cstring>

#include "pattern/engine_state.h"
#include "pattern/pattern.h"

TPattern::TPattern() : code(nullptr), status(0), tagCount(0) { Compile(); }

TPattern::TPattern(const std::string& text) : std::string(text), code(nullptr), status(0), tagCount(0) {
  Compile();
}

TPattern::TPattern(const char* text)
    : std::string(text ? text : ""), code(nullptr), status(0), tagCount(0) {
  Compile();
}

// A copy compiles its own code: the code slots make a compiled pattern unshareable.
TPattern::TPattern(const TPattern& other) : std::string(other), code(nullptr), status(0), tagCount(0) {
  Compile();
}

TPattern::~TPattern() { Release(); }

TPattern& TPattern::operator=(const TPattern& other) {
  if (this != &other) {
    std::string::operator=(other);
    Compile();
  }
  return *this;
}

TPattern& TPattern::operator=(const std::string& text) {
  std::string::operator=(text);
  Compile();
  return *this;
}

TPattern& TPattern::operator=(const char* text) {
  std::string::operator=(text ? text : "");
  Compile();
  return *this;
}

void TPattern::Release() {
  FreePattern(code);
  code = nullptr;
  status = 0;
  tagCount = 0;
}

void TPattern::Compile() {
  Release();
  const uint16_t size = PatternCodeSize(c_str());
  if (!size) {
    status = PatternStatus();
    return;
  }
  auto* buffer = static_cast<uint8_t*>(std::malloc(size));
  if (!buffer) {
    status = PatternOutOfMemory;
    return;
  }
  code = EmitPattern(c_str(), buffer, size);
  status = PatternStatus();
  if (!code) {
    std::free(buffer);
    return;
  }
  tagCount = PatternNextTag();
}

const char* TPattern::Run(const char* text, size_t length, uint16_t start, uint16_t step) {
  if (!code) {
    Compile();
    if (!code) return nullptr;
  }
  MatchPattern(code, text, length, start, step);
  status = PatternStatus();
  return PatternResult();
}

const char* TPattern::Match(const char* text) {
  if (!text) text = "";
  return Run(text, std::strlen(text), 0, 0);
}

// Callers only use this after a successful match; without a previous result it fails.
const char* TPattern::MatchAgain() {
  const char* text = PatternResult();
  if (!text) {
    status = PatternNoMatch;
    return nullptr;
  }
  return Match(text);
}

const char* TPattern::SearchForward(const char* text, const char* from) {
  if (!text) text = "";
  return Run(text, std::strlen(text), from ? uint16_t(from - text) : 0, 1);
}

const char* TPattern::SearchBackward(const char* text, const char* from) {
  if (!text) text = "";
  const size_t length = std::strlen(text);
  return Run(text, length, from ? uint16_t(from - text) : uint16_t(length), 0xFFFF);
}

const char* TPattern::Search(const char* text, const char* from, uint16_t step) {
  if (!text) text = "";
  return Run(text, std::strlen(text), from ? uint16_t(from - text) : 0, step);
}

// A tag whose group lay on an abandoned path may pair a start with the length of another
// iteration: the text is cut at the end of the matched text rather than read past it.
std::string TPattern::Tag(int n) {
  const char* start = PatternTagStart(n);
  const uint16_t length = PatternTagLength(n);
  if (!start || length == 0) return std::string();
  const TEngineState& engine = EngineState();
  const size_t offset = size_t(start - engine.text);
  const size_t available = engine.length - offset;
  return std::string(start, length < available ? length : available);
}

uint16_t TPattern::CodeSize() const { return code ? uint16_t(code[0] | code[1] << 8) : 0; }

uint16_t TPattern::Status() const { return status; }

uint16_t TPattern::TagCount() const { return tagCount; }
