// Where a build run writes: both outputs or neither (a failure leaves the previous good
// patch in place), and an output folder that takes no files is found before the build.

#include <gtest/gtest.h>

#include <cstdio>
#include <cstring>
#include <functional>

#include "menditwiz/wizard_machine.h"
#include "menditwiz/wizard_run.h"
#include "byte_order/little_endian.h"
#include "executable/pe_resources.h"
#include "executable/version_resource.h"
#include "files/whole_file.h"

namespace {

std::vector<uint8_t> Bytes(const std::string& text) { return std::vector<uint8_t>(text.begin(), text.end()); }

class WizardOutput : public ::testing::Test {
 protected:
  void SetUp() override {
    root = MakeScratchFolder();
    ASSERT_FALSE(root.empty());
    for (const char* folder : {"\\old", "\\new", "\\out"}) ASSERT_TRUE(files->CreateDir((root + folder).c_str()));
    ASSERT_TRUE(WriteWholeFile(*files, root + "\\old\\APP.EXE", Bytes("version one of the program")));
    ASSERT_TRUE(WriteWholeFile(*files, root + "\\new\\APP.EXE", Bytes("version two of the program")));
    options.OldFolder = root + "\\old";
    options.NewFolder = root + "\\new";
    options.MainExecutable = "APP.EXE";
    options.DefaultPath = "C:\\APP";
    options.OutputFolder = root + "\\out";
    options.PatchValue = "PATCH.CAB";
  }
  void TearDown() override { EXPECT_TRUE(RemoveTree(root)); }

  TToolExit Run() {
    std::FILE* out = std::tmpfile();
    std::FILE* err = std::tmpfile();
    const TToolExit code = RunWizard(options, TBuildHooks(), out, err);
    outText = Text(out);
    errText = Text(err);
    return code;
  }
  static std::string Text(std::FILE* file) {
    std::string text;
    std::rewind(file);
    for (int c; (c = std::fgetc(file)) != EOF;) text += char(c);
    std::fclose(file);
    return text;
  }
  std::string Read(const std::string& path) {
    std::vector<uint8_t> bytes;
    return ReadWholeFile(*files, root + path, bytes) ? std::string(bytes.begin(), bytes.end()) : "(none)";
  }

  std::unique_ptr<TFileSystem> files = NewFileSystem();
  std::string root, outText, errText;
  TWizardOptions options;
};

TEST_F(WizardOutput, TheFolderListerFindsWindowsPathsWhateverTheirCase) {
  TDiskFolderLister lister;
  std::vector<TFolderEntry> entries;
  ASSERT_TRUE(lister.List(root + "\\OLD", entries));
  ASSERT_EQ(1u, entries.size());
  EXPECT_EQ("APP.EXE", entries[0].Name);
  EXPECT_FALSE(entries[0].IsDirectory);
}

TEST_F(WizardOutput, PreviousOutputsStayWhenTheNewOnesCannotBeWritten) {
  ASSERT_TRUE(WriteWholeFile(*files, root + "\\out\\PATCH.CAB", Bytes("previous cabinet")));
  ASSERT_TRUE(WriteWholeFile(*files, root + "\\out\\MENDIT.MNI", Bytes("previous description")));
  // A folder in the way of the description's temporary name.
  ASSERT_TRUE(files->CreateDir((root + "\\out\\MENDIT.MNI.new").c_str()));
  EXPECT_EQ(ToolExitOutput, Run()) << errText;
  EXPECT_EQ("previous cabinet", Read("\\out\\PATCH.CAB"));
  EXPECT_EQ("previous description", Read("\\out\\MENDIT.MNI"));
  EXPECT_EQ("(none)", Read("\\out\\PATCH.CAB.new"));
  EXPECT_EQ("(none)", Read("\\out\\PATCH.CAB.old"));

  ASSERT_TRUE(RemoveEmptyFolder(root + "\\out\\MENDIT.MNI.new"));
  EXPECT_EQ(ToolExitDone, Run()) << errText;
  EXPECT_EQ("MSCF", Read("\\out\\PATCH.CAB").substr(0, 4));
  EXPECT_EQ("[Application]", Read("\\out\\MENDIT.MNI").substr(0, 13));
  EXPECT_EQ("(none)", Read("\\out\\PATCH.CAB.old"));
}

TEST_F(WizardOutput, AnOutputFolderThatTakesNoFilesStopsTheRunBeforeTheBuild) {
  options.OutputFolder = root + "\\old\\APP.EXE\\OUT";  // below a file
  EXPECT_EQ(ToolExitOutput, Run());
  EXPECT_EQ(std::string::npos, outText.find("Reading")) << outText;
  // Inside a release, the outputs would be shipped with the next build.
  options.OutputFolder = root + "\\new\\patches";
  EXPECT_EQ(ToolExitOutput, Run());
  EXPECT_NE(std::string::npos, errText.find("The output folder lies inside a release folder")) << errText;
  // A folder made for a run that then writes nothing is removed again.
  options.OutputFolder = root + "\\fresh";
  options.NewFolder = root + "\\old";
  EXPECT_EQ(ToolExitNothingDone, Run());
  EXPECT_FALSE(files->DirectoryExists((root + "\\fresh").c_str()));
}

}  // namespace

namespace {
// A file whose record path ("&ROOT&\" and its name) would fill the record's 200-byte path
// field without its terminating zero cannot be expressed: nothing is written.
TEST_F(WizardOutput, ARecordPathOf200CharactersIsInexpressible) {
  ASSERT_TRUE(WriteWholeFile(*files, root + "\\new\\" + std::string(193, 'N'), Bytes("new file")));
  EXPECT_EQ(ToolExitNothingDone, Run());
  EXPECT_NE(std::string::npos, errText.find("Path too long for a patch record")) << errText;
  EXPECT_EQ("(none)", Read("\\out\\PATCH.CAB"));
}
}  // namespace

// Code whose embedded addresses all moved: each changed file goes as the record that packs
// smaller, here a difference record, and the patch passes the self-verification (libmspack
// extracts it, the engine applies it to a copy of the old release).
TEST_F(WizardOutput, BestDeltaChoosesTheDifferenceRecordWhereItPacksSmaller) {
  std::vector<uint8_t> code(96 * 1024);
  uint32_t seed = 12345;
  for (uint8_t& b : code) b = static_cast<uint8_t>((seed = seed * 1103515245 + 12345) >> 24);
  ASSERT_TRUE(WriteWholeFile(*files, root + "\\old\\APP.EXE", code));
  for (size_t i = 0; i < code.size(); i += 16) code[i] = static_cast<uint8_t>(code[i] + 4);
  ASSERT_TRUE(WriteWholeFile(*files, root + "\\new\\APP.EXE", code));
  for (const TDeltaChoice choice : {TDeltaChoice::Block, TDeltaChoice::Best}) {
    options.Delta = choice;
    EXPECT_EQ(ToolExitDone, Run()) << errText;
    EXPECT_EQ(choice == TDeltaChoice::Best, outText.find("difference record") != std::string::npos) << outText;
  }
}

// The closing count names the files no record writes, with one old release or several.
TEST_F(WizardOutput, UnchangedFilesAreCountedWithFurtherOldReleases) {
  ASSERT_TRUE(files->CreateDir((root + "\\older").c_str()));
  for (const char* folder : {"\\old", "\\older", "\\new"}) {
    ASSERT_TRUE(WriteWholeFile(*files, root + folder + "\\SAME1.TXT", Bytes("same")));
    ASSERT_TRUE(WriteWholeFile(*files, root + folder + "\\SAME2.TXT", Bytes("same too")));
  }
  ASSERT_TRUE(WriteWholeFile(*files, root + "\\older\\APP.EXE", Bytes("version zero of the program")));
  EXPECT_EQ(ToolExitDone, Run()) << errText;
  EXPECT_NE(std::string::npos, outText.find("; 2 files unchanged\n")) << outText;
  options.AlsoFolders = {root + "\\older"};
  EXPECT_EQ(ToolExitDone, Run()) << errText;
  EXPECT_NE(std::string::npos, outText.find("; 2 files unchanged\n")) << outText;
}

// Vendor mistakes are refused before the long build, each with its own words and exit code.
TEST_F(WizardOutput, VendorMistakesStopBeforeTheBuild) {
  ASSERT_TRUE(files->CreateDir((root + "\\empty").c_str()));
  ASSERT_TRUE(files->CreateDir((root + "\\out2").c_str()));
  ASSERT_TRUE(WriteWholeFile(*files, root + "\\out2\\PATCH.CAB", Bytes("an earlier patch")));
  struct TCase {
    const char* name;
    std::function<void(TWizardOptions&)> change;
    TToolExit exit;
    const char* says;
  } cases[] = {
      {"output_exists", [&](TWizardOptions& o) { o.OutputFolder = root + "\\out2"; o.Overwrite = false; }, ToolExitOutput,
       "exists already: give -f to replace it"},
      {"also_is_new", [&](TWizardOptions& o) { o.AlsoFolders = {root + "\\new"}; }, ToolExitUsage, "-also names a release given already"},
      {"also_twice", [&](TWizardOptions& o) { o.AlsoFolders = {root + "\\empty", root + "\\empty\\"}; }, ToolExitUsage,
       "-also names a release given already"},
      {"old_empty", [&](TWizardOptions& o) { o.OldFolder = root + "\\empty"; }, ToolExitNothingDone, "holds no files"},
  };
  for (const TCase& c : cases) {
    SCOPED_TRACE(c.name);
    TWizardOptions saved = options;
    c.change(options);
    EXPECT_EQ(c.exit, Run()) << outText << errText;
    EXPECT_NE(std::string::npos, (outText + errText).find(c.says)) << outText << errText;
    options = saved;
  }
  EXPECT_EQ("an earlier patch", Read("\\out2\\PATCH.CAB"));

  // Every name no patch can carry, in every release, at once (each with its release).
  ASSERT_TRUE(WriteWholeFile(*files, root + "\\new\\AUX.TXT", Bytes("b")));
  ASSERT_TRUE(WriteWholeFile(*files, root + "\\old\\NUL", Bytes("c")));
  EXPECT_EQ(ToolExitNothingDone, Run());
  const std::string all = outText + errText;
  EXPECT_NE(std::string::npos, all.find("NEW_FOLDER")) << all;
  EXPECT_NE(std::string::npos, all.find("OLD_FOLDER")) << all;
}

// A nested output folder is made; -f is what lets a second build replace the first.
TEST_F(WizardOutput, NestedOutputFoldersAreMadeAndReplacedOnlyWithForce) {
  options.OutputFolder = root + "\\out\\a\\b";
  EXPECT_EQ(ToolExitDone, Run()) << errText;
  EXPECT_NE("(none)", Read("\\out\\a\\b\\PATCH.CAB"));
  const char* plain[] = {"OLD", "NEW", "APP.EXE", "C:\\APP", "OUT"};
  const char* forced[] = {"-f", "/srv/rel/1.0", "NEW", "APP.EXE", "C:\\APP", "OUT"};
  TWizardOptions parsed;
  std::string error;
  ASSERT_TRUE(ParseWizardArguments(5, plain, parsed, error)) << error;
  EXPECT_FALSE(parsed.Overwrite);
  ASSERT_TRUE(ParseWizardArguments(6, forced, parsed, error)) << error;
  EXPECT_TRUE(parsed.Overwrite);
#ifndef _WIN32
  EXPECT_EQ("/srv/rel/1.0", parsed.OldFolder);  // a path on Linux, not an unknown option
#endif
}

namespace {

// Every phase counts its steps and says how far it is; -q says none of it.
TEST_F(WizardOutput, EveryPhaseShowsItsStepsAndPercentage) {
  ASSERT_TRUE(files->CreateDir((root + "\\older").c_str()));
  ASSERT_TRUE(WriteWholeFile(*files, root + "\\older\\APP.EXE", Bytes("version zero of the program")));
  ASSERT_TRUE(WriteWholeFile(*files, root + "\\new\\NEW.TXT", Bytes("a new file")));
  options.AlsoFolders = {root + "\\older"};
  options.Overwrite = true;
  const char* lines[] = {"[1/3]   0% Reading ", "[2/3]  33% Reading ", "[3/3]  66% Reading ",
                         "[1/3]   0% APP.EXE", "[3/3]  66% NEW.TXT", "[3/3] 100% Records made",
                         "[1/1]   0% Packing the cabinet", "100% of the patch data packed",
                         "[1/2]   0% Verifying: ", "[2/2]  50% Verifying: "};
  for (bool quiet : {false, true}) {
    options.Quiet = quiet;
    ASSERT_EQ(ToolExitDone, Run()) << errText;
    for (const char* line : lines) EXPECT_EQ(!quiet, outText.find(line) != std::string::npos) << line << "\n" << outText;
  }
}

}  // namespace

namespace {

// A small x86 program whose version resource holds strings (none: no version resource).
std::vector<uint8_t> ProgramWithVersion(const std::vector<std::pair<std::u16string, std::u16string>>& strings) {
  std::vector<uint8_t> file(0x400, 0);
  file[0] = 'M', file[1] = 'Z';
  WriteUInt32le(&file[0x3C], 0x40);
  WriteUInt32le(&file[0x40], 0x00004550);
  WriteUInt16le(&file[0x44], 0x014C);
  WriteUInt16le(&file[0x46], 1);
  WriteUInt16le(&file[0x54], 224);
  const size_t optional = 0x58;
  WriteUInt16le(&file[optional], 0x10B);
  WriteUInt32le(&file[optional + 32], 0x1000);
  WriteUInt32le(&file[optional + 36], 0x200);
  WriteUInt32le(&file[optional + 56], 0x2000);
  WriteUInt32le(&file[optional + 60], 0x200);
  WriteUInt32le(&file[optional + 92], 16);
  const size_t section = optional + 224;
  std::memcpy(&file[section], ".text", 5);
  for (size_t field : {8, 16}) WriteUInt32le(&file[section + field], 0x200);
  WriteUInt32le(&file[section + 12], 0x1000);
  WriteUInt32le(&file[section + 20], 0x200);
  if (strings.empty()) return file;
  TVersionInfo info;
  info.Strings = strings;
  std::vector<uint8_t> program;
  std::string problem;
  WritePeResources(file, {{TResourceName::Number(ResourceTypeVersion), TResourceName::Number(1), 0x409, 0,
                           FormatVersionResource(info)}}, program, problem);
  return program;
}

// What the options leave out of the identity comes from the main program's version
// resource (new release: product, version, publisher; old release: the version it is made
// for), and the output says where each part came from.
TEST_F(WizardOutput, TheIdentityComesFromTheMainProgramWhereOptionsLeaveItOut) {
  const auto newer = ProgramWithVersion({{u"ProductName", u"Tarvel Notes \u00e9"}, {u"ProductVersion", u"1, 1, 0, 0"},
                                         {u"CompanyName", u"Tarvel Ltd"}});
  const auto older = ProgramWithVersion({{u"ProductVersion", u" 1.0 "}});
  struct TCase {
    const char* name;
    std::vector<uint8_t> oldProgram, newProgram;
    TVendorIdentity given;
    const char* description;  // the identity keys of the description file
    const char* says;
  } cases[] = {
      {"from both programs", older, newer, {},
       "Product=Tarvel Notes \xe9\r\nVersion=1.1.0.0\r\nFromVersion=1.0\r\nPublisher=Tarvel Ltd\r\n",
       "  Product    Tarvel Notes \xe9  (the version resource of APP.EXE in NEW_FOLDER)\n"
       "  Version    1.1.0.0  (the version resource of APP.EXE in NEW_FOLDER)\n"
       "  From       1.0  (the version resource of APP.EXE in OLD_FOLDER)\n"},
      {"options win", older, newer, {"Notes", "", "0.9", ""},
       "Product=Notes\r\nVersion=1.1.0.0\r\nFromVersion=0.9\r\nPublisher=Tarvel Ltd\r\n",
       "  Product    Notes  (-product)\n  Version    1.1.0.0  (the version resource of APP.EXE in NEW_FOLDER)\n"
       "  From       0.9  (-from)\n"},
      {"no version resources", ProgramWithVersion({}), Bytes("no program"), {}, "",
       "  Product    -  (not given, and not in the version resources of APP.EXE)\n"},
  };
  for (const TCase& c : cases) {
    SCOPED_TRACE(c.name);
    ASSERT_TRUE(WriteWholeFile(*files, root + "\\old\\APP.EXE", c.oldProgram));
    ASSERT_TRUE(WriteWholeFile(*files, root + "\\new\\APP.EXE", c.newProgram));
    options.Vendor = c.given;
    options.Overwrite = true;
    for (bool quiet : {false, true}) {
      options.Quiet = quiet;
      ASSERT_EQ(ToolExitDone, Run()) << errText;
      EXPECT_NE(std::string::npos, outText.find(c.says)) << outText;
    }
    const std::string description = Read("\\out\\MENDIT.MNI");
    const std::string patchLine = "Patch=PATCH.CAB\r\n";
    ASSERT_NE(std::string::npos, description.find(patchLine)) << description;
    EXPECT_EQ(c.description, description.substr(description.find(patchLine) + patchLine.size()));
  }
}

}  // namespace
