#pragma once
// TDiskFolder: a directory on disk as the generator's page folder, and stdio sinks for
// the console. Files are opened in binary mode on every platform; line ends are the
// business of TTextStream and the title scanner.

#include <cstdio>
#include <string>
#include <utility>

#include "page_folder.h"

class TDiskFolder : public TPageFolder {
 public:
  // dir is the directory (empty: the current directory).
  explicit TDiskFolder(std::string dir = std::string()) : Dir(std::move(dir)) {}

  std::vector<std::string> ListFiles() override;
  std::unique_ptr<TByteSource> OpenInput(const std::string& name) override;
  std::unique_ptr<TOutputSink> CreateOutput(const std::string& name) override;

 private:
  std::string PathOf(const std::string& name) const;

  std::string Dir;
};

// Writes to an open stdio stream it does not own (standard output or error).
class TStdioSink : public TByteSink {
 public:
  explicit TStdioSink(FILE* stream) : Stream(stream) {}
  void Put(const char* data, size_t size) override { fwrite(data, 1, size, Stream); }

 private:
  FILE* Stream;
};
