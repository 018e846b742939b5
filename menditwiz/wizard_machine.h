#pragma once
// What a build run needs from the machine it runs on. Implemented once for Windows
// (FindFirstFile, the system cabinet library: wizard_machine_win32.cpp) and once for POSIX
// build servers (readdir, libmspack: wizard_machine_posix.cpp), over the disk file services
// of files/, so that both builds of menditwiz run the same steps.

#include <memory>
#include <string>
#include <vector>

#include "files/file_system.h"
#include "release_listing.h"

// Lists a folder of the machine's disk (on POSIX systems a Windows-style path, found as
// files/disk_file_system.h finds it).
class TDiskFolderLister : public TFolderLister {
 public:
  bool List(const std::string& folder, std::vector<TFolderEntry>& entries) override;
};

std::unique_ptr<TFolderLister> NewFolderLister();
std::unique_ptr<TFileSystem> NewFileSystem();

// The absolute form of path; "" when the system cannot make one.
std::string AbsolutePath(const std::string& path);
bool IsFolder(const std::string& path);
// A new, empty folder below the temporary folder; "" on failure.
std::string MakeScratchFolder();
// Removes path and everything below it (read-only files too). True when it is gone.
bool RemoveTree(const std::string& path);
// Removes path when it is an empty folder; true when it was removed.
bool RemoveEmptyFolder(const std::string& path);
// path as the machine's users write paths: on POSIX systems the '\' that the builder puts
// between parts shows as '/', and names show in UTF-8 (the builder holds them in Windows-1252).
std::string DisplayPath(const std::string& path);
// Renames from to to, replacing a file that exists there. (Not named ReplaceFile: windows.h
// turns that name into a macro.)
bool MoveReplacing(const std::string& from, const std::string& to);

// The mendit.exe a self-applying program is made of when no -stub is given: on Windows the
// one beside the running menditwiz; "" where the builder has none of its own.
std::string DefaultStubPath();

// Extracts the cabinet name in folder with the machine's cabinet reader (on Windows the
// system library, as mendit extracts it; elsewhere libmspack) and opens its patch data file,
// whose temporary files go when it is closed. Null with error set when it cannot be extracted.
std::unique_ptr<TInputFile> ExtractCabinet(const std::string& folder, const std::string& name,
                                                  std::string& error);
