#pragma once
// File names as patches carry them: in Windows-1252, the ANSI code page of the systems the
// programs are made for (the Windows programs use their system's ANSI code page, which is
// that one there). POSIX systems name files in UTF-8; the POSIX edges of the programs convert
// between the two, so a name is the same bytes in a patch whichever system built it.

#include <string>

// name (UTF-8) in Windows-1252. False when name is not UTF-8 or holds a character
// Windows-1252 has not; text is then undefined.
bool Utf8ToWindows1252(const std::string& name, std::string& text);

// text (Windows-1252) in UTF-8. Every byte has a character (the five bytes Windows-1252
// leaves undefined stand for the control characters of the same number, as Windows maps
// them), so the conversion always succeeds and Utf8ToWindows1252 takes it back.
std::string Windows1252ToUtf8(const std::string& text);
