#pragma once
// TConsoleReporter: the log of a patch run as text, in the format of the log list's files:
// "[ERROR]\t%s\n" and "[WARNING]\t%s\n" for error and warning rows, "\t%s\n" for plain rows.
// A report of several lines gives one row per line, as in the dialog. Rows go to out and,
// when given, to a log file too. Progress is not shown.

#include <cstdio>
#include <string>

#include "report/formatting_reporter.h"

class TConsoleReporter : public TFormattingReporter {
 public:
  // Neither stream is owned; log may be null.
  TConsoleReporter(std::FILE* out, std::FILE* log) : Out(out), Log(log) {}

  void ReportProgress(int32_t, int32_t) override {}

  int ErrorRows() const { return Errors; }
  int WarningRows() const { return Warnings; }

 protected:
  void ReportText(TReportKind kind, const char* text) override;

 private:
  void WriteRow(const char* label, const std::string& text);

  std::FILE* Out;
  std::FILE* Log;
  int Errors = 0;
  int Warnings = 0;
};
