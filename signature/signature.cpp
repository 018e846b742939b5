#include "signature.h"

namespace {

// Text from a certificate or the system, safe for one log row.
std::string RowText(const std::string& text) {
  std::string safe = text.substr(0, SignatureTextSize);
  for (char& c : safe) {
    const unsigned char code = static_cast<unsigned char>(c);
    if (code < 0x20 || code == 0x7F) c = '?';
  }
  return safe;
}

}  // namespace

std::string SignatureRow(const TSignature& signature) {
  switch (signature.State) {
    case TSignatureState::Signed:
      return "Signed by " + (signature.Signer.empty() ? std::string("(no name)") : RowText(signature.Signer));
    case TSignatureState::NotSigned:
      return "Not signed";
    case TSignatureState::Invalid:
      return "Signature not valid: " + RowText(signature.Detail);
    case TSignatureState::Unknown:
      break;
  }
  return "Signature not checked: " + RowText(signature.Detail);
}
