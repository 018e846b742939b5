#include "pattern/fold_table.h"

namespace {

struct TFold {
  uint8_t map[256];
  constexpr explicit TFold(bool folded) : map() {
    for (int c = 0; c < 256; ++c) map[c] = uint8_t(c);
    if (!folded) return;
    for (int c = 'a'; c <= 'z'; ++c) map[c] = uint8_t(c - 'a' + 'A');
    map[uint8_t('{')] = '[';
  }
};

constexpr TFold Fold(true);
constexpr TFold Identity(false);

}  // namespace

const uint8_t* const PatternFoldTable = Fold.map;
const uint8_t* const PatternIdentityTable = Identity.map;
