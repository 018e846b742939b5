#pragma once
// Links planted as an attacker plants them under Wine: real Unix links in a Wine drive, which
// every open follows (a folder link, a file link, one that leads nowhere, a hard link). Wine
// has no call that makes them, but a Wine program is a Linux process: the links are made by
// the Linux system calls themselves, on the Unix paths Wine gives for the Windows ones.
//
// Every link made is removed again (the link itself, by its Unix name) when the object goes
// or by RemoveAll, before a test removes its folders: under Wine, DeleteFile and
// RemoveDirectory act on what a link leads to, so a folder tree with links in it must never
// be removed through Windows calls.

#include <string>
#include <vector>

class TUnixLinks {
 public:
  TUnixLinks() = default;
  ~TUnixLinks() { RemoveAll(); }
  TUnixLinks(const TUnixLinks&) = delete;
  TUnixLinks& operator=(const TUnixLinks&) = delete;

  // Whether this process runs under Wine on Linux (otherwise nothing can be made).
  static bool Available();
  // A symbolic link at link (a Windows path whose folder exists) to target (a Windows path;
  // it need not exist). False when it could not be made.
  bool Symbolic(const std::string& link, const std::string& target);
  // A second name link for the existing file target.
  bool Hard(const std::string& link, const std::string& target);
  void RemoveAll();

 private:
  std::vector<std::string> made;  // Unix paths
};
