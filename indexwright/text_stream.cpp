#include "text_stream.h"

void TTextStream::Write(const std::string& text) {
  size_t begin = 0;
  for (;;) {
    size_t feed = text.find('\n', begin);
    if (feed == std::string::npos) {
      if (begin < text.size()) Sink.Put(text.data() + begin, text.size() - begin);
      return;
    }
    if (feed > begin) Sink.Put(text.data() + begin, feed - begin);
    Sink.Put("\r\n", 2);
    begin = feed + 1;
  }
}

void TTextStream::Line(int indent, const std::string& text) {
  std::string whole(indent > 0 ? static_cast<size_t>(indent) : 0, ' ');
  whole += text;
  whole += '\n';
  Write(whole);
}
