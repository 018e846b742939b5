#include "record_log.h"

namespace {

std::string Field(std::string text) {
  for (char& c : text)
    if (c == '\t' || c == '\r' || c == '\n') c = ' ';
  return text;
}

}  // namespace

void WriteRecordLog(std::FILE* out, bool check, const std::vector<TRecordResult>& records,
                    const std::vector<std::string>& errorsOutsideRecords, int exitCode) {
  std::fprintf(out, "# menditcon records 1 %s\n", check ? "check" : "run");
  for (const std::string& error : errorsOutsideRecords)
    std::fprintf(out, "0\tfailed\t-\t\t%s\n", Field(error).c_str());
  for (const TRecordResult& r : records) {
    const char* outcome = r.Tally() == TRecordTally::RolledBack ? "rolled-back" : RecordTallyName(r.Tally());
    std::fprintf(out, "%d\t%s\t%s\t%s\t%s\n", r.Index + 1, outcome, RecordKindName(r.Type), Field(r.Path).c_str(),
                 Field(r.Message).c_str());
  }
  std::fprintf(out, "# exit %d\n", exitCode);
}
