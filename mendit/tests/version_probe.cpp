// What Windows itself reads from a self-applying program's resources, for the end-to-end
// test: the version resource through GetFileVersionInfoW and VerQueryValueW, the checksum
// through MapFileAndCheckSumW, and every other resource of the stub compared with the
// program's own through the resource functions.
//
// Usage: version_probe PROGRAM STUB
// Prints "Name=value" lines (UTF-8): the version texts of the first translation, Fixed (the
// fixed file version), Translation, Checksum (valid, none or wrong) and Resources ("same N"
// or the first that differs).
#include <windows.h>
#include <imagehlp.h>
#include <shellapi.h>

#include <cstdio>
#include <string>
#include <vector>

namespace {

std::string Utf8(const wchar_t* text) {
  const int length = WideCharToMultiByte(CP_UTF8, 0, text, -1, nullptr, 0, nullptr, nullptr);
  std::string out(length > 0 ? length - 1 : 0, '\0');
  if (length > 1) WideCharToMultiByte(CP_UTF8, 0, text, -1, &out[0], length, nullptr, nullptr);
  return out;
}

void PrintVersion(const wchar_t* path) {
  DWORD ignored = 0;
  const DWORD size = GetFileVersionInfoSizeW(path, &ignored);
  if (size == 0) {
    std::printf("Version=none\n");
    return;
  }
  std::vector<char> block(size);
  if (!GetFileVersionInfoW(path, 0, size, block.data())) return;
  VS_FIXEDFILEINFO* fixed = nullptr;
  UINT length = 0;
  if (VerQueryValueW(block.data(), L"\\", reinterpret_cast<void**>(&fixed), &length) && fixed)
    std::printf("Fixed=%lu.%lu.%lu.%lu\n", fixed->dwFileVersionMS >> 16, fixed->dwFileVersionMS & 0xFFFF,
                fixed->dwFileVersionLS >> 16, fixed->dwFileVersionLS & 0xFFFF);
  WORD* translation = nullptr;
  if (!VerQueryValueW(block.data(), L"\\VarFileInfo\\Translation", reinterpret_cast<void**>(&translation), &length) ||
      length < 4)
    return;
  wchar_t table[64];
  swprintf(table, 64, L"\\StringFileInfo\\%04X%04X\\", translation[0], translation[1]);
  std::printf("Translation=%04X%04X\n", translation[0], translation[1]);
  for (const wchar_t* key : {L"ProductName", L"ProductVersion", L"CompanyName", L"FileDescription", L"FileVersion",
                             L"OriginalFilename", L"InternalName", L"Comments"}) {
    wchar_t* value = nullptr;
    if (VerQueryValueW(block.data(), (std::wstring(table) + key).c_str(), reinterpret_cast<void**>(&value), &length) &&
        value)
      std::printf("%s=%s\n", Utf8(key).c_str(), Utf8(value).c_str());
  }
}

void PrintChecksum(const wchar_t* path) {
  DWORD stored = 0, computed = 0;
  if (MapFileAndCheckSumW(path, &stored, &computed) != CHECKSUM_SUCCESS) {
    std::printf("Checksum=unreadable\n");
    return;
  }
  std::printf("Checksum=%s\n", stored == 0 ? "none" : stored == computed ? "valid" : "wrong");
}

// Every resource of the stub but its version resource, compared with the program's.
struct TComparison {
  HMODULE Program = nullptr;
  int Same = 0;
  std::string Differs;
};

std::string NameText(LPCWSTR name) {
  return IS_INTRESOURCE(name) ? std::to_string(reinterpret_cast<ULONG_PTR>(name)) : Utf8(name);
}

BOOL CALLBACK EachLanguage(HMODULE stub, LPCWSTR type, LPCWSTR name, WORD language, LONG_PTR parameter) {
  TComparison& comparison = *reinterpret_cast<TComparison*>(parameter);
  if (!comparison.Differs.empty()) return FALSE;
  HRSRC mine = FindResourceExW(stub, type, name, language);
  HRSRC theirs = FindResourceExW(comparison.Program, type, name, language);
  const DWORD size = SizeofResource(stub, mine);
  const void* a = mine ? LockResource(LoadResource(stub, mine)) : nullptr;
  const void* b = theirs ? LockResource(LoadResource(comparison.Program, theirs)) : nullptr;
  if (!a || !b || size != SizeofResource(comparison.Program, theirs) || memcmp(a, b, size) != 0)
    comparison.Differs = NameText(type) + "/" + NameText(name) + "/" + std::to_string(language);
  else
    comparison.Same += 1;
  return TRUE;
}

BOOL CALLBACK EachName(HMODULE stub, LPCWSTR type, LPWSTR name, LONG_PTR parameter) {
  EnumResourceLanguagesW(stub, type, name, EachLanguage, parameter);
  return TRUE;
}

BOOL CALLBACK EachType(HMODULE stub, LPWSTR type, LONG_PTR parameter) {
  if (type != MAKEINTRESOURCEW(16)) EnumResourceNamesW(stub, type, EachName, parameter);
  return TRUE;
}

void PrintResources(const wchar_t* program, const wchar_t* stub) {
  HMODULE programModule = LoadLibraryExW(program, nullptr, LOAD_LIBRARY_AS_DATAFILE);
  HMODULE stubModule = LoadLibraryExW(stub, nullptr, LOAD_LIBRARY_AS_DATAFILE);
  if (!programModule || !stubModule) {
    std::printf("Resources=unreadable\n");
    return;
  }
  TComparison comparison;
  comparison.Program = programModule;
  EnumResourceTypesW(stubModule, EachType, reinterpret_cast<LONG_PTR>(&comparison));
  if (comparison.Differs.empty())
    std::printf("Resources=same %d\n", comparison.Same);
  else
    std::printf("Resources=differ at %s\n", comparison.Differs.c_str());
  FreeLibrary(programModule);
  FreeLibrary(stubModule);
}

}  // namespace

int main() {
  int argc = 0;
  wchar_t** argv = CommandLineToArgvW(GetCommandLineW(), &argc);
  if (!argv || argc != 3) {
    std::fprintf(stderr, "usage: version_probe PROGRAM STUB\n");
    return 2;
  }
  PrintVersion(argv[1]);
  PrintChecksum(argv[1]);
  PrintResources(argv[1], argv[2]);
  return 0;
}
