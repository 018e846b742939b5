// The log rows of the four signature states, and what a hostile certificate name cannot do
// to them.

#include <gtest/gtest.h>

#include <string>

#include "signature/signature.h"

namespace {

TEST(SignatureRow, OneRowPerState) {
  const struct {
    TSignature Signature;
    std::string Row;
  } cases[] = {
      {{TSignatureState::Signed, "Tarvel Software", ""}, "Signed by Tarvel Software"},
      {{TSignatureState::Signed, "", ""}, "Signed by (no name)"},
      {{TSignatureState::NotSigned, "", ""}, "Not signed"},
      {{TSignatureState::Invalid, "Tarvel Software", "the file was changed after it was signed"},
       "Signature not valid: the file was changed after it was signed"},
      {{TSignatureState::Unknown, "", "error 0x80070002"}, "Signature not checked: error 0x80070002"},
      // A name cannot start a second row or run past its bound.
      {{TSignatureState::Signed, "Evil\r\nSigned by Tarvel\t\x7f", ""}, "Signed by Evil??Signed by Tarvel??"},
      {{TSignatureState::Signed, std::string(500, 'x'), ""}, "Signed by " + std::string(SignatureTextSize, 'x')},
      // 8-bit ANSI letters stay as they are.
      {{TSignatureState::Signed, "Wyj\x9c" "cie", ""}, "Signed by Wyj\x9c" "cie"},
  };
  for (const auto& c : cases) EXPECT_EQ(c.Row, SignatureRow(c.Signature));
}

}  // namespace
