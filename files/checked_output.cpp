#include "files/checked_output.h"

TOutputName WriteCheckedFile(const std::string& path, const std::vector<uint8_t>& bytes) {
  std::FILE* file = nullptr;
  const TOutputName verdict = OpenCheckedOutput(path, false, file);
  if (verdict != TOutputName::Usable) return verdict;
  const bool written = bytes.empty() || std::fwrite(bytes.data(), 1, bytes.size(), file) == bytes.size();
  return (std::fclose(file) == 0 && written) ? TOutputName::Usable : TOutputName::Unusable;
}

std::string OutputNameProblem(TOutputName verdict) {
  switch (verdict) {
    case TOutputName::Usable:
      return "";
    case TOutputName::Link:
      return "the name is a link to another file; remove the link or choose another name";
    case TOutputName::OtherNames:
      return "the file has other names (hard links); remove it or choose another name";
    case TOutputName::Unusable:
      break;
  }
  return "it cannot be opened for writing";
}
