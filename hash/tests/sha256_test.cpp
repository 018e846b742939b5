// SHA-256 of the system (bcrypt.dll under Wine, nettle natively) against known digests.

#include <gtest/gtest.h>

#include <algorithm>
#include <string>
#include <vector>

#include "hash/sha256.h"
#include "hash/sha256_pipe.h"

namespace {

// Feeds text in pieces of uneven sizes, some across and some inside the 64-byte blocks.
template <class THasher>
void FeedInPieces(THasher& hasher, const std::string& text) {
  static const size_t Pieces[] = {1, 7, 64, 63, 65, 1000, 4093};
  size_t at = 0;
  for (int i = 0; at < text.size(); ++i) {
    const size_t piece = std::min(Pieces[i % 7], text.size() - at);
    hasher.Update(text.data() + at, piece);
    at += piece;
  }
}

struct TKnownDigest {
  std::string Message;
  const char* Digest;
};
// The NIST examples (FIPS 180-2 appendix B) and the empty message.
const std::vector<TKnownDigest>& KnownDigests() {
  static const std::vector<TKnownDigest> cases = {
      {"", "e3b0c44298fc1c149afbf4c8996fb92427ae41e4649b934ca495991b7852b855"},
      {"abc", "ba7816bf8f01cfea414140de5dae2223b00361a396177a9cb410ff61f20015ad"},
      {"abcdbcdecdefdefgefghfghighijhijkijkljklmklmnlmnomnopnopq",
       "248d6a61d20638b8e5c026930c3e6039a33ce45964ff2167f6ecedd419db06c1"},
      {std::string(1000000, 'a'), "cdc76e5c9914fb9281a1c7e284d73e67f1809a48a497200e046d39ccc7112cd0"},
  };
  return cases;
}

TEST(Sha256, KnownDigests) {
  TSha256 hasher;  // one for all: Final starts the next message
  for (const auto& c : KnownDigests()) {
    FeedInPieces(hasher, c.Message);
    EXPECT_EQ(c.Digest, hasher.Final().Hex()) << c.Message.size() << " bytes";
    EXPECT_FALSE(hasher.Failed());
    EXPECT_EQ(c.Digest, Sha256(c.Message.data(), c.Message.size()).Hex());
  }
}

// The same digests through the pipe: on the calling thread and beside it, with buffers of
// the usual size and with small ones that go round the ring many times (a slot of 1 byte,
// one message byte per hand-over; 100 bytes, pieces across slots; 4096, 244 rounds of the
// ring for the million).
TEST(Sha256, KnownDigestsThroughThePipe) {
  const struct {
    bool Beside;
    size_t SlotSize;
  } pipes[] = {{false, TSha256Pipe::SlotSize}, {true, TSha256Pipe::SlotSize}, {true, 1}, {true, 100}, {true, 4096}};
  for (const auto& p : pipes) {
    TSha256Pipe hasher(p.Beside, p.SlotSize);  // one for all, as TSha256
    EXPECT_EQ(p.Beside, hasher.Beside());
    for (const auto& c : KnownDigests()) {
      if (p.SlotSize == 1 && c.Message.size() > 100000) continue;  // a million hand-overs prove no more
      FeedInPieces(hasher, c.Message);
      EXPECT_EQ(c.Digest, hasher.Final().Hex()) << c.Message.size() << " bytes, slot " << p.SlotSize;
      EXPECT_FALSE(hasher.Failed());
    }
  }
  // Destroyed in the middle of a message: the hashing thread stops without a Final.
  TSha256Pipe abandoned(true, 64);
  abandoned.Update(std::string(1000, 'x').data(), 1000);
}

// A fixed pseudo-random megabyte (xorshift32 from 0x12345678, the top byte of each state),
// whose digest sha256sum gave: both builds must agree with it.
TEST(Sha256, PseudoRandomMegabyte) {
  std::vector<unsigned char> data(1 << 20);
  uint32_t x = 0x12345678;
  for (unsigned char& byte : data) {
    x ^= x << 13;
    x ^= x >> 17;
    x ^= x << 5;
    byte = static_cast<unsigned char>(x >> 24);
  }
  const TSha256Digest digest = Sha256(data.data(), data.size());
  EXPECT_EQ("6cb4ea2316f36630654b2786b8917268d28a357b8758134a8fbd1e270f50b968", digest.Hex());
  EXPECT_NE(digest, Sha256(data.data(), data.size() - 1));
}

}  // namespace
