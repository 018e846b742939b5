// Where `-delta best` spends its time on one changed file: each stage of making and judging
// its candidates alone, on one thread and on all cores, then the candidates' whole stage as
// the builder runs it (block delta beside the difference records, then the packing two at a
// time). Peak memory is the whole process's.
//   build_stages_bench old.exe new.exe
#include <chrono>
#include <cstdio>
#include <fstream>
#include <functional>
#include <iterator>
#include <string>
#include <vector>

#include "bench/peak_memory.h"
#include "cabinet/cab_writer.h"
#include "delta/delta_encoder.h"
#include "difference/difference_encoder.h"
#include "difference/suffix_array.h"
#include "parallel/parallel_work.h"

namespace {

using TBytes = std::vector<uint8_t>;

TBytes ReadFile(const char* path) {
  std::ifstream in(path, std::ios::binary);
  return TBytes((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
}

size_t Packed(const TBytes& data) {
  TCompressedFrames frames;
  std::string error;
  if (!CompressFrames(data.data(), data.size(), TCabCompression::Lzx, frames, error)) return 0;
  size_t size = 0;
  for (const TBytes& frame : frames.Frames) size += frame.size() + 8;
  return size;
}

double Seconds(const std::function<void()>& work) {
  const auto start = std::chrono::steady_clock::now();
  work();
  return std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
}

void Row(const char* stage, double one, double all) {
  if (all < 0) {
    std::printf("| %s | %.2f | |\n", stage, one);
  } else {
    std::printf("| %s | %.2f | %.2f |\n", stage, one, all);
  }
}

}  // namespace

int main(int argc, char** argv) {
  if (argc != 3) {
    std::fprintf(stderr, "usage: build_stages_bench old new\n");
    return 2;
  }
  TBytes old, next;
  const double read = Seconds([&] {
    old = ReadFile(argv[1]);
    next = ReadFile(argv[2]);
  });
  std::printf("%s -> %s: %zu -> %zu bytes, %u cores\n\n", argv[1], argv[2], old.size(), next.size(), WorkThreads());
  std::printf("| stage | one thread s | all cores s |\n|---|---:|---:|\n");
  Row("read both files", read, -1);
  std::vector<int32_t> suffixes;
  Row("suffix array of the old file", Seconds([&] { BuildSuffixArray(old.data(), old.size(), suffixes); }), -1);
  std::vector<int32_t>().swap(suffixes);
  TBytes block, plain, executable;
  Row("block delta", Seconds([&] { EncodeDelta(old.data(), old.size(), next.data(), next.size(), block); }), -1);
  double encode[2];
  for (bool one : {true, false}) {
    KeepToOneThread(one);
    encode[one ? 0 : 1] =
        Seconds([&] { EncodeDifferences(old.data(), old.size(), next.data(), next.size(), plain, &executable); });
  }
  Row("difference records (suffix array, matching, both records)", encode[0], encode[1]);
  size_t packed[3] = {};
  const TBytes* candidates[3] = {&block, &plain, &executable};
  const char* names[3] = {"pack the block delta (LZX)", "pack the plain record (LZX)", "pack the executable record (LZX)"};
  for (int c = 0; c < 3; c++) Row(names[c], Seconds([&] { packed[c] = Packed(*candidates[c]); }), -1);
  // The builder's order: block delta and its packing beside the difference records, then the
  // two records packed at once.
  double whole[2];
  for (bool one : {true, false}) {
    KeepToOneThread(one);
    whole[one ? 0 : 1] = Seconds([&] {
      RunBoth([&] { EncodeDelta(old.data(), old.size(), next.data(), next.size(), block), packed[0] = Packed(block); },
              [&] { EncodeDifferences(old.data(), old.size(), next.data(), next.size(), plain, &executable); });
      RunBoth([&] { packed[1] = Packed(plain); }, [&] { packed[2] = executable.empty() ? 0 : Packed(executable); });
    });
  }
  KeepToOneThread(false);
  Row("the candidates' whole stage, as the builder runs it", whole[0], whole[1]);
  std::printf("\nbytes (raw / packed): block %zu / %zu, plain %zu / %zu, executable %zu / %zu; peak %ld KB\n",
              block.size(), packed[0], plain.size(), packed[1], executable.size(), packed[2], PeakKilobytes());
  return 0;
}
