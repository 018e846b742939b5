#pragma once
// Which file names belong to a group of pages, and in which order the pages are listed.
//
// A group's pages match the wildcard "<prefix>*.htm" under the long-name rule of Windows
// file systems, without regard to ASCII letter case: the name begins with the prefix and
// ends with ".htm", and "*" stands for any run of bytes, dots included. Names ending in
// ".html" never match, although a Windows directory search for "*.htm" can return them
// through their generated 8.3 short names; the result would then depend on whether the
// volume keeps short names.
//
// Pages are listed in the order a Windows (NTFS) directory lists names: compared after
// upper-casing, byte by byte as unsigned values. Names that differ only in case (possible
// on other file systems) are ordered by their raw bytes, so the order is always complete.
// Only ASCII letters are folded; the prefixes are digits, so this decides only the order
// of pages within one group.

#include <string>

// Name with ASCII letters in upper case: the sort key, and the form the wildcard is
// matched against.
std::string PageKey(const std::string& name);

// The listing order described above.
bool PageNameLess(const std::string& a, const std::string& b);

// True when Name matches Prefix followed by "*.htm".
bool MatchesPageWildcard(const std::string& name, const std::string& prefix);
