#pragma once
// Who signed a file: the Authenticode signature of a program file as the system judges it,
// and the log row that says so. ReadSignature asks the system's trust provider
// (signature_win32.cpp); SignatureRow is portable.

#include <string>

enum class TSignatureState {
  Signed,     // a valid signature whose chain ends in a root this system trusts
  NotSigned,  // no signature at all (or a kind of file that carries none)
  Invalid,    // a signature that does not hold: changed after signing, untrusted root or
              // partial chain, any other refusal of the trust provider
  Unknown     // the system could not check (no trust provider, file unreadable): nothing
              // in the file can cause it
};

struct TSignature {
  TSignatureState State = TSignatureState::Unknown;
  std::string Signer;  // the signer certificate's subject name (its CN), ANSI; may be empty
  std::string Detail;  // why it is Invalid or Unknown, ANSI
};

#ifdef _WIN32
// Verifies the signature of the file at path (an ANSI path) with WinVerifyTrust, without
// any window and without revocation checks. wintrust.dll and crypt32.dll are loaded from the
// system folder only.
TSignature ReadSignature(const std::string& path);
#endif

// The log row for a signature: "Signed by NAME", "Not signed", "Signature not valid: DETAIL"
// or "Signature not checked: DETAIL". Names and details come from the signed file; control
// characters in them become '?' and each is cut to SignatureTextSize characters, so a
// certificate cannot add rows to the log or flood it.
std::string SignatureRow(const TSignature& signature);

constexpr size_t SignatureTextSize = 200;
