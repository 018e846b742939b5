#include "formatting_reporter.h"

#include <cstdio>
#include <memory>
#include <new>

void TFormattingReporter::Report(TReportKind kind, const char* format, va_list args) {
  // On the heap: a report may arrive while a window dispatches messages deep in a stack.
  std::unique_ptr<char[]> text(new (std::nothrow) char[TextSize]);
  if (!text) {
    ReportWithoutMemory(kind);
    return;
  }
  std::vsnprintf(text.get(), TextSize, format, args);
  ReportText(kind, text.get());
}

std::vector<std::string> SplitLogLines(const std::string& text) {
  std::vector<std::string> rows;
  size_t start = 0;
  for (;;) {
    size_t end = text.find('\n', start);
    if (end == std::string::npos) {
      rows.push_back(text.substr(start));
      return rows;
    }
    rows.push_back(text.substr(start, end - start));
    start = end + 1;
  }
}

const char* LogRowLabel(TReportKind kind) {
  return kind == TReportKind::Error ? "ERROR" : kind == TReportKind::Warning ? "WARNING" : "";
}

std::string FormatLogRow(const char* label, const std::string& text) {
  if (label && label[0]) return "[" + std::string(label) + "]\t" + text;
  return "\t" + text;
}
