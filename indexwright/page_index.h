#pragma once
// TPageIndex: the directory listed once and sorted, so that each group's pages are a
// binary search away.
//
// A run asks for 99 groups below every group that has pages; a directory search per
// question reads the whole directory each time. The index holds the names sorted by
// their upper-case key; all names beginning with a prefix then lie side by side, and
// a question costs a logarithmic search plus the names of that prefix. The answers are
// the same as those of a full search with MatchesPageWildcard followed by sorting.

#include <string>
#include <vector>

#include "page_source.h"

class TPageIndex : public TPageSource {
 public:
  explicit TPageIndex(const std::vector<std::string>& fileNames);

  void FindPages(const std::string& prefix, std::vector<std::string>& names) override;

 private:
  struct TEntry {
    std::string Key;  // PageKey of Name
    std::string Name;
  };
  std::vector<TEntry> Entries;  // sorted by PageNameLess
};
