#pragma once
// One run of the console companion: reads the description file as mendit does, defines the
// same start-up macros, and either installs the patch through the installation run that the
// dialog uses, or (check mode) reports what each record would do. Rows go to out and to the
// log file when one is asked for. The result is the exit code.
//
// A self-applying program runs the same way without a window (mendit /S): carried is then
// the patch it carries, whose description and cabinet take the place of the description
// file's; a damaged one installs nothing (exit code 4) and says why in one row.

#include <cstdio>

#include "companion_options.h"
#include "files/file_system.h"
#include "payload/payload.h"

// out may be null: the rows then go to the log file alone. files: what the run reads and
// changes; null for the disk (tests pass one that fails or throws).
// An exception out of the run ends it with the row InternalErrorRow gives and
// ToolExitInternal.
TToolExit RunCompanion(const TCompanionOptions& options, std::FILE* out, const TCarriedPatch* carried = nullptr,
                       TFileSystem* files = nullptr);
