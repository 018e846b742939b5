#include "page_index.h"

#include <algorithm>

#include "page_name.h"

TPageIndex::TPageIndex(const std::vector<std::string>& fileNames) {
  Entries.reserve(fileNames.size());
  for (const std::string& name : fileNames) Entries.push_back(TEntry{PageKey(name), name});
  // Key first, then raw bytes: the same order as PageNameLess.
  std::sort(Entries.begin(), Entries.end(), [](const TEntry& a, const TEntry& b) {
    int order = a.Key.compare(b.Key);
    return order != 0 ? order < 0 : a.Name < b.Name;
  });
}

void TPageIndex::FindPages(const std::string& prefix, std::vector<std::string>& names) {
  names.clear();
  const std::string prefixKey = PageKey(prefix);
  auto entry = std::lower_bound(Entries.begin(), Entries.end(), prefixKey,
                                [](const TEntry& a, const std::string& key) { return a.Key < key; });
  for (; entry != Entries.end() && entry->Key.compare(0, prefixKey.size(), prefixKey) == 0; ++entry) {
    if (MatchesPageWildcard(entry->Name, prefix)) names.push_back(entry->Name);
  }
}
