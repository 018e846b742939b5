// Cabinets from our writer, extracted by a real reader: libmspack natively, the system
// cabinet library (through the patch unpacker, as mendit uses it) under Wine. Both must give
// back the file byte for byte.

#include <gtest/gtest.h>

#include <cstdio>
#include <string>
#include <vector>

#include "cabinet/cab_writer.h"

#ifdef _WIN32
#include <windows.h>

#include "cabinet/patch_unpacker.h"
#include "report/formatting_reporter.h"
#include "tests/support/test_reporters.h"
#else
#include <mspack.h>
#endif

namespace {

bool WriteBytes(const std::string& path, const std::vector<uint8_t>& bytes) {
  std::FILE* f = std::fopen(path.c_str(), "wb");
  if (!f) return false;
  const bool ok = bytes.empty() || std::fwrite(bytes.data(), 1, bytes.size(), f) == bytes.size();
  return std::fclose(f) == 0 && ok;
}

#ifndef _WIN32
bool ReadBytes(const std::string& path, std::vector<uint8_t>& bytes) {
  bytes.clear();
  std::FILE* f = std::fopen(path.c_str(), "rb");
  if (!f) return false;
  uint8_t buffer[65536];
  size_t got;
  while ((got = std::fread(buffer, 1, sizeof buffer, f)) > 0) bytes.insert(bytes.end(), buffer, buffer + got);
  std::fclose(f);
  return true;
}
#endif

struct TExtracted {
  bool Ok = false;
  std::string Name;
  std::vector<uint8_t> Bytes;
  TDosStamp Stamp = 0;
  int Attributes = 0;
};

#ifdef _WIN32
TExtracted Extract(const std::string& cabinet) {
  TExtracted result;
  char folder[MAX_PATH];
  GetCurrentDirectoryA(sizeof folder, folder);
  TErrorReporter reporter;
  TPatchUnpacker unpacker(&reporter);
  const std::string directory = std::string(folder) + "\\";
  if (unpacker.Unpack(cabinet.c_str(), directory.c_str(), 0) && unpacker.ExtractedName()[0] &&
      unpacker.TemporaryFiles().size() == 1) {
    // The unpacker holds the file open with delete access: only a reader sharing that opens it.
    const std::unique_ptr<TInputFile> data = unpacker.OpenExtracted();
    result.Bytes.resize(data ? size_t(data->Size()) : 0);
    result.Ok = data && data->Read(0, result.Bytes.data(), result.Bytes.size()) == int64_t(result.Bytes.size()) &&
                reporter.Errors.empty();
    HANDLE file = CreateFileA(unpacker.ExtractedName(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
                              nullptr, OPEN_EXISTING, 0, nullptr);
    FILETIME written, local;
    WORD date = 0, time = 0;
    if (file != INVALID_HANDLE_VALUE && GetFileTime(file, nullptr, nullptr, &written) &&
        FileTimeToLocalFileTime(&written, &local) && FileTimeToDosDateTime(&local, &date, &time))
      result.Stamp = DosStamp(date, time);
    if (file != INVALID_HANDLE_VALUE) CloseHandle(file);
    result.Attributes = static_cast<int>(GetFileAttributesA(unpacker.ExtractedName()) & 0x27);
  }
  EXPECT_EQ("", reporter.Errors);
  unpacker.RemoveTemporaryFiles();
  return result;
}
#else
TExtracted Extract(const std::string& cabinet) {
  TExtracted result;
  mscab_decompressor* reader = mspack_create_cab_decompressor(nullptr);
  if (!reader) return result;
  mscabd_cabinet* opened = reader->open(reader, cabinet.c_str());
  if (opened && opened->files && !opened->files->next) {
    const mscabd_file* file = opened->files;
    result.Name = file->filename;
    result.Stamp = MakeDosStamp(file->date_y, file->date_m, file->date_d, file->time_h,
                                file->time_m, file->time_s);
    result.Attributes = file->attribs & 0x27;
    const std::string out = cabinet + ".out";
    result.Ok = reader->extract(reader, opened->files, out.c_str()) == MSPACK_ERR_OK &&
                ReadBytes(out, result.Bytes);
    std::remove(out.c_str());
  }
  if (opened) reader->close(reader, opened);
  mspack_destroy_cab_decompressor(reader);
  return result;
}
#endif

// Text-like runs, repeats from far back (also across frames) and stretches of noise.
std::vector<uint8_t> Sample(size_t size) {
  std::vector<uint8_t> bytes(size);
  uint32_t noise = 12345;
  for (size_t i = 0; i < size; ++i) {
    noise = noise * 1103515245u + 12345u;
    const size_t part = (i / 5000) % 4;
    if (part == 0) {
      bytes[i] = static_cast<uint8_t>("the quick brown fox, 0123456789\r\n"[i % 33]);
    } else if (part == 1 && i >= 40000) {
      bytes[i] = bytes[i - 40000 + (i % 7)];
    } else {
      bytes[i] = static_cast<uint8_t>(noise >> 24);
    }
  }
  return bytes;
}

TEST(CabWriter, TheReaderGivesBackEveryByte) {
  const TCabCompression methods[] = {TCabCompression::Mszip, TCabCompression::Lzx};
  const size_t sizes[] = {0, 1, 32767, 32768, 32769, 3 * 1024 * 1024 + 12345};
  const TCabinetEntry entry{"PATCH.DAT", MakeDosStamp(2024, 2, 29, 23, 59, 58), 0x21};
  for (TCabCompression method : methods) {
    for (size_t size : sizes) {
      SCOPED_TRACE("method " + std::to_string(static_cast<int>(method)) + ", " + std::to_string(size) + " bytes");
      const std::vector<uint8_t> data = Sample(size);
      std::vector<uint8_t> cabinet;
      std::string error;
      ASSERT_TRUE(MakeCabinetInMemory(entry, data.data(), data.size(), method, cabinet, error)) << error;
      ASSERT_TRUE(WriteBytes("writer_test.cab", cabinet));
      const TExtracted got = Extract("writer_test.cab");
      ASSERT_TRUE(got.Ok);
      EXPECT_TRUE(got.Bytes == data);
      EXPECT_EQ(entry.Stamp, got.Stamp);
#ifndef _WIN32
      EXPECT_EQ(entry.Name, got.Name);
      EXPECT_EQ(entry.Attributes, got.Attributes);
#endif
      if (size > 1000000) {
        EXPECT_LT(cabinet.size(), size * 4 / 5);
      }
    }
  }
  std::remove("writer_test.cab");
}

// The checksum as published: words XORed, a last partial word taken high byte first.
TEST(CabWriter, ChecksumOfWordsAndTail) {
  const uint8_t bytes[] = {0x01, 0x02, 0x03, 0x04, 0x10, 0x20, 0x30};
  EXPECT_EQ(0x04030201u, CabChecksum(bytes, 4, 0));
  EXPECT_EQ(0x04030201u ^ 0x00102030u, CabChecksum(bytes, 7, 0));
  EXPECT_EQ(0x04030201u ^ 0xFFu, CabChecksum(bytes, 4, 0xFF));
}

TEST(CabWriter, RefusesWhatACabinetCannotHold) {
  std::vector<uint8_t> cabinet;
  std::string error;
  const uint8_t byte = 0;
  EXPECT_FALSE(MakeCabinetInMemory({std::string(256, 'A')}, &byte, 1, TCabCompression::Mszip, cabinet, error));
  EXPECT_FALSE(MakeCabinetInMemory({""}, &byte, 1, TCabCompression::Mszip, cabinet, error));
  TCompressedFrames tooFew;
  TMemoryCabinetSink sink;
  EXPECT_FALSE(MakeCabinetFromFrames({"A"}, 40000, tooFew, sink, error));
}

}  // namespace
