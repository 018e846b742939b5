#include "wizard_options.h"

#include <vector>

const char* const WizardUsageText =
    "Usage: menditwiz OLD_FOLDER NEW_FOLDER MAIN_EXE DEFAULT_PATH OUTPUT_FOLDER [options]\n"
    "  OLD_FOLDER     the previous release, as installed\n"
    "  NEW_FOLDER     the new release\n"
    "  MAIN_EXE       file name of the application's main executable (in NEW_FOLDER)\n"
    "  DEFAULT_PATH   the usual installation folder, such as \"&PROGRAMS&\\TOOL\\\"\n"
    "  OUTPUT_FOLDER  where the patch cabinet and the description file are written\n"
    "Options:\n"
    "  -cab NAME      file name of the patch cabinet (default PATCH.CAB)\n"
    "  -mni NAME      file name of the description file (default MENDIT.MNI)\n"
    "  -patch TEXT    Patch value of the description file (default: the cabinet's file name)\n"
    "  -exe NAME     also write NAME, one self-applying program: mendit.exe carrying the\n"
    "                 description file and the cabinet, checked after writing; sign it\n"
    "                 afterwards (osslsigncode, signtool). Users double-click it;\n"
    "                 NAME /S [/D=FOLDER] [-log FILE] [-check | -rollback] installs silently\n"
    "  -stub PATH     the mendit.exe the program is made of (default: the one beside\n"
    "                 menditwiz.exe; needed by the Linux build)\n"
    "  -compress lzx|mszip  compression of the cabinet (default lzx)\n"
    "  -also FOLDER   a further old release the patch also brings to NEW_FOLDER (may be\n"
    "                 given again): for each file, one record per distinct old content,\n"
    "                 and the patch is proven on every old release\n"
    "  -delta block|best  records of changed files: block deltas, which every mendit\n"
    "                 applies (default), or for each file the smaller of a block delta\n"
    "                 and a difference record, measured; difference records need a\n"
    "                 mendit that knows them (older ones pass them over)\n"
    "  -product NAME, -version X, -from Y, -publisher NAME  who made the patch and what it\n"
    "                 updates, written into the description file; mendit shows them in its\n"
    "                 title, its About box and \"Updates NAME from Y to X\", and the -exe\n"
    "                 program in its version resource. Default: MAIN_EXE's version resource\n"
    "                 (product, version, publisher in NEW_FOLDER; -from in OLD_FOLDER)\n"
    "  -f             replace outputs that exist already (without it they are kept and\n"
    "                 the build stops before it starts)\n"
    "  -q             no progress display\n"
    "  -h, -?, --help this text\n"
    "Options start with - or / and may be written in any case (on Linux an argument that starts\n"
    "with / and names no option is a path).\n";

bool ParseWizardArguments(int argc, const char* const* argv, TWizardOptions& options,
                          std::string& error) {
  std::vector<std::string> positional;
  std::string method, delta;
  bool methodGiven = false, deltaGiven = false, force = false;
  const std::vector<TOptionSpec> specs = {
      {"cab", nullptr, &options.CabinetName},
      {"mni", nullptr, &options.DescriptionName},
      {"patch", nullptr, &options.PatchValue},
      {"exe", nullptr, &options.ExeName},
      {"stub", nullptr, &options.StubPath},
      {"compress", &methodGiven, &method},
      {"delta", &deltaGiven, &delta},
      {"q", &options.Quiet},
      {"f", &force},
      {"product", nullptr, &options.Vendor.Product},
      {"version", nullptr, &options.Vendor.Version},
      {"from", nullptr, &options.Vendor.FromVersion},
      {"publisher", nullptr, &options.Vendor.Publisher},
      {"also", nullptr, nullptr, &options.AlsoFolders},
  };
  if (!ParseOptions(argc, argv, specs, options.Help, positional, error)) return false;
  if (methodGiven) {
    const int choice = ChoiceIndex(method, {"lzx", "mszip"});
    if (choice < 0) {
      error = "Unknown compression " + method + " (lzx or mszip)";
      return false;
    }
    options.Compression = choice == 0 ? TCabCompression::Lzx : TCabCompression::Mszip;
  }
  if (deltaGiven) {
    const int choice = ChoiceIndex(delta, {"block", "best"});
    if (choice < 0) {
      error = "Unknown delta " + delta + " (block or best)";
      return false;
    }
    options.Delta = choice == 0 ? TDeltaChoice::Block : TDeltaChoice::Best;
  }
  options.Overwrite = force;
  if (options.Help) return true;
  if (positional.size() != 5) {
    error = "Five arguments are needed, " + std::to_string(positional.size()) + " given";
    return false;
  }
  options.OldFolder = positional[0];
  options.NewFolder = positional[1];
  options.MainExecutable = positional[2];
  options.DefaultPath = positional[3];
  options.OutputFolder = positional[4];
  for (const std::string* name : {&options.CabinetName, &options.DescriptionName, &options.ExeName}) {
    if (name == &options.ExeName && name->empty()) continue;
    if (name->empty() || name->find_first_of("\\/:") != std::string::npos) {
      error = "Output names are plain file names: " + *name;
      return false;
    }
  }
  if (options.PatchValue.empty()) options.PatchValue = options.CabinetName;
  return true;
}
