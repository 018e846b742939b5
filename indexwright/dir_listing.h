#pragma once
// The platform's directory search: the one piece of the program that differs between
// Windows and other systems.

#include <string>
#include <vector>

// Appends to Names the ordinary files of directory Dir (empty for the current one) that the
// platform's search returns for Wildcard. Windows passes Wildcard to its directory search
// and skips entries with the directory, hidden or system attribute. Elsewhere Wildcard is
// matched with fnmatch, ignoring case, and only regular files are kept (symbolic links
// are followed); names beginning with "." count as hidden and are skipped, as Wine shows
// them. The platforms differ in details ("*" and "?" only mean the same where no "[" or
// "\" appears, and Windows also matches 8.3 short names), so callers select by their own
// rules afterwards. False when the directory cannot be read.
bool ListOrdinaryFiles(const std::string& dir, const std::string& wildcard, std::vector<std::string>& names);
