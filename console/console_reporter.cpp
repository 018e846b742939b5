#include "console_reporter.h"

#include <string>


void TConsoleReporter::WriteRow(const char* label, const std::string& text) {
  for (std::FILE* stream : {Out, Log}) {
    if (!stream) continue;
    std::fprintf(stream, "%s\n", FormatLogRow(label, text).c_str());
    std::fflush(stream);
  }
}

void TConsoleReporter::ReportText(TReportKind kind, const char* text) {
  const char* label = LogRowLabel(kind);
  for (const std::string& row : SplitLogLines(text)) {
    WriteRow(label, row);
    Errors += kind == TReportKind::Error;
    Warnings += kind == TReportKind::Warning;
  }
}
