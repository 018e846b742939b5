#pragma once
// TTextStream: an output file written with Windows text-mode semantics on every platform.
//
// The contents file, the topic map and the header are read by Windows help compilers, so
// every line feed written becomes CR LF, whichever system builds them. The translation is
// done here, on bytes, and the sink below receives the final bytes. A line feed inside a
// title (a title that spans two lines) therefore also arrives as CR LF, as it would through
// a text-mode stream on Windows; a lone CR passes unchanged.

#include <cstddef>
#include <string>

#include "byte_stream.h"

class TTextStream {
 public:
  explicit TTextStream(TByteSink& Sink) : Sink(Sink) {}

  void Write(const std::string& text);

  // Writes Indent spaces, Text and a line end.
  void Line(int indent, const std::string& text);

 private:
  TByteSink& Sink;
};
