// Figures of the difference record: size (raw, and after zlib -9 as a stand-in for the
// cabinet's compression), encode and decode times (wall clock), the heap each needs above
// the files themselves, and the process's peak memory.
//
// difference_bench                     every pair of the builder's corpus, smallest first
//                                      (bench/menditwiz/fetch_corpus.sh; MENDITWIZ_CORPUS
//                                      overrides its place), then a synthetic 64 MB pair (code
//                                      with insertions, every address past them moved); the
//                                      peak memory is the process's, so it grows row by row
// difference_bench OLD NEW [RECORD]    one pair; the record is written to RECORD if given
// difference_bench -synthetic DIR      writes the synthetic pair to DIR/old and DIR/new
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <new>
#include <string>
#include <vector>

#include <zlib.h>

#include "bench/peak_memory.h"
#include "difference/difference_decoder.h"
#include "difference/difference_encoder.h"
#include "difference/suffix_array.h"
#include "tests/support/synthetic_code.h"

// Heap in use and its peak, counted by every allocation of the program.
namespace {
size_t HeapInUse = 0;
size_t HeapPeak = 0;
constexpr size_t Prefix = 16;  // keeps the caller's block aligned
}  // namespace

void* operator new(size_t size) {
  uint8_t* block = static_cast<uint8_t*>(std::malloc(size + Prefix));
  if (!block) throw std::bad_alloc();
  *reinterpret_cast<size_t*>(block) = size;
  HeapInUse += size;
  if (HeapInUse > HeapPeak) HeapPeak = HeapInUse;
  return block + Prefix;
}
void operator delete(void* pointer) noexcept {
  if (!pointer) return;
  uint8_t* block = static_cast<uint8_t*>(pointer) - Prefix;
  HeapInUse -= *reinterpret_cast<size_t*>(block);
  std::free(block);
}
void operator delete(void* pointer, size_t) noexcept { operator delete(pointer); }

namespace {

using TBytes = std::vector<uint8_t>;
using TClock = std::chrono::steady_clock;

constexpr size_t SyntheticSize = 64u << 20;
constexpr uint32_t SyntheticSeed = 7;
constexpr int SyntheticInsertions = 40;

double Since(TClock::time_point start) { return std::chrono::duration<double>(TClock::now() - start).count(); }

// Compares what the decoder writes with the expected file instead of keeping it.
class TComparingSink : public TDifferenceSink {
 public:
  explicit TComparingSink(const TBytes& expected) : expected(expected) {}
  bool Same = true;
  size_t Done = 0;
  bool Write(const uint8_t* bytes, size_t size) override {
    if (size > expected.size() - Done || !std::equal(bytes, bytes + size, expected.begin() + Done)) Same = false;
    Done += size;
    return Same;
  }

 private:
  const TBytes& expected;
};

bool ReadFile(const std::filesystem::path& path, TBytes& bytes) {
  std::ifstream in(path, std::ios::binary);
  if (!in) return false;
  bytes.assign(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
  return true;
}

bool Measure(const std::string& name, const TBytes& old, const TBytes& next, const char* recordPath) {
  auto start = TClock::now();
  {
    std::vector<int32_t> suffixes;
    if (!BuildSuffixArray(old.data(), old.size(), suffixes)) return false;
  }
  const double suffixSeconds = Since(start);

  size_t base = HeapInUse;
  HeapPeak = HeapInUse;
  TBytes record;
  start = TClock::now();
  if (!EncodeDifference(old.data(), old.size(), next.data(), next.size(), record)) {
    std::printf("%s: cannot encode\n", name.c_str());
    return false;
  }
  const double encodeSeconds = Since(start);
  const double encodeHeap = static_cast<double>(HeapPeak - base - record.size()) / (1 << 20);

  base = HeapInUse;
  HeapPeak = HeapInUse;
  TMemoryDifferenceSource recordSource(record);
  TMemoryDifferenceSource oldSource(old);
  TComparingSink sink(next);
  start = TClock::now();
  const TDifferenceStatus status = ApplyDifference(recordSource, oldSource, sink);
  const double decodeSeconds = Since(start);
  const size_t decodeHeap = HeapPeak - base;
  if (status != TDifferenceStatus::Applied || !sink.Same || sink.Done != next.size()) {
    std::printf("%s: the record does not rebuild the new file\n", name.c_str());
    return false;
  }

  uLongf packedSize = compressBound(static_cast<uLong>(record.size()));
  TBytes packed(packedSize);
  if (compress2(packed.data(), &packedSize, record.data(), static_cast<uLong>(record.size()), 9) != Z_OK) return false;
  TDifferenceHeader header;
  CheckDifference(recordSource, &header);
  std::printf("| %s | %zu | %zu | %u | %zu | %lu | %.2f | %.2f | %.3f | %.0f | %.0f | %ld |\n", name.c_str(),
              old.size(), next.size(), header.EntryCount, record.size(), static_cast<unsigned long>(packedSize),
              suffixSeconds, encodeSeconds, decodeSeconds, encodeHeap, decodeHeap / 1024.0, PeakKilobytes() / 1024);
  std::fflush(stdout);
  if (recordPath) {
    std::ofstream out(recordPath, std::ios::binary);
    out.write(reinterpret_cast<const char*>(record.data()), static_cast<std::streamsize>(record.size()));
    if (!out) return false;
  }
  return true;
}

void PrintHead() {
  std::printf("| pair | old | new | entries | record | zlib -9 | suffix array s | encode s | decode s "
              "| encode heap MB | decode heap KB | peak MB |\n");
  std::printf("|---|---:|---:|---:|---:|---:|---:|---:|---:|---:|---:|---:|\n");
}

}  // namespace

int main(int argc, char** argv) {
  if ((argc == 3 || argc == 4) && std::string(argv[1]) != "-synthetic") {
    TBytes old, next;
    if (!ReadFile(argv[1], old) || !ReadFile(argv[2], next)) {
      std::printf("difference_bench: cannot read %s or %s\n", argv[1], argv[2]);
      return 1;
    }
    PrintHead();
    return Measure(std::filesystem::path(argv[2]).parent_path().filename().string(), old, next,
                   argc == 4 ? argv[3] : nullptr)
               ? 0
               : 1;
  }
  if (argc == 3 && std::string(argv[1]) == "-synthetic") {
    const TSyntheticCode code = MakeSyntheticCode(SyntheticSize, SyntheticSeed, SyntheticInsertions);
    std::filesystem::create_directories(argv[2]);
    std::ofstream old(std::filesystem::path(argv[2]) / "old", std::ios::binary);
    std::ofstream next(std::filesystem::path(argv[2]) / "new", std::ios::binary);
    old.write(reinterpret_cast<const char*>(code.Old.data()), static_cast<std::streamsize>(code.Old.size()));
    next.write(reinterpret_cast<const char*>(code.New.data()), static_cast<std::streamsize>(code.New.size()));
    return old && next ? 0 : 5;
  }
  if (argc != 1) {
    std::printf("usage: difference_bench [OLD NEW [RECORD] | -synthetic DIR]\n");
    return 6;
  }
  PrintHead();
  const char* given = std::getenv("MENDITWIZ_CORPUS");
  const std::filesystem::path corpus = given ? given : MENDIT_SOURCE_DIR "/build/bench-corpus/menditwiz";
  std::error_code error;
  std::vector<std::pair<uintmax_t, std::filesystem::path>> pairs;
  for (const auto& entry : std::filesystem::directory_iterator(corpus, error)) {
    pairs.emplace_back(std::filesystem::file_size(entry.path() / "new", error), entry.path());
  }
  std::sort(pairs.begin(), pairs.end());
  bool ok = true;
  for (const auto& pair : pairs) {
    TBytes old, next;
    if (ReadFile(pair.second / "old", old) && ReadFile(pair.second / "new", next)) {
      ok = Measure(pair.second.filename().string(), old, next, nullptr) && ok;
    }
  }
  if (pairs.empty()) std::printf("(no release pairs in %s: bench/menditwiz/fetch_corpus.sh makes them)\n", corpus.string().c_str());
  const TSyntheticCode code = MakeSyntheticCode(SyntheticSize, SyntheticSeed, SyntheticInsertions);
  ok = Measure("synthetic code, 40 insertions", code.Old, code.New, nullptr) && ok;
  return ok ? 0 : 1;
}
