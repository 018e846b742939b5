#include "page_title.h"

namespace {

const char StartTag[] = "<title>";
const char EndTag[] = "</title>";
const size_t StartTagLength = sizeof(StartTag) - 1;
const size_t EndTagLength = sizeof(EndTag) - 1;

char LowerAscii(char byte) { return (byte >= 'A' && byte <= 'Z') ? static_cast<char>(byte - 'A' + 'a') : byte; }

// Advances the count of matched tag bytes by one byte. Both tags hold '<' only as their
// first byte, so after a mismatch the only partial match left is a '<' that starts anew.
size_t Advance(const char* tag, size_t matched, char lower) {
  if (lower == tag[matched]) return matched + 1;
  return lower == '<' ? 1 : 0;
}

}  // namespace

bool TTitleScanner::Feed(const char* data, size_t size) {
  for (size_t i = 0; i < size; ++i) {
    if (Ended || Phase == TPhase::Done) return false;
    char byte = data[i];
    if (byte == '\x1a' || byte == '\0') {
      End();
      return false;
    }
    if (PendingReturn) {
      PendingReturn = false;
      if (byte == '\n') {
        Take('\n');
        continue;
      }
      Take('\r');
    }
    if (byte == '\r') {
      PendingReturn = true;
      continue;
    }
    Take(byte);
  }
  return !Ended && Phase != TPhase::Done;
}

void TTitleScanner::End() {
  if (Ended) return;
  if (PendingReturn) {
    PendingReturn = false;
    Take('\r');
  }
  Ended = true;
}

void TTitleScanner::Take(char byte) {
  char lower = LowerAscii(byte);
  switch (Phase) {
    case TPhase::SeekStart:
      Matched = Advance(StartTag, Matched, lower);
      if (Matched == StartTagLength) {
        Phase = TPhase::InTitle;
        Matched = 0;
      }
      return;
    case TPhase::InTitle:
      Text += byte;
      Matched = Advance(EndTag, Matched, lower);
      if (Matched == EndTagLength) {
        Text.resize(Text.size() - EndTagLength);
        Phase = TPhase::Done;
      }
      return;
    case TPhase::Done:
      return;
  }
}

std::string TTitleScanner::Title() const { return Phase == TPhase::Done ? ReplaceQuotes(Text) : std::string(); }

// One pass from left to right gives what repeated replacement of the first "&quot;" gives:
// the apostrophe cannot take part in a new "&quot;".
std::string ReplaceQuotes(const std::string& title) {
  static const char Reference[] = "&quot;";
  const size_t ReferenceLength = sizeof(Reference) - 1;
  std::string result;
  result.reserve(title.size());
  size_t begin = 0;
  for (;;) {
    size_t found = title.find(Reference, begin, ReferenceLength);
    if (found == std::string::npos) break;
    result.append(title, begin, found - begin);
    result += '\'';
    begin = found + ReferenceLength;
  }
  result.append(title, begin, std::string::npos);
  return result;
}

std::string ReadHTMLTitle(TPageFolder& folder, const std::string& name) {
  std::unique_ptr<TByteSource> page = folder.OpenInput(name);
  if (!page) return std::string();
  TTitleScanner scanner;
  char buffer[4096];
  for (;;) {
    size_t got = page->Read(buffer, sizeof(buffer));
    if (got == 0 || !scanner.Feed(buffer, got)) break;
  }
  scanner.End();
  return scanner.Title();
}
