#pragma once
// TPathName: a file path split into drive, directory, name and extension, and put back
// together in the forms the patch applier needs (the whole path in upper case, optionally
// made absolute; the file name alone; the directory alone).
//
// The parts are split the way the run-time library's path splitter does it: only the first
// 260 characters count, '\' and '/' both separate, a final component "." or ".." belongs to
// the directory, and every part is cut to 255 characters (the drive to 2).
//
// The text-returning calls (FullPath, FileName, Directory) build their text in one result
// buffer of ResultSize bytes owned by the object and return a pointer to it: each call
// overwrites what the previous one returned. Nothing is ever written past that buffer: a
// text that would not fit (or an absolute form the operating system cannot give within
// AbsoluteSize bytes) leaves the result empty instead of cutting it, so that a shortened
// path can never name a different file.

#include <cstddef>
#include <memory>
#include <string>

class TPathName {
 public:
  static constexpr size_t ResultSize = 301;   // 300 characters and the NUL
  static constexpr size_t DriveSize = 4;      // "C:" and the NUL, with room to spare
  static constexpr size_t PartSize = 257;     // directory, name, extension
  static constexpr size_t SplitLimit = 260;   // characters of the input the splitter reads
  static constexpr size_t PartLimit = 255;    // characters a split part keeps
  static constexpr size_t ExtensionLimit = 256;  // longest text SetExtension accepts
  static constexpr size_t FileNameLimit = 49;    // characters SetFileName reads
  static constexpr size_t AbsoluteSize = 260;    // room given to the full-path service

  TPathName();
  explicit TPathName(const char* path);
  explicit TPathName(const std::string& path);
  TPathName(const TPathName& other);  // copies the four parts, not the result
  TPathName& operator=(const TPathName& other);  // copies the four parts, not the result
  ~TPathName();

  // Drive, directory, name and extension put together; made absolute by the operating
  // system's full-path service when absolute is true; letters a-z turned to A-Z (every
  // other byte unchanged). Empty when the text does not fit or cannot be made absolute.
  const char* FullPath(bool absolute);
  // The name, a full stop unless the extension begins with one, and the extension; case kept.
  const char* FileName();
  // FullPath(true) cut at its last backslash (C:\A\B.EXE gives C:\A, C:\X.EXE gives C:).
  const char* Directory();

  // Name and extension from the first 49 characters of text, split at the first full stop.
  void SetFileName(const char* text);
  // Replaces the parts with those of the absolute form (FullPath(true)); a path without
  // name and extension gets a closing backslash so that it splits as a directory. Leaves
  // the parts unchanged (and the result empty) when no absolute form can be made.
  void Normalize();
  // Appends text and then a backslash (unless the result already ends with one) to the
  // result buffer. Returns false and leaves the result unchanged when it would not fit.
  bool AppendDir(const char* text);
  // Cuts the result after the last backslash that stands before its final character
  // (C:\A\B\ becomes C:\A\); leaves it unchanged when there is none.
  void UpDir();

  // Sets the extension part directly (the modify patch sets "$$$", without a full stop;
  // FullPath and FileName put one in front). A text longer than ExtensionLimit characters
  // is refused: the result is false and the extension stays as it was.
  bool SetExtension(const char* text);

  // True when the text of the last split did not fit whole (longer than SplitLimit
  // characters, or a part longer than PartLimit): the parts then hold a shortened path,
  // which may name another file, and a caller that acts on files must refuse it.
  bool Cut() const { return cut; }

  const char* Drive() const { return drive.get(); }
  const char* Dir() const { return directory.get(); }
  const char* Name() const { return name.get(); }
  const char* Extension() const { return extension.get(); }
  const char* Result() const { return result.get(); }

 private:
  void Split(const char* text);
  // Drive, directory, name and extension into the result; false when it does not fit.
  bool Assemble();
  void CopyParts(const TPathName& other);

  std::unique_ptr<char[]> result;
  std::unique_ptr<char[]> drive;
  std::unique_ptr<char[]> directory;
  std::unique_ptr<char[]> name;
  std::unique_ptr<char[]> extension;
  bool cut = false;
};

// The key under which a path is compared, as Windows compares names: ASCII letters upper
// case and '/' as '\\'. Two paths name the same file when their keys are equal.
std::string PathKey(const std::string& path);

// Joins a folder and a relative path with one backslash (none is added after a folder that
// ends in a separator; an empty side gives the other).
std::string JoinPath(const std::string& folder, const std::string& relative);

// The one "inside this folder" rule: whether path is folder itself or lies below it, compared
// by their keys, the folder's trailing backslashes ignored. below, when given, receives the
// rest of path's key from the backslash after the folder on ("" for the folder itself), for
// callers that check the parts below as well. An empty folder holds nothing.
bool PathWithinFolder(const std::string& path, const std::string& folder, std::string* below = nullptr);
