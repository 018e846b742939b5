#include "difference_decoder.h"

#include <algorithm>
#include <memory>

#include "executable_part.h"

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
  bool AtEnd() const { return used == length && position == end; }

  // A variable-length number: Malformed when it runs past the stream's end, takes more
  // than MaxNumberSize bytes or exceeds 32 bits.
  TDifferenceStatus Number(uint32_t& value) {
    uint64_t number = 0;
    for (size_t i = 0; i < MaxNumberSize; i++) {
      const uint8_t* bytes;
      size_t available;
      if (AtEnd()) return TDifferenceStatus::Malformed;
      if (!Peek(bytes, available)) return TDifferenceStatus::ReadFailed;
      const uint8_t byte = bytes[0];
      Skip(1);
      number |= uint64_t{byte & 0x7Fu} << (7 * i);
      if (!(byte & 0x80)) {
        if (number > 0xFFFFFFFFu) return TDifferenceStatus::Malformed;
        value = static_cast<uint32_t>(number);
        return TDifferenceStatus::Applied;
      }
    }
    return TDifferenceStatus::Malformed;
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

  // The bytes from offset (below the file's size) to the window's end. A window that moves
  // reads the wanted bytes only (up to its size): adds are often short, and reading a whole
  // window for each would cost more than the rest of the work.
  bool At(int64_t offset, size_t wanted, const uint8_t*& bytes, size_t& available) {
    if (length == 0 || offset < start || offset >= start + static_cast<int64_t>(length)) {
      length = 0;
      if (offset < 0 || offset >= size) return false;
      const size_t count = static_cast<size_t>(std::min<int64_t>({size - offset, static_cast<int64_t>(buffer.size()),
                                                                  static_cast<int64_t>(wanted)}));
      if (!source.Read(offset, buffer.data(), count)) return false;
      start = offset;
      length = count;
    }
    bytes = buffer.data() + (offset - start);
    available = length - static_cast<size_t>(offset - start);
    return true;
  }

  // The bytes from offset (below the file's size) to the window's end, with the
  // min(offset, 2) bytes before it, and at least the 8 after it (fewer only at the file's
  // end) plus one: what the reference finder looks at around a byte. A window that moves
  // reads at most wanted bytes from offset on and the look-ahead.
  bool Span(int64_t offset, size_t wanted, const uint8_t*& bytes, size_t& available) {
    const int64_t end = start + static_cast<int64_t>(length);
    if (length == 0 || offset - std::min<int64_t>(offset, 2) < start || std::min<int64_t>(offset + 9, size) > end) {
      // Start the window a little before offset, so that reads going on from it stay inside.
      const int64_t from = std::max<int64_t>(0, offset - 16);
      length = 0;
      if (offset < 0 || offset >= size) return false;
      const size_t count = static_cast<size_t>(std::min<int64_t>(
          {size - from, static_cast<int64_t>(buffer.size()), offset - from + static_cast<int64_t>(wanted) + 9}));
      if (!source.Read(from, buffer.data(), count)) return false;
      start = from;
      length = count;
    }
    bytes = buffer.data() + (offset - start);
    available = length - static_cast<size_t>(offset - start);
    return true;
  }
  bool ReachesEnd() const { return start + static_cast<int64_t>(length) == size; }

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
  bool Put(uint8_t byte) {
    buffer[used++] = byte;
    return used < buffer.size() || Flush();
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

// Writes the entries' bytes; the walk has checked every range before calling, and the
// runs stream was checked whole before the first entry.
class TApplier {
 public:
  TApplier(TDifferenceSource& record, TDifferenceSource& old, TDifferenceSink& sink, const TDifferenceHeader& header,
           TDifferenceObserver* observer, const TReferenceCoder* coder)
      : coder(coder), runs(record, static_cast<int64_t>(header.RunsStart()), static_cast<int64_t>(header.ChangesStart())),
        changes(record, static_cast<int64_t>(header.ChangesStart()), static_cast<int64_t>(header.ExtraStart())),
        extra(record, static_cast<int64_t>(header.ExtraStart()), static_cast<int64_t>(header.RecordSize())),
        old(old, header.OldSize), output(sink, header.NewSize, observer), changesLeft(header.ChangeCount) {}

  TDifferenceStatus Add(int64_t oldAt, int64_t newAt, uint32_t count) {
    if (coder) return AddReferences(oldAt, newAt, count);
    while (count > 0) {
      const uint8_t* previous;
      size_t available;
      if (!old.At(oldAt, count, previous, available)) return TDifferenceStatus::ReadFailed;
      const size_t n = std::min(size_t{count}, available);
      const TDifferenceStatus status = AddBytes(previous, n);
      if (status != TDifferenceStatus::Applied) return status;
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
      Remember(out + n - std::min<size_t>(n, 2), std::min<size_t>(n, 2));
      if (!output.Commit(n)) return TDifferenceStatus::WriteFailed;
      count -= static_cast<uint32_t>(n);
    }
    return TDifferenceStatus::Applied;
  }

  bool Finish() { return output.Flush(); }

 private:
  // count old bytes from previous, each plus its difference byte, to the output.
  TDifferenceStatus AddBytes(const uint8_t* previous, size_t count) {
    while (count > 0) {
      uint8_t* out;
      size_t outAvailable;
      output.Space(out, outAvailable);
      const size_t n = std::min(count, outAvailable);
      std::copy(previous, previous + n, out);
      // The changes that fall in these n bytes.
      for (size_t at = 0;;) {
        if (!haveRun) {
          const TDifferenceStatus status = NextRun();
          if (status != TDifferenceStatus::Applied) return status;
        }
        const int64_t rest = static_cast<int64_t>(n - at);
        if (zeros >= rest) {
          zeros -= rest;
          break;
        }
        at += zeros;
        const uint8_t* change;
        size_t changeAvailable;
        if (!changes.Peek(change, changeAvailable)) return TDifferenceStatus::ReadFailed;
        out[at++] += change[0];
        changes.Skip(1);
        haveRun = false;
      }
      Remember(out + n - std::min<size_t>(n, 2), std::min<size_t>(n, 2));
      if (!output.Commit(n)) return TDifferenceStatus::WriteFailed;
      previous += n;
      count -= n;
    }
    return TDifferenceStatus::Applied;
  }

  const TReferenceCoder* coder;
  TReferenceScan scan;   // the coder's scan of the old file, and the reference it stopped at
  uint8_t last[2] = {};  // the new file's last bytes written, for the reference coder
  size_t lastCount = 0;

  void Remember(const uint8_t* bytes, size_t count) {
    for (size_t i = 0; i < count; i++) {
      if (lastCount == 2) last[0] = last[1];
      last[lastCount == 2 ? 1 : lastCount++] = bytes[i];
    }
  }

  TDifferenceStatus NextDifference(uint8_t& byte) {
    if (!haveRun) {
      const TDifferenceStatus status = NextRun();
      if (status != TDifferenceStatus::Applied) return status;
    }
    if (zeros > 0) {
      zeros--;
      byte = 0;
      return TDifferenceStatus::Applied;
    }
    const uint8_t* change;
    size_t available;
    if (!changes.Peek(change, available)) return TDifferenceStatus::ReadFailed;
    byte = change[0];
    changes.Skip(1);
    haveRun = false;
    return TDifferenceStatus::Applied;
  }

  TDifferenceStatus PutByte(uint8_t byte) {
    Remember(&byte, 1);
    return output.Put(byte) ? TDifferenceStatus::Applied : TDifferenceStatus::WriteFailed;
  }

  // An add of the executable mode: the bytes up to the next place where the old file may
  // hold a reference go in bulk; there the coder decides, and a reference it recognises is
  // rebuilt from its prediction and the 32-bit difference stored for it.
  TDifferenceStatus AddReferences(int64_t oldAt, int64_t newAt, uint32_t count) {
    while (count > 0) {
      const uint8_t* previous;
      size_t available;
      if (!old.Span(oldAt, count, previous, available)) return TDifferenceStatus::ReadFailed;
      // The bytes whose look-ahead the window holds: all when it reaches the file's end.
      const size_t inWindow = old.ReachesEnd() ? available : available - 8;
      const size_t n = std::min(size_t{count}, inWindow);
      const size_t plain = coder->PlainRun(static_cast<uint32_t>(oldAt), previous, n, available, scan);
      TDifferenceStatus status = AddBytes(previous, plain);
      if (status != TDifferenceStatus::Applied) return status;
      oldAt += static_cast<int64_t>(plain);
      newAt += static_cast<int64_t>(plain);
      count -= static_cast<uint32_t>(plain);
      if (plain == n) continue;

      TOperandBytes around;
      around.At = previous + plain;
      around.Before = static_cast<size_t>(std::min<int64_t>(oldAt, 2));
      around.After = std::min<size_t>(available - plain, 8);
      TReferenceCoder::TPrediction prediction;
      if (!coder->Predict(scan.Found, around, static_cast<uint32_t>(newAt), last, lastCount, count, prediction)) {
        status = AddBytes(around.At, 1);
        if (status != TDifferenceStatus::Applied) return status;
        oldAt++;
        newAt++;
        count--;
        continue;
      }
      // The finder saw Width bytes of the old file from here (After >= Width).
      uint8_t difference[8];
      for (uint32_t j = 0; j < prediction.Width && status == TDifferenceStatus::Applied; j++) {
        status = NextDifference(difference[j]);
      }
      uint8_t value[4];
      WriteUInt32le(value, ReadUInt32le(difference) + prediction.Value);
      for (uint32_t j = 0; j < prediction.Width && status == TDifferenceStatus::Applied; j++) {
        status = PutByte(j < 4 ? value[j] : static_cast<uint8_t>(around.At[j] + difference[j]));
      }
      if (status != TDifferenceStatus::Applied) return status;
      oldAt += prediction.Width;
      newAt += prediction.Width;
      count -= prediction.Width;
    }
    return TDifferenceStatus::Applied;
  }

  TStreamReader runs;
  TStreamReader changes;
  TStreamReader extra;
  TOldWindow old;
  TOutput output;
  uint32_t changesLeft;
  bool haveRun = false;
  int64_t zeros = 0;  // unchanged bytes before the next change (all the rest after the last)

  TDifferenceStatus NextRun() {
    haveRun = true;
    if (changesLeft == 0) {
      zeros = INT64_MAX;
      return TDifferenceStatus::Applied;
    }
    changesLeft--;
    uint32_t run = 0;
    const TDifferenceStatus status = runs.Number(run);
    zeros = run;
    return status;
  }
};

// The runs stream: ChangeCount numbers that fill it exactly, every change inside the
// difference bytes.
TDifferenceStatus CheckRuns(TDifferenceSource& record, const TDifferenceHeader& header) {
  TStreamReader runs(record, static_cast<int64_t>(header.RunsStart()), static_cast<int64_t>(header.ChangesStart()));
  int64_t covered = 0;
  for (uint32_t c = 0; c < header.ChangeCount; c++) {
    uint32_t run = 0;
    const TDifferenceStatus status = runs.Number(run);
    if (status != TDifferenceStatus::Applied) return status;
    covered += int64_t{run} + 1;
    if (covered > header.DifferenceLength) return TDifferenceStatus::Malformed;
  }
  return runs.AtEnd() ? TDifferenceStatus::Applied : TDifferenceStatus::Malformed;
}

// Checks every entry against the header before its bytes are written (when applier is set).
TDifferenceStatus Walk(TDifferenceSource& record, const TDifferenceHeader& header, TApplier* applier) {
  TStreamReader control(record, static_cast<int64_t>(header.ControlStart()), static_cast<int64_t>(header.RunsStart()));
  const int64_t oldSize = header.OldSize;
  int64_t oldAt = 0;
  int64_t newAt = 0;
  int64_t differenceAt = 0;
  int64_t extraAt = 0;
  for (uint32_t e = 0; e < header.EntryCount; e++) {
    uint32_t add = 0, copy = 0, seekNumber = 0;
    TDifferenceStatus status = control.Number(add);
    if (status == TDifferenceStatus::Applied) status = control.Number(copy);
    if (status == TDifferenceStatus::Applied) status = control.Number(seekNumber);
    if (status != TDifferenceStatus::Applied) return status;
    if (add > header.DifferenceLength - differenceAt || add > oldSize - oldAt) return TDifferenceStatus::Malformed;
    if (copy > header.ExtraLength - extraAt) return TDifferenceStatus::Malformed;
    const int64_t nextOld = oldAt + add + NumberToSeek(seekNumber);
    if (nextOld < 0 || nextOld > oldSize) return TDifferenceStatus::Malformed;
    if (applier) {
      status = applier->Add(oldAt, newAt, add);
      if (status == TDifferenceStatus::Applied) status = applier->Copy(copy);
      if (status != TDifferenceStatus::Applied) return status;
    }
    differenceAt += add;
    extraAt += copy;
    newAt += int64_t{add} + copy;
    oldAt = nextOld;
  }
  // The two kinds of bytes add up to the new size (the header says so), so this also
  // means that both are used up.
  if (newAt != header.NewSize || !control.AtEnd()) return TDifferenceStatus::Malformed;
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
  uint8_t bytes[DifferenceHeaderSize + 4];
  if (!record.Read(0, bytes, DifferenceHeaderSize)) return TDifferenceStatus::ReadFailed;
  header.Version = ReadUInt32le(bytes + 4);
  if (!std::equal(bytes, bytes + 4, DifferenceMagic) ||
      (header.Version != DifferenceVersion && !IsExecutableDifferenceVersion(header.Version))) {
    return TDifferenceStatus::Malformed;
  }
  header.ExecutableLength = 0;
  if (IsExecutableDifferenceVersion(header.Version)) {
    if (size < static_cast<int64_t>(DifferenceHeaderSize + 4)) return TDifferenceStatus::Malformed;
    if (!record.Read(DifferenceHeaderSize, bytes + DifferenceHeaderSize, 4)) return TDifferenceStatus::ReadFailed;
    header.ExecutableLength = ReadUInt32le(bytes + DifferenceHeaderSize);
    if (header.ExecutableLength > MaxExecutablePartLength) return TDifferenceStatus::Malformed;
  }
  uint32_t* const fields[] = {&header.OldSize,          &header.NewSize,     &header.EntryCount,
                              &header.ControlLength,    &header.DifferenceLength, &header.ChangeCount,
                              &header.RunLength,        &header.ExtraLength};
  for (size_t i = 0; i < sizeof fields / sizeof fields[0]; i++) *fields[i] = ReadUInt32le(bytes + 8 + 4 * i);
  if (header.OldSize > MaxDifferenceFileSize || header.NewSize > MaxDifferenceFileSize ||
      uint64_t{header.DifferenceLength} + header.ExtraLength != header.NewSize ||
      header.ChangeCount > header.DifferenceLength || header.RecordSize() != static_cast<uint64_t>(size)) {
    return TDifferenceStatus::Malformed;
  }
  return TDifferenceStatus::Applied;
}

namespace {

// The executable part of a version 2 record, read whole (at most MaxExecutablePartLength).
TDifferenceStatus ReadPart(TDifferenceSource& record, const TDifferenceHeader& header, TExecutablePart& part) {
  std::vector<uint8_t> bytes(header.ExecutableLength);
  if (!bytes.empty() && !record.Read(static_cast<int64_t>(header.ExecutableStart()), bytes.data(), bytes.size())) {
    return TDifferenceStatus::ReadFailed;
  }
  return ReadExecutablePart(bytes.data(), bytes.size(), header.Version, part) ? TDifferenceStatus::Applied
                                                                              : TDifferenceStatus::Malformed;
}

TDifferenceStatus Check(TDifferenceSource& record, TDifferenceHeader& header, TExecutablePart* part) {
  TDifferenceStatus status = ReadDifferenceHeader(record, header);
  if (status == TDifferenceStatus::Applied && IsExecutableDifferenceVersion(header.Version)) {
    TExecutablePart read;
    status = ReadPart(record, header, part ? *part : read);
  }
  if (status == TDifferenceStatus::Applied) status = CheckRuns(record, header);
  if (status == TDifferenceStatus::Applied) status = Walk(record, header, nullptr);
  return status;
}

}  // namespace

TDifferenceStatus CheckDifference(TDifferenceSource& record, TDifferenceHeader* header) {
  TDifferenceHeader read;
  const TDifferenceStatus status = Check(record, read, nullptr);
  if (header) *header = read;
  return status;
}

TDifferenceStatus ApplyDifference(TDifferenceSource& record, TDifferenceSource& old, TDifferenceSink& sink,
                                  TDifferenceObserver* observer) {
  TDifferenceHeader header;
  TExecutablePart part;
  const TDifferenceStatus status = Check(record, header, &part);
  if (status != TDifferenceStatus::Applied) return status;
  const int64_t oldSize = old.Size();
  if (oldSize < 0) return TDifferenceStatus::ReadFailed;
  if (oldSize != header.OldSize) return TDifferenceStatus::WrongOldSize;
  const TReferenceCoder coder(part);
  TApplier applier(record, old, sink, header, observer,
                   IsExecutableDifferenceVersion(header.Version) ? &coder : nullptr);
  return Walk(record, header, &applier);
}
