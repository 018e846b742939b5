#pragma once
// TExtractedPatch: a patch cabinet unpacked into temporary files, with its patch data file
// open for reading. It owns both: when it goes out of scope the data file is closed and every
// temporary file the extraction made is deleted, however the caller's run ended.
//
// The data file is read through the handle the extraction made it with (TPatchUnpacker's
// private folder), never opened again by name: from extraction to the end of the run no
// other process can change it, so the directory read once and every record's contents read
// later (modify deltas, copy bodies) come from the one file the cabinet held.
//
// The cabinet library is bound when the object is made; a load failure shows the binding's
// own "CAB Error" box then, and every extraction afterwards fails.

#include <memory>
#include <string>

#include "cabinet/patch_unpacker.h"
#include "files/file_system.h"

#include "payload/payload.h"

enum class TExtractOutcome { Opened, CannotUnpack, CannotOpen };

class TExtractedPatch {
 public:
  // reporter receives the binding's messages (and Open's rows); not owned.
  explicit TExtractedPatch(TPatchReporter* reporter);
  ~TExtractedPatch();
  TExtractedPatch(const TExtractedPatch&) = delete;
  TExtractedPatch& operator=(const TExtractedPatch&) = delete;

  // The applier's way: reports "Unpacking patch...", extracts the cabinet that patch (the
  // description file's Patch value) names, relative to the current directory, and opens
  // the last file extracted. A failure is reported as "Cannot unpack patch file: %s" (the
  // library is missing or extraction could not start) or "Cannot open patch file: %s"
  // (nothing was extracted, or it will not open), with patch as given. With within, the
  // cabinet is read from that part of a file instead; the rows still name patch.
  TExtractOutcome Open(const char* patch, const TCabinetWithin* within = nullptr);

  // Without rows of its own: extracts cabinet name from directory (ending in a backslash)
  // and opens the last file extracted. True when Data() is open.
  bool Extract(const std::string& name, const std::string& directory);

  // Called while the cabinet is extracted, so a window can dispatch its waiting messages.
  void SetMessageHook(TPatchUnpacker::TMessageHook hook, void* context) { Unpacker.SetMessageHook(hook, context); }

  // The open patch data file; null until Open or Extract succeeded.
  TInputFile* Data() const { return DataFile.get(); }

 private:
  TPatchReporter* Reporter;
  TPatchUnpacker Unpacker;
  std::unique_ptr<TInputFile> DataFile;
};
