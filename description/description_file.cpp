#include "description_file.h"

#include <cctype>
#include <cstdio>
#include <utility>
#include <vector>

const char* const DefaultDescriptionName = "MENDIT.MNI";

namespace {
bool CheckValue(const char* key, const std::string& value, std::string& error) {
  if (value.empty()) {
    error = std::string("The description value ") + key + " is empty";
    return false;
  }
  if (value.size() > MaxDescriptionValue) {
    error = std::string("The description value ") + key + " is longer than " +
            std::to_string(MaxDescriptionValue) + " characters";
    return false;
  }
  if (value.find_first_of("\r\n") != std::string::npos) {
    error = std::string("The description value ") + key + " holds a line break";
    return false;
  }
  return true;
}
}  // namespace

bool PlainFileName(const std::string& name) {
  return name.find_first_of("\\/:") == std::string::npos && name.find("..") == std::string::npos;
}

std::string DescriptionFilePath(const std::string& moduleDir, int argCount, const char* const* args) {
  if (argCount != 1) return moduleDir + DefaultDescriptionName;
  std::string arg = args[0];
  // "D:..." is absolute; everything else (APP.MNI, SUB\APP.MNI, \X, \\server\x, "A") is
  // put after the program's directory.
  if (arg.size() >= 2 && arg[1] == ':') return arg;
  return moduleDir + arg;
}

namespace {

std::string Trimmed(const std::string& text) {
  const size_t first = text.find_first_not_of(" \t");
  if (first == std::string::npos) return "";
  return text.substr(first, text.find_last_not_of(" \t") - first + 1);
}

bool SameName(const std::string& a, const char* b) {
  size_t n = 0;
  for (; n < a.size() && b[n]; ++n)
    if (std::tolower(static_cast<unsigned char>(a[n])) != std::tolower(static_cast<unsigned char>(b[n]))) return false;
  return n == a.size() && b[n] == '\0';
}

}  // namespace

TKeyReader DescriptionTextReader(const std::string& text) {
  return [text](const char* key) -> std::string {
    bool inSection = false, sectionSeen = false;
    size_t at = 0;
    while (at < text.size()) {
      size_t end = text.find_first_of("\r\n", at);
      if (end == std::string::npos) end = text.size();
      const std::string line = Trimmed(text.substr(at, end - at));
      at = end + (text.compare(end, 2, "\r\n") == 0 ? 2 : 1);
      if (!line.empty() && line[0] == '[') {
        // Only the first section of that name counts.
        if (inSection) return "";
        const size_t close = line.find(']');
        inSection = !sectionSeen && close != std::string::npos && SameName(Trimmed(line.substr(1, close - 1)), "Application");
        sectionSeen |= inSection;
        continue;
      }
      const size_t equals = line.find('=');
      if (!inSection || equals == std::string::npos || !SameName(Trimmed(line.substr(0, equals)), key)) continue;
      std::string value = Trimmed(line.substr(equals + 1));
      if (value.size() >= 2 && (value[0] == '"' || value[0] == '\'') && value.back() == value[0])
        value = value.substr(1, value.size() - 2);
      return value.substr(0, DescriptionValueSize - 1);
    }
    return "";
  };
}

bool ReadDescription(const TKeyReader& read, TDescription& description) {
  std::string* fields[] = {&description.Name, &description.DefaultPath, &description.Patch};
  const char* keys[] = {"Name", "DefaultPath", "Patch"};
  for (int i = 0; i < 3; ++i) {
    *fields[i] = read(keys[i]);
    if (fields[i]->empty()) return false;
    // "&ROOT&" + Name must stay a file of the folder.
    if (i == 0 && !PlainFileName(description.Name)) return false;
  }
  return true;
}

void ReadVendorIdentity(const TKeyReader& read, TVendorIdentity& vendor) {
  vendor.Product = read("Product");
  vendor.Version = read("Version");
  vendor.FromVersion = read("FromVersion");
  vendor.Publisher = read("Publisher");
}

std::string ProductText(const TVendorIdentity& vendor) {
  if (vendor.Product.empty()) return vendor.Version;
  return vendor.Version.empty() ? vendor.Product : vendor.Product + " " + vendor.Version;
}

std::string UpdatesText(const TVendorIdentity& vendor) {
  if (vendor.Empty()) return "";
  std::string text = "Updates " + (vendor.Product.empty() ? std::string("the application") : vendor.Product);
  if (!vendor.FromVersion.empty()) text += " from " + vendor.FromVersion;
  if (!vendor.Version.empty()) text += " to " + vendor.Version;
  if (!vendor.Publisher.empty()) text += " (" + vendor.Publisher + ")";
  return text;
}

std::string PatchBesideDescription(const std::string& patch, const std::string& descriptionPath,
                                   const std::function<bool(const std::string&)>& fileExists) {
  const bool absolute = (patch.size() >= 2 && patch[1] == ':') || (!patch.empty() && (patch[0] == '\\' || patch[0] == '/'));
  if (patch.empty() || absolute || fileExists(patch)) return patch;
  const size_t slash = descriptionPath.find_last_of("\\/:");
  if (slash == std::string::npos) return patch;
  const std::string beside = descriptionPath.substr(0, slash + 1) + patch;
  return fileExists(beside) ? beside : patch;
}

std::string InitFailedText(const std::string& path) {
  static const char format[] =
      "Cannot read patch description file (%s).\n"
      "If you want to apply patch, please run MENDIT\n"
      "with description file as a parameter.\n"
      "To create the patch run Mendit Wizard.\n";
  // Sized for the path at hand, so a long path is neither cut nor written past the end.
  std::vector<char> buffer(sizeof format + path.size());
  std::snprintf(buffer.data(), buffer.size(), format, path.c_str());
  return buffer.data();
}

bool FormatDescription(const std::string& name, const std::string& defaultPath,
                       const std::string& patch, std::string& text, std::string& error,
                       const TVendorIdentity& vendor) {
  std::string folder = defaultPath;
  if (!folder.empty() && folder.back() != '\\') folder += '\\';
  if (!CheckValue("Name", name, error) || !CheckValue("DefaultPath", folder, error) ||
      !CheckValue("Patch", patch, error))
    return false;
  if (!PlainFileName(name)) {
    error = "The main executable must be given as a file name, without folder: " + name;
    return false;
  }
  text = "[Application]\r\nName=" + name + "\r\nDefaultPath=" + folder + "\r\nPatch=" + patch + "\r\n";
  const std::pair<const char*, const std::string*> optional[] = {{"Product", &vendor.Product},
                                                                 {"Version", &vendor.Version},
                                                                 {"FromVersion", &vendor.FromVersion},
                                                                 {"Publisher", &vendor.Publisher}};
  for (const auto& [key, value] : optional) {
    if (value->empty()) continue;
    if (!CheckValue(key, *value, error)) return false;
    text += std::string(key) + "=" + *value + "\r\n";
  }
  return true;
}
