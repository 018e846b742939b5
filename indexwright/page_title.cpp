#include "page_title.h"

namespace {

const char StartTag[] = "<title>";
const char EndTag[] = "</title>";
const size_t StartTagLength = sizeof(StartTag) - 1;
const size_t EndTagLength = sizeof(EndTag) - 1;

char LowerAscii(char Byte) { return (Byte >= 'A' && Byte <= 'Z') ? static_cast<char>(Byte - 'A' + 'a') : Byte; }

// Advances the count of matched tag bytes by one byte. Both tags hold '<' only as their
// first byte, so after a mismatch the only partial match left is a '<' that starts anew.
size_t Advance(const char* Tag, size_t Matched, char Lower) {
  if (Lower == Tag[Matched]) return Matched + 1;
  return Lower == '<' ? 1 : 0;
}

}  // namespace

bool TTitleScanner::Feed(const char* Data, size_t Size) {
  for (size_t I = 0; I < Size; ++I) {
    if (Ended || Phase == TPhase::Done) return false;
    char Byte = Data[I];
    if (Byte == '\x1a' || Byte == '\0') {
      End();
      return false;
    }
    if (PendingReturn) {
      PendingReturn = false;
      if (Byte == '\n') {
        Take('\n');
        continue;
      }
      Take('\r');
    }
    if (Byte == '\r') {
      PendingReturn = true;
      continue;
    }
    Take(Byte);
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

void TTitleScanner::Take(char Byte) {
  char Lower = LowerAscii(Byte);
  switch (Phase) {
    case TPhase::SeekStart:
      Matched = Advance(StartTag, Matched, Lower);
      if (Matched == StartTagLength) {
        Phase = TPhase::InTitle;
        Matched = 0;
      }
      return;
    case TPhase::InTitle:
      Text += Byte;
      Matched = Advance(EndTag, Matched, Lower);
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
std::string ReplaceQuotes(const std::string& Title) {
  static const char Reference[] = "&quot;";
  const size_t ReferenceLength = sizeof(Reference) - 1;
  std::string Result;
  Result.reserve(Title.size());
  size_t Begin = 0;
  for (;;) {
    size_t Found = Title.find(Reference, Begin, ReferenceLength);
    if (Found == std::string::npos) break;
    Result.append(Title, Begin, Found - Begin);
    Result += '\'';
    Begin = Found + ReferenceLength;
  }
  Result.append(Title, Begin, std::string::npos);
  return Result;
}

std::string ReadHTMLTitle(TPageFolder& Folder, const std::string& Name) {
  std::unique_ptr<TByteSource> Page = Folder.OpenInput(Name);
  if (!Page) return std::string();
  TTitleScanner Scanner;
  char Buffer[4096];
  for (;;) {
    size_t Got = Page->Read(Buffer, sizeof(Buffer));
    if (Got == 0 || !Scanner.Feed(Buffer, Got)) break;
  }
  Scanner.End();
  return Scanner.Title();
}
