#include "log_rules.h"

int ScrollTopIndex(int lastIndex, int clientHeight, int rowHeight) {
  if (rowHeight <= 0) return -1;
  int visible = clientHeight / rowHeight;
  int top = lastIndex - visible + 1;
  return top > 0 ? top : -1;
}

std::string LogFileNameFor(const std::string& patch) {
  size_t start = patch.find_last_of("\\/:");
  std::string name = start == std::string::npos ? patch : patch.substr(start + 1);
  size_t dot = name.rfind('.');
  if (dot != std::string::npos) name.erase(dot);
  return (name.empty() ? "mendit" : name) + ".log";
}

int ProgressPosition(int32_t done, int32_t total) {
  if (total < 1) return -1;
  return static_cast<int>(static_cast<int64_t>(done) * 100 / total);
}
