#include "tests/support/release_folder_support.h"

#include <windows.h>

#include <gtest/gtest.h>

#include <cstdint>
#include <cstdio>
#include <functional>

#include "menditwiz/patch_builder.h"
#include "patch/patch_file.h"
#include "menditwiz/release_listing.h"
#include "menditwiz/wizard_machine.h"

void WriteReleaseFolder(TDiskFileSystem& files, const std::string& folder,
                        const std::vector<TReleaseTestFile>& release) {
  CreateDirectoryA(folder.c_str(), nullptr);
  for (const TReleaseTestFile& f : release) {
    const std::string path = JoinPath(folder, f.Path);
    for (size_t slash = path.find('\\', folder.size() + 1); slash != std::string::npos;
         slash = path.find('\\', slash + 1))
      CreateDirectoryA(path.substr(0, slash).c_str(), nullptr);
    ASSERT_TRUE(WriteWholeFile(files, path, f.Content)) << path;
    ASSERT_TRUE(files.SetStamp(path.c_str(), f.Stamp)) << path;
  }
}

std::vector<std::string> ReleasePicture(TDiskFileSystem& files, const std::string& folder) {
  TDiskFolderLister lister;
  TRelease release;
  std::string error;
  EXPECT_TRUE(ScanRelease(lister, files, folder, release, error)) << error;
  std::vector<std::string> lines;
  std::vector<uint8_t> bytes;
  for (const TReleaseFile& f : release.Files) {
    if (PathKey(f.Path).find(std::string(".") + BackupExtension) != std::string::npos) continue;
    ReadWholeFile(files, JoinPath(folder, f.Path), bytes, SIZE_MAX);
    char line[400];
    std::snprintf(line, sizeof line, "%s %08X %zu %08X", PathKey(f.Path).c_str(), f.Stamp, bytes.size(),
                  static_cast<unsigned>(std::hash<std::string>()(std::string(bytes.begin(), bytes.end()))));
    lines.push_back(line);
  }
  return lines;
}
