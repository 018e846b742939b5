#include "record_io.h"

#include <algorithm>
#include <climits>
#include <cstring>

bool TMatchingBlockTarget::WriteBlock(int64_t offset, const uint8_t* bytes, size_t count) {
  end = std::max(end, offset + static_cast<int64_t>(count));
  for (size_t i = 0; i < count && offset + static_cast<int64_t>(i) < size; ++i) {
    const int64_t at = offset + static_cast<int64_t>(i);
    if (at < start || at >= start + length) {
      const int64_t got = file.Read(at, window.data(), window.size());
      if (got <= 0) return false;
      start = at;
      length = got;
    }
    if (window[static_cast<size_t>(at - start)] != bytes[i]) return false;
  }
  return true;
}

bool TFileRangeSource::Read(int64_t offset, uint8_t* bytes, size_t count) {
  pump();
  return offset >= 0 && offset + static_cast<int64_t>(count) <= size &&
         file.Read(start + offset, bytes, count) == static_cast<int64_t>(count);
}

bool TFileDifferenceSink::Write(const uint8_t* bytes, size_t count) {
  if (!file.Write(position, bytes, count)) return false;
  position += static_cast<int64_t>(count);
  return true;
}

bool TMatchingDifferenceSink::Write(const uint8_t* bytes, size_t count) {
  const size_t compared = static_cast<size_t>(std::min<int64_t>(static_cast<int64_t>(count), size - position));
  if (compared > 0) {
    buffer.resize(compared);
    if (file.Read(position, buffer.data(), compared) != static_cast<int64_t>(compared) ||
        std::memcmp(buffer.data(), bytes, compared) != 0) {
      Mismatch = true;
      return false;
    }
  }
  position += static_cast<int64_t>(count);
  Reached = position >= size;
  return !Reached;
}

void TDifferenceProgress::Written(int64_t done, int64_t total) {
  // The format keeps sizes below 2 GB.
  reporter.ReportProgress(static_cast<int32_t>(std::min<int64_t>(done, INT32_MAX)),
                          static_cast<int32_t>(std::min<int64_t>(std::max<int64_t>(total, 1), INT32_MAX)));
}

bool THashingOutput::Write(int64_t offset, const void* buffer, size_t size) {
  if (offset != hashed) inOrder = false;
  if (inOrder) {
    hasher.Update(buffer, size);
    hashed += static_cast<int64_t>(size);
  }
  return file.Write(offset, buffer, size);
}

void TBlockProgress::BeforeBlock(int32_t destination) {
  pump();
  if (total > 0) reporter.ReportProgress(destination, total);
}

bool THashingInput::CatchUp(int64_t offset) {
  if (failed || offset <= hashed) return !failed;
  std::vector<uint8_t> piece(static_cast<size_t>(std::min<int64_t>(PieceSize, offset - hashed)));
  while (!failed && hashed < offset) {
    pump();
    const size_t want = static_cast<size_t>(std::min<int64_t>(static_cast<int64_t>(piece.size()), offset - hashed));
    if (file.Read(hashed, piece.data(), want) != static_cast<int64_t>(want)) failed = true;
    else {
      hasher.Update(piece.data(), want);
      hashed += static_cast<int64_t>(want);
      extra += static_cast<int64_t>(want);
    }
  }
  return !failed;
}

int64_t THashingInput::Read(int64_t offset, void* buffer, size_t count) {
  // A read past the end (which reads as zeros to a block delta) catches up to the end only.
  if (!failed && offset > hashed && offset - hashed <= CatchUpLimit) {
    if (size < 0) size = file.Size();
    CatchUp(std::min(offset, size));
  }
  const int64_t got = file.Read(offset, buffer, count);
  if (!failed && got > 0 && offset <= hashed && offset + got > hashed) {
    hasher.Update(static_cast<const uint8_t*>(buffer) + (hashed - offset), static_cast<size_t>(offset + got - hashed));
    hashed = offset + got;
  }
  return got;
}

bool THashingInput::Finish(int64_t length, TSha256Digest& digest) {
  // A read that went past length (the file grew) hashed bytes the digest must not hold.
  if (hashed > length || !CatchUp(length)) return false;
  digest = hasher.Final();
  return !hasher.Failed();
}
