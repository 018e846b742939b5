#pragma once
// One run of the console companion: reads the description file as mendit does, defines the
// same start-up macros, and either installs the patch through the installation run that the
// dialog uses, or (check mode) reports what each record would do. Rows go to out and to the
// log file when one is asked for. The result is the exit code.

#include <cstdio>

#include "companion_options.h"

TToolExit RunCompanion(const TCompanionOptions& options, std::FILE* out);
