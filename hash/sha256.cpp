// The parts of SHA-256 that do not depend on the system: the digest's text and the one-shot
// helper.

#include "sha256.h"

std::string TSha256Digest::Hex() const {
  static const char Digits[] = "0123456789abcdef";
  std::string text;
  text.reserve(2 * Size);
  for (uint8_t byte : Bytes) {
    text += Digits[byte >> 4];
    text += Digits[byte & 15];
  }
  return text;
}

TSha256Digest Sha256(const void* data, size_t size) {
  TSha256 hasher;
  hasher.Update(data, size);
  return hasher.Final();
}
