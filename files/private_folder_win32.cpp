#define _CRT_RAND_S
#include "files/private_folder_win32.h"

#include <sddl.h>
#include <stdlib.h>

#include <cstdio>
#include <cwchar>

#include "files/dos_stamp.h"

namespace {

// The system's own entry points by address: a system without GetFinalPathNameByHandleW
// (before Vista) then reads as one that tells no final paths, instead of a program that does
// not start; NtSetInformationFile is there on all.
using TGetFinalPath = DWORD(WINAPI*)(HANDLE, wchar_t*, DWORD, DWORD);
using TNtSetInformationFile = LONG(NTAPI*)(HANDLE, void* status, void* info, ULONG length, int infoClass);

TGetFinalPath GetFinalPath() {
  static const TGetFinalPath entry =
      reinterpret_cast<TGetFinalPath>(reinterpret_cast<void*>(GetProcAddress(GetModuleHandleW(L"kernel32.dll"), "GetFinalPathNameByHandleW")));
  return entry;
}

TNtSetInformationFile NtSetInformation() {
  static const TNtSetInformationFile entry =
      reinterpret_cast<TNtSetInformationFile>(reinterpret_cast<void*>(GetProcAddress(GetModuleHandleW(L"ntdll.dll"), "NtSetInformationFile")));
  return entry;
}

// The system's FILE_BASIC_INFORMATION and FILE_DISPOSITION_INFORMATION (classes 4 and 13);
// a zero time or attribute word leaves that value as it is.
struct TBasicInformation {
  LARGE_INTEGER CreationTime, LastAccessTime, LastWriteTime, ChangeTime;
  ULONG FileAttributes;
};
constexpr int FileBasicInformation = 4;
constexpr int FileDispositionInformation = 13;

bool SetInformation(HANDLE handle, void* info, ULONG length, int infoClass) {
  const TNtSetInformationFile set = NtSetInformation();
  if (!set) return false;
  ULONG_PTR status[2] = {0, 0};  // IO_STATUS_BLOCK
  return set(handle, status, info, length, infoClass) >= 0;
}

// The descriptor of the private folder: full access for the current user, the
// administrators and the system; protected, so nothing is inherited from the temporary
// folder; its files inherit it.
bool PrivateDescriptor(PSECURITY_DESCRIPTOR& descriptor) {
  descriptor = nullptr;
  HANDLE token;
  if (!OpenProcessToken(GetCurrentProcess(), TOKEN_QUERY, &token)) return false;
  BYTE buffer[256];
  DWORD length = 0;
  const bool got = GetTokenInformation(token, TokenUser, buffer, sizeof buffer, &length) != 0;
  CloseHandle(token);
  wchar_t* sid = nullptr;
  if (!got || !ConvertSidToStringSidW(reinterpret_cast<TOKEN_USER*>(buffer)->User.Sid, &sid)) return false;
  const std::wstring sddl =
      std::wstring(L"D:P(A;OICI;FA;;;") + sid + L")(A;OICI;FA;;;BA)(A;OICI;FA;;;SY)";
  LocalFree(sid);
  return ConvertStringSecurityDescriptorToSecurityDescriptorW(sddl.c_str(), SDDL_REVISION_1, &descriptor, nullptr) != 0;
}

std::wstring TempFolder() {
  wchar_t buffer[MAX_PATH + 1];
  const DWORD length = GetTempPathW(MAX_PATH, buffer);
  if (length == 0 || length >= MAX_PATH) return L"";
  return buffer;
}

// The final path of the folder named path; empty when it cannot be opened or told.
std::wstring FinalFolderPath(const std::wstring& path) {
  HANDLE handle = CreateFileW(path.c_str(), FILE_READ_ATTRIBUTES, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
                              nullptr, OPEN_EXISTING, FILE_FLAG_BACKUP_SEMANTICS, nullptr);
  if (handle == INVALID_HANDLE_VALUE) return L"";
  std::wstring final = FinalPathOf(handle);
  CloseHandle(handle);
  return final;
}

std::string Narrow(const std::wstring& text) {
  const int size = WideCharToMultiByte(CP_ACP, 0, text.c_str(), -1, nullptr, 0, nullptr, nullptr);
  if (size <= 0) return "";
  std::string result(size_t(size), '\0');
  WideCharToMultiByte(CP_ACP, 0, text.c_str(), -1, &result[0], size, nullptr, nullptr);
  result.pop_back();
  return result;
}

}  // namespace

bool FinalPathsKnown() { return GetFinalPath() != nullptr; }

std::wstring FinalPathOf(HANDLE handle) {
  const TGetFinalPath get = GetFinalPath();
  if (!get) return L"";
  std::wstring buffer(1024, L'\0');
  DWORD length = get(handle, &buffer[0], DWORD(buffer.size()), 0);
  if (length >= buffer.size()) {
    buffer.assign(length + 1, L'\0');
    length = get(handle, &buffer[0], DWORD(buffer.size()), 0);
  }
  if (length == 0 || length >= buffer.size()) return L"";
  buffer.resize(length);
  if (buffer.compare(0, 8, L"\\\\?\\UNC\\") == 0) return L"\\\\" + buffer.substr(8);
  if (buffer.compare(0, 4, L"\\\\?\\") == 0) return buffer.substr(4);
  return buffer;
}

bool SameFinalPath(const std::wstring& a, const std::wstring& b) {
  return !a.empty() && CompareStringW(LOCALE_INVARIANT, NORM_IGNORECASE, a.c_str(), int(a.size()), b.c_str(),
                                      int(b.size())) == CSTR_EQUAL;
}

bool SetTimeAndAttributes(HANDLE handle, const FILETIME* stamp, DWORD attributes) {
  TBasicInformation basic{};
  if (stamp) {
    basic.CreationTime.LowPart = basic.LastWriteTime.LowPart = stamp->dwLowDateTime;
    basic.CreationTime.HighPart = basic.LastWriteTime.HighPart = LONG(stamp->dwHighDateTime);
  }
  basic.FileAttributes = attributes == 0 ? FILE_ATTRIBUTE_NORMAL : attributes;
  return SetInformation(handle, &basic, sizeof basic, FileBasicInformation);
}

bool DeleteByHandle(HANDLE handle) {
  TBasicInformation basic{};
  basic.FileAttributes = FILE_ATTRIBUTE_NORMAL;
  BY_HANDLE_FILE_INFORMATION info;
  if (GetFileInformationByHandle(handle, &info) && (info.dwFileAttributes & FILE_ATTRIBUTE_READONLY)) {
    basic.FileAttributes = info.dwFileAttributes & ~DWORD(FILE_ATTRIBUTE_READONLY);
    if (basic.FileAttributes == 0) basic.FileAttributes = FILE_ATTRIBUTE_NORMAL;
    SetInformation(handle, &basic, sizeof basic, FileBasicInformation);
  }
  BOOLEAN remove = TRUE;
  return SetInformation(handle, &remove, sizeof remove, FileDispositionInformation);
}

bool TPrivateFolder::Make() {
  if (Folder != INVALID_HANDLE_VALUE) return true;
  const std::wstring temp = TempFolder();
  if (temp.empty()) return false;
  const std::wstring tempFinal = FinalFolderPath(temp);
  PSECURITY_DESCRIPTOR descriptor;
  if (!PrivateDescriptor(descriptor)) return false;
  SECURITY_ATTRIBUTES attributes{sizeof attributes, descriptor, FALSE};
  // A name someone placed first (a folder, a file, a link) only costs another try.
  for (int attempt = 0; attempt < 16 && Folder == INVALID_HANDLE_VALUE; ++attempt) {
    unsigned int random[2] = {0, 0};
    if (rand_s(&random[0]) != 0 || rand_s(&random[1]) != 0) break;
    wchar_t name[32];
    std::swprintf(name, 32, L"MENDIT-%08X%08X", random[0], random[1]);
    const std::wstring candidate = temp + name;
    if (!CreateDirectoryW(candidate.c_str(), &attributes)) continue;
    HANDLE handle = CreateFileW(candidate.c_str(), DELETE | FILE_READ_ATTRIBUTES | FILE_LIST_DIRECTORY,
                                FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr, OPEN_EXISTING,
                                FILE_FLAG_BACKUP_SEMANTICS, nullptr);
    if (handle == INVALID_HANDLE_VALUE) continue;
    // Between the making and the opening the folder could have been swapped: the one held
    // must be the new one below the temporary folder. (A system without final paths, XP,
    // has no links to swap it for.)
    if (GetFinalPath() && !SameFinalPath(FinalPathOf(handle), tempFinal + L"\\" + name) &&
        !SameFinalPath(FinalPathOf(handle), tempFinal + name)) {
      CloseHandle(handle);
      continue;
    }
    Folder = handle;
    path = Narrow(candidate);
  }
  LocalFree(descriptor);
  return Folder != INVALID_HANDLE_VALUE && !path.empty();
}

HANDLE TPrivateFolder::NewFile(std::string& filePath) {
  filePath.clear();
  if (!Make()) return INVALID_HANDLE_VALUE;
  char name[32];
  std::snprintf(name, sizeof name, "\\%u.TMP", unsigned(Files.size() + 1));
  const std::string candidate = path + name;
  HANDLE handle = CreateFileA(candidate.c_str(), GENERIC_READ | GENERIC_WRITE | DELETE, FILE_SHARE_READ, nullptr,
                              CREATE_NEW, FILE_ATTRIBUTE_NORMAL, nullptr);
  if (handle == INVALID_HANDLE_VALUE) return handle;
  Files.push_back({handle, candidate});
  filePath = candidate;
  return handle;
}

HANDLE TPrivateFolder::Duplicate(size_t n, DWORD access) const {
  HANDLE copy;
  if (n >= Files.size() || !DuplicateHandle(GetCurrentProcess(), Files[n].Handle, GetCurrentProcess(), &copy, access, FALSE, 0))
    return INVALID_HANDLE_VALUE;
  return copy;
}

std::unique_ptr<TInputFile> TPrivateFolder::Reader(size_t n) const {
  const HANDLE copy = Duplicate(n, GENERIC_READ);
  return copy == INVALID_HANDLE_VALUE ? nullptr : InputFileOver(copy);
}

std::unique_ptr<TOutputFile> TPrivateFolder::Writer(size_t n) const {
  const HANDLE copy = Duplicate(n, GENERIC_WRITE);
  return copy == INVALID_HANDLE_VALUE ? nullptr : OutputFileOver(copy);
}

std::unique_ptr<TOutputFile> TPrivateSpillStore::NewFile(size_t& id) {
  std::string path;
  if (Folder.NewFile(path) == INVALID_HANDLE_VALUE) return nullptr;
  id = Folder.FileCount() - 1;
  return Folder.Writer(id);
}

bool TPrivateFolder::Remove() {
  bool removed = true;
  for (const TFile& file : Files) {
    removed &= DeleteByHandle(file.Handle);
    CloseHandle(file.Handle);
  }
  Files.clear();
  if (Folder != INVALID_HANDLE_VALUE) {
    removed &= DeleteByHandle(Folder);
    CloseHandle(Folder);
    Folder = INVALID_HANDLE_VALUE;
  }
  path.clear();
  return removed;
}
