// Figures of the pattern engine:
//  - compile and anchored match of the program-directory pattern against a 260-character path;
//  - a forward search of the path macro ":p" through a text of 65535 bytes (the largest
//    length a match operation takes: lengths count only their low 16 bits, so a 65536-byte
//    text would be seen as empty). The text holds nothing that can start a path until its
//    last bytes, so the search tries every start position.
#include <chrono>
#include <cstdio>
#include <string>

#include "pattern/pattern.h"

namespace {

using TClock = std::chrono::steady_clock;

// Runs `once` in batches of about 20 ms for at least `minimumSeconds` and prints the rate of the
// fastest batch (the machine is shared, so the best batch is the least disturbed one) beside
// the mean rate over all batches.
template <typename F>
void Measure(const char* what, double minimumSeconds, F once) {
  long perBatch = 1;
  for (;;) {  // size the batch
    const TClock::time_point begin = TClock::now();
    for (long i = 0; i < perBatch; ++i) once();
    if (std::chrono::duration<double>(TClock::now() - begin).count() > 0.02) break;
    perBatch *= 2;
  }
  long count = 0;
  double total = 0, best = 1e300;
  while (total < minimumSeconds) {
    const TClock::time_point begin = TClock::now();
    for (long i = 0; i < perBatch; ++i) once();
    const double seconds = std::chrono::duration<double>(TClock::now() - begin).count();
    total += seconds;
    count += perBatch;
    if (seconds / perBatch < best) best = seconds / perBatch;
  }
  std::printf("%-56s %10.0f per second (best batch; mean %.0f), %.3f us each\n", what, 1 / best,
              count / total, best * 1e6);
}

}  // namespace

int main() {
  // A 260-character path: drive, directories of 12 letters, a file name.
  std::string path = "C:\\";
  while (path.size() < 247) path += "ABCDEFGHIJK\\";
  path += "PROGRAM.EXE";
  path.resize(260, 'X');
  const char* dirPattern = "{*/:\\(*\\)#}*";

  int checks = 0;
  Measure("compile \"{*/:\\(*\\)#}*\"", 1.0, [&] {
    uint8_t* code = CompilePattern(dirPattern);
    checks += code != nullptr;
    FreePattern(code);
  });

  uint8_t* code = CompilePattern(dirPattern);
  Measure("anchored match against a 260-character path", 1.0, [&] {
    checks += MatchPattern(code, path.c_str(), path.size(), 0, 0) != 0;
  });
  std::printf("  tag 1 holds %u characters\n", PatternTagLength(1));

  Measure("compile and anchored match, through TPattern", 1.0, [&] {
    TPattern dir(dirPattern);
    checks += dir.Match(path.c_str()) != nullptr;
  });
  FreePattern(code);

  // Blanks and separators that no path component may hold, then one path at the very end.
  const std::string tail = "c:\\dir\\a.txt!!";
  std::string text;
  while (text.size() < 65535) text += "; +=,<>";
  text.resize(65535 - tail.size(), ' ');
  text += tail;
  uint8_t* pathMacro = CompilePattern(":p");
  Measure("forward search of \":p\" through 65535 bytes", 2.0, [&] {
    checks += MatchPattern(pathMacro, text.c_str(), text.size(), 0, 1) != 0;
  });
  std::printf("  found at offset %ld, %u characters\n", long(PatternResult() - text.c_str()),
              PatternTagLength(0));
  Measure("backward search of \":p\" from the end (nearest hit)", 1.0, [&] {
    checks += MatchPattern(pathMacro, text.c_str(), text.size(), uint16_t(text.size()), 0xFFFF) != 0;
  });
  FreePattern(pathMacro);
  std::printf("(%d successful operations)\n", checks);
  return 0;
}
