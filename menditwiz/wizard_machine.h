#pragma once
// What a build run needs from the machine it runs on. Implemented once for Windows (Win32
// files, FindFirstFile, the system cabinet library: win32_folders.cpp, win32_cabinet_check.cpp)
// and once for POSIX build servers (POSIX files, libmspack: posix_folders.cpp,
// mspack_reader.cpp), so that both builds of menditwiz run the same steps.

#include <memory>
#include <string>

#include "patch/file_system.h"
#include "release_listing.h"

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
// between parts shows as '/'.
std::string DisplayPath(const std::string& path);
// Renames from to to, replacing a file that exists there. (Not named ReplaceFile: windows.h
// turns that name into a macro.)
bool MoveReplacing(const std::string& from, const std::string& to);

// The patch data file of a cabinet, extracted by the machine's cabinet reader (on Windows
// the system library, as mendit extracts it) into temporary files that go with the object.
class TExtractedCabinet {
 public:
  virtual ~TExtractedCabinet() = default;
  virtual TInputFile& Data() = 0;
};

// Extracts the cabinet name in folder. Null with error set when it cannot be extracted.
std::unique_ptr<TExtractedCabinet> ExtractCabinet(const std::string& folder, const std::string& name,
                                                  std::string& error);
