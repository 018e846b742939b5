// The instruction set of compiled patterns. Numbers are the byte values in the code.
// Operands follow the opcode byte: d8/d16 are signed offsets to a code address, s16 a signed
// offset to a 16-bit code slot, each counted from the byte after that operand; 16-bit operands
// are little-endian.
#pragma once

#include <cstdint>

enum TPatternOpcode : uint8_t {
  PUSH_ALT_W = 0,      // d16: push the next instruction as a backtrack point, continue at the target
  PUSH_ALT_B = 1,      // d8: as PUSH_ALT_W
  BACKREF = 2,         // tag: match the text of that tag again (empty if unset or empty)
  SUCCEED = 3,         // the match succeeded; returns the stack depth
  INC_SLOT = 4,        // s16: slot := slot + 1
  DEC_SLOT_JUMP = 5,   // s16 d16: v := slot; slot := v - 1; continue at the target if v was not 0
  JUMP_W = 6,          // d16: continue at the target
  JUMP_B = 7,          // d8: continue at the target
  NEXT_START = 8,      // empty the stack and begin the next attempt at start + step, or end
  LOAD_POS = 9,        // s16: position := slot
  LOAD_DEPTH = 10,     // s16: stack depth := slot, dropping the entries above
  TAG_START = 11,      // tag: the tag's start := current position
  TAG_END = 12,        // tag: the tag's length := current position - its start
  STORE_POS = 13,      // s16: slot := position
  STORE_DEPTH = 14,    // s16: slot := stack depth
  POP_POS = 15,        // position := popped value
  POP_SLOT = 16,       // s16: slot := popped value
  PUSH_POS = 17,       // push the position
  PUSH_SLOT = 18,      // s16: push the slot's value
  FAIL = 19,           // backtrack to the top entry
  AT_COLUMN = 20,      // n16: fail unless position = n
  AT_END = 21,         // fail unless position >= text length
  AT_START = 22,       // fail unless position = 0
  IN_CLASS = 23,       // items 0x00: one character that belongs to the class
  CHAR = 24,           // c: one character equal to c
  ANY = 25,            // one character
  FAIL_IF_SAME = 26,   // s16: fail if position = slot
  NOT_IN_CLASS = 27,   // items 0x00: one character that does not belong to the class
  NOT_CHAR = 28,       // c: one character other than c
  SET_SLOT = 29,       // n16, then the slot itself: slot := n
  CASE_TOGGLE = 30,    // case mode := folded if exact, else exact
  CASE_EXACT = 31,     // case mode := exact
  CASE_IGNORE = 32,    // case mode := folded
  PUSH_CASE = 33,      // push the case mode
  POP_CASE = 34,       // case mode := popped value
  OPCODE_COUNT = 35,   // this and every higher byte is an invalid instruction
};

// Items of a character class, after IN_CLASS and NOT_IN_CLASS.
enum TClassItem : uint8_t {
  CLASS_END = 0,    // ends the item list
  CLASS_RANGE = 1,  // lo hi: lo..hi inclusive
  CLASS_RUN = 2,    // n c1..cn: any of n characters
};
