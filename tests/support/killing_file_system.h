#pragma once
// A file system that passes every call on until its change numbered Limit (a create, write,
// move, delete, new directory or date/time), which it cuts short as a killed process would:
// a write is done by half, then TKilled is thrown (or what kill throws: std::bad_alloc, say,
// for a run that runs out of memory there). Limit -1 never kills; Changes counts.
#include <functional>
#include <memory>

#include "files/file_system.h"

struct TKilled {};

// Passes calls on until the change numbered Limit, which is cut short by a kill.
class TKillingFileSystem : public TFileSystem {
 public:
  TKillingFileSystem(TFileSystem& base, int limit, std::function<void()> kill = [] { throw TKilled(); })
      : base(base), limit(limit), kill(std::move(kill)) {}
  int Changes = 0;

  std::unique_ptr<TInputFile> OpenRead(const char* path) override { return base.OpenRead(path); }
  std::unique_ptr<TOutputFile> Create(const char* path) override {
    Step();
    std::unique_ptr<TOutputFile> file = base.Create(path);
    return file ? std::make_unique<TWriter>(*this, std::move(file)) : nullptr;
  }
  bool Move(const char* from, const char* to) override { return Step(), base.Move(from, to); }
  bool Replace(const char* from, const char* to) override { return Step(), base.Replace(from, to); }
  bool Delete(const char* path) override { return Step(), base.Delete(path); }
  bool CreateDir(const char* path) override { return Step(), base.CreateDir(path); }
  bool DirectoryExists(const char* path) override { return base.DirectoryExists(path); }
  std::string StoredName(const char* path) override { return base.StoredName(path); }
  bool SetStamp(const char* path, TDosStamp stamp) override { return Step(), base.SetStamp(path, stamp); }

 private:
  class TWriter : public TOutputFile {
   public:
    TWriter(TKillingFileSystem& owner, std::unique_ptr<TOutputFile> file) : owner(owner), file(std::move(file)) {}
    bool Write(int64_t offset, const void* buffer, size_t size) override {
      if (owner.Changes++ == owner.limit) {
        file->Write(offset, buffer, size / 2);  // a torn write
        owner.kill();
      }
      return file->Write(offset, buffer, size);
    }

   private:
    TKillingFileSystem& owner;
    std::unique_ptr<TOutputFile> file;
  };
  void Step() {
    if (Changes++ == limit) kill();
  }
  TFileSystem& base;
  int limit;
  std::function<void()> kill;
};

