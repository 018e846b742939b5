// Figures of the delta encoder on real release pairs: encode time, peak memory of the
// process, raw delta size and blocks, time to apply the delta in memory.
//
// delta_bench                 every pair of the corpus, smallest first (the peak memory
//                                 printed is the process's peak so far, so each figure holds
//                                 for the largest pair up to that line)
// delta_bench OLD NEW [DELTA] one pair, one line (and the delta written to DELTA)
//
// The corpus is made by fetch_corpus.sh (MENDITWIZ_CORPUS overrides its place).
#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>


#include "bench/peak_memory.h"
#include "delta/delta_encoder.h"
#include "delta/delta_decoder.h"
#include "delta/memory_blocks.h"

namespace {

using TBytes = std::vector<uint8_t>;
using TClock = std::chrono::steady_clock;

bool Load(const std::string& path, TBytes& bytes) {
  std::ifstream in(path, std::ios::binary);
  if (!in) return false;
  bytes.assign(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
  return true;
}

double Milliseconds(TClock::time_point since) {
  return std::chrono::duration<double, std::milli>(TClock::now() - since).count();
}

bool Measure(const std::string& name, const std::string& oldPath, const std::string& newPath,
             const char* deltaPath = nullptr) {
  TBytes oldBytes, newBytes, delta;
  if (!Load(oldPath, oldBytes) || !Load(newPath, newBytes)) {
    std::printf("%-24s cannot read %s or %s\n", name.c_str(), oldPath.c_str(), newPath.c_str());
    return false;
  }
  TDeltaStats stats;
  auto start = TClock::now();
  const bool encoded = EncodeDelta(oldBytes.data(), oldBytes.size(), newBytes.data(), newBytes.size(), delta, &stats);
  const double encodeMs = Milliseconds(start);
  const long peak = PeakKilobytes();
  if (!encoded) {
    std::printf("%-24s cannot be encoded\n", name.c_str());
    return false;
  }
  if (deltaPath) {
    std::ofstream out(deltaPath, std::ios::binary);
    out.write(reinterpret_cast<const char*>(delta.data()), static_cast<std::streamsize>(delta.size()));
  }
  TMemoryBlockSource source(oldBytes.data(), oldBytes.size());
  TMemoryBlockTarget target;
  target.Bytes.reserve(newBytes.size());
  start = TClock::now();
  const TDeltaResult applied = ApplyDelta(delta.data(), delta.size(), source, target, nullptr);
  const double applyMs = Milliseconds(start);
  const bool same = applied.Status == TDeltaStatus::Applied && target.Bytes == newBytes;
  std::printf("%-24s old %10zu new %10zu  delta %10zu (%zu copy, %zu literal blocks, %zu bytes edited)  "
              "encode %8.1f ms  peak %8ld KB  apply %7.1f ms%s\n",
              name.c_str(), oldBytes.size(), newBytes.size(), delta.size(), stats.CopyBlocks, stats.LiteralBlocks,
              stats.EditedBytes, encodeMs, peak, applyMs, same ? "" : "  ROUND TRIP FAILED");
  return same;
}

}  // namespace

int main(int argc, char** argv) {
  if (argc == 3 || argc == 4)
    return Measure(std::filesystem::path(argv[2]).parent_path().filename().string(), argv[1], argv[2],
                   argc == 4 ? argv[3] : nullptr)
               ? 0
               : 1;
  const char* given = std::getenv("MENDITWIZ_CORPUS");
  const std::filesystem::path corpus = given ? given : MENDIT_SOURCE_DIR "/build/bench-corpus/menditwiz";
  std::error_code error;
  std::vector<std::pair<uintmax_t, std::filesystem::path>> pairs;
  for (const auto& entry : std::filesystem::directory_iterator(corpus, error)) {
    const auto newFile = entry.path() / "new";
    if (std::filesystem::exists(entry.path() / "old") && std::filesystem::exists(newFile))
      pairs.push_back({std::filesystem::file_size(newFile), entry.path()});
  }
  if (pairs.empty()) {
    std::printf("delta_bench: no release pairs in %s; run bench/menditwiz/fetch_corpus.sh first\n",
                corpus.string().c_str());
    return 0;
  }
  std::sort(pairs.begin(), pairs.end());
  bool all = true;
  for (const auto& pair : pairs)
    all &= Measure(pair.second.filename().string(), (pair.second / "old").string(), (pair.second / "new").string());
  return all ? 0 : 1;
}
