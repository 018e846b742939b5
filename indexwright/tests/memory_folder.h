#pragma once
// TMemoryFolder: a page folder held in memory, for running the generator without a disk.
// Reads are handed out in pieces of ChunkSize bytes, so tests can check that nothing
// depends on where a read ends.

#include <algorithm>
#include <map>
#include <set>
#include <string>
#include <utility>

#include "indexwright/page_folder.h"

class TMemoryFolder : public TPageFolder {
 public:
  std::map<std::string, std::string> Files;  // name -> content
  std::set<std::string> Unreadable;          // listed, but opening fails
  std::set<std::string> Uncreatable;         // creating fails
  size_t ChunkSize = 4096;

  std::vector<std::string> ListFiles() override {
    std::vector<std::string> Names;
    for (const auto& File : Files) Names.push_back(File.first);
    return Names;
  }

  std::unique_ptr<TByteSource> OpenInput(const std::string& Name) override {
    auto File = Files.find(Name);
    if (File == Files.end() || Unreadable.count(Name)) return nullptr;
    return std::unique_ptr<TByteSource>(new TSource(File->second, ChunkSize));
  }

  std::unique_ptr<TOutputSink> CreateOutput(const std::string& Name) override {
    if (Uncreatable.count(Name)) return nullptr;
    Files[Name].clear();
    return std::unique_ptr<TOutputSink>(new TOutput(Files[Name]));
  }

 private:
  class TSource : public TByteSource {
   public:
    TSource(std::string Content, size_t ChunkSize) : Content(std::move(Content)), ChunkSize(ChunkSize) {}
    size_t Read(char* Buffer, size_t Size) override {
      size_t Count = std::min({Size, ChunkSize, Content.size() - Offset});
      Content.copy(Buffer, Count, Offset);
      Offset += Count;
      return Count;
    }

   private:
    std::string Content;
    size_t ChunkSize;
    size_t Offset = 0;
  };

  class TOutput : public TOutputSink {
   public:
    explicit TOutput(std::string& Content) : Content(Content) {}
    void Put(const char* Data, size_t Size) override { Content.append(Data, Size); }
    bool Close() override { return true; }

   private:
    std::string& Content;
  };
};

// Collects what is written, e.g. the console.
class TStringSink : public TByteSink {
 public:
  std::string Text;
  void Put(const char* Data, size_t Size) override { Text.append(Data, Size); }
};
