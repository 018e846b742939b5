// The one-letter class macros of the pattern language (":d" is a digit, ":p" a path, ...).
#pragma once

// The body of macro `letter` (one atom of the pattern language), or null if there is none.
const char* PatternMacroBody(char letter);
