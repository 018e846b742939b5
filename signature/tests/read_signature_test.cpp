// ReadSignature under the real trust provider, on files read_signature_test.sh prepares in
// the folder SIGNATURE_TEST_FOLDER: unsigned.exe, signed.exe (signed by a throwaway code
// signing certificate whose subject CN is SIGNATURE_TEST_SIGNER), changed.exe (signed.exe
// with one byte of its signed part changed), lookalike.exe (signed by a name in full-width
// letters, from another root) and root.cer (the throwaway root, DER, whose
// SHA-1 thumbprint is SIGNATURE_TEST_ROOT_THUMBPRINT). The script runs it twice: with
// SIGNATURE_TEST_ROOT=trusted the test makes the root a trusted one before its first check,
// with "unknown" it does not; each run checks the rows of the table made for it. (Wine's
// chain engine reads the trusted roots once per process: a root added or taken out later in
// the same process changes nothing.)
//
// Under Wine 8, WinVerifyTrust checks the digest (a changed byte gives TRUST_E_BAD_DIGEST)
// and the signatures, and says nothing of the root: ReadSignature's own look at the chain
// makes the untrusted root "not valid".

#include <windows.h>

#include <gtest/gtest.h>

#include <cstdlib>
#include <cstring>
#include <fstream>
#include <iterator>
#include <memory>
#include <string>
#include <vector>

#include "signature/signature.h"

namespace {

std::string Environment(const char* name) {
  const char* value = std::getenv(name);
  return value ? value : "";
}

// The throwaway root among the machine's trusted roots while it lives, and out again after:
// its certificate under HKLM\Software\Microsoft\SystemCertificates\Root\Certificates\<SHA-1
// thumbprint>, value "Blob" holding the certificate as a serialized property (id 32,
// CERT_CERT_PROP_ID). Wine's chain engine reads that key; a certificate given to
// CertAddEncodedCertificateToStore for the machine's or the user's "Root" store does not end
// up there under Wine 8 and leaves the chain's root untrusted.
class TTrustedRoot {
 public:
  TTrustedRoot(const std::string& path, const std::string& thumbprint)
      : keyName("Software\\Microsoft\\SystemCertificates\\Root\\Certificates\\" + thumbprint) {
    std::ifstream file(path, std::ios::binary);
    const std::vector<char> certificate((std::istreambuf_iterator<char>(file)), std::istreambuf_iterator<char>());
    if (thumbprint.size() != 40 || certificate.empty() || certificate.size() > 65536) return;
    std::vector<BYTE> blob(12 + certificate.size());
    const DWORD header[3] = {32, 1, DWORD(certificate.size())};
    std::memcpy(blob.data(), header, sizeof header);
    std::memcpy(blob.data() + 12, certificate.data(), certificate.size());
    HKEY key = nullptr;
    if (RegCreateKeyExA(HKEY_LOCAL_MACHINE, keyName.c_str(), 0, nullptr, 0, KEY_SET_VALUE, nullptr, &key, nullptr) !=
        ERROR_SUCCESS)
      return;
    added = RegSetValueExA(key, "Blob", 0, REG_BINARY, blob.data(), DWORD(blob.size())) == ERROR_SUCCESS;
    RegCloseKey(key);
  }
  ~TTrustedRoot() { RegDeleteKeyA(HKEY_LOCAL_MACHINE, keyName.c_str()); }
  bool Added() const { return added; }

 private:
  std::string keyName;
  bool added = false;
};

TEST(ReadSignature, SignedChangedAndUnsignedFiles) {
  const std::string folder = Environment("SIGNATURE_TEST_FOLDER");
  const std::string signer = Environment("SIGNATURE_TEST_SIGNER");
  const std::string thumbprint = Environment("SIGNATURE_TEST_ROOT_THUMBPRINT");
  const std::string rootState = Environment("SIGNATURE_TEST_ROOT");
  ASSERT_FALSE(folder.empty()) << "run through read_signature_test.sh";
  ASSERT_TRUE(rootState == "trusted" || rootState == "unknown") << rootState;
  const bool rootTrusted = rootState == "trusted";
  std::unique_ptr<TTrustedRoot> root;
  if (rootTrusted) {
    root.reset(new TTrustedRoot(folder + "\\root.cer", thumbprint));
    ASSERT_TRUE(root->Added());
  }
  const struct {
    const char* File;
    bool RootTrusted;
    TSignatureState State;
    std::string Signer;
    std::string Row;
  } cases[] = {
      {"unsigned.exe", false, TSignatureState::NotSigned, "", "Not signed"},
      {"signed.exe", false, TSignatureState::Invalid, signer,
       "Signature not valid: the certificate chain ends in a root this system does not trust"},
      {"signed.exe", true, TSignatureState::Signed, signer, "Signed by " + signer},
      // Wine names no signer for a file whose digest does not match.
      {"changed.exe", true, TSignatureState::Invalid, "",
       "Signature not valid: the file was changed after it was signed"},
      {"unsigned.exe", true, TSignatureState::NotSigned, "", "Not signed"},
      {"missing.exe", true, TSignatureState::Unknown, "", "Signature not checked: the file cannot be opened"},
      // Full-width letters have no place in the code page: '?', never the plain look-alikes.
      {"lookalike.exe", false, TSignatureState::Invalid, "?????? Test Signer",
       "Signature not valid: the certificate chain ends in a root this system does not trust"},
  };
  for (const auto& c : cases) {
    if (c.RootTrusted != rootTrusted) continue;
    const TSignature signature = ReadSignature(folder + "\\" + c.File);
    const std::string row = SignatureRow(signature);
    EXPECT_EQ(int(c.State), int(signature.State)) << c.File << ": " << row;
    EXPECT_EQ(c.Signer, signature.Signer) << c.File;
    EXPECT_EQ(c.Row, row) << c.File;
  }
}

}  // namespace
