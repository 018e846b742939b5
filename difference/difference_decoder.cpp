#include "difference_decoder.h"

#include <algorithm>

namespace {

constexpr size_t StreamBufferSize = 64 * 1024;
constexpr size_t OldWindowSize = 256 * 1024;
constexpr size_t OutputBufferSize = 256 * 1024;

// The part [start, end) of a source, read in order through a buffer.
class TStreamReader {
 public:
  TStreamReader(TDifferenceSource& source, int64_t start, int64_t end)
      : source(source), position(start), end(end),
        buffer(static_cast<size_t>(std::min<int64_t>(end - start, StreamBufferSize))) {}

  // The next buffered bytes, at least one; false on a read error or at the end.
  bool Peek(const uint8_t*& bytes, size_t& available) {
    if (used == length) {
      const size_t count = static_cast<size_t>(std::min<int64_t>(end - position, buffer.size()));
      if (count == 0 || !source.Read(position, buffer.data(), count)) return false;
      position += static_cast<int64_t>(count);
      length = count;
      used = 0;
    }
    bytes = buffer.data() + used;
    available = length - used;
    return true;
  }
  void Skip(size_t count) { used += count; }

  bool Take(uint8_t* out, size_t count) {
    while (count > 0) {
      const uint8_t* bytes;
      size_t available;
      if (!Peek(bytes, available)) return false;
      const size_t n = std::min(count, available);
      std::copy(bytes, bytes + n, out);
      Skip(n);
      out += n;
      count -= n;
    }
    return true;
  }

 private:
  TDifferenceSource& source;
  int64_t position;  // of the byte after the buffered ones
  int64_t end;
  std::vector<uint8_t> buffer;
  size_t length = 0;
  size_t used = 0;
};

// The old file through one window that moves to wherever a read starts outside it.
class TOldWindow {
 public:
  TOldWindow(TDifferenceSource& source, int64_t size)
      : source(source), size(size), buffer(static_cast<size_t>(std::min<int64_t>(size, OldWindowSize))) {}

  // The bytes from offset (below the file's size) to the window's end.
  bool At(int64_t offset, const uint8_t*& bytes, size_t& available) {
    if (length == 0 || offset < start || offset >= start + static_cast<int64_t>(length)) {
      const size_t count = static_cast<size_t>(std::min<int64_t>(size - offset, buffer.size()));
      length = 0;
      if (offset < 0 || count == 0 || !source.Read(offset, buffer.data(), count)) return false;
      start = offset;
      length = count;
    }
    bytes = buffer.data() + (offset - start);
    available = length - static_cast<size_t>(offset - start);
    return true;
  }

 private:
  TDifferenceSource& source;
  int64_t size;
  std::vector<uint8_t> buffer;
  int64_t start = 0;
  size_t length = 0;
};

// The new file's bytes gathered into large writes.
class TOutput {
 public:
  TOutput(TDifferenceSink& sink, int64_t total, TDifferenceObserver* observer)
      : sink(sink), total(total), observer(observer),
        buffer(static_cast<size_t>(std::min<int64_t>(total, OutputBufferSize))) {}

  void Space(uint8_t*& bytes, size_t& available) {
    bytes = buffer.data() + used;
    available = buffer.size() - used;
  }
  bool Commit(size_t count) {
    used += count;
    return used < buffer.size() || Flush();
  }
  bool Flush() {
    if (used == 0) return true;
    if (!sink.Write(buffer.data(), used)) return false;
    done += static_cast<int64_t>(used);
    used = 0;
    if (observer) observer->Written(done, total);
    return true;
  }

 private:
  TDifferenceSink& sink;
  int64_t total;
  TDifferenceObserver* observer;
  std::vector<uint8_t> buffer;
  size_t used = 0;
  int64_t done = 0;
};

// Writes the entries' bytes; the walk has checked every range before calling.
class TApplier {
 public:
  TApplier(TDifferenceSource& record, TDifferenceSource& old, TDifferenceSink& sink, const TDifferenceHeader& header,
           TDifferenceObserver* observer)
      : diff(record, DiffStart(header), DiffStart(header) + header.DiffLength),
        extra(record, DiffStart(header) + header.DiffLength, static_cast<int64_t>(header.RecordSize())),
        old(old, header.OldSize), output(sink, header.NewSize, observer) {}

  static int64_t DiffStart(const TDifferenceHeader& header) {
    return static_cast<int64_t>(DifferenceHeaderSize + uint64_t{header.EntryCount} * DifferenceEntrySize);
  }

  TDifferenceStatus Add(int64_t oldAt, uint32_t count) {
    while (count > 0) {
      const uint8_t* difference;
      const uint8_t* previous;
      uint8_t* out;
      size_t differenceAvailable, previousAvailable, outAvailable;
      if (!diff.Peek(difference, differenceAvailable) || !old.At(oldAt, previous, previousAvailable)) {
        return TDifferenceStatus::ReadFailed;
      }
      output.Space(out, outAvailable);
      const size_t n = std::min({size_t{count}, differenceAvailable, previousAvailable, outAvailable});
      for (size_t i = 0; i < n; i++) out[i] = static_cast<uint8_t>(difference[i] + previous[i]);
      diff.Skip(n);
      if (!output.Commit(n)) return TDifferenceStatus::WriteFailed;
      oldAt += static_cast<int64_t>(n);
      count -= static_cast<uint32_t>(n);
    }
    return TDifferenceStatus::Applied;
  }

  TDifferenceStatus Copy(uint32_t count) {
    while (count > 0) {
      const uint8_t* bytes;
      uint8_t* out;
      size_t available, outAvailable;
      if (!extra.Peek(bytes, available)) return TDifferenceStatus::ReadFailed;
      output.Space(out, outAvailable);
      const size_t n = std::min({size_t{count}, available, outAvailable});
      std::copy(bytes, bytes + n, out);
      extra.Skip(n);
      if (!output.Commit(n)) return TDifferenceStatus::WriteFailed;
      count -= static_cast<uint32_t>(n);
    }
    return TDifferenceStatus::Applied;
  }

  bool Finish() { return output.Flush(); }

 private:
  TStreamReader diff;
  TStreamReader extra;
  TOldWindow old;
  TOutput output;
};

// Checks every entry against the header before its bytes are written (when applier is set).
TDifferenceStatus Walk(TDifferenceSource& record, const TDifferenceHeader& header, TApplier* applier) {
  TStreamReader control(record, DifferenceHeaderSize, TApplier::DiffStart(header));
  const int64_t oldSize = header.OldSize;
  int64_t oldAt = 0;
  int64_t newAt = 0;
  int64_t diffAt = 0;
  int64_t extraAt = 0;
  for (uint32_t e = 0; e < header.EntryCount; e++) {
    uint8_t bytes[DifferenceEntrySize];
    if (!control.Take(bytes, sizeof bytes)) return TDifferenceStatus::ReadFailed;
    const TDifferenceEntry entry = GetDifferenceEntry(bytes);
    if (entry.Add > header.DiffLength - diffAt || entry.Add > oldSize - oldAt) return TDifferenceStatus::Malformed;
    if (entry.Copy > header.ExtraLength - extraAt) return TDifferenceStatus::Malformed;
    const int64_t nextOld = oldAt + entry.Add + entry.Seek;
    if (nextOld < 0 || nextOld > oldSize) return TDifferenceStatus::Malformed;
    if (applier) {
      TDifferenceStatus status = applier->Add(oldAt, entry.Add);
      if (status == TDifferenceStatus::Applied) status = applier->Copy(entry.Copy);
      if (status != TDifferenceStatus::Applied) return status;
    }
    diffAt += entry.Add;
    extraAt += entry.Copy;
    newAt += int64_t{entry.Add} + entry.Copy;
    oldAt = nextOld;
  }
  // The streams add up to the new size (the header says so), so this uses them up too.
  if (newAt != header.NewSize) return TDifferenceStatus::Malformed;
  if (applier && !applier->Finish()) return TDifferenceStatus::WriteFailed;
  return TDifferenceStatus::Applied;
}

}  // namespace

bool TMemoryDifferenceSource::Read(int64_t offset, uint8_t* out, size_t count) {
  if (offset < 0 || static_cast<uint64_t>(offset) > size || count > size - static_cast<size_t>(offset)) return false;
  std::copy(bytes + offset, bytes + offset + count, out);
  return true;
}

TDifferenceStatus ReadDifferenceHeader(TDifferenceSource& record, TDifferenceHeader& header) {
  const int64_t size = record.Size();
  if (size < 0) return TDifferenceStatus::ReadFailed;
  if (size < static_cast<int64_t>(DifferenceHeaderSize)) return TDifferenceStatus::Malformed;
  uint8_t bytes[DifferenceHeaderSize];
  if (!record.Read(0, bytes, sizeof bytes)) return TDifferenceStatus::ReadFailed;
  if (!std::equal(bytes, bytes + 4, DifferenceMagic) || GetLittleEndian32(bytes + 4) != DifferenceVersion) {
    return TDifferenceStatus::Malformed;
  }
  header.OldSize = GetLittleEndian32(bytes + 8);
  header.NewSize = GetLittleEndian32(bytes + 12);
  header.EntryCount = GetLittleEndian32(bytes + 16);
  header.DiffLength = GetLittleEndian32(bytes + 20);
  header.ExtraLength = GetLittleEndian32(bytes + 24);
  if (header.OldSize > MaxDifferenceFileSize || header.NewSize > MaxDifferenceFileSize ||
      uint64_t{header.DiffLength} + header.ExtraLength != header.NewSize ||
      header.RecordSize() != static_cast<uint64_t>(size)) {
    return TDifferenceStatus::Malformed;
  }
  return TDifferenceStatus::Applied;
}

TDifferenceStatus CheckDifference(TDifferenceSource& record, TDifferenceHeader* header) {
  TDifferenceHeader read;
  TDifferenceStatus status = ReadDifferenceHeader(record, read);
  if (status == TDifferenceStatus::Applied) status = Walk(record, read, nullptr);
  if (header) *header = read;
  return status;
}

TDifferenceStatus ApplyDifference(TDifferenceSource& record, TDifferenceSource& old, TDifferenceSink& sink,
                                  TDifferenceObserver* observer) {
  TDifferenceHeader header;
  const TDifferenceStatus status = CheckDifference(record, &header);
  if (status != TDifferenceStatus::Applied) return status;
  const int64_t oldSize = old.Size();
  if (oldSize < 0) return TDifferenceStatus::ReadFailed;
  if (oldSize != header.OldSize) return TDifferenceStatus::WrongOldSize;
  TApplier applier(record, old, sink, header, observer);
  return Walk(record, header, &applier);
}
