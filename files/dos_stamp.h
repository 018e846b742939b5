#pragma once
// The DOS date/time pair by which a patch record recognises the exact version of a file.
//
// Stored as 4 bytes: the 16-bit time word (bits 0-4 seconds / 2, 5-10 minutes, 11-15 hours)
// then the 16-bit date word (bits 0-4 day, 5-8 month, 9-15 years since 1980), both
// little-endian; it is a local time. Read as one little-endian 32-bit number it is
// date * 65536 + time, which is how it is held here. Two stamps match only when all four
// bytes are equal, so to the two-second unit.

#include <cstdint>

using TDosStamp = uint32_t;

// The date word and the time word from their fields (seconds are kept to the two-second unit).
constexpr uint16_t MakeDosDate(int year, int month, int day) {
  return static_cast<uint16_t>(((year - 1980) << 9) | (month << 5) | day);
}
constexpr uint16_t MakeDosTime(int hour, int minute, int second) {
  return static_cast<uint16_t>((hour << 11) | (minute << 5) | (second / 2));
}

constexpr TDosStamp MakeDosStamp(int year, int month, int day, int hour, int minute, int second) {
  return (static_cast<uint32_t>(MakeDosDate(year, month, day)) << 16) | MakeDosTime(hour, minute, second);
}

constexpr uint16_t DosDate(TDosStamp stamp) { return static_cast<uint16_t>(stamp >> 16); }
constexpr uint16_t DosTime(TDosStamp stamp) { return static_cast<uint16_t>(stamp & 0xFFFF); }
constexpr TDosStamp DosStamp(uint16_t date, uint16_t time) {
  return (static_cast<uint32_t>(date) << 16) | time;
}

// The fields of a stamp, as MakeDosStamp takes them (Second is even).
struct TDosFields {
  int Year, Month, Day, Hour, Minute, Second;
};
constexpr TDosFields UnpackDosStamp(TDosStamp stamp) {
  return {(DosDate(stamp) >> 9) + 1980, (DosDate(stamp) >> 5) & 15, DosDate(stamp) & 31,
          DosTime(stamp) >> 11,         (DosTime(stamp) >> 5) & 63, (DosTime(stamp) & 31) * 2};
}
