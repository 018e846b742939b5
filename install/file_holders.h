#pragma once
// Whether a file is held by another process, and by whom: the question the installation run
// asks about every file the records will change before the first of them changes anything.
// TDiskFileHolders (disk_file_holders_win32.cpp) asks the system; TMemoryFileHolders answers
// from a list, for tests.

#include <map>
#include <string>
#include <vector>

// What the engine does to an existing file a record names, as flags: it reads it (the version
// check, the previous version of a modify) and takes its name away (a modify renames it to
// the backup, a copy over it replaces it, a delete deletes it).
enum TFileUse : unsigned { FileUseRead = 1, FileUseRemove = 2 };

class TFileHolders {
 public:
  virtual ~TFileHolders() = default;
  // True when another process holds the file at path so that one of uses would fail. holders
  // then receives the programs that hold it as far as the system can name them; it may stay
  // empty. A file that does not exist is not held.
  virtual bool Held(const std::string& path, unsigned uses, std::vector<std::string>& holders) = 0;
};

class TMemoryFileHolders : public TFileHolders {
 public:
  // path is held by the programs named (none: held by a program the system cannot name).
  void Hold(const std::string& path, const std::vector<std::string>& programs = {});
  void Release(const std::string& path);
  bool Held(const std::string& path, unsigned uses, std::vector<std::string>& holders) override;

  int Questions = 0;  // calls of Held

 private:
  std::map<std::string, std::vector<std::string>> held;  // by PathKey
};

#ifdef _WIN32
// The files of this machine: a file is held when opening it with the engine's access and
// sharing fails for a sharing or lock violation; its holders come from the Restart Manager
// (restart_manager_win32.h), where the system has one that answers.
class TDiskFileHolders : public TFileHolders {
 public:
  bool Held(const std::string& path, unsigned uses, std::vector<std::string>& holders) override;
};
#endif
