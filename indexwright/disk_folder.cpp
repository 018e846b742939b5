#include "disk_folder.h"

#include "dir_listing.h"

namespace {

class TFileSource : public TByteSource {
 public:
  explicit TFileSource(FILE* File) : File(File) {}
  ~TFileSource() override { fclose(File); }
  size_t Read(char* Buffer, size_t Size) override { return fread(Buffer, 1, Size, File); }

 private:
  FILE* File;
};

class TFileOutput : public TOutputSink {
 public:
  explicit TFileOutput(FILE* File) : File(File) {}
  ~TFileOutput() override { Close(); }

  void Put(const char* Data, size_t Size) override {
    if (File && fwrite(Data, 1, Size, File) != Size) Failed = true;
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

std::string TDiskFolder::PathOf(const std::string& Name) const { return Dir.empty() ? Name : Dir + "/" + Name; }

std::vector<std::string> TDiskFolder::ListFiles() {
  std::vector<std::string> Names;
  ListOrdinaryFiles(Dir, "*", Names);
  return Names;
}

std::unique_ptr<TByteSource> TDiskFolder::OpenInput(const std::string& Name) {
  FILE* File = fopen(PathOf(Name).c_str(), "rb");
  if (!File) return nullptr;
  return std::unique_ptr<TByteSource>(new TFileSource(File));
}

std::unique_ptr<TOutputSink> TDiskFolder::CreateOutput(const std::string& Name) {
  FILE* File = fopen(PathOf(Name).c_str(), "wb");
  if (!File) return nullptr;
  return std::unique_ptr<TOutputSink>(new TFileOutput(File));
}
