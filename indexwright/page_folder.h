#pragma once
// TPageFolder: the directory of the help project, the only way the generator touches files.
// TDiskFolder implements it for the current directory; tests hold the pages in memory.

#include <memory>
#include <string>
#include <vector>

#include "byte_stream.h"

class TPageFolder {
 public:
  virtual ~TPageFolder() = default;

  // Names of the ordinary files of the folder, in no particular order: directories, hidden
  // files and system files are left out. A folder that cannot be read lists nothing.
  virtual std::vector<std::string> ListFiles() = 0;

  // Opens the file Name for reading; null when it cannot be opened.
  virtual std::unique_ptr<TByteSource> OpenInput(const std::string& name) = 0;

  // Creates the file Name, or truncates it when it exists; null when it cannot be created.
  virtual std::unique_ptr<TOutputSink> CreateOutput(const std::string& name) = 0;
};
