#include "code_page.h"

#include <cstdint>

namespace {

// The characters of the bytes 0x80-0x9F; the bytes 0xA0-0xFF are the characters of the same
// number. Undefined bytes (0x81, 0x8D, 0x8F, 0x90, 0x9D) stand for the control characters of
// the same number.
const uint16_t HighControls[32] = {
    0x20AC, 0x0081, 0x201A, 0x0192, 0x201E, 0x2026, 0x2020, 0x2021, 0x02C6, 0x2030, 0x0160,
    0x2039, 0x0152, 0x008D, 0x017D, 0x008F, 0x0090, 0x2018, 0x2019, 0x201C, 0x201D, 0x2022,
    0x2013, 0x2014, 0x02DC, 0x2122, 0x0161, 0x203A, 0x0153, 0x009D, 0x017E, 0x0178};

bool ByteOf(uint32_t character, char& byte) {
  if (character < 0x80 || (character >= 0xA0 && character <= 0xFF)) {
    byte = static_cast<char>(character);
    return true;
  }
  for (int n = 0; n < 32; ++n)
    if (HighControls[n] == character) {
      byte = static_cast<char>(0x80 + n);
      return true;
    }
  return false;
}

void AppendUtf8(uint32_t character, std::string& out) {
  if (character < 0x80) {
    out += static_cast<char>(character);
  } else if (character < 0x800) {
    out += static_cast<char>(0xC0 | (character >> 6));
    out += static_cast<char>(0x80 | (character & 0x3F));
  } else {
    out += static_cast<char>(0xE0 | (character >> 12));
    out += static_cast<char>(0x80 | ((character >> 6) & 0x3F));
    out += static_cast<char>(0x80 | (character & 0x3F));
  }
}

}  // namespace

bool Utf8ToWindows1252(const std::string& name, std::string& text) {
  text.clear();
  for (size_t at = 0; at < name.size();) {
    const uint8_t lead = static_cast<uint8_t>(name[at]);
    // Sequence length and the smallest character it may encode (shorter forms are refused).
    size_t length = 1;
    uint32_t character = lead, least = 0;
    if (lead >= 0x80) {
      if (lead >= 0xC2 && lead <= 0xDF) length = 2, character = lead & 0x1F, least = 0x80;
      else if (lead >= 0xE0 && lead <= 0xEF) length = 3, character = lead & 0x0F, least = 0x800;
      else if (lead >= 0xF0 && lead <= 0xF4) length = 4, character = lead & 0x07, least = 0x10000;
      else return false;
      if (at + length > name.size()) return false;
      for (size_t n = 1; n < length; ++n) {
        const uint8_t next = static_cast<uint8_t>(name[at + n]);
        if ((next & 0xC0) != 0x80) return false;
        character = (character << 6) | (next & 0x3F);
      }
      if (character < least || character > 0x10FFFF || (character >= 0xD800 && character <= 0xDFFF)) return false;
    }
    char byte;
    if (!ByteOf(character, byte)) return false;
    text += byte;
    at += length;
  }
  return true;
}

std::string Windows1252ToUtf8(const std::string& text) {
  std::string out;
  for (char c : text) {
    const uint8_t byte = static_cast<uint8_t>(c);
    AppendUtf8(byte >= 0x80 && byte < 0xA0 ? HighControls[byte - 0x80] : byte, out);
  }
  return out;
}
