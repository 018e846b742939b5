#include "vendor_identity.h"

#include <algorithm>

#include "executable/pe_resources.h"
#include "executable/version_resource.h"
#include "paths/code_page.h"

namespace {

// A value as the description file can hold it: control characters as blanks, blanks at
// either end removed, cut to the longest value.
std::string DescriptionValue(std::string text) {
  for (char& c : text)
    if (static_cast<unsigned char>(c) < 0x20) c = ' ';
  const size_t first = text.find_first_not_of(' ');
  if (first == std::string::npos) return "";
  text = text.substr(first, text.find_last_not_of(' ') - first + 1);
  if (text.size() > MaxDescriptionValue) text.resize(MaxDescriptionValue);
  return text;
}

// "1, 2, 0, 0" (old resource scripts write versions so) as "1.2.0.0"; other texts as they are.
std::string DottedVersion(const std::string& text) {
  if (text.find(',') == std::string::npos || text.find_first_not_of("0123456789, ") != std::string::npos) return text;
  std::string dotted;
  for (char c : text)
    if (c != ' ') dotted += c == ',' ? '.' : c;
  return dotted;
}

std::string FixedVersionText(uint32_t high, uint32_t low) {
  return std::to_string(high >> 16) + "." + std::to_string(high & 0xFFFF) + "." + std::to_string(low >> 16) + "." +
         std::to_string(low & 0xFFFF);
}

// The first version resource among resources, or null.
const TResource* VersionResourceOf(const std::vector<TResource>& resources) {
  for (const TResource& r : resources)
    if (r.Type == TResourceName::Number(ResourceTypeVersion)) return &r;
  return nullptr;
}

std::string SourceText(TIdentitySource source, const std::string& option, const std::string& mainProgram) {
  switch (source) {
    case TIdentitySource::Option:
      return option;
    case TIdentitySource::NewProgram:
      return "the version resource of " + mainProgram + " in NEW_FOLDER";
    case TIdentitySource::OldProgram:
      return "the version resource of " + mainProgram + " in OLD_FOLDER";
    default:
      return "not given, and not in the version resources of " + mainProgram;
  }
}

}  // namespace

std::u16string WideFrom1252(const std::string& text) {
  std::u16string wide;
  for (char c : text) {
    // Every Windows-1252 character lies in the first plane: at most three UTF-8 bytes.
    const std::string utf8 = Windows1252ToUtf8(std::string(1, c));
    const auto byte = [&](size_t n) { return static_cast<uint32_t>(static_cast<uint8_t>(utf8[n])); };
    uint32_t character = byte(0);
    if (utf8.size() == 2) character = (byte(0) & 0x1F) << 6 | (byte(1) & 0x3F);
    if (utf8.size() == 3) character = (byte(0) & 0x0F) << 12 | (byte(1) & 0x3F) << 6 | (byte(2) & 0x3F);
    wide.push_back(static_cast<char16_t>(character));
  }
  return wide;
}

std::string NarrowTo1252(const std::u16string& text) {
  std::string narrow;
  for (char16_t c : text) {
    std::string utf8, held;
    if (c < 0x80) {
      utf8 = std::string(1, static_cast<char>(c));
    } else if (c < 0x800) {
      utf8 = {static_cast<char>(0xC0 | (c >> 6)), static_cast<char>(0x80 | (c & 0x3F))};
    } else {
      utf8 = {static_cast<char>(0xE0 | (c >> 12)), static_cast<char>(0x80 | ((c >> 6) & 0x3F)),
              static_cast<char>(0x80 | (c & 0x3F))};
    }
    // Surrogates and characters beyond Windows-1252 do not convert.
    narrow += Utf8ToWindows1252(utf8, held) && held.size() == 1 ? held : "?";
  }
  return narrow;
}

bool ProgramIdentity(const std::vector<uint8_t>& program, TVendorIdentity& identity) {
  identity = TVendorIdentity();
  std::vector<TResource> resources;
  std::string problem;
  TVersionInfo info;
  if (!ReadPeResources(program.data(), program.size(), resources, problem)) return false;
  const TResource* version = VersionResourceOf(resources);
  if (!version || !ParseVersionResource(version->Bytes.data(), version->Bytes.size(), info, problem)) return false;
  identity.Product = DescriptionValue(NarrowTo1252(info.String(u"ProductName")));
  identity.Version = DescriptionValue(DottedVersion(NarrowTo1252(info.String(u"ProductVersion"))));
  if (identity.Version.empty() && (info.ProductVersionHigh | info.ProductVersionLow) != 0)
    identity.Version = FixedVersionText(info.ProductVersionHigh, info.ProductVersionLow);
  identity.Publisher = DescriptionValue(NarrowTo1252(info.String(u"CompanyName")));
  return true;
}

TIdentityOrigin CompleteIdentity(TVendorIdentity& vendor, const TVendorIdentity& newProgram,
                                 const TVendorIdentity& oldProgram) {
  TIdentityOrigin origin;
  const auto complete = [](std::string& part, const std::string& found, TIdentitySource from, TIdentitySource& source) {
    if (!part.empty()) {
      source = TIdentitySource::Option;
    } else if (!found.empty()) {
      part = found;
      source = from;
    }
  };
  complete(vendor.Product, newProgram.Product, TIdentitySource::NewProgram, origin.Product);
  complete(vendor.Version, newProgram.Version, TIdentitySource::NewProgram, origin.Version);
  complete(vendor.FromVersion, oldProgram.Version, TIdentitySource::OldProgram, origin.FromVersion);
  complete(vendor.Publisher, newProgram.Publisher, TIdentitySource::NewProgram, origin.Publisher);
  return origin;
}

std::string IdentityText(const TVendorIdentity& vendor, const TIdentityOrigin& origin, const std::string& mainProgram) {
  struct TPart {
    const char* label;
    const std::string& value;
    TIdentitySource source;
    const char* option;
  } parts[] = {{"Product  ", vendor.Product, origin.Product, "-product"},
               {"Version  ", vendor.Version, origin.Version, "-version"},
               {"From     ", vendor.FromVersion, origin.FromVersion, "-from"},
               {"Publisher", vendor.Publisher, origin.Publisher, "-publisher"}};
  std::string text = "Identity of the patch:\n";
  for (const TPart& part : parts)
    text += std::string("  ") + part.label + "  " + (part.value.empty() ? "-" : part.value) + "  (" +
            SourceText(part.source, part.option, mainProgram) + ")\n";
  return text;
}

bool DescribePatchInProgram(const std::vector<uint8_t>& image, const TVendorIdentity& vendor,
                            const std::string& fileName, std::vector<uint8_t>& program, std::string& problem) {
  std::vector<TResource> resources;
  if (!ReadPeResources(image.data(), image.size(), resources, problem)) {
    problem = "its resources cannot be read: " + problem;
    return false;
  }
  // The stub's own version resource gives what the patch does not: the fixed flags, its
  // internal name, and the mendit version named in the comment.
  TVersionInfo stub, patch;
  auto own = std::find_if(resources.begin(), resources.end(),
                          [](const TResource& r) { return r.Type == TResourceName::Number(ResourceTypeVersion); });
  if (own != resources.end()) ParseVersionResource(own->Bytes.data(), own->Bytes.size(), stub, problem);
  patch.FileFlagsMask = stub.FileFlagsMask;
  patch.FileOs = stub.FileOs;
  patch.FileType = stub.FileType;
  if (!ParseVersionNumbers(vendor.Version, patch.FileVersionHigh, patch.FileVersionLow)) {
    patch.FileVersionHigh = stub.FileVersionHigh;
    patch.FileVersionLow = stub.FileVersionLow;
  }
  patch.ProductVersionHigh = patch.FileVersionHigh;
  patch.ProductVersionLow = patch.FileVersionLow;
  TVendorIdentity described = vendor;
  described.Publisher.clear();  // CompanyName says it
  const std::u16string menditVersion = stub.String(u"FileVersion");
  const std::pair<const char16_t*, std::u16string> strings[] = {
      {u"CompanyName", WideFrom1252(vendor.Publisher)},
      {u"FileDescription", WideFrom1252(UpdatesText(described))},
      {u"FileVersion", vendor.Version.empty() ? WideFrom1252(FixedVersionText(patch.FileVersionHigh, patch.FileVersionLow))
                                              : WideFrom1252(vendor.Version)},
      {u"InternalName", stub.String(u"InternalName")},
      {u"OriginalFilename", WideFrom1252(fileName)},
      {u"ProductName", WideFrom1252(vendor.Product)},
      {u"ProductVersion", WideFrom1252(vendor.Version)},
      {u"Comments", u"Self-applying patch (mendit" + (menditVersion.empty() ? u"" : u" " + menditVersion) +
                        u"); /S installs it without a window"},
  };
  for (const auto& [key, value] : strings)
    if (!value.empty()) patch.Strings.emplace_back(key, value);
  TResource version;
  if (own != resources.end()) {
    version = *own;
    resources.erase(std::remove_if(resources.begin(), resources.end(),
                                   [](const TResource& r) { return r.Type == TResourceName::Number(ResourceTypeVersion); }),
                    resources.end());
  } else {
    version.Type = TResourceName::Number(ResourceTypeVersion);
    version.Name = TResourceName::Number(1);
    version.Language = 0x0409;
  }
  version.Bytes = FormatVersionResource(patch);
  resources.push_back(version);
  if (!WritePeResources(image, resources, program, problem)) {
    problem = "its resources cannot be rewritten: " + problem;
    return false;
  }
  return true;
}
