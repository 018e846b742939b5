// SHA-256 through the system's cryptography library, bcrypt.dll. The library is loaded from
// the system folder at run time (a library the program imported by name would be looked for
// in its own folder first), and its SHA-256 provider is opened once per process, on first
// use. Each message is one hash object, made when the message starts; the handle lives in
// the hasher's state.

#include <windows.h>
#include <bcrypt.h>

#include <cstring>

#include "sha256.h"
#include "syslib/system_library.h"

namespace {

struct TBcrypt {
  decltype(&::BCryptOpenAlgorithmProvider) OpenAlgorithmProvider = nullptr;
  decltype(&::BCryptCreateHash) CreateHash = nullptr;
  decltype(&::BCryptHashData) HashData = nullptr;
  decltype(&::BCryptFinishHash) FinishHash = nullptr;
  decltype(&::BCryptDestroyHash) DestroyHash = nullptr;
  BCRYPT_ALG_HANDLE Provider = nullptr;  // null: no SHA-256 in this process

  // The provider stays open, and the library loaded, until the process ends: hashers in
  // static objects may still need them while static objects are destroyed.
  TBcrypt() {
    HMODULE library = LoadSystemLibrary("bcrypt.dll");
    if (!library) return;
    ResolveEntry(library, "BCryptOpenAlgorithmProvider", OpenAlgorithmProvider);
    ResolveEntry(library, "BCryptCreateHash", CreateHash);
    ResolveEntry(library, "BCryptHashData", HashData);
    ResolveEntry(library, "BCryptFinishHash", FinishHash);
    ResolveEntry(library, "BCryptDestroyHash", DestroyHash);
    if (!OpenAlgorithmProvider || !CreateHash || !HashData || !FinishHash || !DestroyHash) return;
    if (!BCRYPT_SUCCESS(OpenAlgorithmProvider(&Provider, BCRYPT_SHA256_ALGORITHM, nullptr, 0))) Provider = nullptr;
  }

};

// Made on first use; thread-safe (a function's static).
const TBcrypt& System() {
  static const TBcrypt bcrypt;
  return bcrypt;
}

BCRYPT_HASH_HANDLE& Handle(unsigned char* state) { return *reinterpret_cast<BCRYPT_HASH_HANDLE*>(state); }

}  // namespace

void TSha256::Start() {
  static_assert(sizeof(BCRYPT_HASH_HANDLE) <= StateSize, "the handle must fit");
  const TBcrypt& bcrypt = System();
  BCRYPT_HASH_HANDLE hash = nullptr;
  // Without an object buffer the library allocates the object itself (Windows 7 and later).
  failed = !bcrypt.Provider || !BCRYPT_SUCCESS(bcrypt.CreateHash(bcrypt.Provider, &hash, nullptr, 0, nullptr, 0, 0));
  Handle(State) = failed ? nullptr : hash;
  Started = true;
}

TSha256::~TSha256() {
  if (Started && Handle(State)) System().DestroyHash(Handle(State));
}

void TSha256::Update(const void* data, size_t size) {
  if (!Started) Start();
  BCRYPT_HASH_HANDLE hash = Handle(State);
  // The library takes the length as 32 bits and the bytes as not const (it only reads them).
  PUCHAR bytes = static_cast<PUCHAR>(const_cast<void*>(data));
  while (!failed && size > 0) {
    const ULONG piece = size > 0x40000000 ? 0x40000000 : ULONG(size);
    failed = !BCRYPT_SUCCESS(System().HashData(hash, bytes, piece, 0));
    bytes += piece;
    size -= piece;
  }
}

TSha256Digest TSha256::Final() {
  if (!Started) Start();
  TSha256Digest digest;
  BCRYPT_HASH_HANDLE hash = Handle(State);
  if (!failed) failed = !BCRYPT_SUCCESS(System().FinishHash(hash, digest.Bytes.data(), digest.Size, 0));
  if (failed) digest = TSha256Digest{};
  if (hash) System().DestroyHash(hash);
  Handle(State) = nullptr;
  Started = false;
  return digest;
}
