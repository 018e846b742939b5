#include "mszip_compressor.h"

#include <zlib.h>

#include <algorithm>

namespace {

constexpr size_t FrameSize = 32768;

// One raw deflate stream, reset for every frame and primed with the frame before it.
class TDeflater {
 public:
  TDeflater() {
    Ready = deflateInit2(&Stream, Z_BEST_COMPRESSION, Z_DEFLATED, -15, 9, Z_DEFAULT_STRATEGY) == Z_OK;
  }
  ~TDeflater() {
    if (Ready) deflateEnd(&Stream);
  }
  TDeflater(const TDeflater&) = delete;
  TDeflater& operator=(const TDeflater&) = delete;

  bool Frame(const uint8_t* history, size_t historySize, const uint8_t* input, size_t size,
             std::vector<uint8_t>& frame) {
    if (!Ready || deflateReset(&Stream) != Z_OK) return false;
    if (historySize > 0 &&
        deflateSetDictionary(&Stream, history, static_cast<uInt>(historySize)) != Z_OK)
      return false;
    frame.assign(2 + deflateBound(&Stream, static_cast<uLong>(size)), 0);
    frame[0] = 'C';
    frame[1] = 'K';
    Stream.next_in = const_cast<Bytef*>(input);
    Stream.avail_in = static_cast<uInt>(size);
    Stream.next_out = frame.data() + 2;
    Stream.avail_out = static_cast<uInt>(frame.size() - 2);
    if (deflate(&Stream, Z_FINISH) != Z_STREAM_END) return false;
    frame.resize(frame.size() - Stream.avail_out);
    return true;
  }

 private:
  z_stream Stream{};
  bool Ready = false;
};

}  // namespace

bool MszipCompress(const uint8_t* data, size_t size, std::vector<std::vector<uint8_t>>& frames,
                   const std::function<void(size_t done)>& progress) {
  frames.clear();
  TDeflater deflater;
  for (size_t at = 0; at < size; at += FrameSize) {
    const size_t length = std::min(FrameSize, size - at);
    const size_t history = std::min(FrameSize, at);
    frames.emplace_back();
    if (!deflater.Frame(data + at - history, history, data + at, length, frames.back())) return false;
    if (progress) progress(at + length);
  }
  return true;
}
