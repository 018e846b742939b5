#include "tests/support/cab_test_support.h"

#include <cstdio>

#include "tests/support/test_folders.h"

void WriteFile(const std::string& path, const std::string& content) {
  FILE* file = std::fopen(path.c_str(), "wb");
  if (!file) return;
  std::fwrite(content.data(), 1, content.size(), file);
  std::fclose(file);
}

// Shared for deletion too: the unpacker holds its files open with delete access.
std::string ReadFile(const std::string& path) {
  std::string content;
  HANDLE file = CreateFileA(path.c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
                            nullptr, OPEN_EXISTING, 0, nullptr);
  if (file == INVALID_HANDLE_VALUE) return "<missing>";
  char buffer[4096];
  DWORD got;
  while (::ReadFile(file, buffer, sizeof buffer, &got, nullptr) && got > 0) content.append(buffer, got);
  CloseHandle(file);
  return content;
}

bool FileExists(const std::string& path) { return GetFileAttributesA(path.c_str()) != INVALID_FILE_ATTRIBUTES; }

std::string Incompressible(size_t size, unsigned seed) {
  std::string bytes(size, '\0');
  unsigned state = seed * 2654435761u + 1;
  for (char& c : bytes) {
    state = state * 1103515245u + 12345u;
    c = char(state >> 23);
  }
  return bytes;
}

void SetLocalDosStamp(const std::string& path, WORD date, WORD time) {
  FILETIME local, stamp;
  DosDateTimeToFileTime(date, time, &local);
  LocalFileTimeToFileTime(&local, &stamp);
  HANDLE file = CreateFileA(path.c_str(), GENERIC_WRITE, FILE_SHARE_READ, nullptr, OPEN_EXISTING, 0, nullptr);
  SetFileTime(file, &stamp, nullptr, &stamp);
  CloseHandle(file);
}

bool MakeCabinetWithFci(TRecordingPacker& packer, const std::string& path, const std::vector<TCabEntry>& entries,
                  ULONG sizeLimit) {
  return PackFiles(packer, path, entries, sizeLimit) && packer.Shown.empty();
}

bool MakeCabinetWithFci(const std::string& path, const std::vector<TCabEntry>& entries, ULONG sizeLimit) {
  TRecordingPacker packer;
  return MakeCabinetWithFci(packer, path, entries, sizeLimit);
}
