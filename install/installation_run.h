#pragma once
// One installation of a patch, as the "Install patch" command runs it: unpack the patch
// cabinet into temporary files, open the extracted patch data file, define "&ROOT&" as the
// target application's directory, run the installer over every record, and clean up.
//
// Rows reported, in order (besides the engine's own and the cabinet binding's errors):
//   for a self-applying program (Within), who signed it: "Signed by NAME" (information), or
//                                    "Not signed" or "Signature not checked: ..." (warnings),
//                                    see signature.h; or "Signature not valid: ..." and
//                                    "Cannot install patch: its signature does not hold -
//                                    nothing was unpacked or installed" (errors): then
//                                    SignatureRefused is told and nothing else is done;
//   "Cannot install patch: ..."      the target folder or the cabinet's path cannot be
//                                    formed (FormTargetRoot: also when the main program is
//                                    not there), another run holds the folder's lock
//                                    (TFolderLock), or an interrupted run of menditcon left a
//                                    journal that is not put back yet; nothing is unpacked;
//   "Unpacking patch...", then one of
//   "Cannot unpack patch file: %s"   the library is unavailable (its load failure was
//                                    already shown as a "CAB Error" box), extraction
//                                    could not start, or it did not complete (a cabinet
//                                    cut short or damaged): nothing is installed;
//   "Cannot open patch file: %s"     nothing was extracted, or the file will not open;
//   "Cannot install patch: ... patch directory of %s ..."  the directory cannot be read
//                                    or holds more records than any real patch
//                                    (ReportRefusal, patch/patch_directory.h): nothing is
//                                    installed;
//   with files the records act on held by other processes, after every answer of
//   FilesInUse but Retry: "File in use: ..." per file and "Cannot install patch: files in
//   use - nothing was changed" (files_in_use.h); nothing is changed;
//   for a patch with verification records when Misfits is set: every record judged first
//   (patch_fit.h), without a row; when some would fail or find another version and Misfits
//   answers Stop, one row per misfit ("Would fail: ...", an error, or "Would skip: ...", a
//   warning) and "Cannot install patch: it does not fit this installation - nothing was
//   changed"; nothing is changed;
//   "Installing patch...", the engine's rows, "Patching completed !"; for a check (Check),
//   "Checking patch..." and the engine's rows, the owner reporting the check's summary.
// %s is the Patch value as given.
//
// The caller (mendit's dialog, say) disables its install button before and enables it after
// the call; the log is cleared through ClearLog once the unpacker exists, just before
// "Unpacking patch...".
//
// The unpacker's temporary files are deleted before returning (TExtractedPatch): the run
// reads the patch data only while it lasts, and nothing else would ever remove them.

#include <functional>
#include <string>

#include "install/extracted_patch.h"
#include "install/files_in_use.h"
#include "install/patch_fit.h"
#include "patch/patch_file.h"

class TMacroExpander;
class TPatchReporter;

struct TInstallationRun {
  // Text of the path field: the target application's main executable, or its folder.
  // "&ROOT&" becomes that folder (FormTargetRoot).
  const char* TargetPath = "";
  // The description's Name: the main executable a folder in the path field must hold.
  const char* MainName = "";
  // The caller holds the folder's lock and has dealt with an unfinished journal (menditcon);
  // otherwise the run takes the lock itself and refuses to install while a journal exists.
  bool LockHeld = false;
  // The Patch value of the description file: the patch cabinet's path.
  const char* Patch = "";
  // The cabinet is this part of a file (the payload of a self-applying program) rather than
  // the file Patch names; Patch still names it in the rows. Null for the loose cabinet.
  const TCabinetWithin* Within = nullptr;
  // The application's expander (required); holds "&ROOT&" while the installer runs.
  TMacroExpander* Macros = nullptr;
  // Receives every row, the unpacker's and the installer's too (required).
  TPatchReporter* Reporter = nullptr;
  // Called while the cabinet is extracted and as records are applied, so waiting window
  // messages are dispatched (the hook limits its own rate).
  TPatchFile::TMessageHook MessageHook = nullptr;
  void* MessageContext = nullptr;
  // Clears the log; may be empty.
  std::function<void()> ClearLog;
  // The files the installer works on; null for the Win32 file services. (The console
  // companion passes one that records changes, for its check, or journals them.)
  TFileSystem* Files = nullptr;
  // A check: the engine runs over files that record its changes (Files), and the run's own
  // rows say so.
  bool Check = false;
  // Told of every record; may be null.
  TPatchFile::TRecordObserver* Observer = nullptr;
  // Asked while files the records act on are held by other processes (the look before the
  // first record); Retry looks again. Empty: the run stops at once.
  TAskAboutFilesInUse FilesInUse;
  // Who holds files; null for the system's answer (TDiskFileHolders).
  TFileHolders* Holders = nullptr;
  // Told the signature row when the self-applying program's signature does not hold and the
  // run refuses to install (mendit shows it in a box); may be empty.
  std::function<void(const std::string& row)> SignatureRefused;
  // Asked, for a patch with verification records, when the judgement of every record before
  // the first change finds misfits (patch_fit.h); Stop changes nothing. Empty: no judgement
  // (a check, menditwiz's self-check, an unattended run told to go on).
  TAskAboutMisfits Misfits;
};

enum class TInstallOutcome {
  Installed,
  CannotUnpack,
  CannotOpen,
  NoTarget,
  FilesInUse,
  Busy,
  Unfinished,
  SignatureInvalid,
  DoesNotFit
};

TInstallOutcome RunInstallation(const TInstallationRun& run);

// The folder "&ROOT&" stands for, from the path field's text: the folder of the existing file
// it names (absolute, upper case, no trailing backslash), or the folder itself when the text
// names an existing folder that holds mainName (the field asks for the directory with the
// main executable). A text that is empty, or too long to be split or made absolute whole,
// forms no folder: then false, with "Cannot install patch: the path field is empty" or
// "Cannot install patch: path too long: %s" reported. Without this check "&ROOT&" would be
// empty and the records' paths would name the root of the current drive. A text that names
// neither (a folder without its closing backslash, "C:\Program Files\Tool" + "TOOL.EXE",
// would otherwise pick "C:\Program Files") is aimed at no installed application: false, with
// "Cannot install patch: %s not found" (the text, or the folder's main executable).
bool FormTargetRoot(const char* targetPath, const char* mainName, TPatchReporter& reporter, std::string& root);
