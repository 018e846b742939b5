#pragma once
// SHA-256, computed by the system: bcrypt.dll on Windows (sha256_win32.cpp), Debian's
// nettle elsewhere (sha256_posix.cpp). Both give the same digests; the tests prove it on a
// table of known messages and a fixed megabyte.
//
// TSha256 hashes a message fed in pieces of any size, so a file can be hashed while it is
// read or written:
//   TSha256 hasher;
//   while (...) hasher.Update(buffer, got);
//   TSha256Digest digest = hasher.Final();
// Creating one costs nothing (the system's hash object is made on the first Update or
// Final). Final ends the message and starts the next one: the same object may hash again.

#include <array>
#include <cstddef>
#include <cstdint>
#include <string>

struct TSha256Digest {
  static constexpr size_t Size = 32;
  std::array<uint8_t, Size> Bytes{};

  bool operator==(const TSha256Digest& other) const { return Bytes == other.Bytes; }
  bool operator!=(const TSha256Digest& other) const { return Bytes != other.Bytes; }
  // The 64 lower-case hexadecimal digits, as sha256sum prints them.
  std::string Hex() const;
};

class TSha256 {
 public:
  TSha256() = default;
  ~TSha256();
  TSha256(const TSha256&) = delete;
  TSha256& operator=(const TSha256&) = delete;

  void Update(const void* data, size_t size);
  // The digest of everything given to Update since the last Final. An all-zero digest when
  // the system could not hash the message (see Failed).
  TSha256Digest Final();
  // True when the system refused a step of the message being hashed, or of the one Final
  // just returned (on Windows: bcrypt.dll missing or failing); that digest is all zeros and
  // proves nothing. Cleared when the next message starts (its first Update or Final).
  bool Failed() const { return failed; }

 private:
  // The implementation's state, in place: nettle's context, or the handle of the system's
  // hash object. Each implementation checks that its state fits.
  static constexpr size_t StateSize = 128;
  // Sets up the state of a new message; Update and Final call it first when none is started.
  void Start();

  alignas(8) unsigned char State[StateSize] = {};
  bool Started = false;
  bool failed = false;
};

// The digest of one buffer.
TSha256Digest Sha256(const void* data, size_t size);
