#pragma once
// A reporter that keeps every report as a line "INFO text", "WARNING text" or "ERROR text",
// and the last progress figures, so tests can compare the whole conversation at once.

#include <cstdio>
#include <string>
#include <vector>

#include "report/formatting_reporter.h"

class TRecordingReporter : public TFormattingReporter {
 public:
  std::vector<std::string> Lines;
  int ProgressCalls = 0;
  int32_t LastDone = -1;
  int32_t LastTotal = -1;

  void ReportProgress(int32_t done, int32_t total) override {
    ++ProgressCalls;
    LastDone = done;
    LastTotal = total;
  }

 protected:
  void ReportText(TReportKind kind, const char* text) override {
    const char* prefix = kind == TReportKind::Info ? "INFO " : kind == TReportKind::Warning ? "WARNING " : "ERROR ";
    Lines.push_back(prefix + std::string(text));
  }
};
