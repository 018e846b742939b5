#pragma once
// TFormattingReporter: the reporter base for receivers that want each report as one
// formatted text. The format and its arguments are formatted into TextSize bytes (a longer
// text is cut, as mendit's log has always cut it) and handed to ReportText.
//
// SplitLogLines is the rule every receiver applies to a text of several lines: one row per
// line, all of the report's kind.

#include <cstddef>
#include <string>
#include <vector>

#include "patch_reporter.h"

class TFormattingReporter : public TPatchReporter {
 public:
  // Bytes a report is formatted into, terminator included.
  static constexpr size_t TextSize = 10000;

 protected:
  // One report, formatted and terminated.
  virtual void ReportText(TReportKind kind, const char* text) = 0;
  // The formatting buffer could not be had (memory exhausted); nothing by default.
  virtual void ReportWithoutMemory(TReportKind /*kind*/) {}

 private:
  void Report(TReportKind kind, const char* format, va_list args) final;
};

// The log file format of a row, the one rule for the log list's files, the console tools and
// the builder's self-check: "[ERROR]\ttext" and "[WARNING]\ttext" for errors and warnings,
// "\ttext" for plain rows. label is the word in brackets ("" or null for a plain row).
const char* LogRowLabel(TReportKind kind);  // "ERROR", "WARNING", ""
std::string FormatLogRow(const char* label, const std::string& text);
inline std::string FormatLogRow(TReportKind kind, const std::string& text) {
  return FormatLogRow(LogRowLabel(kind), text);
}

// One row per line: the text cut at every '\n'. The piece after the last newline is a row
// too (a text ending in a newline gives an empty last row; "" gives one empty row).
std::vector<std::string> SplitLogLines(const std::string& text);
