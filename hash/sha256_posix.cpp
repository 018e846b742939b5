// SHA-256 through nettle (Debian's libnettle): the context lives in the hasher's state.

#include <nettle/sha2.h>

#include <new>

#include "sha256.h"

namespace {
sha256_ctx* Context(unsigned char* state) { return std::launder(reinterpret_cast<sha256_ctx*>(state)); }
}  // namespace

void TSha256::Start() {
  static_assert(sizeof(sha256_ctx) <= StateSize && alignof(sha256_ctx) <= 8, "nettle's context must fit");
  sha256_init(new (State) sha256_ctx);
  Started = true;
  failed = false;
}

TSha256::~TSha256() = default;

void TSha256::Update(const void* data, size_t size) {
  if (!Started) Start();
  if (size > 0) sha256_update(Context(State), size, static_cast<const uint8_t*>(data));
}

TSha256Digest TSha256::Final() {
  if (!Started) Start();
  TSha256Digest digest;
  sha256_digest(Context(State), digest.Size, digest.Bytes.data());
  Started = false;
  return digest;
}
