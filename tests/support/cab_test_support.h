#pragma once
// Helpers shared by the cabinet tests: a scratch folder per test, files with chosen
// contents, attributes and times, cabinets built by the binding's own building side, and
// recording subclasses that keep every message instead of showing a box.

#include <windows.h>

#include <string>
#include <vector>

#include "cabinet/cab_pack_files.h"
#include "cabinet/cab_packer.h"
#include "files/dos_stamp.h"
#include "report/formatting_reporter.h"
#include "files/disk_file_system.h"
#include "tests/support/test_folders.h"
#include "tests/support/test_reporters.h"

struct TShown {
  bool Error;
  std::string Text;
  bool operator==(const TShown& other) const { return Error == other.Error && Text == other.Text; }
};

// A binding whose messages are recorded, and whose extraction steps are counted.
class TRecordingPacker : public TCABPacker {
 public:
  void Show(bool error, const char* text) override { Shown.push_back({error, text}); }
  INT_PTR ExtractFile(FDINOTIFICATIONTYPE type, PFDINOTIFICATION record) override {
    Extracted.push_back(record->psz1);
    return TCABPacker::ExtractFile(type, record);
  }
  INT_PTR CloseFileInfo(FDINOTIFICATIONTYPE type, PFDINOTIFICATION record) override {
    Closed.push_back(record->psz1);
    return TCABPacker::CloseFileInfo(type, record);
  }
  INT_PTR NextCabinet(FDINOTIFICATIONTYPE type, PFDINOTIFICATION record) override {
    ++NextCabinetCalls;
    return TCABPacker::NextCabinet(type, record);
  }
  // Archived attributes are what GetOpenInfo reports, or ForcedAttributes when set.
  INT_PTR GetOpenInfo(char* name, USHORT* date, USHORT* time, USHORT* attributes, int* error) override {
    INT_PTR handle = TCABPacker::GetOpenInfo(name, date, time, attributes, error);
    if (ForceAttributes) *attributes = ForcedAttributes;
    return handle;
  }

  std::vector<TShown> Shown;
  std::vector<std::string> Extracted, Closed;
  int NextCabinetCalls = 0;
  bool ForceAttributes = false;
  USHORT ForcedAttributes = 0;
};

void WriteFile(const std::string& path, const std::string& content);
std::string ReadFile(const std::string& path);
bool FileExists(const std::string& path);
// Bytes that do not compress (a fixed pseudo-random sequence).
std::string Incompressible(size_t size, unsigned seed);
// Sets creation and last-write time from a local DOS date and time.
void SetLocalDosStamp(const std::string& path, WORD date, WORD time);

// Builds a cabinet at path with the binding's building side (MSZIP); sizeLimit 0 for one
// cabinet. Returns the messages the build raised (empty when all went well) through the
// packer passed, so tests can also force attributes.
bool MakeCabinetWithFci(TRecordingPacker& packer, const std::string& path, const std::vector<TCabEntry>& entries,
                  ULONG sizeLimit = 0);
bool MakeCabinetWithFci(const std::string& path, const std::vector<TCabEntry>& entries, ULONG sizeLimit = 0);
