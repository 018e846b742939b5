#pragma once
// The look before an installation changes anything: which files that the records will write,
// rename or delete are held by other processes, so that a record would fail half-way through
// the patch. While some are, the owner is asked what to do (mendit asks the user, menditcon
// waits as long as it was told to); the run starts only when none is held.

#include <functional>
#include <string>
#include <vector>

#include "install/file_holders.h"
#include "patch/patch_directory.h"

class TMacroExpander;
class TPatchReporter;

struct TFileInUse {
  std::string Path;                  // macros expanded
  std::vector<std::string> Holders;  // the programs that hold it, where the system can name them
};

enum class TInUseAnswer { Retry, Cancel };

// Asked with the files held; Retry looks again.
using TAskAboutFilesInUse = std::function<TInUseAnswer(const std::vector<TFileInUse>& files)>;

// The held files among those the records of the patch directory act on, in record order,
// each once: every record's file, and the backup a modify or difference record replaces
// (RebuildsFile). Verification
// records, records of unknown type and paths the engine would refuse (outside their macro's
// folder, too long) are passed over: the engine reports those itself. macros may be null.
std::vector<TFileInUse> FindFilesInUse(const TPatchDirectory& records, TMacroExpander* macros, TFileHolders& holders);

// Looks, and asks while files are held; every look works from the one reading of records. True when none is (the run may start); false when
// the answer was Cancel (an empty ask counts as Cancel), after one error row per held file,
// "File in use: %s" or "File in use: %s (held by %s)", and the row
// "Cannot install patch: files in use - nothing was changed".
bool ClearOfFilesInUse(const TPatchDirectory& records, TMacroExpander* macros, TFileHolders& holders,
                       const TAskAboutFilesInUse& ask, TPatchReporter& reporter);

// "C:\APP\MAIN.EXE", or "C:\APP\MAIN.EXE (held by EDIT.EXE, VIEW.EXE)".
std::string DescribeFileInUse(const TFileInUse& file);

// The text of mendit's question: the files (at most maxListed, then how many more), what
// Retry and Cancel do.
std::string FilesInUseQuestion(const std::vector<TFileInUse>& files, size_t maxListed = 15);
