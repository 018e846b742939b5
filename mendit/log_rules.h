#pragma once
// The arithmetic of the message log and the progress bar, kept apart from the windows.
// (A report's lines are split by SplitLogLines, report/formatting_reporter.h.)

#include <cstdint>
#include <string>
#include <vector>

// Top row that makes row lastIndex the last visible one of a list whose client area is
// clientHeight pixels high with rows of rowHeight pixels; -1 when the list need not scroll
// (or the row height is unusable).
int ScrollTopIndex(int lastIndex, int clientHeight, int rowHeight);

// The file name proposed for saving the log: the patch cabinet's name with the extension
// ".log" instead of its own ("C:\\PATCH\\NOTES.CAB" gives "NOTES.log"); "mendit.log" when
// the name is empty.
std::string LogFileNameFor(const std::string& patch);

// done * 100 / total with a 64-bit product; -1 for a total below 1 (no position).
int ProgressPosition(int32_t done, int32_t total);
