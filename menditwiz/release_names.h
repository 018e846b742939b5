#pragma once
// The names in release folders that no patch can carry, all found before the long build:
// names Windows cannot hold or a record may not name (devices, refused characters, trailing
// dots or spaces, the undo journal's name), names with characters Windows-1252 has not (the
// code page names are carried in), paths too long for a record, and two names that
// differ only in letter case (one folder on Windows; the second would overwrite the first).

#include <string>
#include <vector>

#include "release_listing.h"

// One line per problem of release (label names it in the lines, such as "OLD_FOLDER
// C:\REL\1.0"): "<label>: <reason>: <path>". Empty when every name can be carried.
std::vector<std::string> ReleaseNameProblems(const TRelease& release, const std::string& label);
