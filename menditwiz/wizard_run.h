#pragma once
// menditwiz's command line around one build (wizard_build.h): progress and summary go to
// out, the failure's words to err, and the outcome becomes the exit code.

#include <cstdio>

#include "patch_builder.h"
#include "wizard_options.h"

// hooks.InspectDelta is passed on to the record builder (tests break deltas with it).
TToolExit RunWizard(const TWizardOptions& options, const TBuildHooks& hooks, std::FILE* out,
                      std::FILE* err);
