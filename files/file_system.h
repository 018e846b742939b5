#pragma once
// The file services the patch engine needs, as small interfaces.
//
// The engine never touches a handle or calls the operating system itself: production passes
// the Win32 implementation (win32_file_system.h), tests and fuzz targets pass the in-memory
// one (memory_file_system.h). Paths are 8-bit ANSI texts, as the engine builds them.
//
// Offsets are 64-bit so that no caller has to think about overflow when adding a length
// to an offset read from a file; the Win32 layer itself works with 64-bit file pointers.

#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>

#include "dos_stamp.h"

// A file open for reading at explicit offsets. Closed when destroyed.
class TInputFile {
 public:
  virtual ~TInputFile() = default;
  // Reads up to size bytes at offset into buffer. Returns the number of bytes read: fewer
  // than size only at the end of the file (0 at or past it), -1 on a read error.
  // A negative offset is an error (-1).
  virtual int64_t Read(int64_t offset, void* buffer, size_t size) = 0;
  // The file's length in bytes, -1 when it cannot be determined.
  virtual int64_t Size() = 0;
  // The file's last-write time as a local DOS date/time pair. False when it cannot be
  // read; stamp is then left unchanged.
  virtual bool GetStamp(TDosStamp& stamp) = 0;
};

// A file open for writing at explicit offsets. Writing past the end extends the file; a
// gap left before the written bytes reads as zero bytes. Closed when destroyed.
class TOutputFile {
 public:
  virtual ~TOutputFile() = default;
  // Writes size bytes at offset. False when not all of them were written (disk full,
  // negative offset, device error).
  virtual bool Write(int64_t offset, const void* buffer, size_t size) = 0;
  // Sends what was written to the disk itself (FlushFileBuffers), so it is there before a
  // later change that depends on it, even across a power cut. False when it failed.
  virtual bool Flush() { return true; }
  // The final path of the file this handle writes (links resolved, long names), as
  // TFileSystem::FinalPath spells it; empty where the file system cannot tell.
  virtual std::string FinalPath() { return std::string(); }
};

class TFileSystem {
 public:
  virtual ~TFileSystem() = default;
  // Opens an existing file for reading (others may still read and write it, as with the
  // run-time library's "rb"). Null when it does not exist or cannot be opened.
  virtual std::unique_ptr<TInputFile> OpenRead(const char* path) = 0;
  // Creates a file for writing, truncating an existing one ("wb"). Null on failure
  // (directory missing, read-only file, file in use, bad name).
  virtual std::unique_ptr<TOutputFile> Create(const char* path) = 0;
  // Creates a new file for writing; fails when anything exists at path already (the
  // exclusive create), so it never writes into a file someone else put there. The default
  // asks FileExists first; file systems that can create exclusively in one step override it.
  virtual std::unique_ptr<TOutputFile> CreateNew(const char* path) {
    return FileExists(path) || DirectoryExists(path) ? nullptr : Create(path);
  }
  // Renames a file; fails when to exists already.
  virtual bool Move(const char* from, const char* to) = 0;
  // Puts the file from in place of the existing file to, keeping to's spelling and
  // attributes (as a file truncated and rewritten keeps them). Fails, leaving both files as
  // they were, when to is read-only or busy. This default is no single step (to is deleted,
  // then from renamed); file systems that can replace in one step override it.
  virtual bool Replace(const char* from, const char* to) { return Delete(to) && Move(from, to); }
  // Deletes a file; fails for a missing, read-only or busy file.
  virtual bool Delete(const char* path) = 0;
  // Creates one directory level; fails when it exists or its parent is missing. (Not named
  // CreateDirectory: windows.h turns that name into a macro.)
  virtual bool CreateDir(const char* path) = 0;
  virtual bool DirectoryExists(const char* path) = 0;
  // Whether a file exists at path, open or not (a file held by another process without
  // sharing cannot be opened, but it is there). The default asks OpenRead.
  virtual bool FileExists(const char* path) { return OpenRead(path) != nullptr; }
  // The read-only attribute of a file (false for a missing file), and setting it. Files
  // installed from a disc are often read-only; the engine keeps the attribute on the new
  // version and clears it on its own backups. The defaults know no such attribute.
  virtual bool ReadOnly(const char* /*path*/) { return false; }
  virtual bool MakeReadOnly(const char* /*path*/, bool /*readOnly*/) { return true; }
  // Sets the last-write time of an existing, closed file from a local DOS date/time pair.
  virtual bool SetStamp(const char* path, TDosStamp stamp) = 0;
  // Whether the file at path is owned by the current user or by the administrators, so it
  // can be trusted to say what to change (a file anyone else put there cannot). True where
  // files have no owners that matter (memory, POSIX build servers).
  virtual bool TrustedOwner(const char* path) { return FileExists(path); }
  // path with its last part spelt as the existing file's name is stored ("7za.exe" for
  // "C:\APP\7ZA.EXE"), so what puts a file back can give it the name it had. path itself
  // when there is no such file or the file system keeps no spelling.
  virtual std::string StoredName(const char* path) { return path; }

  // Links. A folder or file link (a junction, a symbolic link, a Unix link in a Wine drive)
  // makes a name inside a folder lead outside it; the engine asks where a name leads before
  // it acts on it.
  //
  // Where path leads once every link is followed: the final path of what it names when that
  // exists (long names, no "\\?\" prefix), otherwise the final path of its nearest existing
  // folder with the rest of path appended as spelt; empty when not even a folder of it can be
  // opened. The default knows no links: path as it stands.
  virtual std::string FinalPath(const char* path) { return path; }
  // How many names (hard links) the existing file at path has: a change in place through one
  // name changes the others too. 0 when it cannot be opened; 1 where there are no hard links.
  virtual int NameCount(const char* path) { return FileExists(path) ? 1 : 0; }
};

// path with its last part replaced by name.
std::string WithLastPart(const std::string& path, const std::string& name);
