#pragma once
// The patch description file: section Application with Name (the main executable's file
// name), DefaultPath (the usual installation folder, start-up macros allowed) and Patch (the
// patch cabinet's path). Where mendit looks for it, how its three keys are read, and how the
// patch builder writes one. Portable rules; the programs supply the private-profile reader
// (startup.h).

#include <functional>
#include <string>

// Default name of the description file, beside the program.
extern const char* const DefaultDescriptionName;
// Bytes a value is read into (a longer value is cut to DescriptionValueSize - 1 characters).
constexpr int DescriptionValueSize = 399;
// The longest value that is read back whole; the builder refuses longer ones.
constexpr size_t MaxDescriptionValue = DescriptionValueSize - 1;

// The file to read: moduleDir + "MENDIT.MNI", unless the command line holds exactly one
// argument (args excludes the program name). That argument is taken as given when its second
// character is ':', otherwise as relative to the program's directory.
std::string DescriptionFilePath(const std::string& moduleDir, int argCount, const char* const* args);

// Who made the patch and what it updates: optional keys of section Application (Product,
// Version, FromVersion, Publisher) that readers without them pass over. Shown by mendit in
// its title, its About box and a row before "Install patch".
struct TVendorIdentity {
  std::string Product;
  std::string Version;      // the version the patch brings
  std::string FromVersion;  // the version it is made for
  std::string Publisher;
  bool Empty() const { return Product.empty() && Version.empty() && FromVersion.empty() && Publisher.empty(); }
};

struct TDescription {
  std::string Name;
  std::string DefaultPath;
  std::string Patch;
  TVendorIdentity Vendor;  // ReadVendorIdentity
};

// "Updates PRODUCT from X to Y" (the parts known: "Updates PRODUCT to Y", "Updates PRODUCT";
// "PRODUCT" is "the application" without a Product), plus " (PUBLISHER)" with a Publisher; ""
// when the description names no vendor identity at all.
std::string UpdatesText(const TVendorIdentity& vendor);
// "PRODUCT VERSION" (what of both is known), or "".
std::string ProductText(const TVendorIdentity& vendor);

// Reads key of section "Application"; returns the value ("" when missing or empty).
using TKeyReader = std::function<std::string(const char* key)>;

// A reader of section Application from a description file's text (carried inside a
// self-applying program, where no file exists to hand to the system's reader). It reads as
// the private-profile reader does: section and key names in any case and with blanks
// around them, the first occurrence of a key in the first such section, the value with
// blanks around it removed and one pair of enclosing quotes ('"' or '\'') taken off, cut to
// DescriptionValueSize - 1 characters; lines end in CR LF, LF or CR.
TKeyReader DescriptionTextReader(const std::string& text);

// Whether name is a bare file name: no '\\', '/', ':' or "..", so that it names a file inside
// the folder it is put after.
bool PlainFileName(const std::string& name);

// Reads Name, DefaultPath and Patch in this order into description, stopping at the first key
// whose value is empty, or at a Name that is no PlainFileName (the later keys are not read).
// True when all three were read.
bool ReadDescription(const TKeyReader& read, TDescription& description);
// Reads the vendor identity's optional keys (each "" when missing).
void ReadVendorIdentity(const TKeyReader& read, TVendorIdentity& vendor);

// The cabinet a relative Patch value names. It is resolved against the current folder first;
// when no file stands there but one does beside the description file (a patch run from
// another folder, menditcon D:\PATCH\TOOL.MNI), that one is meant, and its path is returned.
// An absolute value (drive, "\\" or a leading backslash), or one found in neither place, is
// returned as given, so the rows still name it as the vendor wrote it.
std::string PatchBesideDescription(const std::string& patch, const std::string& descriptionPath,
                                   const std::function<bool(const std::string&)>& fileExists);

// Text of the "Init failed" box for the description file path. The whole path is kept
// however long it is.
std::string InitFailedText(const std::string& path);

// The file's text (CR LF line ends, as INI files on Windows have). mendit appends Name to
// DefaultPath without a separator, so DefaultPath is given a closing backslash here. False
// with error set when a value is empty, longer than MaxDescriptionValue, or holds a line
// break, or when name holds a folder.
// The vendor identity's keys follow Patch, each only when given (the same checks but
// emptiness apply).
bool FormatDescription(const std::string& name, const std::string& defaultPath,
                       const std::string& patch, std::string& text, std::string& error,
                       const TVendorIdentity& vendor = TVendorIdentity());
