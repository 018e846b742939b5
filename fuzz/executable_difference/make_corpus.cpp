// Writes the seed corpus of the executable_difference fuzz target: small PE pairs of both
// machines with their executable records (version 3 for x86, 2 for x64), and damaged copies
// of them. Build and run by hand from the repository's root:
//   g++ -std=c++17 -I. fuzz/executable_difference/make_corpus.cpp difference/*.cpp executable/*.cpp \
//     -o /tmp/make_corpus && /tmp/make_corpus fuzz/executable_difference/corpus
#include <fstream>
#include <string>
#include <vector>

#include "difference/difference_encoder.h"
#include "tests/support/synthetic_pe.h"

namespace {

void Seed(const std::string& path, const std::vector<uint8_t>& old, const std::vector<uint8_t>& record) {
  std::ofstream out(path, std::ios::binary);
  const char length[2] = {static_cast<char>(old.size() & 0xFF), static_cast<char>(old.size() >> 8)};
  out.write(length, 2);
  out.write(reinterpret_cast<const char*>(old.data()), static_cast<std::streamsize>(old.size()));
  out.write(reinterpret_cast<const char*>(record.data()), static_cast<std::streamsize>(record.size()));
}

}  // namespace

int main(int argc, char** argv) {
  if (argc != 2) return 2;
  const std::string folder = argv[1];
  for (bool wide : {false, true}) {
    const TSyntheticPe pe = MakeSyntheticPe(40, 5, wide);
    std::vector<uint8_t> plain, record;
    if (!EncodeDifferences(pe.Old.data(), pe.Old.size(), pe.New.data(), pe.New.size(), plain, &record)) return 1;
    const std::string name = folder + (wide ? "/x64" : "/x86");
    Seed(name + "_moved_functions", pe.Old, record);
    std::vector<uint8_t> damaged = record;
    damaged[45] ^= 0x40;  // the machine
    Seed(name + "_other_machine", pe.Old, damaged);
    damaged = record;
    damaged[damaged.size() / 2] ^= 0xFF;
    Seed(name + "_byte_flipped", pe.Old, damaged);
    Seed(name + "_old_file_cut", std::vector<uint8_t>(pe.Old.begin(), pe.Old.end() - 100), record);
  }
  return 0;
}
