#pragma once
// The reporter the engine benchmarks give the installer: information rows are dropped (they
// would cost console time inside the measured run), warnings and errors are counted and
// printed, so a benchmark that stopped measuring the real work says so.
#include <cstdarg>
#include <cstdio>

#include "report/patch_reporter.h"

class TBenchReporter : public TPatchReporter {
 public:
  int Errors = 0;
  void ReportProgress(int32_t, int32_t) override {}

 protected:
  void Report(TReportKind kind, const char* format, va_list args) override {
    if (kind == TReportKind::Info) return;
    ++Errors;
    std::vfprintf(stderr, format, args);
    std::fputc('\n', stderr);
  }
};
