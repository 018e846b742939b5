#pragma once
// Work split over the machine's cores: independent pieces of one job (the two candidate
// records of a file, the packing of each candidate, the suffix sort beside the block delta)
// run on threads of their own where the machine has a second core, and one after the other
// where it has not. The caller waits for every piece, so what they produce never depends on
// which piece ended first: each piece writes only its own results.
//
// Threads are std::thread throughout (on Windows the MinGW runtime's POSIX thread model,
// as the hashing of hash/sha256_pipe.h uses).

#include <cstddef>
#include <functional>

// How many pieces may run at once: the machine's cores (at least 1), or 1 when
// KeepToOneThread(true) asked for it.
unsigned WorkThreads();
// For tests and benchmarks that compare one thread with several: every later call runs its
// pieces on the calling thread, in order.
void KeepToOneThread(bool one);

// Runs work(0) ... work(count - 1), at most WorkThreads() at a time, and returns when all
// have ended. A piece that throws does not stop the others; once all have ended, the
// exception of the lowest-numbered piece that threw is thrown here. Where no thread can be
// started, the pieces run on the calling thread.
void RunEach(size_t count, const std::function<void(size_t)>& work);

// first on the calling thread (so that it may report progress as a step of its own would)
// and second beside it; otherwise as RunEach over the two.
void RunBoth(const std::function<void()>& first, const std::function<void()>& second);
