#pragma once
// What mendit and menditcon do at start-up on Windows before a patch is installed: the
// three start-up macros and the reading of a description file through the system's
// private-profile reader.

#include <string>

#include "description_file.h"

class TMacroExpander;

// Bytes for the system and Windows directories.
constexpr unsigned StartupDirectorySize = 299;

// The string value ProgramFilesDir under HKEY_LOCAL_MACHINE
// "Software\Microsoft\Windows\CurrentVersion"; "" when it cannot be read.
std::string ProgramFilesDir();

// Adds "&PROGRAMS&", "&SYSTEM&" and "&WINDOWS&" in this order (so "&WINDOWS&", added last,
// is the first definition the expander applies). A directory that does not fit
// StartupDirectorySize is left empty.
void DefineStartupMacros(TMacroExpander& macros);

// Reads section Application of the file at path as ReadDescription does, each value into
// DescriptionValueSize bytes. A bare file name is looked up by the system's rules (in the
// Windows folder): callers pass a full path. The vendor identity (ReadVendorIdentity) is read too.
bool ReadDescriptionFile(const std::string& path, TDescription& description);
