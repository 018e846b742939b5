// Fuzz target for path names and macro expansion, the two places where text from a patch
// data file (record paths) meets fixed-size buffers and repeated rewriting.
//
// Input layout: the first byte picks how many macros to define (0-3); then NUL-separated
// texts: the macro names and values in turn, then the text to expand and split. Whatever
// the input, the expansion must end within its budget and every path operation must stay
// inside the object's buffers (AddressSanitizer watches the separately allocated parts).
#include <cstddef>
#include <cstdint>
#include <cstring>
#include <string>
#include <vector>

#include "paths/macros.h"
#include "paths/path_name.h"

namespace {

std::vector<std::string> SplitAtNul(const uint8_t* data, size_t size) {
  std::vector<std::string> texts(1);
  for (size_t i = 0; i < size; ++i) {
    if (data[i] == 0)
      texts.emplace_back();
    else
      texts.back().push_back(static_cast<char>(data[i]));
  }
  return texts;
}

void ExercisePath(const std::string& text) {
  TPathName path(text);
  const char* full = path.FullPath(false);
  if (std::strlen(full) >= TPathName::ResultSize) __builtin_trap();
  path.FileName();
  path.SetExtension("$$$");
  path.FullPath(false);
  path.FileName();
  path.SetFileName(text.c_str());
  path.AppendDir(text.c_str());
  path.UpDir();
  TPathName copy;
  copy = path;
  copy.FullPath(false);
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  if (size == 0) return 0;
  const size_t macroCount = data[0] % 4;
  std::vector<std::string> texts = SplitAtNul(data + 1, size - 1);

  TMacroExpander macros;
  size_t next = 0;
  for (size_t i = 0; i < macroCount && next + 1 < texts.size(); ++i, next += 2)
    macros.AddMacro(new TMacroDef(texts[next], texts[next + 1]));
  const std::string& subject = next < texts.size() ? texts[next] : texts.back();

  bool complete = false;
  std::string expanded = macros.ExpandMacros(subject, true, &complete);
  if (!complete && !expanded.empty()) __builtin_trap();  // a runaway yields no text

  ExercisePath(subject);
  ExercisePath(expanded);
  if (!texts.empty()) macros.RemoveMacro(texts[0]);
  return 0;
}
