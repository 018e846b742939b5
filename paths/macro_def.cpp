// TMacroDef: one name and its replacement text.
#include "paths/macros.h"

namespace {

char FoldAscii(char c) { return (c >= 'A' && c <= 'Z') ? static_cast<char>(c - 'A' + 'a') : c; }

bool EqualNoCase(const std::string& a, const std::string& b) {
  if (a.size() != b.size()) return false;
  for (size_t i = 0; i < a.size(); ++i) {
    if (FoldAscii(a[i]) != FoldAscii(b[i])) return false;
  }
  return true;
}

// First occurrence of name in text at or after from, ignoring the case of ASCII letters.
size_t FindNoCase(const std::string& text, const std::string& name, size_t from) {
  if (name.size() > text.size()) return std::string::npos;
  for (size_t at = from; at + name.size() <= text.size(); ++at) {
    size_t i = 0;
    while (i < name.size() && FoldAscii(text[at + i]) == FoldAscii(name[i])) ++i;
    if (i == name.size()) return at;
  }
  return std::string::npos;
}

}  // namespace

TMacroDef::TMacroDef(const std::string& name, const std::string& value)
    : name(name), value(value), NameLength(static_cast<int32_t>(name.size())) {}

TMacroDef::~TMacroDef() {
  // A plain macro destroyed by someone other than its expander must not stay in its list.
  if (Owner != nullptr) Owner->definitions.DetachItem(this);
}

bool TMacroDef::operator==(const TMacroDef& other) const {
  return other.IsPlain() && EqualNoCase(name, other.name);
}

void TMacroDef::Expand(std::string& text, bool& replacedAny, bool& replaced,
                       TExpansionBudget& budget) {
  // An empty name occurs everywhere, and replacing it would never end.
  if (NameLength <= 0) return;
  const size_t removed = static_cast<size_t>(NameLength);
  size_t at = 0;
  while (!budget.Exhausted) {
    at = FindNoCase(text, name, at);
    if (at == std::string::npos) return;
    if (budget.replacementsLeft <= 0 ||
        text.size() - removed + value.size() > budget.MaxLength) {
      budget.Exhausted = true;
      return;
    }
    // The search resumes at the start of the inserted value, so a value may itself hold
    // names of macros that come later; the budget is what stops one that holds its own.
    text.replace(at, removed, value);
    --budget.replacementsLeft;
    replacedAny = true;
    replaced = true;
    if (replaceOnce) return;
  }
}

void TMacroDef::Expand(std::string& text, bool& replacedAny, bool& replaced) {
  TExpansionBudget budget;
  Expand(text, replacedAny, replaced, budget);
}
