#include "tests/support/mspack_lzx_reader.h"

#include <mspack.h>

#include <algorithm>
#include <cstdarg>
#include <cstdlib>
#include <cstring>

namespace {

void Put16(std::vector<uint8_t>& out, uint32_t v) {
  out.push_back(static_cast<uint8_t>(v));
  out.push_back(static_cast<uint8_t>(v >> 8));
}

void Put32(std::vector<uint8_t>& out, uint32_t v) {
  Put16(out, v & 0xFFFF);
  Put16(out, v >> 16);
}

// Two named files: "cab" (read) and "out" (written).
struct TMemoryFile {
  mspack_file Base;
  std::vector<uint8_t>* Bytes;
  size_t Position;
};

struct TMemorySystem {
  mspack_system Base;
  const std::vector<uint8_t>* Cabinet;
  std::vector<uint8_t>* Output;
};

mspack_file* Open(mspack_system* self, const char* name, int mode) {
  TMemorySystem* system = reinterpret_cast<TMemorySystem*>(self);
  TMemoryFile* file = new TMemoryFile{};
  if (std::strcmp(name, "cab") == 0 && mode == MSPACK_SYS_OPEN_READ) {
    file->Bytes = const_cast<std::vector<uint8_t>*>(system->Cabinet);
  } else if (std::strcmp(name, "out") == 0 && mode == MSPACK_SYS_OPEN_WRITE) {
    file->Bytes = system->Output;
    file->Bytes->clear();
  } else {
    delete file;
    return nullptr;
  }
  return &file->Base;
}

void Close(mspack_file* file) { delete reinterpret_cast<TMemoryFile*>(file); }

int Read(mspack_file* handle, void* buffer, int bytes) {
  TMemoryFile* file = reinterpret_cast<TMemoryFile*>(handle);
  if (bytes < 0) return -1;
  size_t available = file->Bytes->size() - std::min(file->Position, file->Bytes->size());
  size_t n = std::min(available, static_cast<size_t>(bytes));
  if (n) std::memcpy(buffer, file->Bytes->data() + file->Position, n);
  file->Position += n;
  return static_cast<int>(n);
}

int Write(mspack_file* handle, void* buffer, int bytes) {
  TMemoryFile* file = reinterpret_cast<TMemoryFile*>(handle);
  if (bytes < 0) return -1;
  const uint8_t* p = static_cast<const uint8_t*>(buffer);
  file->Bytes->insert(file->Bytes->end(), p, p + bytes);
  return bytes;
}

int Seek(mspack_file* handle, off_t offset, int mode) {
  TMemoryFile* file = reinterpret_cast<TMemoryFile*>(handle);
  off_t base = mode == MSPACK_SYS_SEEK_START ? 0
               : mode == MSPACK_SYS_SEEK_CUR ? static_cast<off_t>(file->Position)
                                              : static_cast<off_t>(file->Bytes->size());
  off_t target = base + offset;
  if (target < 0 || target > static_cast<off_t>(file->Bytes->size())) return -1;
  file->Position = static_cast<size_t>(target);
  return 0;
}

off_t Tell(mspack_file* handle) { return static_cast<off_t>(reinterpret_cast<TMemoryFile*>(handle)->Position); }

void Message(mspack_file*, const char*, ...) {}
void* Alloc(mspack_system*, size_t bytes) { return std::malloc(bytes); }
void Free(void* p) { std::free(p); }
void Copy(void* from, void* to, size_t bytes) { std::memmove(to, from, bytes); }

}  // namespace

std::vector<uint8_t> LzxChunksToCabinet(const std::vector<std::vector<uint8_t>>& chunks, size_t size,
                                        int windowBits) {
  const char name[] = "a";
  const uint32_t headerSize = 36, folderSize = 8, fileSize = 16 + sizeof name;
  uint32_t total = headerSize + folderSize + fileSize;
  for (const auto& c : chunks) total += 8 + static_cast<uint32_t>(c.size());
  std::vector<uint8_t> cab = {'M', 'S', 'C', 'F'};
  Put32(cab, 0);
  Put32(cab, total);
  Put32(cab, 0);
  Put32(cab, headerSize + folderSize);  // first file entry
  Put32(cab, 0);
  cab.push_back(3);  // format version 1.3
  cab.push_back(1);
  Put16(cab, 1);  // folders
  Put16(cab, 1);  // files
  Put16(cab, 0);  // flags
  Put16(cab, 0);  // set id
  Put16(cab, 0);  // cabinet number
  Put32(cab, headerSize + folderSize + fileSize);  // first data block
  Put16(cab, static_cast<uint32_t>(chunks.size()));
  Put16(cab, 3 | (windowBits << 8));  // LZX
  Put32(cab, static_cast<uint32_t>(size));
  Put32(cab, 0);       // offset in the folder
  Put16(cab, 0);       // folder
  Put16(cab, 0x5821);  // date
  Put16(cab, 0);       // time
  Put16(cab, 0x20);    // archive
  cab.insert(cab.end(), name, name + sizeof name);
  size_t left = size;
  for (const auto& c : chunks) {
    size_t frame = std::min<size_t>(left, 32768);
    left -= frame;
    Put32(cab, 0);
    Put16(cab, static_cast<uint32_t>(c.size()));
    Put16(cab, static_cast<uint32_t>(frame));
    cab.insert(cab.end(), c.begin(), c.end());
  }
  return cab;
}

bool ExtractWithMspack(const std::vector<uint8_t>& cabinet, std::vector<uint8_t>& file, std::string& error) {
  TMemorySystem system{{Open, Close, Read, Write, Seek, Tell, Message, Alloc, Free, Copy, nullptr}, &cabinet, &file};
  mscab_decompressor* reader = mspack_create_cab_decompressor(&system.Base);
  if (!reader) {
    error = "no decompressor";
    return false;
  }
  bool ok = false;
  mscabd_cabinet* opened = reader->open(reader, "cab");
  if (!opened || !opened->files || opened->files->next) {
    error = "cannot open the cabinet (error " + std::to_string(reader->last_error(reader)) + ")";
  } else {
    int result = reader->extract(reader, opened->files, "out");
    ok = result == MSPACK_ERR_OK;
    if (!ok) error = "extraction failed (error " + std::to_string(result) + ")";
  }
  if (opened) reader->close(reader, opened);
  mspack_destroy_cab_decompressor(reader);
  return ok;
}
