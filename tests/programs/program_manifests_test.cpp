// The five programs as shipped: each .exe carries an application manifest (resource type 24,
// id 1) that the system accepts, whose identity matches the program's version resource, and
// that states the execution level, the supported systems and, for the window programs, the
// common controls and the DPI handling. Read back from the built files, loaded as data.

#include <gtest/gtest.h>

#include <windows.h>

#include <cstdio>
#include <string>
#include <vector>

#include "tests/driver/e2e_process.h"

namespace {

struct TProgram {
  const char* path;
  const char* level;
  bool themed;     // common controls 6
  bool dpiUnaware; // declared unaware (the window programs)
};

const TProgram Programs[] = {
    {MENDIT_EXE, "highestAvailable", true, true},     {SHOWDISK_EXE, "asInvoker", false, true},
    {INDEXWRIGHT_EXE, "asInvoker", false, false},     {MENDITWIZ_EXE, "asInvoker", false, false},
    {MENDITCON_EXE, "asInvoker", false, false},
};

const char* const Windows7To11[] = {
    "{35138b9a-5d96-4fbd-8e2d-a2440225f93a}", "{4a2f28e3-53b9-4441-ba9c-d69d4a4a6e38}",
    "{1f676c76-80e1-4239-95bb-83d0f6d0da78}", "{8e0f7a12-bfb3-4fe8-b9a5-48fd50a15a9a}"};

std::string ManifestOf(const char* path) {
  HMODULE module = LoadLibraryExA(path, nullptr, LOAD_LIBRARY_AS_DATAFILE);
  if (!module) return "";
  std::string text;
  if (HRSRC found = FindResourceA(module, MAKEINTRESOURCEA(1), MAKEINTRESOURCEA(24))) {
    HGLOBAL loaded = LoadResource(module, found);
    const char* bytes = static_cast<const char*>(LockResource(loaded));
    if (bytes) text.assign(bytes, SizeofResource(module, found));
  }
  FreeLibrary(module);
  return text;
}

// The value of attribute in the first element named element at or after from ("" if none).
std::string Attribute(const std::string& xml, const std::string& element, const std::string& attribute,
                      size_t from = 0) {
  size_t start = xml.find("<" + element + " ", from);
  if (start == std::string::npos) return "";
  size_t end = xml.find('>', start);
  size_t at = xml.find(" " + attribute + "=\"", start);
  if (at == std::string::npos || at > end) return "";
  at += attribute.size() + 3;
  return xml.substr(at, xml.find('"', at) - at);
}

std::string ElementText(const std::string& xml, const std::string& element) {
  size_t start = xml.find("<" + element);
  if (start == std::string::npos) return "";
  start = xml.find('>', start) + 1;
  return xml.substr(start, xml.find('<', start) - start);
}

struct TVersion {
  std::string fixed;  // "a.b.c.d" of the file version
  std::string internalName;
};

TVersion VersionOf(const char* path) {
  TVersion version;
  DWORD ignored = 0, size = GetFileVersionInfoSizeA(path, &ignored);
  if (size == 0) return version;
  std::vector<char> block(size);
  if (!GetFileVersionInfoA(path, 0, size, block.data())) return version;
  VS_FIXEDFILEINFO* fixed = nullptr;
  UINT length = 0;
  if (VerQueryValueA(block.data(), "\\", reinterpret_cast<void**>(&fixed), &length) && fixed) {
    char text[64];
    std::snprintf(text, sizeof text, "%lu.%lu.%lu.%lu", fixed->dwFileVersionMS >> 16, fixed->dwFileVersionMS & 0xFFFF,
                  fixed->dwFileVersionLS >> 16, fixed->dwFileVersionLS & 0xFFFF);
    version.fixed = text;
  }
  char* name = nullptr;
  if (VerQueryValueA(block.data(), "\\StringFileInfo\\040904E4\\InternalName", reinterpret_cast<void**>(&name),
                     &length) && name)
    version.internalName = name;
  return version;
}

std::string Lower(std::string text) {
  for (char& c : text) c = static_cast<char>(tolower(static_cast<unsigned char>(c)));
  return text;
}

TEST(ProgramManifests, EveryProgramCarriesAManifestMatchingItsVersion) {
  for (const TProgram& program : Programs) {
    SCOPED_TRACE(program.path);
    const std::string path = e2e::WinePath(program.path);
    std::string manifest = ManifestOf(path.c_str());
    ASSERT_FALSE(manifest.empty());

    // The system must accept it: a manifest it cannot parse stops the program from starting.
    ACTCTXA context = {};
    context.cbSize = sizeof context;
    context.dwFlags = ACTCTX_FLAG_RESOURCE_NAME_VALID;
    context.lpSource = path.c_str();
    context.lpResourceName = MAKEINTRESOURCEA(1);
    HANDLE activation = CreateActCtxA(&context);
    EXPECT_NE(INVALID_HANDLE_VALUE, activation) << GetLastError();
    if (activation != INVALID_HANDLE_VALUE) ReleaseActCtx(activation);

    TVersion version = VersionOf(path.c_str());
    ASSERT_FALSE(version.internalName.empty());
    EXPECT_EQ(Lower("Tarvel." + version.internalName), Lower(Attribute(manifest, "assemblyIdentity", "name")));
    EXPECT_EQ(version.fixed, Attribute(manifest, "assemblyIdentity", "version"));
    EXPECT_EQ(program.level, Attribute(manifest, "requestedExecutionLevel", "level"));
    for (const char* os : Windows7To11) EXPECT_NE(std::string::npos, manifest.find(os)) << os;

    size_t dependency = manifest.find("<dependentAssembly>");
    std::string controls = dependency == std::string::npos ? "" : Attribute(manifest, "assemblyIdentity", "name", dependency);
    if (program.themed) {
      EXPECT_EQ("Microsoft.Windows.Common-Controls", controls);
      EXPECT_EQ("6.0.0.0", Attribute(manifest, "assemblyIdentity", "version", dependency));
    } else {
      EXPECT_EQ("", controls);
    }
    // Unaware: the system scales these windows as pictures (the .rc files say why).
    EXPECT_EQ(program.dpiUnaware ? "false" : "", ElementText(manifest, "dpiAware"));
  }
}

}  // namespace
