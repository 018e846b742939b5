#pragma once
// TPatchReporter: where the patch engine and the cabinet unpacker send every report.
//
// The three text reports take printf-style arguments; a formatted text may hold several
// lines separated by '\n', and the receiver shows each line as an entry of the same kind.
// Reports are delivered synchronously: when a call returns, the entry is shown.
// Implementations receive the format and its arguments unformatted (Report), so each
// decides its own buffer (TFormattingReporter formats into 10,000 bytes).

#include <cstdarg>
#include <cstdint>

#if defined(__GNUC__) || defined(__clang__)
#define PATCH_PRINTF_FORMAT(fmt, first) __attribute__((format(printf, fmt, first)))
#else
#define PATCH_PRINTF_FORMAT(fmt, first)
#endif

enum class TReportKind { Info, Warning, Error };

class TPatchReporter {
 public:
  virtual ~TPatchReporter() = default;

  void ReportInfo(const char* format, ...) PATCH_PRINTF_FORMAT(2, 3) {
    va_list args;
    va_start(args, format);
    Report(TReportKind::Info, format, args);
    va_end(args);
  }
  void ReportWarning(const char* format, ...) PATCH_PRINTF_FORMAT(2, 3) {
    va_list args;
    va_start(args, format);
    Report(TReportKind::Warning, format, args);
    va_end(args);
  }
  void ReportError(const char* format, ...) PATCH_PRINTF_FORMAT(2, 3) {
    va_list args;
    va_start(args, format);
    Report(TReportKind::Error, format, args);
    va_end(args);
  }

  // Progress as done * 100 / total percent. The engine always passes total >= 1;
  // implementations must still not divide by zero.
  virtual void ReportProgress(int32_t done, int32_t total) = 0;

 protected:
  virtual void Report(TReportKind kind, const char* format, va_list args) = 0;
};
