#include "disk_folder.h"

#include "dir_listing.h"

namespace {

class TFileSource : public TByteSource {
 public:
  explicit TFileSource(FILE* file) : File(file) {}
  ~TFileSource() override { fclose(File); }
  size_t Read(char* buffer, size_t size) override { return fread(buffer, 1, size, File); }

 private:
  FILE* File;
};

class TFileOutput : public TOutputSink {
 public:
  explicit TFileOutput(FILE* file) : File(file) {}
  ~TFileOutput() override { Close(); }

  void Put(const char* data, size_t size) override {
    if (File && fwrite(data, 1, size, File) != size) Failed = true;
  }

  bool Close() override {
    if (File) {
      if (fclose(File) != 0) Failed = true;
      File = nullptr;
    }
    return !Failed;
  }

 private:
  FILE* File;
  bool Failed = false;
};

}  // namespace

std::string TDiskFolder::PathOf(const std::string& name) const { return Dir.empty() ? name : Dir + "/" + name; }

std::vector<std::string> TDiskFolder::ListFiles() {
  std::vector<std::string> names;
  ListOrdinaryFiles(Dir, "*", names);
  return names;
}

std::unique_ptr<TByteSource> TDiskFolder::OpenInput(const std::string& name) {
  FILE* file = fopen(PathOf(name).c_str(), "rb");
  if (!file) return nullptr;
  return std::unique_ptr<TByteSource>(new TFileSource(file));
}

std::unique_ptr<TOutputSink> TDiskFolder::CreateOutput(const std::string& name) {
  FILE* file = fopen(PathOf(name).c_str(), "wb");
  if (!file) return nullptr;
  return std::unique_ptr<TOutputSink>(new TFileOutput(file));
}
