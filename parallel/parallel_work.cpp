#include "parallel_work.h"

#include <algorithm>
#include <atomic>
#include <exception>
#include <system_error>
#include <thread>
#include <vector>

namespace {
std::atomic<bool> OneThread{false};
}  // namespace

unsigned WorkThreads() {
  if (OneThread) return 1;
  const unsigned cores = std::thread::hardware_concurrency();
  return cores == 0 ? 1 : cores;
}

void KeepToOneThread(bool one) { OneThread = one; }

void RunEach(size_t count, const std::function<void(size_t)>& work) {
  std::vector<std::exception_ptr> failures(count);
  std::atomic<size_t> next{0};
  // Each worker takes the next piece not yet taken; the pieces' results go to places of
  // their own, so the order in which they are taken changes nothing.
  auto worker = [&] {
    for (size_t piece; (piece = next++) < count;) {
      try {
        work(piece);
      } catch (...) {
        failures[piece] = std::current_exception();
      }
    }
  };
  std::vector<std::thread> helpers;
  const size_t wanted = std::min<size_t>(WorkThreads(), count);
  for (size_t t = 1; t < wanted; t++) {
    try {
      helpers.emplace_back(worker);
    } catch (const std::system_error&) {  // no thread to be had: this one does the rest
      break;
    }
  }
  worker();
  for (std::thread& helper : helpers) helper.join();
  for (const std::exception_ptr& failure : failures)
    if (failure) std::rethrow_exception(failure);
}

void RunBoth(const std::function<void()>& first, const std::function<void()>& second) {
  std::exception_ptr failures[2];
  auto run = [&failures](const std::function<void()>& work, int piece) {
    try {
      work();
    } catch (...) {
      failures[piece] = std::current_exception();
    }
  };
  std::thread helper;
  if (WorkThreads() > 1) {
    try {
      helper = std::thread(run, std::cref(second), 1);
    } catch (const std::system_error&) {  // no thread to be had: second runs after first
    }
  }
  run(first, 0);
  if (helper.joinable()) {
    helper.join();
  } else {
    run(second, 1);
  }
  for (const std::exception_ptr& failure : failures)
    if (failure) std::rethrow_exception(failure);
}
