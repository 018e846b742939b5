#pragma once
// SHA-256 beside the work: TSha256Pipe takes the pieces of a message as TSha256 does, copies
// them into a few buffers and hashes them on a thread of its own, so a file is read or
// written and hashed at the same time. Hashing a file costs as much as reading or writing it
// (the system's SHA-256 runs at a few hundred MB/s under Wine), so on a machine with two or
// more cores a step that reads and hashes takes about as long as the slower of the two
// instead of their sum. On one core the pieces are hashed where Update is called.
//
// The queue is bounded (Slots buffers of SlotSize bytes): a writer that runs ahead of the
// hashing waits for a free buffer, so memory stays fixed however large the file.

#include <cstddef>
#include <memory>

#include "sha256.h"

class TSha256Pipe {
 public:
  static constexpr size_t SlotSize = 1024 * 1024;
  static constexpr int Slots = 4;

  // beside false hashes on the calling thread (the default on a machine with one core).
  // slotSize: the size of each buffer (small ones let a test go round the ring).
  explicit TSha256Pipe(bool beside = SecondCore(), size_t slotSize = SlotSize);
  ~TSha256Pipe();
  TSha256Pipe(const TSha256Pipe&) = delete;
  TSha256Pipe& operator=(const TSha256Pipe&) = delete;

  void Update(const void* data, size_t size);
  // Waits for the pieces still queued, then ends the message as TSha256::Final does.
  TSha256Digest Final();
  // As TSha256::Failed, for the message Final just returned.
  bool Failed() const { return Hasher.Failed(); }
  // True when the pieces are hashed on a second thread.
  bool Beside() const { return Queue != nullptr; }

  // Whether this machine has a second core for the hashing (and hashing beside the work is
  // not switched off for the process: HashInPlace, for benchmarks that compare the two).
  static bool SecondCore();
  static void HashInPlace(bool inPlace);

 private:
  struct TQueue;
  // Hands the buffer being filled to the hashing thread.
  void Submit();

  TSha256 Hasher;
  std::unique_ptr<TQueue> Queue;  // null: hashed in place
};
