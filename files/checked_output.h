#pragma once
// Output files a user names (menditcon's -log FILE, menditwiz's cabinet, description file
// and self-applying program) written without ever writing through a link.
//
// A name planted as a link (a symbolic link, or under Wine a Unix link in a drive) would make
// a run, perhaps an elevated one, truncate and overwrite the file the link leads to; a hard
// link would change that file's other names too. So the file is opened without truncating
// (made new when the name is free), the file actually opened is compared with the one asked
// for (Windows: the handle's final path against the final path of the folder plus the name
// as it stands in the folder; POSIX: the last part may not be a link), a file with other
// names is refused, and only then is it truncated. A dangling link is refused before
// anything is made. Links in the folders above the name are the user's own choice of path
// and are followed.
//
// checked_output_win32.cpp and checked_output_posix.cpp implement the opening; paths are
// spelt as files/disk_file_system.h spells them.

#include <cstdint>
#include <cstdio>
#include <string>
#include <vector>

enum class TOutputName {
  Usable,      // free, or a plain file of one name
  Link,        // a link to another file, or one that leads nowhere
  OtherNames,  // a file that has other names (hard links)
  Unusable,    // cannot be opened or made for writing
};

// Opens path for writing, emptied, as the run-time library's "wt" (text) or "wb" opens it;
// file is null unless the answer is Usable.
TOutputName OpenCheckedOutput(const std::string& path, bool text, std::FILE*& file);

// Writes bytes as the whole of path through OpenCheckedOutput; Usable when all were written.
TOutputName WriteCheckedFile(const std::string& path, const std::vector<uint8_t>& bytes);

// Whether path is free or a plain file rather than a link, without changing anything: for a
// name that is only renamed or deleted, never written.
TOutputName CheckOutputName(const std::string& path);

// Why a file could not be written, for "Cannot write FILE: ..." (empty for Usable).
std::string OutputNameProblem(TOutputName verdict);
