// The executable mode of the difference record on real PE pairs: for each pair given on the
// command line (old new [out-prefix]), the plain and the executable record's sizes, raw and
// packed as a cabinet packs them (LZX), the encode time, and a byte-exact round trip of
// both. With out-prefix, writes both records (prefix.plain, prefix.exe) for outside coders.
//   executable_bench old.exe new.exe [out=prefix] ...
// With -apply, applies one record from the disk as the patch engine does (the record and the
// old file read at offsets, the new file written in order) and prints its time and the
// process's peak memory, which is then the apply's alone:
//   executable_bench -apply record old.exe out.exe
#include <chrono>
#include <cstdio>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

#include "bench/peak_memory.h"
#include "cabinet/cab_writer.h"
#include "difference/difference_decoder.h"
#include "difference/difference_encoder.h"

namespace {

std::vector<uint8_t> ReadFile(const char* path) {
  std::ifstream in(path, std::ios::binary);
  return std::vector<uint8_t>((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
}

size_t Packed(const std::vector<uint8_t>& data) {
  TCompressedFrames frames;
  std::string error;
  if (!CompressFrames(data.data(), data.size(), TCabCompression::Lzx, frames, error)) return 0;
  size_t size = 0;
  for (const std::vector<uint8_t>& frame : frames.Frames) size += frame.size() + 8;
  return size;
}

bool RoundTrip(const std::vector<uint8_t>& record, const std::vector<uint8_t>& old, const std::vector<uint8_t>& next,
               double& seconds) {
  const auto start = std::chrono::steady_clock::now();
  TMemoryDifferenceSource recordSource(record), oldSource(old);
  TVectorDifferenceSink sink;
  const bool same = ApplyDifference(recordSource, oldSource, sink) == TDifferenceStatus::Applied && sink.Bytes == next;
  seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
  return same;
}

// A file read at offsets through the C library (its own small buffer).
class TFileSource : public TDifferenceSource {
 public:
  explicit TFileSource(const char* path) : file(std::fopen(path, "rb")) {}
  ~TFileSource() override {
    if (file) std::fclose(file);
  }
  int64_t Size() override {
    if (!file || std::fseek(file, 0, SEEK_END) != 0) return -1;
    return std::ftell(file);
  }
  size_t Reads = 0, BytesRead = 0;
  bool Read(int64_t offset, uint8_t* bytes, size_t size) override {
    Reads++;
    BytesRead += size;
    return file && std::fseek(file, static_cast<long>(offset), SEEK_SET) == 0 && std::fread(bytes, 1, size, file) == size;
  }

 private:
  std::FILE* file;
};

class TFileSink : public TDifferenceSink {
 public:
  explicit TFileSink(const char* path) : file(std::fopen(path, "wb")) {}
  ~TFileSink() override {
    if (file) std::fclose(file);
  }
  bool Write(const uint8_t* bytes, size_t size) override { return file && std::fwrite(bytes, 1, size, file) == size; }

 private:
  std::FILE* file;
};

int ApplyFromDisk(const char* recordPath, const char* oldPath, const char* outPath) {
  const auto start = std::chrono::steady_clock::now();
  TFileSource record(recordPath), old(oldPath);
  TDifferenceStatus status;
  {
    TFileSink sink(outPath);
    status = ApplyDifference(record, old, sink);
  }
  const double seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
  std::printf("apply %s: %.2f s, peak %ld KB; old file: %zu reads, %zu bytes; record: %zu reads\n",
              status == TDifferenceStatus::Applied ? "done" : "FAILED", seconds, PeakKilobytes(), old.Reads, old.BytesRead,
              record.Reads);
  return status == TDifferenceStatus::Applied ? 0 : 1;
}

}  // namespace

int main(int argc, char** argv) {
  if (argc == 5 && std::string(argv[1]) == "-apply") return ApplyFromDisk(argv[2], argv[3], argv[4]);
  std::printf("| new bytes | plain | plain LZX | executable | executable LZX | exe/plain LZX | encode s | apply s | round trip |\n");
  for (int i = 1; i + 1 < argc; i += 2) {
    const std::vector<uint8_t> old = ReadFile(argv[i]), next = ReadFile(argv[i + 1]);
    std::vector<uint8_t> plain, executable;
    const auto start = std::chrono::steady_clock::now();
    if (!EncodeDifferences(old.data(), old.size(), next.data(), next.size(), plain, &executable)) {
      std::printf("%s: cannot encode\n", argv[i + 1]);
      return 1;
    }
    const double encode = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
    double plainApply = 0, exeApply = 0;
    const bool plainSame = RoundTrip(plain, old, next, plainApply);
    const bool exeSame = executable.empty() || RoundTrip(executable, old, next, exeApply);
    const size_t plainPacked = Packed(plain), exePacked = executable.empty() ? 0 : Packed(executable);
    std::printf("| %zu | %zu | %zu | %zu | %zu | %.2f | %.2f | %.2f | %s |\n", next.size(), plain.size(), plainPacked,
                executable.size(), exePacked, plainPacked ? double(exePacked) / plainPacked : 0.0, encode, exeApply,
                plainSame && exeSame ? "exact" : "DIFFERS");
    if (i + 2 < argc && std::string(argv[i + 2]).rfind("out=", 0) == 0) {
      const std::string prefix = argv[i + 2] + 4;
      std::ofstream(prefix + ".plain", std::ios::binary).write(reinterpret_cast<const char*>(plain.data()), plain.size());
      std::ofstream(prefix + ".exe", std::ios::binary).write(reinterpret_cast<const char*>(executable.data()), executable.size());
      i++;
    }
    if (!plainSame || !exeSame) return 1;
  }
  std::printf("peak %ld KB\n", PeakKilobytes());
  return 0;
}
