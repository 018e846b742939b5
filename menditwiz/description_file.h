#pragma once
// The patch description file that mendit reads: section Application with Name (the main
// executable's file name), DefaultPath (the usual installation folder, macros allowed) and
// Patch (the patch cabinet's path).
//
// mendit appends Name to DefaultPath without a separator, so DefaultPath is given a closing
// backslash here; and it reads each value into 399 bytes, so longer values are refused.

#include <string>

constexpr size_t MaxDescriptionValue = 398;

// The file's text (CR LF line ends, as INI files on Windows have). False with error set when
// a value is empty, too long, or holds a line break.
bool FormatDescription(const std::string& name, const std::string& defaultPath,
                       const std::string& patch, std::string& text, std::string& error);
