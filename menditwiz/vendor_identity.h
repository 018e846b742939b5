#pragma once
// Who made a patch and what it updates: the options give it, and what they leave out comes
// from the version resource of the application's main program in the two releases (the
// new one names the product, the version and the publisher, the old one the version the
// patch is made for). The self-applying program carries it in a version resource of its
// own, so Explorer's properties and inventory tools show what the file is. Portable.

#include <cstdint>
#include <string>
#include <vector>

#include "description/description_file.h"

enum class TIdentitySource { None, Option, NewProgram, OldProgram };

// Where each part of a TVendorIdentity came from.
struct TIdentityOrigin {
  TIdentitySource Product = TIdentitySource::None;
  TIdentitySource Version = TIdentitySource::None;
  TIdentitySource FromVersion = TIdentitySource::None;
  TIdentitySource Publisher = TIdentitySource::None;
};

// What a program's version resource says, in Windows-1252: ProductName, ProductVersion
// (the fixed product version where the text is missing; "1, 2, 0, 0" written "1.2.0.0") and
// CompanyName, cleaned to description values (no line breaks, blanks trimmed, cut to the
// longest value). FromVersion stays empty. False (identity empty) when program is no PE
// program or has no version resource that can be read.
bool ProgramIdentity(const std::vector<uint8_t>& program, TVendorIdentity& identity);

// The parts vendor lacks taken from the new program's identity (product, version,
// publisher) and the old program's version (as FromVersion); vendor's own parts are kept.
TIdentityOrigin CompleteIdentity(TVendorIdentity& vendor, const TVendorIdentity& newProgram,
                                 const TVendorIdentity& oldProgram);

// The lines menditwiz prints about the identity: each part and where it came from.
std::string IdentityText(const TVendorIdentity& vendor, const TIdentityOrigin& origin, const std::string& mainProgram);

// The stub's program image (without payload) with its version resource replaced by one that
// describes the patch: ProductName, ProductVersion, CompanyName, FileDescription ("Updates
// PRODUCT from Y to X"), FileVersion, OriginalFilename (fileName) and the fixed numbers
// parsed from the version (the stub's own where it does not parse). Every other resource is
// kept byte for byte. False with problem set when the stub's resources cannot be read or
// rewritten.
bool DescribePatchInProgram(const std::vector<uint8_t>& image, const TVendorIdentity& vendor,
                            const std::string& fileName, std::vector<uint8_t>& program, std::string& problem);

// Windows-1252 text as UTF-16 and back (a character Windows-1252 has not becomes '?').
std::u16string WideFrom1252(const std::string& text);
std::string NarrowTo1252(const std::u16string& text);
