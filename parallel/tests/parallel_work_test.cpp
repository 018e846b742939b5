#include <gtest/gtest.h>

#include <atomic>
#include <set>
#include <stdexcept>
#include <string>
#include <thread>
#include <vector>

#include "parallel/parallel_work.h"

namespace {

struct TCase {
  std::string Name;
  size_t Count;
  std::set<size_t> Throwing;  // pieces that throw, each with its number as the message
  int Thrown;                 // the piece whose exception reaches the caller; -1: none
};

// Every piece runs exactly once, on one thread or several, and a failure is reported as the
// lowest-numbered failing piece's, whatever the order the pieces ended in.
TEST(ParallelWorkTest, RunsEveryPieceOnceAndReportsTheFirstFailure) {
  const std::vector<TCase> cases = {
      {"nothing to do", 0, {}, -1},
      {"one piece", 1, {}, -1},
      {"more pieces than cores", 9, {}, -1},
      {"the last piece throws", 5, {4}, 4},
      {"two pieces throw", 6, {5, 2}, 2},
      {"every piece throws", 3, {0, 1, 2}, 0},
  };
  for (bool one : {true, false}) {
    KeepToOneThread(one);
    for (const TCase& c : cases) {
      SCOPED_TRACE(c.Name + (one ? ", one thread" : ", all cores"));
      std::vector<std::atomic<int>> runs(c.Count);
      int thrown = -1;
      try {
        RunEach(c.Count, [&](size_t piece) {
          runs[piece]++;
          if (c.Throwing.count(piece)) throw std::runtime_error(std::to_string(piece));
        });
      } catch (const std::runtime_error& e) {
        thrown = std::stoi(e.what());
      }
      EXPECT_EQ(c.Thrown, thrown);
      for (size_t piece = 0; piece < c.Count; piece++) EXPECT_EQ(1, runs[piece].load()) << "piece " << piece;
    }
  }
  KeepToOneThread(false);
}

// RunBoth keeps its first piece on the calling thread (it reports progress there) and
// reports the first piece's failure before the second's.
TEST(ParallelWorkTest, RunBothKeepsTheFirstPieceHere) {
  const struct {
    const char* Name;
    bool FirstThrows, SecondThrows;
    const char* Thrown;
  } cases[] = {{"neither throws", false, false, ""}, {"second throws", false, true, "second"}, {"both throw", true, true, "first"}};
  for (const auto& c : cases) {
    SCOPED_TRACE(c.Name);
    std::thread::id firstRanOn;
    int secondRuns = 0;
    std::string thrown;
    try {
      RunBoth(
          [&] {
            firstRanOn = std::this_thread::get_id();
            if (c.FirstThrows) throw std::runtime_error("first");
          },
          [&] {
            secondRuns++;
            if (c.SecondThrows) throw std::runtime_error("second");
          });
    } catch (const std::runtime_error& e) {
      thrown = e.what();
    }
    EXPECT_EQ(std::this_thread::get_id(), firstRanOn);
    EXPECT_EQ(1, secondRuns);
    EXPECT_EQ(c.Thrown, thrown);
  }
}

}  // namespace
