#pragma once
// The demo's sample application, "Tarvel Notes", in its two releases 1.0 and 1.1: the files
// of each, generated (an executable-like binary, a help file, a read-me, a plug-in), with
// the DOS stamps they carry on disk.

#include <string>
#include <vector>

#include "files/dos_stamp.h"

struct TSampleFile {
  std::string Path;  // relative to the application's directory, backslashes
  std::vector<unsigned char> Content;
  TDosStamp Stamp;
};

// Release 1.0: NOTES.EXE, NOTES.HLP, NOTES.INI, README.TXT, OLDFILTR.DLL.
std::vector<TSampleFile> SampleRelease10();
// Release 1.1: NOTES.EXE changed (blocks edited, moved and added), README.TXT and NOTES.INI
// rewritten, NOTES.HLP unchanged, PLUGINS\SPELL.DLL new, OLDFILTR.DLL gone.
std::vector<TSampleFile> SampleRelease11();
// NOTES.INI as the user changed it after installing 1.0: a version no patch record was made
// for, which mendit therefore leaves alone (with a warning).
TSampleFile SampleUserSettings();
