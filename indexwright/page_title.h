#pragma once
// The title of a help page: the text between "<title>" and "</title>".
//
// The page is read as a text-mode stream on Windows reads it, implemented here on bytes so
// that every build finds the same title: CR LF becomes LF, a lone CR stays, and Ctrl-Z
// (0x1A) or a NUL byte ends the text. The tags are found without regard to ASCII letter
// case; the title keeps its own bytes, nothing is trimmed, and every "&quot;" becomes an
// apostrophe.
//
// The end tag is searched after the start tag. A page whose first "</title>" stands before
// its first "<title>" therefore gets the text up to the next "</title>" after the start tag
// (and an empty title when there is none); looking for both tags from the beginning would
// give a negative length there.

#include <cstddef>
#include <string>

#include "page_folder.h"

// Takes a page's bytes in pieces of any size and finds its title.
class TTitleScanner {
 public:
  // Takes the next size bytes of the page. Returns false once nothing more is needed: the
  // title is complete or the text has ended.
  bool Feed(const char* data, size_t size);

  // Marks the end of the file (a CR held back for a possible LF counts as text).
  void End();

  // The title with its references replaced; empty when no complete title was seen.
  std::string Title() const;

 private:
  enum class TPhase { SeekStart, InTitle, Done };

  void Take(char byte);

  TPhase Phase = TPhase::SeekStart;
  size_t Matched = 0;        // bytes of the tag being sought that match so far
  bool PendingReturn = false;  // a CR seen, its LF not yet decided
  bool Ended = false;        // Ctrl-Z, NUL or the end of the file reached
  std::string Text;          // the title's bytes (with the end tag while it is matched)
};

// Replaces every "&quot;" in Title by "'"; no other reference is touched.
std::string ReplaceQuotes(const std::string& title);

// The title of the page file Name; empty when the file cannot be opened or has no title.
std::string ReadHTMLTitle(TPageFolder& folder, const std::string& name);
