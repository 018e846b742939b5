#include "block_io.h"

#include <algorithm>
#include <cstring>

namespace {
// Windows start at a multiple of this, so a run of blocks reading slightly backwards still
// hits the window it has just filled.
constexpr int64_t WindowAlign = 4096;
// Room for a block at any offset inside an aligned window.
constexpr size_t StrayWindow = 2 * 4096;
// Small-window fills in a row, each following on from the last, that move the main window.
constexpr int MovedAfter = 2;
}  // namespace

TCachedBlockSource::TCachedBlockSource(TInputFile& file, size_t window) : file(file) {
  main.bytes.resize(std::max(window, StrayWindow));
  stray.bytes.resize(StrayWindow);
}

bool TCachedBlockSource::TCacheWindow::Covers(int64_t offset) const {
  // Past the end of the file everything reads as zero, so a window reaching the end covers
  // every offset after its start.
  return filled && offset >= start &&
         (offset + static_cast<int64_t>(DeltaBlockSize) <= start + static_cast<int64_t>(length) || endsFile);
}

bool TCachedBlockSource::TCacheWindow::Fill(TInputFile& file, int64_t offset) {
  const int64_t from = offset - offset % WindowAlign;
  const int64_t n = file.Read(from, bytes.data(), bytes.size());
  if (n < 0) return false;
  start = from;
  length = static_cast<size_t>(n);
  endsFile = length < bytes.size();
  filled = true;
  return true;
}

const uint8_t* TCachedBlockSource::TCacheWindow::Block(int64_t offset, uint8_t* scratch) const {
  const int64_t end = start + static_cast<int64_t>(length);
  if (offset + static_cast<int64_t>(DeltaBlockSize) <= end) return bytes.data() + (offset - start);
  const size_t available = offset >= end ? 0 : static_cast<size_t>(end - offset);
  if (available) std::memcpy(scratch, bytes.data() + (offset - start), available);
  // Nothing could be read past the end of the previous version: those bytes are zero.
  std::memset(scratch + available, 0, DeltaBlockSize - available);
  return scratch;
}

bool TCachedBlockSource::ReadBlock(int64_t offset, uint8_t* block) {
  const uint8_t* bytes = BlockAt(offset, block);
  if (bytes && bytes != block) std::memcpy(block, bytes, DeltaBlockSize);
  return bytes != nullptr;
}

const uint8_t* TCachedBlockSource::BlockAt(int64_t offset, uint8_t* scratch) {
  if (offset < 0) return nullptr;
  if (main.Covers(offset)) {
    strayRun = 0;
    return main.Block(offset, scratch);
  }
  if (stray.Covers(offset)) return stray.Block(offset, scratch);
  // At the end of the main window (or a little past it): the run goes on there. Blocks elsewhere go through the
  // small window; only when they keep following on from each other, with no block from the
  // main window in between, has the run moved, and the main window follows it. (Blocks
  // taken alternately from two places thus never make the large window swing to and fro.)
  const int64_t mainEnd = main.start + static_cast<int64_t>(main.length);
  const bool ahead = offset >= main.start && offset < mainEnd + WindowAlign;
  const bool continuesStray =
      stray.filled && offset >= stray.start &&
      offset < stray.start + static_cast<int64_t>(stray.length + stray.bytes.size());
  strayRun = continuesStray ? strayRun + 1 : 0;
  TCacheWindow& window = !main.filled || ahead || strayRun >= MovedAfter ? main : stray;
  if (!window.Fill(file, offset)) return nullptr;
  if (&window == &main) strayRun = 0;
  return window.Block(offset, scratch);
}

TBufferedBlockTarget::TBufferedBlockTarget(TOutputFile& file, size_t capacity)
    : file(file), buffer(std::max(capacity, DeltaBlockSize)) {}

bool TBufferedBlockTarget::WriteBlock(int64_t offset, const uint8_t* bytes, size_t size) {
  if (offset < 0 || size > buffer.size()) return false;
  const int64_t end = bufferStart + static_cast<int64_t>(bufferLength);
  if (bufferLength > 0 && offset >= bufferStart &&
      offset + static_cast<int64_t>(size) <= end) {
    // Overwrites bytes still in the buffer: the buffer holds the newest bytes there.
    std::memcpy(buffer.data() + (offset - bufferStart), bytes, size);
    return true;
  }
  if (bufferLength > 0 && offset == end && bufferLength + size <= buffer.size()) {
    std::memcpy(buffer.data() + bufferLength, bytes, size);
    bufferLength += size;
    return true;
  }
  // Anything else goes to the file in order: earlier bytes first, then these.
  if (!Flush()) return false;
  bufferStart = offset;
  std::memcpy(buffer.data(), bytes, size);
  bufferLength = size;
  return true;
}

bool TBufferedBlockTarget::Flush() {
  if (bufferLength == 0) return true;
  const bool ok = file.Write(bufferStart, buffer.data(), bufferLength);
  bufferLength = 0;
  return ok;
}
