#include "record_io.h"

#include <algorithm>
#include <climits>
#include <cstring>

bool TMatchingBlockTarget::WriteBlock(int64_t offset, const uint8_t* bytes, size_t count) {
  end = std::max(end, offset + static_cast<int64_t>(count));
  for (size_t i = 0; i < count && offset + static_cast<int64_t>(i) < FileSize; ++i) {
    const int64_t at = offset + static_cast<int64_t>(i);
    if (at < Start || at >= Start + Length) {
      const int64_t got = File.Read(at, Window.data(), Window.size());
      if (got <= 0) return false;
      Start = at;
      Length = got;
    }
    if (Window[static_cast<size_t>(at - Start)] != bytes[i]) return false;
  }
  return true;
}

bool TFileRangeSource::Read(int64_t offset, uint8_t* bytes, size_t count) {
  if (SincePump >= PumpEvery) {
    Pump();
    SincePump = 0;
  }
  SincePump += static_cast<int64_t>(count);
  return offset >= 0 && offset + static_cast<int64_t>(count) <= size &&
         File.Read(Start + offset, bytes, count) == static_cast<int64_t>(count);
}

bool TFileDifferenceSink::Write(const uint8_t* bytes, size_t count) {
  if (!File.Write(Position, bytes, count)) return false;
  Position += static_cast<int64_t>(count);
  return true;
}

bool TMatchingDifferenceSink::Write(const uint8_t* bytes, size_t count) {
  const size_t compared = static_cast<size_t>(std::min<int64_t>(static_cast<int64_t>(count), FileSize - Position));
  if (compared > 0) {
    Buffer.resize(compared);
    if (File.Read(Position, Buffer.data(), compared) != static_cast<int64_t>(compared) ||
        std::memcmp(Buffer.data(), bytes, compared) != 0) {
      Mismatch = true;
      return false;
    }
  }
  Position += static_cast<int64_t>(count);
  Reached = Position >= FileSize;
  return !Reached;
}

void TDifferenceProgress::Written(int64_t done, int64_t total) {
  // The format keeps sizes below 2 GB.
  Reporter.ReportProgress(static_cast<int32_t>(std::min<int64_t>(done, INT32_MAX)),
                          static_cast<int32_t>(std::min<int64_t>(std::max<int64_t>(total, 1), INT32_MAX)));
}

bool THashingOutput::Write(int64_t offset, const void* buffer, size_t size) {
  if (offset != Hashed) inOrder = false;
  if (inOrder) {
    Hasher.Update(buffer, size);
    Hashed += static_cast<int64_t>(size);
  }
  return File.Write(offset, buffer, size);
}

void TBlockProgress::BeforeBlock(int32_t destination) {
  Pump();
  if (Total > 0) Reporter.ReportProgress(destination, Total);
}

bool THashingInput::CatchUp(int64_t offset) {
  if (Failed || offset <= Hashed) return !Failed;
  std::vector<uint8_t> piece(static_cast<size_t>(std::min<int64_t>(PieceSize, offset - Hashed)));
  while (!Failed && Hashed < offset) {
    Pump();
    const size_t want = static_cast<size_t>(std::min<int64_t>(static_cast<int64_t>(piece.size()), offset - Hashed));
    if (File.Read(Hashed, piece.data(), want) != static_cast<int64_t>(want)) Failed = true;
    else {
      Hasher.Update(piece.data(), want);
      Hashed += static_cast<int64_t>(want);
      Extra += static_cast<int64_t>(want);
    }
  }
  return !Failed;
}

int64_t THashingInput::Read(int64_t offset, void* buffer, size_t count) {
  // A read past the end (which reads as zeros to a block delta) catches up to the end only.
  if (!Failed && offset > Hashed && offset - Hashed <= CatchUpLimit) {
    if (FileSize < 0) FileSize = File.Size();
    CatchUp(std::min(offset, FileSize));
  }
  const int64_t got = File.Read(offset, buffer, count);
  if (!Failed && got > 0 && offset <= Hashed && offset + got > Hashed) {
    Hasher.Update(static_cast<const uint8_t*>(buffer) + (Hashed - offset), static_cast<size_t>(offset + got - Hashed));
    Hashed = offset + got;
  }
  return got;
}

bool THashingInput::Finish(int64_t length, TSha256Digest& digest) {
  // A read that went past length (the file grew) hashed bytes the digest must not hold.
  if (Hashed > length || !CatchUp(length)) return false;
  digest = Hasher.Final();
  return !Hasher.Failed();
}
