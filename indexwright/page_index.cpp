#include "page_index.h"

#include <algorithm>

#include "page_name.h"

TPageIndex::TPageIndex(const std::vector<std::string>& FileNames) {
  Entries.reserve(FileNames.size());
  for (const std::string& Name : FileNames) Entries.push_back(TEntry{PageKey(Name), Name});
  // Key first, then raw bytes: the same order as PageNameLess.
  std::sort(Entries.begin(), Entries.end(), [](const TEntry& A, const TEntry& B) {
    int Order = A.Key.compare(B.Key);
    return Order != 0 ? Order < 0 : A.Name < B.Name;
  });
}

void TPageIndex::FindPages(const std::string& Prefix, std::vector<std::string>& Names) {
  Names.clear();
  const std::string PrefixKey = PageKey(Prefix);
  auto Entry = std::lower_bound(Entries.begin(), Entries.end(), PrefixKey,
                                [](const TEntry& A, const std::string& Key) { return A.Key < Key; });
  for (; Entry != Entries.end() && Entry->Key.compare(0, PrefixKey.size(), PrefixKey) == 0; ++Entry) {
    if (MatchesPageWildcard(Entry->Name, Prefix)) Names.push_back(Entry->Name);
  }
}
