#pragma once
// Releases on real disk for the Windows round-trip tests: laying out a release folder, and
// a picture of one to compare a patched installation with the new release.

#include <string>
#include <vector>

#include "files/disk_file_system.h"
#include "tests/support/release_test_files.h"

// Creates folder (when missing) and below it every file with its content and date/time,
// making the subfolders their paths name. A failure is a fatal test failure.
void WriteReleaseFolder(TDiskFileSystem& files, const std::string& folder,
                        const std::vector<TReleaseTestFile>& release);

// One line per file of folder as the release scanner sees it: name key, date/time, size and
// a digest of the content. The "$$$" backups that modify patches leave are not part of a
// release and are left out.
std::vector<std::string> ReleasePicture(TDiskFileSystem& files, const std::string& folder);
