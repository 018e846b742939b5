#pragma once
// TPrivateFolder: a folder only this run writes, for files no other process may change while
// the run uses them (the extracted patch data file).
//
// The folder is new: a random name below the temporary folder, made by CreateDirectory (which
// fails on any name already standing there, a link included) with a descriptor that grants
// access to the current user, the administrators and the system alone and inherits nothing.
// The run then holds it open without delete sharing and checks that the folder it holds is
// the one it made (its final path is the temporary folder's final path and the new name), so
// it can be neither renamed nor swapped for a link while the run lasts.
//
// Its files are made new (CREATE_NEW) and held open from creation to removal, shared for
// reading only: no other process can write, rename or delete them meanwhile, so whatever
// reads them (through Reader) reads the bytes the run wrote. Removal goes by the held
// handles, never by name: it deletes exactly the files and the folder this object made, and
// nothing a link planted at one of their names would lead to.

#include <windows.h>

#include <memory>
#include <string>
#include <vector>

#include "files/file_system.h"
#include "files/recording_file_system.h"

class TPrivateFolder {
 public:
  TPrivateFolder() = default;
  ~TPrivateFolder() { Remove(); }
  TPrivateFolder(const TPrivateFolder&) = delete;
  TPrivateFolder& operator=(const TPrivateFolder&) = delete;

  // Makes the folder on first use; true when it is there (Path is set then).
  bool Make();
  const std::string& Path() const { return path; }

  // A new, empty file in the folder (made first when missing): its path, and its handle,
  // open for reading and writing and held until Remove. Empty path and INVALID_HANDLE_VALUE
  // on failure.
  HANDLE NewFile(std::string& filePath);
  // How many files were made; Handle(n) is the n-th (0-based).
  size_t FileCount() const { return Files.size(); }
  HANDLE Handle(size_t n) const { return Files[n].Handle; }
  const std::string& FilePath(size_t n) const { return Files[n].Path; }

  // Reads file n through a duplicate of the held handle: the same file, whatever now
  // stands at its name. Null when the handle cannot be duplicated.
  std::unique_ptr<TInputFile> Reader(size_t n) const;
  // Writes file n the same way.
  std::unique_ptr<TOutputFile> Writer(size_t n) const;

  // Deletes every file made here and then the folder, by their handles (a read-only
  // attribute is cleared first; a file another reader still holds goes when it is closed).
  // True when all are gone or going; the object is empty afterwards.
  bool Remove();

 private:
  // A new handle to file n with the given access; INVALID_HANDLE_VALUE when it cannot be had.
  HANDLE Duplicate(size_t n, DWORD access) const;

  struct TFile {
    HANDLE Handle;
    std::string Path;
  };
  std::string path;
  HANDLE Folder = INVALID_HANDLE_VALUE;
  std::vector<TFile> Files;
};

// A check's written content beyond its memory budget, in a private folder of its own that goes
// with this object.
class TPrivateSpillStore : public TSpillStore {
 public:
  std::unique_ptr<TOutputFile> NewFile(size_t& id) override;
  std::unique_ptr<TInputFile> Reader(size_t id) override { return Folder.Reader(id); }

 private:
  TPrivateFolder Folder;
};

// The path the system resolves an open handle to (GetFinalPathNameByHandleW: long names,
// links followed), without the "\\?\" prefix; empty when it cannot tell.
std::wstring FinalPathOf(HANDLE handle);
// Whether the system tells final paths at all (not on Windows XP, which has no file links).
bool FinalPathsKnown();

// Whether two final paths name the same place (compared without regard to case).
bool SameFinalPath(const std::wstring& a, const std::wstring& b);

// Gives the file handle is open on (with write access) the attributes (0: normal) and, when
// stamp is not null, that creation and last-write time.
bool SetTimeAndAttributes(HANDLE handle, const FILETIME* stamp, DWORD attributes);

// A file of the file-system interface over an open handle, which it closes with itself.
std::unique_ptr<TInputFile> InputFileOver(HANDLE handle);
std::unique_ptr<TOutputFile> OutputFileOver(HANDLE handle);

// Deletes the file or empty folder handle is open on (it needs DELETE access), clearing a
// read-only attribute first; the name goes when the last handle to it is closed.
bool DeleteByHandle(HANDLE handle);
