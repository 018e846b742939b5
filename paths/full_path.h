#pragma once
// The absolute form of a path, as the host's full-path service gives it.
//
// AbsolutePath is implemented twice: with GetFullPathNameA in the Windows build, and in
// every other build by ResolveWindowsPath against the process's current directory (shown
// as drive C:), so that the path logic above it runs and is tested on the build machine.

#include <cstddef>

// Writes the absolute form of text to out (at most size - 1 characters and a NUL).
// Returns false, with out empty, when the path is empty, cannot be resolved or does not fit.
bool AbsolutePath(const char* text, char* out, size_t size);

// Resolves text the way Windows does against currentDir, an absolute directory such as
// C:\WORK (drive letter, colon, backslash): drive-absolute, rooted ("\X"), drive-relative
// ("D:X", against the root of a drive other than the current one), relative and UNC
// ("\\server\share\X") forms; '/' taken as '\'; "." and ".." components resolved, never above
// the root; repeated separators folded; a closing separator kept; dots and spaces at the
// end of the last component removed. Same contract for out as AbsolutePath.
bool ResolveWindowsPath(const char* text, const char* currentDir, char* out, size_t size);
