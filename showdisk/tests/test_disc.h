// A disc tree for the launcher's tests, built under the test's working directory:
// SHOWDISK.EXE at its root and, at the item paths, copies of disc_target.exe that leave
// a marker file when started.
#pragma once
#include <string>

class TestDisc {
 public:
  // Builds the tree in directory root (relative to the working directory); false when a
  // file could not be copied.
  bool Build(const std::string& root);

  // Full Windows path of a file of the disc, given relative to its root.
  std::string Path(const std::string& relative) const;
  std::string Launcher() const { return Path("SHOWDISK.EXE"); }

  // The marker a target leaves when started, and its text ("" when it has not run).
  std::string MarkerOf(const std::string& target) const { return Path(target) + ".ran"; }
  std::string ReadMarker(const std::string& target) const;
  void RemoveMarker(const std::string& target) const;

  // The targets that are programs and lie on the disc.
  static const char* const ProgramTargets[];

 private:
  std::string Root;
};
