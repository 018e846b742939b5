// Figures of the LZX encoder (window 2^21, as the cabinet writer uses it) against zlib at
// level 9 and against the cabinet writer's MSZIP frames on the same bytes: compressed size,
// ratio, speed in MB/s (processor time), the process's peak memory.
//
// lzx_bench FILE...   each file, one line (patch data files: delta_bench OLD NEW DELTA
//                     writes one from a release pair)
// lzx_bench           a synthesised patch data file of 16 MB: 256-byte blocks, most of them
//                     copy blocks with small edit lists, some literal blocks of code-like bytes
#include <ctime>
#include <cstdio>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>


#include <zlib.h>

#include "bench/peak_memory.h"
#include "lzx/lzx_encoder.h"
#include "cabinet/mszip_compressor.h"

namespace {

using TBytes = std::vector<uint8_t>;

// Processor time of this process where the C library measures it (POSIX), else wall time:
// the build machine is shared, and wall time there says more about the neighbours.
double Seconds(std::clock_t since) {
  return static_cast<double>(std::clock() - since) / CLOCKS_PER_SEC;
}

TBytes Synthesised() {
  TBytes out;
  uint32_t noise = 99;
  auto next = [&noise]() {
    noise = noise * 1103515245u + 12345u;
    return noise >> 16;
  };
  TBytes code(1 << 20);
  for (uint8_t& b : code) b = static_cast<uint8_t>(next() % 7 == 0 ? 0 : next());
  uint32_t source = 0;
  while (out.size() < (16u << 20)) {
    if (next() % 10 == 0) {  // literal block
      out.push_back(1);
      size_t at = next() % (code.size() - 256);
      out.insert(out.end(), code.begin() + at, code.begin() + at + 256);
      continue;
    }
    source += 256;
    if (next() % 16 == 0) source += next() % 64;  // a shift
    out.push_back(0);
    for (int i = 0; i < 4; i++) out.push_back(static_cast<uint8_t>(source >> (8 * i)));
    unsigned edits = next() % 4;
    out.push_back(static_cast<uint8_t>(edits));
    for (unsigned e = 0; e < edits; e++) {
      out.push_back(static_cast<uint8_t>(next()));
      out.push_back(4);
      for (int i = 0; i < 4; i++) out.push_back(static_cast<uint8_t>(next() % 3 == 0 ? next() : 0x10));
    }
  }
  return out;
}

void Measure(const std::string& name, const TBytes& data) {
  std::clock_t start = std::clock();
  uLongf zSize = compressBound(static_cast<uLong>(data.size()));
  TBytes z(zSize);
  compress2(z.data(), &zSize, data.data(), static_cast<uLong>(data.size()), 9);
  double zSeconds = Seconds(start);

  std::vector<TBytes> frames;
  MszipCompress(data.data(), data.size(), frames);
  size_t mszipSize = 0;
  for (const TBytes& f : frames) mszipSize += f.size();

  start = std::clock();
  std::vector<TBytes> chunks = LzxCompress(data.data(), data.size(), 21);
  double lzxSeconds = Seconds(start);
  size_t lzxSize = 0;
  for (const TBytes& c : chunks) lzxSize += c.size();

  const double mb = data.size() / 1048576.0;
  std::printf("| %s | %zu | %lu | %.3f | %.1f | %zu | %zu | %.3f | %.1f | %.3f | %.3f | %ld |\n", name.c_str(),
              data.size(), static_cast<unsigned long>(zSize), static_cast<double>(zSize) / data.size(),
              mb / zSeconds, mszipSize, lzxSize, static_cast<double>(lzxSize) / data.size(), mb / lzxSeconds,
              static_cast<double>(lzxSize) / zSize, static_cast<double>(lzxSize) / mszipSize, PeakKilobytes() / 1024);
}

}  // namespace

int main(int argc, char** argv) {
  std::printf("| data | bytes | zlib -9 | ratio | MB/s | MSZIP | LZX 2^21 | ratio | MB/s | LZX/zlib | LZX/MSZIP | peak MB |\n");
  std::printf("|---|---:|---:|---:|---:|---:|---:|---:|---:|---:|---:|---:|\n");
  if (argc < 2) {
    Measure("synthesised patch data", Synthesised());
    return 0;
  }
  for (int i = 1; i < argc; i++) {
    std::ifstream in(argv[i], std::ios::binary);
    if (!in) {
      std::fprintf(stderr, "cannot read %s\n", argv[i]);
      return 1;
    }
    TBytes data((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
    Measure(argv[i], data);
  }
  return 0;
}
