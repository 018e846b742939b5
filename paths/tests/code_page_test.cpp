#include "paths/code_page.h"

#include <gtest/gtest.h>

// UTF-8 names and the Windows-1252 bytes a patch carries for them; "" where none can.
TEST(CodePage, NamesInBothDirections) {
  struct TCase {
    const char* Utf8;
    const char* Ansi;  // nullptr: refused
  } cases[] = {
      {"README.TXT", "README.TXT"},
      {"caf\xC3\xA9.txt", "caf\xE9.txt"},                 // e acute
      {"\xC3\xBF\xC2\xA0", "\xFF\xA0"},                   // the ends of the Latin-1 half
      {"\xE2\x82\xAC" "5.txt", "\x80" "5.txt"},           // euro sign
      {"\xC5\xB8", "\x9F"},                               // Y diaeresis, the last of 0x80-0x9F
      {"\xC2\x81", "\x81"},                               // an undefined byte's control character
      {"\xE6\x97\xA5.txt", nullptr},                      // CJK: no byte for it
      {"\xC4\x85", nullptr},                              // a with ogonek (Windows-1250 only)
      {"\xF0\x9F\x98\x80", nullptr},                      // outside the basic plane
      {"caf\xE9.txt", nullptr},                           // Latin-1 bytes: not UTF-8
      {"\xC0\xAF", nullptr},                              // an overlong '/'
      {"\xED\xA0\x80", nullptr},                          // a surrogate
      {"ab\xC3", nullptr},                                // cut short
  };
  for (const TCase& c : cases) {
    std::string ansi;
    const bool converted = Utf8ToWindows1252(c.Utf8, ansi);
    EXPECT_EQ(c.Ansi != nullptr, converted) << c.Utf8;
    if (!c.Ansi || !converted) continue;
    EXPECT_EQ(c.Ansi, ansi) << c.Utf8;
    EXPECT_EQ(c.Utf8, Windows1252ToUtf8(ansi)) << c.Utf8;
  }
  // Every byte goes to UTF-8 and back to itself.
  std::string all, back;
  for (int b = 1; b < 256; ++b) all += static_cast<char>(b);
  ASSERT_TRUE(Utf8ToWindows1252(Windows1252ToUtf8(all), back));
  EXPECT_EQ(all, back);
}
