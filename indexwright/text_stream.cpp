#include "text_stream.h"

void TTextStream::Write(const std::string& Text) {
  size_t Begin = 0;
  for (;;) {
    size_t Feed = Text.find('\n', Begin);
    if (Feed == std::string::npos) {
      if (Begin < Text.size()) Sink.Put(Text.data() + Begin, Text.size() - Begin);
      return;
    }
    if (Feed > Begin) Sink.Put(Text.data() + Begin, Feed - Begin);
    Sink.Put("\r\n", 2);
    Begin = Feed + 1;
  }
}

void TTextStream::Line(int Indent, const std::string& Text) {
  std::string Whole(Indent > 0 ? static_cast<size_t>(Indent) : 0, ' ');
  Whole += Text;
  Whole += '\n';
  Write(Whole);
}
