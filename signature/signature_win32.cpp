// The Authenticode signature of a file through the system's trust provider. wintrust.dll and
// crypt32.dll are loaded from the system folder at run time, never imported by name: mendit
// runs elevated, and a library of the same name beside it would otherwise be loaded first.

#include <windows.h>
#include <wincrypt.h>
#include <wintrust.h>

#include <cstdio>
#include <vector>

#include "signature.h"
#include "syslib/system_library.h"

namespace {

// WINTRUST_ACTION_GENERIC_VERIFY_V2 of softpub.h: Authenticode verification of a file.
GUID GenericVerifyV2 = {0x00AAC56B, 0xCD44, 0x11D0, {0x8C, 0xC2, 0x00, 0xC0, 0x4F, 0xC2, 0x95, 0xEE}};

// Longest signer name read from a certificate, in characters.
constexpr DWORD SignerNameSize = 1024;

struct TTrustLibraries {
  decltype(&::WinVerifyTrust) VerifyTrust = nullptr;
  decltype(&::WTHelperProvDataFromStateData) ProvDataFromStateData = nullptr;
  decltype(&::WTHelperGetProvSignerFromChain) ProvSignerFromChain = nullptr;
  decltype(&::WTHelperGetProvCertFromChain) ProvCertFromChain = nullptr;
  decltype(&::CertGetNameStringW) GetNameString = nullptr;

  // The libraries stay loaded until the process ends.
  TTrustLibraries() {
    HMODULE wintrust = LoadSystemLibrary("wintrust.dll");
    HMODULE crypt32 = LoadSystemLibrary("crypt32.dll");
    if (!wintrust || !crypt32) return;
    ResolveEntry(wintrust, "WinVerifyTrust", VerifyTrust);
    ResolveEntry(wintrust, "WTHelperProvDataFromStateData", ProvDataFromStateData);
    ResolveEntry(wintrust, "WTHelperGetProvSignerFromChain", ProvSignerFromChain);
    ResolveEntry(wintrust, "WTHelperGetProvCertFromChain", ProvCertFromChain);
    ResolveEntry(crypt32, "CertGetNameStringW", GetNameString);
  }

  bool Complete() const {
    return VerifyTrust && ProvDataFromStateData && ProvSignerFromChain && ProvCertFromChain && GetNameString;
  }

};

const TTrustLibraries& Libraries() {
  static const TTrustLibraries libraries;
  return libraries;
}

// What the state WinVerifyTrust kept says of the first signer: the simple display name of
// its certificate (the CN, or the best the subject has; empty when there is none) and the
// error bits of the certificate chain built for it.
struct TSignerFacts {
  std::string Name;
  DWORD ChainErrors = 0;
};

TSignerFacts ReadSignerFacts(const TTrustLibraries& trust, HANDLE state) {
  TSignerFacts facts;
  if (!state) return facts;
  CRYPT_PROVIDER_DATA* data = trust.ProvDataFromStateData(state);
  if (!data) return facts;
  CRYPT_PROVIDER_SGNR* signer = trust.ProvSignerFromChain(data, 0, FALSE, 0);
  if (!signer) return facts;
  if (signer->pChainContext) facts.ChainErrors = signer->pChainContext->TrustStatus.dwErrorStatus;
  CRYPT_PROVIDER_CERT* certificate = trust.ProvCertFromChain(signer, 0);
  if (!certificate || !certificate->pCert) return facts;
  std::vector<wchar_t> name(SignerNameSize, L'\0');
  const DWORD got = trust.GetNameString(certificate->pCert, CERT_NAME_SIMPLE_DISPLAY_TYPE, 0, nullptr, name.data(),
                                        SignerNameSize);
  if (got <= 1) return facts;
  name.back() = L'\0';
  facts.Name = AnsiText(name.data());
  return facts;
}

// Signatures that are there but do not hold, with the reason a user is shown.
const struct {
  LONG Status;
  const char* Reason;
} InvalidReasons[] = {
    {LONG(TRUST_E_BAD_DIGEST), "the file was changed after it was signed"},
    {LONG(CERT_E_UNTRUSTEDROOT), "the certificate chain ends in a root this system does not trust"},
    {LONG(CERT_E_UNTRUSTEDTESTROOT), "the certificate chain ends in a test root"},
    {LONG(CERT_E_UNTRUSTEDCA), "the certificate chain holds an untrusted authority"},
    {LONG(CERT_E_CHAINING), "the certificate chain cannot be built to a trusted root"},
    {LONG(TRUST_E_EXPLICIT_DISTRUST), "the signer's certificate is marked as not trusted"},
    {LONG(CERT_E_EXPIRED), "the signer's certificate has expired or is not valid yet"},
    {LONG(CERT_E_VALIDITYPERIODNESTING), "the certificate chain's validity periods do not nest"},
    {LONG(CERT_E_REVOKED), "the signer's certificate was revoked"},
    {LONG(CERT_E_WRONG_USAGE), "the signer's certificate is not for code signing"},
    {LONG(CERT_E_PURPOSE), "the signer's certificate is not for code signing"},
    {LONG(TRUST_E_BASIC_CONSTRAINTS), "the certificate chain breaks its basic constraints"},
    {LONG(TRUST_E_CERT_SIGNATURE), "a certificate's signature in the chain does not hold"},
    {LONG(TRUST_E_NO_SIGNER_CERT), "the signer's certificate is missing"},
    {LONG(TRUST_E_COUNTER_SIGNER), "the time stamp's signature does not hold"},
    {LONG(TRUST_E_TIME_STAMP), "the time stamp does not hold"},
    {LONG(CRYPT_E_SECURITY_SETTINGS), "the system's security settings reject it"},
    {LONG(TRUST_E_SUBJECT_NOT_TRUSTED), "the system does not trust the signer"},
};

// Chain errors that Windows' Authenticode policy refuses, with the status WinVerifyTrust
// gives for them there. Wine 8's policy checks the digest and the signatures but not where
// the chain ends, and reports success for a chain to an unknown root: so they are checked
// here too (where the policy refuses them itself, as Windows' does, this changes nothing).
const struct {
  DWORD ChainError;
  LONG Status;
} RejectedChains[] = {
    {CERT_TRUST_IS_NOT_SIGNATURE_VALID, LONG(TRUST_E_CERT_SIGNATURE)},
    {CERT_TRUST_IS_EXPLICIT_DISTRUST, LONG(TRUST_E_EXPLICIT_DISTRUST)},
    {CERT_TRUST_IS_UNTRUSTED_ROOT, LONG(CERT_E_UNTRUSTEDROOT)},
    {CERT_TRUST_IS_PARTIAL_CHAIN, LONG(CERT_E_CHAINING)},
};

// The file itself could not be read: a Win32 error, as Wine returns it, or its HRESULT, as
// Windows does.
bool FileUnreadable(LONG status) {
  for (const DWORD error : {ERROR_FILE_NOT_FOUND, ERROR_PATH_NOT_FOUND, ERROR_ACCESS_DENIED, ERROR_SHARING_VIOLATION}) {
    if (status == LONG(error) || status == LONG(HRESULT_FROM_WIN32(error))) return true;
  }
  return false;
}

}  // namespace

TSignature ReadSignature(const std::string& path) {
  TSignature result;
  const TTrustLibraries& trust = Libraries();
  if (!trust.Complete()) {
    result.Detail = "the system's trust provider (wintrust.dll) is not available";
    return result;
  }
  const std::wstring widePath = WideText(path);
  if (widePath.empty()) {
    result.Detail = "the file name cannot be read";
    return result;
  }

  WINTRUST_FILE_INFO file = {};
  file.cbStruct = sizeof file;
  file.pcwszFilePath = widePath.c_str();
  WINTRUST_DATA data = {};
  data.cbStruct = sizeof data;
  data.dwUIChoice = WTD_UI_NONE;
  data.fdwRevocationChecks = WTD_REVOKE_NONE;
  data.dwUnionChoice = WTD_CHOICE_FILE;
  data.pFile = &file;
  data.dwStateAction = WTD_STATEACTION_VERIFY;
  // INVALID_HANDLE_VALUE: no window of ours, and none shown.
  LONG status = trust.VerifyTrust(static_cast<HWND>(INVALID_HANDLE_VALUE), &GenericVerifyV2, &data);
  // The signer's certificate is named even when the signature does not hold.
  const TSignerFacts signer = ReadSignerFacts(trust, data.hWVTStateData);
  result.Signer = signer.Name;
  data.dwStateAction = WTD_STATEACTION_CLOSE;
  trust.VerifyTrust(static_cast<HWND>(INVALID_HANDLE_VALUE), &GenericVerifyV2, &data);

  if (status == ERROR_SUCCESS) {
    for (const auto& rejected : RejectedChains) {
      if (signer.ChainErrors & rejected.ChainError) {
        status = rejected.Status;
        break;
      }
    }
  }
  if (status == ERROR_SUCCESS) {
    result.State = TSignatureState::Signed;
    return result;
  }
  if (FileUnreadable(status)) {
    result.Detail = "the file cannot be opened";
    return result;
  }
  if (status == LONG(TRUST_E_NOSIGNATURE) || status == LONG(TRUST_E_SUBJECT_FORM_UNKNOWN) ||
      status == LONG(TRUST_E_PROVIDER_UNKNOWN)) {
    result.State = TSignatureState::NotSigned;
    result.Signer.clear();
    return result;
  }
  for (const auto& reason : InvalidReasons) {
    if (status == reason.Status) {
      result.State = TSignatureState::Invalid;
      result.Detail = reason.Reason;
      return result;
    }
  }
  // Any other answer is the trust provider's verdict on a signature that is there: it does
  // not hold. ("Not checked" stays for what no file's content can cause: no provider, a
  // file that cannot be opened.)
  char code[96];
  std::snprintf(code, sizeof code, "the system rejects it (error 0x%08lX)", static_cast<unsigned long>(status));
  result.State = TSignatureState::Invalid;
  result.Detail = code;
  return result;
}
