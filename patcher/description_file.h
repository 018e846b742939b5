#pragma once
// The patch description file: where mendit looks for it and how its three keys are read.
// Portable rules; the program supplies the private-profile reader.

#include <functional>
#include <string>

// Default name of the description file, beside the program.
extern const char* const DefaultDescriptionName;
// Bytes a value is read into (a longer value is cut to ValueSize - 1 characters).
constexpr int DescriptionValueSize = 399;

// The file to read: moduleDir + "MENDIT.MNI", unless the command line holds exactly one
// argument (args excludes the program name). That argument is taken as given when its second
// character is ':', otherwise as relative to the program's directory.
std::string DescriptionFilePath(const std::string& moduleDir, int argCount, const char* const* args);

struct TDescription {
  std::string Name;
  std::string DefaultPath;
  std::string Patch;
};

// Reads key of section "Application"; returns the value ("" when missing or empty).
using TKeyReader = std::function<std::string(const char* key)>;

// Reads Name, DefaultPath and Patch in this order into description, stopping at the first key
// whose value is empty (the later keys are not read). True when all three were read.
bool ReadDescription(const TKeyReader& read, TDescription& description);

// Text of the "Init failed" box for the description file path. The whole path is kept
// however long it is.
std::string InitFailedText(const std::string& path);
