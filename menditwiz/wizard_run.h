#pragma once
// One build of a patch, as menditwiz runs it: list both releases, plan and build the
// records, pack the cabinet, apply that cabinet with the patch engine to a scratch copy of
// the old release, compare with the new release, and only then write the cabinet and the
// description file to the output folder. Progress and summary go to out, errors to err.

#include <cstdio>

#include "patch_builder.h"
#include "wizard_options.h"

// hooks.InspectDelta is passed on to the record builder (tests break deltas with it);
// hooks.Progress is set by the run itself.
TWizardExit RunWizard(const TWizardOptions& options, const TBuildHooks& hooks, std::FILE* out,
                      std::FILE* err);
