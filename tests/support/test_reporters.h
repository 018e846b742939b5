#pragma once
// Reporters for tests, in every tree: one that keeps every report as a line ("INFO text",
// "WARNING text", "ERROR text") with the progress figures, so a test compares the whole
// conversation at once, one that keeps only the texts of warnings and errors, and one that
// keeps nothing.

#include <cstdarg>
#include <cstdint>
#include <string>
#include <utility>
#include <vector>

#include "report/formatting_reporter.h"
#include "report/patch_reporter.h"

class TRecordingReporter : public TFormattingReporter {
 public:
  std::vector<std::string> Lines;
  std::vector<std::pair<int32_t, int32_t>> Progress;  // done, total, in order

  void ReportProgress(int32_t done, int32_t total) override { Progress.push_back({done, total}); }

 protected:
  void ReportText(TReportKind kind, const char* text) override {
    const char* prefix = kind == TReportKind::Info ? "INFO " : kind == TReportKind::Warning ? "WARNING " : "ERROR ";
    Lines.push_back(prefix + std::string(text));
  }
};

class TErrorReporter : public TFormattingReporter {
 public:
  std::string Errors;  // every warning and error text, run together
  void ReportProgress(int32_t, int32_t) override {}

 protected:
  void ReportText(TReportKind kind, const char* text) override {
    if (kind != TReportKind::Info) Errors += text;
  }
};

class TSilentReporter : public TPatchReporter {
 public:
  void ReportProgress(int32_t, int32_t) override {}

 protected:
  void Report(TReportKind, const char*, va_list) override {}
};
