#pragma once
// Whether a patch fits the installation, judged before anything changes. For a patch that
// carries verification records (content checks, patch/verify_info.h) the engine itself runs
// over the files through a TRecordingFileSystem, which keeps every change in memory, exactly
// as a check does: every record that would fail, or that finds another version of its file,
// is a misfit. A patch without verification records is not judged: it runs as the patch
// format describes, by date/time alone.
//
// A misfit patch applied anyway leaves the application part old and part new (the records
// that fit apply, the others do not), so the owner of a run asks first: mendit's window in one
// box, the unattended run by its options (-force).

#include <functional>
#include <string>
#include <vector>

#include "console/record_tracker.h"
#include "files/file_system.h"
#include "patch/patch_directory.h"
#include "patch/patch_file.h"

class TMacroExpander;

// What the owner of a run answers about misfits: install anyway, or change nothing.
enum class TFitAnswer { Install, Stop };
using TAskAboutMisfits = std::function<TFitAnswer(const std::vector<TRecordResult>& misfits)>;

// Whether the directory holds any verification record.
bool CarriesVerification(const TPatchDirectory& directory);

// Runs the records over files (a TRecordingFileSystem: nothing may be written) and returns the
// records that would fail or find another version, in directory order. No row is reported;
// progress goes to progress when given, and the hook is called as in a run.
std::vector<TRecordResult> JudgeFit(const TPatchDirectory& directory, TInputFile& data, TMacroExpander* macros,
                                    TFileSystem& files, TPatchReporter* progress, TMessageHook hook, void* context);

// One misfit as a row, in the check's words: "Would fail: ROW" or "Would skip: ROW", ROW being
// the engine's row that explains it.
std::string MisfitRow(const TRecordResult& misfit);

// The question mendit's window asks (Yes installs anyway, No changes nothing): the misfits,
// one row each (at most MaxMisfitsNamed, then how many more).
std::string MisfitQuestion(const std::vector<TRecordResult>& misfits);
constexpr int MaxMisfitsNamed = 12;
