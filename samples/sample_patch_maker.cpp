// sample_patch_maker: lays out the demo's sample application and its patch.
//
//   sample_patch_maker make DIR    DIR\INSTALLED   release 1.0 as a user has it installed
//                                  DIR\RELEASE-1.1 release 1.1, for comparison
//                                  DIR\RELEASE-1.0 release 1.0 as shipped
//                                  DIR\PATCH\NOTES.CAB and NOTES.MNI: the patch for mendit,
//                                  built from the two releases by menditwiz's build step
//   sample_patch_maker verify DIR  compares DIR\INSTALLED with release 1.1 (contents and
//                                  stamps; NOTES.INI, which the user changed, must be kept);
//                                  exit code 0 when all is as expected

#include <windows.h>

#include <cstdio>
#include <string>
#include <vector>

#include "cabinet/cab_packer.h"
#include "menditwiz/wizard_build.h"
#include "files/whole_file.h"
#include "files/disk_file_system.h"
#include "sample_app.h"

namespace {

using Bytes = std::vector<unsigned char>;

void MakeDirs(const std::string& path) {
  for (size_t at = path.find('\\', 3); at != std::string::npos; at = path.find('\\', at + 1))
    CreateDirectoryA(path.substr(0, at).c_str(), nullptr);
  CreateDirectoryA(path.c_str(), nullptr);
}

TDiskFileSystem Files;

bool WriteRelease(const std::string& dir, const std::vector<TSampleFile>& files) {
  for (const TSampleFile& file : files) {
    std::string path = dir + "\\" + file.Path;
    MakeDirs(path.substr(0, path.rfind('\\')));
    if (!WriteWholeFile(Files, path, file.Content)) {
      std::fprintf(stderr, "cannot write %s\n", path.c_str());
      return false;
    }
    Files.SetStamp(path.c_str(), file.Stamp);  // a local time, as the patch records compare it
  }
  return true;
}

std::string FullPath(const std::string& path) {
  char full[MAX_PATH];
  DWORD length = GetFullPathNameA(path.c_str(), MAX_PATH, full, nullptr);
  return length > 0 && length < MAX_PATH ? std::string(full) : path;
}

// The patch from release 1.0 to 1.1 in dir\PATCH, built by the same build step as menditwiz
// (listing, planning, records, the LZX cabinet and the self-check); summary gets one line
// per record.
bool BuildSamplePatch(const std::string& dir, std::string& summary, size_t& dataSize, std::string& error) {
  TWizardOptions options;
  options.OldFolder = dir + "\\RELEASE-1.0";
  options.NewFolder = dir + "\\RELEASE-1.1";
  options.MainExecutable = "NOTES.EXE";
  options.DefaultPath = dir + "\\INSTALLED\\";
  options.OutputFolder = dir + "\\PATCH";
  options.CabinetName = "NOTES.CAB";
  options.DescriptionName = "NOTES.MNI";
  options.PatchValue = dir + "\\PATCH\\NOTES.CAB";
  TWizardEvents events;
  const TWizardOutcome outcome = BuildWizardPatch(options, TBuildHooks(), events);
  if (outcome.Failure != TWizardFailure::None) {
    error = outcome.Subject + (outcome.Subject.empty() || outcome.Detail.empty() ? "" : ": ") + outcome.Detail;
    for (const std::string& problem : outcome.Verification.Problems) error += "\n" + problem;
    if (error.empty()) error = "failure " + std::to_string(static_cast<int>(outcome.Failure));
    return false;
  }
  for (const TBuiltRecord& r : outcome.Records) {
    if (r.Kind == TBuiltKind::Copy)
      summary += "copy   " + r.Plan.NewPath + "\n";
    else if (r.Kind == TBuiltKind::Modify)
      summary += "modify " + r.Plan.NewPath + " (delta of " + std::to_string(r.DataSize) + " bytes for " +
                 std::to_string(r.Plan.NewSize) + ")\n";
    else if (r.Kind == TBuiltKind::Delete)
      summary += "delete " + r.Plan.OldPath + "\n";
  }
  dataSize = outcome.DataSize;
  return true;
}

int Make(const std::string& dir) {
  std::vector<TSampleFile> from = SampleRelease10(), to = SampleRelease11();
  if (!WriteRelease(dir + "\\INSTALLED", from) || !WriteRelease(dir + "\\RELEASE-1.0", from) ||
      !WriteRelease(dir + "\\RELEASE-1.1", to))
    return 1;
  // The user has changed the settings since installing 1.0.
  if (!WriteRelease(dir + "\\INSTALLED", {SampleUserSettings()})) return 1;
  TCABPacker::SetConsoleMode(true);  // the library's messages go to standard error
  std::string summary, error;
  size_t dataSize = 0;
  if (!BuildSamplePatch(dir, summary, dataSize, error)) {
    std::fprintf(stderr, "cannot build the patch: %s\n", error.c_str());
    return 1;
  }
  std::printf("sample application 1.0 in %s\\INSTALLED, 1.1 in %s\\RELEASE-1.1\n", dir.c_str(), dir.c_str());
  std::printf("patch data file of %u bytes with these records:\n%s", static_cast<unsigned>(dataSize),
              summary.c_str());
  std::printf("patch cabinet %s\\PATCH\\NOTES.CAB\ndescription file %s\\PATCH\\NOTES.MNI\n", dir.c_str(),
              dir.c_str());
  return 0;
}

int Verify(const std::string& dir) {
  int differences = 0;
  TSampleFile settings = SampleUserSettings();
  for (TSampleFile file : SampleRelease11()) {
    bool userFile = file.Path == settings.Path;
    // mendit must leave the user's own version alone.
    if (userFile) file = settings;
    std::string path = dir + "\\INSTALLED\\" + file.Path;
    Bytes content;
    const bool found = ReadWholeFile(Files, path, content);
    const char* same = userFile ? "kept: the user's own version, not the one the patch was made for" : "as in 1.1";
    const char* verdict = !found                              ? "missing"
                          : content != file.Content           ? "contents differ from what was expected"
                          : LocalStampOf(path) != file.Stamp  ? "date/time differs from what was expected"
                                                              : same;
    if (verdict != same) ++differences;
    std::printf("  %-18s %s\n", file.Path.c_str(), verdict);
  }
  for (const TSampleFile& file : SampleRelease10()) {
    bool kept = false;
    for (const TSampleFile& next : SampleRelease11()) kept = kept || next.Path == file.Path;
    if (kept) continue;
    bool gone = GetFileAttributesA((dir + "\\INSTALLED\\" + file.Path).c_str()) == INVALID_FILE_ATTRIBUTES;
    if (!gone) ++differences;
    std::printf("  %-18s %s\n", file.Path.c_str(), gone ? "removed, as in 1.1" : "still there");
  }
  std::printf(differences ? "the installed application is NOT release 1.1 (%d differences)\n"
                          : "the installed application is now release 1.1 (with the user's settings kept)\n",
              differences);
  return differences ? 1 : 0;
}

}  // namespace

int main(int argc, char** argv) {
  if (argc != 3) {
    std::fprintf(stderr, "usage: sample_patch_maker make|verify DIR\n");
    return 2;
  }
  std::string command = argv[1], dir = FullPath(argv[2]);
  if (command == "make") return Make(dir);
  if (command == "verify") return Verify(dir);
  std::fprintf(stderr, "unknown command %s\n", command.c_str());
  return 2;
}
