#include "record_log.h"

#include <cctype>

namespace {

std::string Field(std::string text) {
  for (char& c : text)
    if (c == '\t' || c == '\r' || c == '\n') c = ' ';
  return text;
}

// path relative to the folder root when it lies inside it (letters in any case), else whole.
std::string Relative(const std::string& path, const std::string& root) {
  std::string folder = root;
  if (!folder.empty() && folder.back() != '\\') folder += '\\';
  if (folder.size() <= 1 || path.size() <= folder.size()) return path;
  for (size_t i = 0; i < folder.size(); ++i)
    if (std::toupper(static_cast<unsigned char>(path[i])) != std::toupper(static_cast<unsigned char>(folder[i])))
      return path;
  return path.substr(folder.size());
}

}  // namespace

void WriteRecordLog(std::FILE* out, bool check, const std::string& root, const std::vector<TRecordResult>& records,
                    const std::vector<std::string>& errorsOutsideRecords, int exitCode) {
  std::fprintf(out, "# menditcon records 2 %s\n", check ? "check" : "run");
  for (const std::string& error : errorsOutsideRecords)
    std::fprintf(out, "0\tfailed\t-\t\t%s\n", Field(error).c_str());
  for (const TRecordResult& r : records) {
    const char* outcome = r.Tally() == TRecordTally::RolledBack ? "rolled-back" : RecordTallyName(r.Tally());
    std::fprintf(out, "%d\t%s\t%s\t%s\t%s\n", r.Index + 1, outcome, RecordKindName(r.Type), Field(Relative(r.Path, root)).c_str(),
                 Field(r.Message).c_str());
  }
  std::fprintf(out, "# exit %d\n", exitCode);
}
