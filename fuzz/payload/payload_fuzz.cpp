// Fuzz target for the payload reader: the bytes of a program file that may or may not carry
// a patch, from a download nobody checked. Whatever they hold, the reader must stay inside
// the file, and a payload it calls found must lie within the data and read back whole; the
// description and the cabinet it names are read, and a program made again from the stub's
// image and those parts must be found again with the same parts.
#include <cstddef>
#include <cstdint>
#include <vector>

#include "files/memory_file_system.h"
#include "payload/payload.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  TMemoryFileSystem disk;
  disk.AddFile("C:\\P.EXE", std::vector<uint8_t>(data, data + size), 0);
  const TCarriedPatch carried = ReadCarriedPatch(disk, "C:\\P.EXE");
  if (carried.State != TPayloadState::Found) return 0;
  if (carried.Cabinet.Offset < 0 || carried.Cabinet.Length < 0 ||
      static_cast<uint64_t>(carried.Cabinet.Offset + carried.Cabinet.Length) > size)
    __builtin_trap();
  std::vector<uint8_t> image;
  std::string problem;
  if (!StubImage(std::vector<uint8_t>(data, data + size), image, problem)) __builtin_trap();
  const std::vector<uint8_t> cabinet(data + carried.Cabinet.Offset, data + carried.Cabinet.Offset + carried.Cabinet.Length);
  disk.AddFile("C:\\Q.EXE", MakePayloadProgram(image, carried.DescriptionText, cabinet), 0);
  const TCarriedPatch again = ReadCarriedPatch(disk, "C:\\Q.EXE");
  if (again.State != TPayloadState::Found || again.DescriptionText != carried.DescriptionText ||
      again.Cabinet.Length != carried.Cabinet.Length)
    __builtin_trap();
  return 0;
}
