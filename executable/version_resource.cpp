#include "version_resource.h"

#include <cstdio>

#include "byte_order/little_endian.h"

namespace {

constexpr uint32_t FixedSignature = 0xFEEF04BD;
constexpr uint32_t FixedStructVersion = 0x00010000;
constexpr size_t FixedSize = 52;
constexpr uint16_t BinaryValue = 0, TextValue = 1;

size_t Align4(size_t at) { return (at + 3) & ~size_t{3}; }

// One block, its parts placed inside [Start, End).
struct TBlock {
  size_t Start = 0, End = 0;
  uint16_t Type = 0;
  std::u16string Key;
  size_t Value = 0, ValueEnd = 0;  // the value's bytes
  size_t Children = 0;             // where the first child may start
};

bool ReadBlock(const uint8_t* bytes, size_t at, size_t limit, TBlock& block) {
  if (at > limit || limit - at < 6) return false;
  const size_t length = ReadUInt16le(bytes + at);
  if (length < 6 || length > limit - at) return false;
  block.Start = at;
  block.End = at + length;
  const uint16_t valueLength = ReadUInt16le(bytes + at + 2);
  block.Type = ReadUInt16le(bytes + at + 4);
  block.Key.clear();
  size_t p = at + 6;
  for (;; p += 2) {
    if (block.End - p < 2) return false;
    const char16_t c = static_cast<char16_t>(ReadUInt16le(bytes + p));
    if (c == 0) break;
    block.Key.push_back(c);
  }
  block.Value = std::min(Align4(p + 2), block.End);
  const size_t valueBytes = block.Type == TextValue ? 2 * size_t{valueLength} : valueLength;
  // Writers differ in whether a text's length counts characters or bytes: a text is taken
  // as far as its block reaches, binary values must fit.
  if (valueBytes > block.End - block.Value && block.Type != TextValue) return false;
  block.ValueEnd = block.Value + std::min(valueBytes, block.End - block.Value);
  block.Children = std::min(Align4(block.ValueEnd), block.End);
  return true;
}

// The text value of a block, up to its first NUL.
std::u16string TextOf(const uint8_t* bytes, const TBlock& block) {
  std::u16string text;
  for (size_t p = block.Value; p + 2 <= block.ValueEnd; p += 2) {
    const char16_t c = static_cast<char16_t>(ReadUInt16le(bytes + p));
    if (c == 0) break;
    text.push_back(c);
  }
  return text;
}

// Calls each(child) for the blocks inside parent; false when one does not hold together.
template <typename TEach>
bool EachChild(const uint8_t* bytes, const TBlock& parent, TEach each) {
  for (size_t at = parent.Children; Align4(at) < parent.End; ) {
    TBlock child;
    if (!ReadBlock(bytes, Align4(at), parent.End, child) || !each(child)) return false;
    at = child.End;
  }
  return true;
}

int HexDigit(char16_t c) {
  if (c >= u'0' && c <= u'9') return c - u'0';
  if (c >= u'a' && c <= u'f') return c - u'a' + 10;
  if (c >= u'A' && c <= u'F') return c - u'A' + 10;
  return -1;
}

void Pad4(std::vector<uint8_t>& out) { out.resize(Align4(out.size()), 0); }

// Appends a block (on a 4-byte boundary) whose children are written by children(); its
// length covers them, without padding after the last.
template <typename TChildren>
void AppendBlock(std::vector<uint8_t>& out, const std::u16string& key, uint16_t type, uint16_t valueLength,
                 const std::vector<uint8_t>& value, TChildren children) {
  Pad4(out);
  const size_t start = out.size();
  AppendUInt16le(out, 0);
  AppendUInt16le(out, valueLength);
  AppendUInt16le(out, type);
  for (char16_t c : key) AppendUInt16le(out, static_cast<uint16_t>(c));
  AppendUInt16le(out, 0);
  if (!value.empty()) {
    Pad4(out);
    out.insert(out.end(), value.begin(), value.end());
  }
  children();
  WriteUInt16le(out.data() + start, static_cast<uint16_t>(out.size() - start));
}

std::u16string Widen(const char* text) {
  std::u16string wide;
  for (; *text; ++text) wide.push_back(static_cast<char16_t>(*text));
  return wide;
}

}  // namespace

std::u16string TVersionInfo::String(const std::u16string& key) const {
  for (const auto& [k, v] : Strings)
    if (k == key) return v;
  return {};
}

bool ParseVersionResource(const uint8_t* bytes, size_t size, TVersionInfo& info, std::string& problem) {
  info = TVersionInfo();
  info.Strings.clear();
  TBlock root;
  if (!ReadBlock(bytes, 0, size, root) || root.Key != u"VS_VERSION_INFO") {
    problem = "the version resource does not start with its VS_VERSION_INFO block";
    return false;
  }
  if (root.ValueEnd - root.Value < FixedSize || ReadUInt32le(bytes + root.Value) != FixedSignature) {
    problem = "the version resource has no fixed file information";
    return false;
  }
  const uint8_t* fixed = bytes + root.Value;
  info.FileVersionHigh = ReadUInt32le(fixed + 8);
  info.FileVersionLow = ReadUInt32le(fixed + 12);
  info.ProductVersionHigh = ReadUInt32le(fixed + 16);
  info.ProductVersionLow = ReadUInt32le(fixed + 20);
  info.FileFlagsMask = ReadUInt32le(fixed + 24);
  info.FileFlags = ReadUInt32le(fixed + 28);
  info.FileOs = ReadUInt32le(fixed + 32);
  info.FileType = ReadUInt32le(fixed + 36);
  info.FileSubtype = ReadUInt32le(fixed + 40);
  bool tableRead = false;
  const bool whole = EachChild(bytes, root, [&](const TBlock& part) {
    if (part.Key != u"StringFileInfo") return true;
    return EachChild(bytes, part, [&](const TBlock& table) {
      if (tableRead) return true;
      tableRead = true;
      uint32_t code = 0;
      for (char16_t c : table.Key) code = code << 4 | static_cast<uint32_t>(HexDigit(c) < 0 ? 0 : HexDigit(c));
      if (table.Key.size() == 8) info.Language = static_cast<uint16_t>(code >> 16), info.CodePage = static_cast<uint16_t>(code);
      return EachChild(bytes, table, [&](const TBlock& text) {
        info.Strings.emplace_back(text.Key, TextOf(bytes, text));
        return true;
      });
    });
  });
  if (!whole) {
    info.Strings.clear();
    problem = "a block of the version resource runs past the block around it";
    return false;
  }
  return true;
}

std::vector<uint8_t> FormatVersionResource(const TVersionInfo& info) {
  std::vector<uint8_t> fixed(FixedSize, 0);
  const uint32_t fields[] = {FixedSignature,        FixedStructVersion,  info.FileVersionHigh, info.FileVersionLow,
                             info.ProductVersionHigh, info.ProductVersionLow, info.FileFlagsMask, info.FileFlags,
                             info.FileOs,             info.FileType,        info.FileSubtype,     0, 0};
  for (size_t i = 0; i < FixedSize / 4; ++i) WriteUInt32le(fixed.data() + 4 * i, fields[i]);
  char tableKey[9];
  std::snprintf(tableKey, sizeof tableKey, "%04X%04X", info.Language, info.CodePage);
  std::vector<uint8_t> translation(4);
  WriteUInt16le(translation.data(), info.Language);
  WriteUInt16le(translation.data() + 2, info.CodePage);

  std::vector<uint8_t> out;
  const auto none = [] {};
  AppendBlock(out, u"VS_VERSION_INFO", BinaryValue, FixedSize, fixed, [&] {
    AppendBlock(out, u"StringFileInfo", TextValue, 0, {}, [&] {
      AppendBlock(out, Widen(tableKey), TextValue, 0, {}, [&] {
        for (const auto& [key, value] : info.Strings) {
          std::vector<uint8_t> text;
          for (char16_t c : value) AppendUInt16le(text, static_cast<uint16_t>(c));
          AppendUInt16le(text, 0);
          AppendBlock(out, key, TextValue, static_cast<uint16_t>(value.size() + 1), text, none);
        }
      });
    });
    AppendBlock(out, u"VarFileInfo", TextValue, 0, {}, [&] {
      AppendBlock(out, u"Translation", BinaryValue, 4, translation, none);
    });
  });
  return out;
}

bool ParseVersionNumbers(const std::string& text, uint32_t& high, uint32_t& low) {
  uint32_t parts[4] = {0, 0, 0, 0};
  size_t at = 0;
  int count = 0;
  while (count < 4) {
    if (at >= text.size() || text[at] < '0' || text[at] > '9') return false;
    uint32_t number = 0;
    for (; at < text.size() && text[at] >= '0' && text[at] <= '9'; ++at) {
      number = number * 10 + static_cast<uint32_t>(text[at] - '0');
      if (number > 0xFFFF) return false;
    }
    parts[count++] = number;
    // Another number follows only after a dot and a digit ("1.1." ends the numbers too).
    if (at + 1 >= text.size() || text[at] != '.' || text[at + 1] < '0' || text[at + 1] > '9') break;
    if (count == 4) return false;  // a fifth number: no version of four
    ++at;
  }
  high = parts[0] << 16 | parts[1];
  low = parts[2] << 16 | parts[3];
  return true;
}
