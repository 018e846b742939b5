#include "page_name.h"

namespace {

const char Extension[] = ".HTM";
const size_t ExtensionLength = sizeof(Extension) - 1;

}  // namespace

std::string PageKey(const std::string& name) {
  std::string key(name);
  for (char& byte : key) {
    if (byte >= 'a' && byte <= 'z') byte = static_cast<char>(byte - 'a' + 'A');
  }
  return key;
}

bool PageNameLess(const std::string& a, const std::string& b) {
  int order = PageKey(a).compare(PageKey(b));
  if (order != 0) return order < 0;
  return a < b;
}

bool MatchesPageWildcard(const std::string& name, const std::string& prefix) {
  if (name.size() < prefix.size() + ExtensionLength) return false;
  std::string key = PageKey(name);
  return key.compare(0, prefix.size(), PageKey(prefix)) == 0 &&
         key.compare(key.size() - ExtensionLength, ExtensionLength, Extension) == 0;
}
