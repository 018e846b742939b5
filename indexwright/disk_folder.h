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
  // Dir is the directory (empty: the current directory).
  explicit TDiskFolder(std::string Dir = std::string()) : Dir(std::move(Dir)) {}

  std::vector<std::string> ListFiles() override;
  std::unique_ptr<TByteSource> OpenInput(const std::string& Name) override;
  std::unique_ptr<TOutputSink> CreateOutput(const std::string& Name) override;

 private:
  std::string PathOf(const std::string& Name) const;

  std::string Dir;
};

// Writes to an open stdio stream it does not own (standard output or error).
class TStdioSink : public TByteSink {
 public:
  explicit TStdioSink(FILE* Stream) : Stream(Stream) {}
  void Put(const char* Data, size_t Size) override { fwrite(Data, 1, Size, Stream); }

 private:
  FILE* Stream;
};
