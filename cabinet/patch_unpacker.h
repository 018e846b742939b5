#pragma once
// TPatchUnpacker: the cabinet binding as the patch applier uses it. Every file of the patch
// cabinet is extracted into a temporary file of its own; ExtractedName names the last one,
// which is the patch data file. The binding's messages go to the reporter instead of boxes.
//
// The library's load failure is the exception: it happens while the base is constructed,
// before this class's Show is in effect, and is shown as the base's "CAB Error" box.

#include <string>
#include <vector>

#include "cab_packer.h"
#include "patch/patch_reporter.h"

class TPatchUnpacker : public TCABPacker {
 public:
  static constexpr int ExtractedNameSize = 300;

  // reporter is not owned and must outlive the unpacker.
  explicit TPatchUnpacker(TPatchReporter* reporter);
  ~TPatchUnpacker() override = default;

  // The temporary file holding the last file extracted; empty until a file was extracted.
  const char* ExtractedName() const { return Extracted; }

  // Every temporary file this unpacker created, in order of creation.
  const std::vector<std::string>& TemporaryFiles() const { return Temporaries; }
  // Deletes them (clearing a read-only attribute an archived file brought along); files
  // still open elsewhere stay. Returns true when all are gone.
  bool RemoveTemporaryFiles();

  // Copy-file step: a new temporary file, opened for binary writing (created if missing,
  // not truncated). -1 makes the library abort the extraction.
  INT_PTR ExtractFile(FDINOTIFICATIONTYPE type, PFDINOTIFICATION record) override;
  // Close step: the archived attributes and date/time go to the temporary file.
  INT_PTR CloseFileInfo(FDINOTIFICATIONTYPE type, PFDINOTIFICATION record) override;
  // Errors to ReportError, other texts to ReportInfo, each as "%s".
  void Show(bool error, const char* text) override;

 private:
  TPatchReporter* Reporter;
  char Extracted[ExtractedNameSize];
  std::vector<std::string> Temporaries;
};
