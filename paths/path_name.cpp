// Splitting and putting together of paths; the absolute form comes from full_path.h.
#include "paths/path_name.h"

#include <cstring>

#include "paths/full_path.h"

namespace {

bool IsSeparator(char c) { return c == '\\' || c == '/'; }

// Copies at most limit characters of text[0, length) into out, with a NUL after them.
// Returns false when the text had to be cut.
bool CopyPart(char* out, const char* text, size_t length, size_t limit) {
  const bool whole = length <= limit;
  if (!whole) length = limit;
  std::memcpy(out, text, length);
  out[length] = '\0';
  return whole;
}

void UpperCaseAscii(char* text) {
  for (; *text; ++text) {
    if (*text >= 'a' && *text <= 'z') *text = static_cast<char>(*text - 'a' + 'A');
  }
}

// Appends text to out (holding used characters) if it fits in size bytes with the NUL.
bool Append(char* out, size_t& used, size_t size, const char* text, size_t length) {
  if (length >= size - used) return false;
  std::memcpy(out + used, text, length);
  used += length;
  out[used] = '\0';
  return true;
}

}  // namespace

TPathName::TPathName()
    : result(new char[ResultSize]()),
      drive(new char[DriveSize]()),
      directory(new char[PartSize]()),
      name(new char[PartSize]()),
      extension(new char[PartSize]()) {}

TPathName::TPathName(const char* path) : TPathName() { Split(path); }

TPathName::TPathName(const std::string& path) : TPathName() { Split(path.c_str()); }

TPathName::TPathName(const TPathName& other) : TPathName() { CopyParts(other); }

TPathName& TPathName::operator=(const TPathName& other) {
  if (this != &other) CopyParts(other);
  return *this;
}

TPathName::~TPathName() = default;

void TPathName::CopyParts(const TPathName& other) {
  std::memcpy(drive.get(), other.drive.get(), DriveSize);
  std::memcpy(directory.get(), other.directory.get(), PartSize);
  std::memcpy(name.get(), other.name.get(), PartSize);
  std::memcpy(extension.get(), other.extension.get(), PartSize);
  cut = other.cut;
}

void TPathName::Split(const char* text) {
  drive[0] = directory[0] = name[0] = extension[0] = '\0';
  cut = false;
  if (text == nullptr) return;
  size_t length = strnlen(text, SplitLimit + 1);
  if (length > SplitLimit) {
    cut = true;
    length = SplitLimit;
  }

  size_t start = 0;
  if (length >= 2 && text[1] == ':') {
    CopyPart(drive.get(), text, 2, 2);
    start = 2;
  }
  size_t finalStart = start;
  for (size_t i = start; i < length; ++i) {
    if (IsSeparator(text[i])) finalStart = i + 1;
  }
  const char* final = text + finalStart;
  const size_t finalLength = length - finalStart;
  const bool dots = (finalLength == 1 && final[0] == '.') ||
                    (finalLength == 2 && final[0] == '.' && final[1] == '.');
  if (dots) {
    if (!CopyPart(directory.get(), text + start, length - start, PartLimit)) cut = true;
    return;
  }
  if (!CopyPart(directory.get(), text + start, finalStart - start, PartLimit)) cut = true;
  size_t stop = finalLength;
  for (size_t i = finalLength; i-- > 0;) {
    if (final[i] == '.') {
      stop = i;
      break;
    }
  }
  if (!CopyPart(name.get(), final, stop, PartLimit)) cut = true;
  if (!CopyPart(extension.get(), final + stop, finalLength - stop, PartLimit)) cut = true;
}

bool TPathName::Assemble() {
  char* out = result.get();
  size_t used = 0;
  out[0] = '\0';
  bool fits = Append(out, used, ResultSize, drive.get(), std::strlen(drive.get()));
  const size_t dirLength = std::strlen(directory.get());
  if (fits && dirLength > 0) {
    fits = Append(out, used, ResultSize, directory.get(), dirLength);
    if (fits && !IsSeparator(directory[dirLength - 1])) {
      fits = Append(out, used, ResultSize, "\\", 1);
    }
  }
  if (fits) fits = Append(out, used, ResultSize, name.get(), std::strlen(name.get()));
  if (fits && extension[0] != '\0') {
    if (extension[0] != '.') fits = Append(out, used, ResultSize, ".", 1);
    if (fits) {
      fits = Append(out, used, ResultSize, extension.get(), std::strlen(extension.get()));
    }
  }
  if (!fits) out[0] = '\0';
  return fits;
}

const char* TPathName::FullPath(bool absolute) {
  if (Assemble() && absolute) {
    char full[AbsoluteSize];
    if (AbsolutePath(result.get(), full, sizeof full)) {
      std::memcpy(result.get(), full, std::strlen(full) + 1);
    } else {
      result[0] = '\0';
    }
  }
  UpperCaseAscii(result.get());
  return result.get();
}

const char* TPathName::FileName() {
  char* out = result.get();
  size_t used = 0;
  out[0] = '\0';
  // From a split the two fit easily; an extension set directly may make them too long.
  bool fits = Append(out, used, ResultSize, name.get(), std::strlen(name.get()));
  if (fits && extension[0] != '.') fits = Append(out, used, ResultSize, ".", 1);
  if (fits) fits = Append(out, used, ResultSize, extension.get(), std::strlen(extension.get()));
  if (!fits) out[0] = '\0';
  return out;
}

const char* TPathName::Directory() {
  FullPath(true);
  char* out = result.get();
  char* last = std::strrchr(out, '\\');
  if (last != nullptr) *last = '\0';
  return out;
}

void TPathName::SetFileName(const char* text) {
  if (text == nullptr) text = "";
  const size_t length = strnlen(text, FileNameLimit);
  const void* dot = std::memchr(text, '.', length);
  const size_t stop = dot ? static_cast<size_t>(static_cast<const char*>(dot) - text) : length;
  CopyPart(name.get(), text, stop, PartLimit);
  CopyPart(extension.get(), text + stop, length - stop, PartLimit);
}

void TPathName::Normalize() {
  FullPath(true);
  char* out = result.get();
  size_t used = std::strlen(out);
  if (used == 0) return;
  // An absolute form that already ends with a backslash (C:\ or C:\A\) is a directory as
  // it stands; a second one would leave an empty component in the directory part.
  if (name[0] == '\0' && extension[0] == '\0' && out[used - 1] != '\\') {
    Append(out, used, ResultSize, "\\", 1);  // at most 259 characters before: it fits
  }
  Split(out);
}

bool TPathName::AppendDir(const char* text) {
  if (text == nullptr) text = "";
  char* out = result.get();
  const size_t used = std::strlen(out);
  const size_t length = std::strlen(text);
  const size_t total = used + length;
  const bool closed = total > 0 && (length > 0 ? text[length - 1] : out[used - 1]) == '\\';
  if (total + (closed ? 0 : 1) >= ResultSize) return false;
  std::memcpy(out + used, text, length);
  if (!closed) out[total] = '\\';
  out[total + (closed ? 0 : 1)] = '\0';
  return true;
}

void TPathName::UpDir() {
  char* out = result.get();
  const size_t used = std::strlen(out);
  if (used == 0) return;
  for (size_t i = used - 1; i-- > 0;) {
    if (out[i] == '\\') {
      out[i + 1] = '\0';
      return;
    }
  }
}

bool TPathName::SetExtension(const char* text) {
  if (text == nullptr) text = "";
  const size_t length = strnlen(text, ExtensionLimit + 1);
  if (length > ExtensionLimit) return false;
  CopyPart(extension.get(), text, length, ExtensionLimit);
  return true;
}

std::string PathKey(const std::string& path) {
  std::string key = path;
  for (char& c : key) {
    if (c == '/') c = '\\';
    if (c >= 'a' && c <= 'z') c = static_cast<char>(c - 'a' + 'A');
  }
  return key;
}

bool PathWithinFolder(const std::string& path, const std::string& folder, std::string* below) {
  std::string base = PathKey(folder);
  while (!base.empty() && base.back() == '\\') base.pop_back();
  const std::string key = PathKey(path);
  if (base.empty() || key.compare(0, base.size(), base) != 0 || (key.size() > base.size() && key[base.size()] != '\\'))
    return false;
  if (below) *below = key.substr(base.size());
  return true;
}

std::string JoinPath(const std::string& folder, const std::string& relative) {
  if (folder.empty()) return relative;
  if (relative.empty()) return folder;
  if (folder.back() == '\\' || folder.back() == '/') return folder + relative;
  return folder + "\\" + relative;
}
