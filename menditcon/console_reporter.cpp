#include "console_reporter.h"

#include <string>


void TConsoleReporter::WriteRow(const char* label, const std::string& text) {
  for (std::FILE* stream : {out, log}) {
    if (!stream) continue;
    if (label[0])
      std::fprintf(stream, "[%s]\t%s\n", label, text.c_str());
    else
      std::fprintf(stream, "\t%s\n", text.c_str());
    std::fflush(stream);
  }
}

void TConsoleReporter::ReportText(TReportKind kind, const char* text) {
  const char* label = kind == TReportKind::Error ? "ERROR" : kind == TReportKind::Warning ? "WARNING" : "";
  for (const std::string& row : SplitLogLines(text)) {
    WriteRow(label, row);
    errors += kind == TReportKind::Error;
    warnings += kind == TReportKind::Warning;
  }
}
