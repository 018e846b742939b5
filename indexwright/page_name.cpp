#include "page_name.h"

namespace {

const char Extension[] = ".HTM";
const size_t ExtensionLength = sizeof(Extension) - 1;

}  // namespace

std::string PageKey(const std::string& Name) {
  std::string Key(Name);
  for (char& Byte : Key) {
    if (Byte >= 'a' && Byte <= 'z') Byte = static_cast<char>(Byte - 'a' + 'A');
  }
  return Key;
}

bool PageNameLess(const std::string& A, const std::string& B) {
  int Order = PageKey(A).compare(PageKey(B));
  if (Order != 0) return Order < 0;
  return A < B;
}

bool MatchesPageWildcard(const std::string& Name, const std::string& Prefix) {
  if (Name.size() < Prefix.size() + ExtensionLength) return false;
  std::string Key = PageKey(Name);
  return Key.compare(0, Prefix.size(), PageKey(Prefix)) == 0 &&
         Key.compare(Key.size() - ExtensionLength, ExtensionLength, Extension) == 0;
}
