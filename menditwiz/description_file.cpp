#include "description_file.h"

namespace {
bool Check(const char* key, const std::string& value, std::string& error) {
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

bool FormatDescription(const std::string& name, const std::string& defaultPath,
                       const std::string& patch, std::string& text, std::string& error) {
  std::string folder = defaultPath;
  if (!folder.empty() && folder.back() != '\\') folder += '\\';
  if (!Check("Name", name, error) || !Check("DefaultPath", folder, error) || !Check("Patch", patch, error))
    return false;
  if (name.find_first_of("\\/:") != std::string::npos) {
    error = "The main executable must be given as a file name, without folder: " + name;
    return false;
  }
  text = "[Application]\r\nName=" + name + "\r\nDefaultPath=" + folder + "\r\nPatch=" + patch + "\r\n";
  return true;
}
