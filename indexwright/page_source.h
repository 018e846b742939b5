#pragma once
// TPageSource: finds the pages of one group, in listing order (see page_name.h).

#include <string>
#include <vector>

class TPageSource {
 public:
  virtual ~TPageSource() = default;
  // Replaces Names by the names matching Prefix followed by "*.htm", in listing order.
  virtual void FindPages(const std::string& prefix, std::vector<std::string>& names) = 0;
};
