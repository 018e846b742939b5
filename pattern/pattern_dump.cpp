#include "pattern/pattern_dump.h"

#include <algorithm>
#include <cstdio>
#include <set>

#include "pattern/pattern_opcodes.h"

namespace {

enum class TOperands : uint8_t { None, D8, D16, Tag, Slot, SlotD16, Char, Number, Class, SetSlot };

struct TOpcodeInfo {
  const char* name;
  TOperands operands;
};

const TOpcodeInfo Opcodes[OPCODE_COUNT] = {
    {"PUSH_ALT_W", TOperands::D16},        {"PUSH_ALT_B", TOperands::D8},
    {"BACKREF", TOperands::Tag},           {"SUCCEED", TOperands::None},
    {"INC_SLOT", TOperands::Slot},         {"DEC_SLOT_JUMP", TOperands::SlotD16},
    {"JUMP_W", TOperands::D16},            {"JUMP_B", TOperands::D8},
    {"NEXT_START", TOperands::None},       {"LOAD_POS", TOperands::Slot},
    {"LOAD_DEPTH", TOperands::Slot},       {"TAG_START", TOperands::Tag},
    {"TAG_END", TOperands::Tag},           {"STORE_POS", TOperands::Slot},
    {"STORE_DEPTH", TOperands::Slot},      {"POP_POS", TOperands::None},
    {"POP_SLOT", TOperands::Slot},         {"PUSH_POS", TOperands::None},
    {"PUSH_SLOT", TOperands::Slot},        {"FAIL", TOperands::None},
    {"AT_COLUMN", TOperands::Number},      {"AT_END", TOperands::None},
    {"AT_START", TOperands::None},         {"IN_CLASS", TOperands::Class},
    {"CHAR", TOperands::Char},             {"ANY", TOperands::None},
    {"FAIL_IF_SAME", TOperands::Slot},     {"NOT_IN_CLASS", TOperands::Class},
    {"NOT_CHAR", TOperands::Char},         {"SET_SLOT", TOperands::SetSlot},
    {"CASE_TOGGLE", TOperands::None},      {"CASE_EXACT", TOperands::None},
    {"CASE_IGNORE", TOperands::None},      {"PUSH_CASE", TOperands::None},
    {"POP_CASE", TOperands::None},
};

uint32_t OperandBytes(TOperands operands) {
  switch (operands) {
    case TOperands::None: return 0;
    case TOperands::D8:
    case TOperands::Tag:
    case TOperands::Char: return 1;
    case TOperands::D16:
    case TOperands::Slot:
    case TOperands::Number: return 2;
    case TOperands::SlotD16:
    case TOperands::SetSlot: return 4;
    case TOperands::Class: return 0;
  }
  return 0;
}

uint16_t Word(const uint8_t* code, uint32_t at) { return uint16_t(code[at] | code[at + 1] << 8); }

int32_t Relative16(const uint8_t* code, uint32_t at) { return int32_t(at) + 2 + int16_t(Word(code, at)); }

bool Printable(uint8_t c) { return c > 0x20 && c < 0x7F && c != '\'' && c != '"' && c != '%'; }

std::string CharText(uint8_t c) {
  char buffer[8];
  std::snprintf(buffer, sizeof buffer, Printable(c) ? "'%c'" : "%%%02X", c);
  return buffer;
}

// One decoded line of the listing; `length` 0 means the code ends inside this instruction.
struct TLine {
  std::string text;
  uint32_t length = 0;
  std::vector<uint32_t> slots;
};

TLine Decode(const uint8_t* code, uint32_t size, uint32_t at) {
  TLine line;
  const uint8_t op = code[at];
  const TOpcodeInfo& info = Opcodes[op];
  line.text = info.name;
  uint32_t length = 1 + OperandBytes(info.operands);
  if (info.operands == TOperands::Class) {
    uint32_t i = at + 1;
    for (;;) {
      if (i >= size) return line;
      const uint8_t item = code[i];
      if (item == CLASS_END) {
        ++i;
        break;
      }
      if (item == CLASS_RANGE) {
        if (i + 3 > size) return line;
        line.text += " range " + CharText(code[i + 1]) + "-" + CharText(code[i + 2]);
        i += 3;
      } else if (item == CLASS_RUN) {
        if (i + 2 > size || i + 2 + code[i + 1] > size) return line;
        line.text += " run \"";
        for (uint32_t j = 0; j < code[i + 1]; ++j) {
          const uint8_t c = code[i + 2 + j];
          line.text += Printable(c) ? std::string(1, char(c)) : CharText(c);
        }
        line.text += "\"";
        i += 2 + code[i + 1];
      } else {
        line.text += " item " + CharText(item);
        i += 1;
      }
    }
    length = i - at;
  }
  if (at + length > size) return line;
  char buffer[48] = "";
  switch (info.operands) {
    case TOperands::None:
    case TOperands::Class: break;
    case TOperands::D8:
      std::snprintf(buffer, sizeof buffer, " ->%d", int(at) + 2 + int8_t(code[at + 1]));
      break;
    case TOperands::D16:
      std::snprintf(buffer, sizeof buffer, " ->%d", int(Relative16(code, at + 1)));
      break;
    case TOperands::Tag: std::snprintf(buffer, sizeof buffer, " %u", code[at + 1]); break;
    case TOperands::Char: std::snprintf(buffer, sizeof buffer, " %s", CharText(code[at + 1]).c_str()); break;
    case TOperands::Number: std::snprintf(buffer, sizeof buffer, " %u", Word(code, at + 1)); break;
    case TOperands::Slot:
      std::snprintf(buffer, sizeof buffer, " @%d", int(Relative16(code, at + 1)));
      line.slots.push_back(uint32_t(Relative16(code, at + 1)));
      break;
    case TOperands::SlotD16:
      std::snprintf(buffer, sizeof buffer, " @%d ->%d", int(Relative16(code, at + 1)),
                    int(at) + 5 + int16_t(Word(code, at + 3)));
      line.slots.push_back(uint32_t(Relative16(code, at + 1)));
      break;
    case TOperands::SetSlot:
      std::snprintf(buffer, sizeof buffer, " %u @%u", Word(code, at + 1), at + 3);
      line.slots.push_back(at + 3);
      break;
  }
  line.text += buffer;
  line.length = length;
  return line;
}

// Walks the code once, calling `emit` for each line (address, text). Slots are recognised as
// the cells named by an earlier instruction (every template names its slots before them).
template <typename F>
std::set<uint32_t> Walk(const uint8_t* code, F emit) {
  std::set<uint32_t> slots;
  if (!code) return slots;
  const uint32_t size = Word(code, 0);
  uint32_t at = 2;
  while (at < size) {
    if (slots.count(at) && at + 2 <= size) {
      emit(at, "slot");
      at += 2;
      continue;
    }
    const uint8_t op = code[at];
    if (op < OPCODE_COUNT) {
      TLine line = Decode(code, size, at);
      if (line.length) {
        for (uint32_t s : line.slots) slots.insert(s);
        emit(at, line.text);
        at += line.length;
        continue;
      }
    }
    if (std::all_of(code + at, code + size, [](uint8_t b) { return b == 0xFF; })) {
      emit(at, "fill " + std::to_string(size - at));
      break;
    }
    emit(at, "invalid " + CharText(op));
    at += 1;
  }
  return slots;
}

}  // namespace

std::string DumpPattern(const uint8_t* code) {
  std::string listing;
  Walk(code, [&](uint32_t at, const std::string& text) {
    char address[16];
    std::snprintf(address, sizeof address, "%6u ", at);
    listing += address + text + "\n";
  });
  return listing;
}

std::vector<uint32_t> PatternSlots(const uint8_t* code) {
  std::set<uint32_t> slots = Walk(code, [](uint32_t, const std::string&) {});
  return std::vector<uint32_t>(slots.begin(), slots.end());
}
