#pragma once
// TPatchDirectory: the record headers of a patch data file in file order; index i is the
// i-th record of the file. Owns its records.

#include <cstddef>
#include <memory>
#include <vector>

#include "patch_info.h"

class TPatchDirectory {
 public:
  void Add(std::unique_ptr<TPatchInfo> record) { records.push_back(std::move(record)); }
  int Count() const { return static_cast<int>(records.size()); }
  const TPatchInfo& operator[](int index) const { return *records[static_cast<size_t>(index)]; }
  // Deletes every record.
  void Flush() { records.clear(); }

 private:
  std::vector<std::unique_ptr<TPatchInfo>> records;
};
