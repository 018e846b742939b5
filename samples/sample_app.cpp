#include "sample_app.h"

#include <cstring>

namespace {

using Bytes = std::vector<unsigned char>;

// Deterministic filler that does not repeat within a file (so blocks are told apart).
Bytes Noise(size_t size, unsigned seed) {
  Bytes bytes(size);
  unsigned state = seed * 2654435761u + 12345u;
  for (unsigned char& b : bytes) {
    state = state * 1103515245u + 12345u;
    b = static_cast<unsigned char>(state >> 16);
  }
  return bytes;
}

Bytes Text(const std::string& text) { return Bytes(text.begin(), text.end()); }

// An executable-like file: "MZ" header, a code section and a version string.
Bytes Executable(const std::string& version, bool newer) {
  Bytes exe = Noise(64, 1);
  exe[0] = 'M';
  exe[1] = 'Z';
  Bytes code = Noise(24 * 1024, 2);
  if (newer) {
    // A fix in the middle, a routine moved to the end, and new code after it.
    for (size_t i = 9000; i < 9040; ++i) code[i] ^= 0x5A;
    Bytes moved(code.begin() + 2048, code.begin() + 4096);
    code.erase(code.begin() + 2048, code.begin() + 4096);
    code.insert(code.end(), moved.begin(), moved.end());
    Bytes added = Noise(5000, 3);
    code.insert(code.end(), added.begin(), added.end());
  }
  exe.insert(exe.end(), code.begin(), code.end());
  Bytes tail = Text("Tarvel Notes " + version + "\0");
  exe.insert(exe.end(), tail.begin(), tail.end());
  return exe;
}

const TDosStamp Release10 = MakeDosStamp(1998, 3, 12, 10, 0, 0);
const TDosStamp Release11 = MakeDosStamp(1998, 9, 1, 11, 30, 0);

Bytes Help() {
  std::string text;
  for (int topic = 1; topic <= 40; ++topic)
    text += "Topic " + std::to_string(topic) + ": how to write, file and find your notes.\r\n";
  return Text(text);
}

}  // namespace

std::vector<TSampleFile> SampleRelease10() {
  return {
      {"NOTES.EXE", Executable("1.0", false), Release10},
      {"NOTES.HLP", Help(), Release10},
      {"NOTES.INI", Text("[Notes]\r\nFont=Courier\r\nAutoSave=5\r\n"), Release10},
      {"README.TXT", Text("Tarvel Notes 1.0\r\nThank you for choosing Tarvel Notes.\r\n"), Release10},
      {"OLDFILTR.DLL", Noise(3000, 7), Release10},
  };
}

std::vector<TSampleFile> SampleRelease11() {
  return {
      {"NOTES.EXE", Executable("1.1", true), Release11},
      {"NOTES.HLP", Help(), Release10},
      {"NOTES.INI", Text("[Notes]\r\nFont=Courier\r\nAutoSave=5\r\nSpelling=1\r\n"), Release11},
      {"README.TXT",
       Text("Tarvel Notes 1.1\r\nThank you for choosing Tarvel Notes.\r\n"
            "New in 1.1: spelling checker (PLUGINS\\SPELL.DLL); the old import filter is gone.\r\n"),
       Release11},
      {"PLUGINS\\SPELL.DLL", Noise(6000, 9), Release11},
  };
}

TSampleFile SampleUserSettings() {
  return {"NOTES.INI", Text("[Notes]\r\nFont=Arial\r\nAutoSave=1\r\n"), MakeDosStamp(1998, 6, 20, 18, 45, 10)};
}
