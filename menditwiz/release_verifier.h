#pragma once
// Self-verification of a built patch: the old release is copied into an empty scratch
// folder, the patch is applied there by the patch engine itself (TPatchFile, with "&ROOT&"
// naming the scratch folder), and the result is compared with the new release: every file
// with its content and date/time, and no file besides them except the "$$$" backups that
// modify records leave by design. The patch is applied a second time, which must find every
// record's result in place and apply none. Any warning or error the engine reports fails the
// check.

#include <string>
#include <vector>

#include "files/file_system.h"
#include "patch_builder.h"
#include "release_listing.h"

struct TVerification {
  std::vector<std::string> EngineRows;  // the engine's reports, "[ERROR]\t..." style
  std::vector<std::string> Problems;    // empty when the new release was reproduced
};

// scratch must exist and be empty. data is the patch data file to apply (as extracted from
// the cabinet, ideally). False when the new release was not reproduced.
bool VerifyPatch(TFolderLister& lister, TFileSystem& files, const std::string& oldRoot,
                 const TRelease& oldRelease, const TRelease& newRelease,
                 const std::string& newRoot, const std::vector<TBuiltRecord>& records,
                 TInputFile& data, const std::string& scratch, TVerification& result);

// The backup a modify record of relative leaves, as a path key: the extension replaced by
// "$$$" (MAIN.EXE and MAIN.DLL share MAIN.$$$).
std::string BackupKey(const std::string& relative);

// Copies a release (folders, files, date/times) below target, which must exist.
bool CopyRelease(TFileSystem& files, const std::string& root, const TRelease& release,
                 const std::string& target, std::string& error);
