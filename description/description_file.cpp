#include "description_file.h"

#include <cstdio>
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
                       const std::string& patch, std::string& text, std::string& error) {
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
  return true;
}
