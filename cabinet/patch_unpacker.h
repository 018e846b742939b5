#pragma once
// TPatchUnpacker: the cabinet binding as the patch applier uses it. Every file of the patch
// cabinet is extracted into a temporary file of its own; ExtractedName names the last one,
// which is the patch data file. The binding's messages go to the reporter instead of boxes.
//
// The temporary files lie in a private folder of the run (files/private_folder_win32.h): a
// new folder below the temporary folder that only the current user, the administrators and
// the system may enter. Each file is made new there and held open, shared for reading only,
// from its creation until RemoveTemporaryFiles, and OpenExtracted reads the patch data file
// through that held handle. So no other process can change, rename or delete what was
// extracted while the run uses it: the patch applied is the patch the run was started with.
//
// Only a whole extraction names a file: once the library has begun a file, Unpack returns
// false unless the library's call succeeded and every file it began was closed by it with
// exactly the size the cabinet states. A cabinet cut short or damaged after its first data
// blocks therefore never hands a partial patch data file to the installer.
//
// The library's load failure is the exception: it happens while the base is constructed,
// before this class's Show is in effect, and is shown as the base's "CAB Error" box.

#include <cstdint>
#include <map>
#include <memory>
#include <string>
#include <vector>

#include "cab_packer.h"
#include "files/private_folder_win32.h"
#include "report/patch_reporter.h"

class TPatchUnpacker : public TCABPacker {
 public:
  static constexpr int ExtractedNameSize = 300;
  using TMessageHook = void (*)(void* context);

  // reporter is not owned and must outlive the unpacker.
  explicit TPatchUnpacker(TPatchReporter* reporter);
  ~TPatchUnpacker() override = default;

  // The base's extraction, judged: true when the library is there and either nothing was
  // begun (missing file, not a cabinet: ExtractedName stays empty) or every file begun was
  // extracted whole. False otherwise; then ExtractedName is empty and the temporary files
  // are already removed.
  bool Unpack(const char* name, const char* directory, int flags) override;

  // Called while the cabinet is read and written, so that a window can dispatch its waiting
  // messages during a long extraction (the hook limits its own rate).
  void SetMessageHook(TMessageHook hook, void* context) {
    MessageHook = hook;
    MessageContext = context;
  }

  // The cabinet is a part of a larger file (the payload of a self-applying program): every
  // open of path (directory + name as Unpack is given them, in any case) reads only the
  // length bytes at offset, which the library sees as a whole file of its own. An empty
  // path reads cabinets whole again.
  void SetCabinetWindow(const std::string& path, int64_t offset, int64_t length) {
    WindowPath = path;
    WindowOffset = offset;
    WindowLength = length;
  }

  // The temporary file holding the last file extracted; empty until a file was extracted.
  const char* ExtractedName() const { return Extracted; }
  // Reads that file through the handle held since its creation; null when none was extracted.
  std::unique_ptr<TInputFile> OpenExtracted() const;

  // Every temporary file this unpacker created, in order of creation.
  const std::vector<std::string>& TemporaryFiles() const { return Temporaries; }
  // Deletes them and the private folder by their held handles (clearing a read-only
  // attribute an archived file brought along); a file still open elsewhere goes when it is
  // closed. Returns true when all are gone or going.
  bool RemoveTemporaryFiles();

  // A new file in the private folder, made and held open by it.
  BOOL GetTempFile(char* buffer, int bufferSize) override;
  // Copy-file step: a new temporary file, opened for binary writing through a duplicate of
  // its held handle. -1 makes the library abort the extraction.
  INT_PTR ExtractFile(FDINOTIFICATIONTYPE type, PFDINOTIFICATION record) override;
  // Close step: the archived attributes and date/time go to the temporary file, through its
  // held handle.
  INT_PTR CloseFileInfo(FDINOTIFICATIONTYPE type, PFDINOTIFICATION record) override;
  // Opens, reads and seeks go to the base, within the window for the windowed cabinet.
  INT_PTR FileOpen(char* name, int flags, int mode, int* error) override;
  LONG FileSeek(INT_PTR handle, LONG distance, int origin, int* error) override;
  // Reads and writes go to the base; the bytes written to the file being extracted are
  // counted, and the message hook is called.
  UINT FileRead(INT_PTR handle, void* buffer, UINT count, int* error) override;
  UINT FileWrite(INT_PTR handle, void* buffer, UINT count, int* error) override;
  // A close of the file being extracted outside the close step is noted.
  int FileClose(INT_PTR handle, int* error) override;
  // Errors to ReportError, other texts to ReportInfo, each as "%s".
  void Show(bool error, const char* text) override;

 private:
  void Pump() {
    if (MessageHook) MessageHook(MessageContext);
  }

  TPatchReporter* Reporter;
  char Extracted[ExtractedNameSize];
  std::vector<std::string> Temporaries;
  TPrivateFolder Folder;
  HANDLE ExtractedHandle = INVALID_HANDLE_VALUE;  // held by Folder
  TMessageHook MessageHook = nullptr;
  void* MessageContext = nullptr;

  std::string WindowPath;
  int64_t WindowOffset = 0, WindowLength = 0;
  // Open handles of the windowed cabinet, with their position within the window.
  std::map<INT_PTR, int64_t> Windowed;

  // The file being extracted: its handle while open (-1 otherwise), the size the cabinet
  // states, the bytes written so far.
  INT_PTR Current = -1;
  unsigned long long Expected = 0, Written = 0;
  bool Begun = false;  // the library began at least one file
  bool Whole = true;   // every file so far closed by the close step at its stated size
};
