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

TCachedBlockSource::TCachedBlockSource(TInputFile& file, size_t window) : File(file) {
  Main.Bytes.resize(std::max(window, StrayWindow));
  Stray.Bytes.resize(StrayWindow);
}

bool TCachedBlockSource::TCacheWindow::Covers(int64_t offset) const {
  // Past the end of the file everything reads as zero, so a window reaching the end covers
  // every offset after its start.
  return Filled && offset >= Start &&
         (offset + static_cast<int64_t>(DeltaBlockSize) <= Start + static_cast<int64_t>(Length) || EndsFile);
}

bool TCachedBlockSource::TCacheWindow::Fill(TInputFile& file, int64_t offset) {
  const int64_t from = offset - offset % WindowAlign;
  const int64_t n = file.Read(from, Bytes.data(), Bytes.size());
  if (n < 0) return false;
  Start = from;
  Length = static_cast<size_t>(n);
  EndsFile = Length < Bytes.size();
  Filled = true;
  return true;
}

const uint8_t* TCachedBlockSource::TCacheWindow::Block(int64_t offset, uint8_t* scratch) const {
  const int64_t end = Start + static_cast<int64_t>(Length);
  if (offset + static_cast<int64_t>(DeltaBlockSize) <= end) return Bytes.data() + (offset - Start);
  const size_t available = offset >= end ? 0 : static_cast<size_t>(end - offset);
  if (available) std::memcpy(scratch, Bytes.data() + (offset - Start), available);
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
  if (Main.Covers(offset)) {
    StrayRun = 0;
    return Main.Block(offset, scratch);
  }
  if (Stray.Covers(offset)) return Stray.Block(offset, scratch);
  // At the end of the main window (or a little past it): the run goes on there. Blocks elsewhere go through the
  // small window; only when they keep following on from each other, with no block from the
  // main window in between, has the run moved, and the main window follows it. (Blocks
  // taken alternately from two places thus never make the large window swing to and fro.)
  const int64_t mainEnd = Main.Start + static_cast<int64_t>(Main.Length);
  const bool ahead = offset >= Main.Start && offset < mainEnd + WindowAlign;
  const bool continuesStray =
      Stray.Filled && offset >= Stray.Start &&
      offset < Stray.Start + static_cast<int64_t>(Stray.Length + Stray.Bytes.size());
  StrayRun = continuesStray ? StrayRun + 1 : 0;
  TCacheWindow& window = !Main.Filled || ahead || StrayRun >= MovedAfter ? Main : Stray;
  if (!window.Fill(File, offset)) return nullptr;
  if (&window == &Main) StrayRun = 0;
  return window.Block(offset, scratch);
}

TBufferedBlockTarget::TBufferedBlockTarget(TOutputFile& file, size_t capacity)
    : File(file), Buffer(std::max(capacity, DeltaBlockSize)) {}

bool TBufferedBlockTarget::WriteBlock(int64_t offset, const uint8_t* bytes, size_t size) {
  if (offset < 0 || size > Buffer.size()) return false;
  const int64_t end = BufferStart + static_cast<int64_t>(BufferLength);
  if (BufferLength > 0 && offset >= BufferStart &&
      offset + static_cast<int64_t>(size) <= end) {
    // Overwrites bytes still in the buffer: the buffer holds the newest bytes there.
    std::memcpy(Buffer.data() + (offset - BufferStart), bytes, size);
    return true;
  }
  if (BufferLength > 0 && offset == end && BufferLength + size <= Buffer.size()) {
    std::memcpy(Buffer.data() + BufferLength, bytes, size);
    BufferLength += size;
    return true;
  }
  // Anything else goes to the file in order: earlier bytes first, then these.
  if (!Flush()) return false;
  BufferStart = offset;
  std::memcpy(Buffer.data(), bytes, size);
  BufferLength = size;
  return true;
}

bool TBufferedBlockTarget::Flush() {
  if (BufferLength == 0) return true;
  const bool ok = File.Write(BufferStart, Buffer.data(), BufferLength);
  BufferLength = 0;
  return ok;
}
