#include "sha256_pipe.h"

#include <algorithm>
#include <atomic>
#include <condition_variable>
#include <cstdint>
#include <cstring>
#include <mutex>
#include <thread>
#include <vector>

// The buffers form a ring: the caller fills Buffers[Filling] and submits it; the hashing
// thread takes them in the same order. Submitted counts the buffers handed over, Hashed
// those done; a buffer may be filled again once Submitted - Hashed < Slots.
struct TSha256Pipe::TQueue {
  std::vector<std::vector<uint8_t>> Buffers;
  std::vector<size_t> Lengths;
  size_t Size = 0;    // of each buffer
  size_t Filled = 0;  // bytes in the buffer being filled
  uint64_t Submitted = 0;
  uint64_t Hashed = 0;
  bool Stop = false;
  std::mutex Lock;
  std::condition_variable Work;  // to the hashing thread: a buffer is waiting, or stop
  std::condition_variable Done;  // to the caller: a buffer is free again
  std::thread Thread;

  int Current() const { return static_cast<int>(Submitted % Slots); }
};

namespace {
std::atomic<bool> InPlace{false};
}  // namespace

bool TSha256Pipe::SecondCore() { return !InPlace && std::thread::hardware_concurrency() >= 2; }

void TSha256Pipe::HashInPlace(bool inPlace) { InPlace = inPlace; }

TSha256Pipe::TSha256Pipe(bool beside, size_t slotSize) {
  if (!beside) return;
  Queue.reset(new TQueue);
  TQueue& queue = *Queue;
  queue.Size = std::max<size_t>(slotSize, 1);
  queue.Buffers.assign(Slots, std::vector<uint8_t>(queue.Size));
  queue.Lengths.assign(Slots, 0);
  queue.Thread = std::thread([this, &queue] {
    std::unique_lock<std::mutex> hold(queue.Lock);
    for (;;) {
      queue.Work.wait(hold, [&] { return queue.Stop || queue.Hashed < queue.Submitted; });
      if (queue.Hashed == queue.Submitted) return;  // stopped with nothing left
      const int slot = static_cast<int>(queue.Hashed % Slots);
      hold.unlock();
      Hasher.Update(queue.Buffers[slot].data(), queue.Lengths[slot]);
      hold.lock();
      ++queue.Hashed;
      queue.Done.notify_all();
    }
  });
}

TSha256Pipe::~TSha256Pipe() {
  if (!Queue) return;
  {
    std::lock_guard<std::mutex> hold(Queue->Lock);
    Queue->Stop = true;
  }
  Queue->Work.notify_all();
  Queue->Thread.join();
}

void TSha256Pipe::Submit() {
  TQueue& queue = *Queue;
  std::unique_lock<std::mutex> hold(queue.Lock);
  queue.Lengths[queue.Current()] = queue.Filled;
  ++queue.Submitted;
  queue.Filled = 0;
  queue.Work.notify_all();
  // The next buffer must be free before it is filled.
  queue.Done.wait(hold, [&] { return queue.Submitted - queue.Hashed < static_cast<uint64_t>(Slots); });
}

void TSha256Pipe::Update(const void* data, size_t size) {
  if (!Queue) return Hasher.Update(data, size);
  const uint8_t* bytes = static_cast<const uint8_t*>(data);
  TQueue& queue = *Queue;
  while (size > 0) {
    // The buffer being filled is the caller's alone until it is submitted.
    const size_t piece = std::min(size, queue.Size - queue.Filled);
    std::memcpy(queue.Buffers[queue.Current()].data() + queue.Filled, bytes, piece);
    queue.Filled += piece;
    bytes += piece;
    size -= piece;
    if (queue.Filled == queue.Size) Submit();
  }
}

TSha256Digest TSha256Pipe::Final() {
  if (!Queue) return Hasher.Final();
  TQueue& queue = *Queue;
  if (queue.Filled > 0) Submit();
  std::unique_lock<std::mutex> hold(queue.Lock);
  queue.Done.wait(hold, [&] { return queue.Hashed == queue.Submitted; });
  // The hashing thread is idle and waits for the lock: the hasher is this thread's now.
  return Hasher.Final();
}
