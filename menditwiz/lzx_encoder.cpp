#include "menditwiz/lzx_encoder.h"

#include <algorithm>
#include <array>

#include "menditwiz/lzx_bit_writer.h"
#include "menditwiz/lzx_huffman.h"
#include "menditwiz/lzx_match_finder.h"

namespace {

constexpr uint32_t MinMatch = 2;
constexpr uint32_t MaxMatch = 257;
constexpr unsigned NumChars = 256;
constexpr unsigned NumPrimaryLengths = 7;  // length headers 0..6; 7 means "see the length tree"
constexpr unsigned NumLengthSymbols = 249;
constexpr unsigned MaxPositionSlots = 50;
constexpr unsigned MaxMainSymbols = NumChars + MaxPositionSlots * 8;
constexpr unsigned MaxCodeLength = 16;
constexpr unsigned PretreeSymbols = 20;
constexpr unsigned PretreeMaxLength = 15;  // stored in 4 bits

constexpr unsigned BlockTypeVerbatim = 1;
constexpr unsigned BlockTypeUncompressed = 3;

// Frames per verbatim block: each block carries its own trees.
constexpr size_t FramesPerBlock = 2;

// Match search effort.
constexpr unsigned ChainDepth = 48;
constexpr unsigned NiceLength = 96;
constexpr uint32_t LazyLimit = 48;

// Prices are in sixteenths of a bit.
constexpr uint32_t PriceScale = 16;

unsigned PositionSlotCount(int windowBits) {
  static const unsigned slots[] = {30, 32, 34, 36, 38, 42, 50};
  return slots[windowBits - LzxMinWindowBits];
}

unsigned ExtraBits(unsigned slot) {
  if (slot < 4) {
    return 0;
  }
  return std::min((slot - 2) / 2, 17u);
}

uint32_t PositionBase(unsigned slot) {
  static const std::array<uint32_t, MaxPositionSlots> bases = [] {
    std::array<uint32_t, MaxPositionSlots> b{};
    for (unsigned s = 1; s < MaxPositionSlots; s++) {
      b[s] = b[s - 1] + (1u << ExtraBits(s - 1));
    }
    return b;
  }();
  return bases[slot];
}

// Slot of a formatted offset (match distance + 2; 0..2 name the repeated offsets).
unsigned SlotOf(uint32_t formatted) {
  if (formatted < 4) {
    return formatted;
  }
  if (formatted >= 262144) {
    return 36 + ((formatted - 262144) >> 17);
  }
  unsigned top = 31;
  while (!(formatted >> top)) {
    top--;
  }
  return 2 * top + ((formatted >> (top - 1)) & 1);
}

// One parsed item: a literal (Length 0, Code the byte) or a match (Code 0..2: repeated offset
// R0..R2; otherwise the formatted offset).
struct TItem {
  uint32_t Length;
  uint32_t Code;
};

struct TChoice {
  uint32_t Length = 0;
  uint32_t Code = 0;
  int32_t Gain = 0;
};

class TLzxEncoder {
 public:
  TLzxEncoder(const uint8_t* data, size_t size, int windowBits)
      : Data(data),
        Size(size),
        NumSlots(PositionSlotCount(windowBits)),
        NumMain(NumChars + NumSlots * 8),
        Finder(data, size, (1u << windowBits) - 3, ChainDepth, NiceLength) {
    PreviousMain.fill(0);
    PreviousLength.fill(0);
    SetDefaultPrices();
  }

  std::vector<std::vector<uint8_t>> Run() {
    std::vector<TItem> items;
    for (size_t blockStart = 0; blockStart < Size; blockStart += FramesPerBlock * LzxFrameSize) {
      size_t blockEnd = std::min(Size, blockStart + FramesPerBlock * LzxFrameSize);
      items.clear();
      for (size_t frame = blockStart; frame < blockEnd; frame += LzxFrameSize) {
        ParseFrame(static_cast<uint32_t>(frame), static_cast<uint32_t>(std::min(blockEnd, frame + LzxFrameSize)),
                   items);
      }
      WriteBlock(blockStart, blockEnd, items);
    }
    return std::move(Chunks);
  }

 private:
  // ---- parsing ----

  void SetDefaultPrices() {
    for (unsigned i = 0; i < NumChars; i++) {
      MainPrice[i] = 8 * PriceScale;
    }
    for (unsigned i = NumChars; i < MaxMainSymbols; i++) {
      MainPrice[i] = 9 * PriceScale;
    }
    LengthPrice.fill(6 * PriceScale);
    LiteralPrice = 8 * PriceScale;
  }

  // Prices for the next block's parse, from the codes just chosen.
  void UpdatePrices(const uint8_t* mainLens, const uint8_t* lengthLens, const uint32_t* mainFreq) {
    uint64_t literalBits = 0, literals = 0;
    for (unsigned i = 0; i < NumMain; i++) {
      MainPrice[i] = (mainLens[i] ? mainLens[i] : (i < NumChars ? 12 : 14)) * PriceScale;
      if (i < NumChars) {
        literalBits += uint64_t{mainFreq[i]} * MainPrice[i];
        literals += mainFreq[i];
      }
    }
    for (unsigned i = 0; i < NumLengthSymbols; i++) {
      LengthPrice[i] = (lengthLens[i] ? lengthLens[i] : 12) * PriceScale;
    }
    LiteralPrice = literals ? static_cast<uint32_t>(literalBits / literals) : 8 * PriceScale;
  }

  uint32_t MatchPrice(unsigned slot, uint32_t length) const {
    uint32_t header = std::min(length - MinMatch, NumPrimaryLengths);
    uint32_t price = MainPrice[NumChars + slot * 8 + header] + ExtraBits(slot) * PriceScale;
    if (header == NumPrimaryLengths) {
      price += LengthPrice[length - MinMatch - NumPrimaryLengths];
    }
    return price;
  }

  int32_t Gain(unsigned slot, uint32_t length) const {
    return static_cast<int32_t>(length * LiteralPrice) - static_cast<int32_t>(MatchPrice(slot, length));
  }

  // The most profitable match at pos (Length 0: none), recording pos in the match finder.
  TChoice BestAt(uint32_t pos, uint32_t maxLength) {
    TChoice best;
    for (unsigned r = 0; r < 3; r++) {
      if (Repeats[r] > pos || (r > 0 && Repeats[r] == Repeats[0])) {
        continue;
      }
      uint32_t len = Finder.MatchLength(pos, Repeats[r], maxLength);
      if (len >= MinMatch) {
        int32_t gain = Gain(r, len);
        if (gain > best.Gain) {
          best = TChoice{len, r, gain};
        }
      }
    }
    NextInsert = pos + 1;
    if (best.Length >= NiceLength || best.Length == maxLength) {
      Finder.Skip(pos);
      return best;
    }
    size_t found = Finder.FindMatches(pos, maxLength, Matches.data());
    for (size_t i = 0; i < found; i++) {
      uint32_t distance = Matches[i].Distance;
      uint32_t code = distance + 2;
      for (unsigned r = 0; r < 3; r++) {
        if (Repeats[r] == distance) {
          code = r;
          break;
        }
      }
      int32_t gain = Gain(SlotOf(code), Matches[i].Length);
      if (gain > best.Gain) {
        best = TChoice{Matches[i].Length, code, gain};
      }
    }
    return best;
  }

  void EmitMatch(const TChoice& match, std::vector<TItem>& items) {
    items.push_back(TItem{match.Length, match.Code});
    switch (match.Code) {
      case 0:
        break;
      case 1:
        std::swap(Repeats[0], Repeats[1]);
        break;
      case 2:
        std::swap(Repeats[0], Repeats[2]);
        break;
      default:
        Repeats[2] = Repeats[1];
        Repeats[1] = Repeats[0];
        Repeats[0] = match.Code - 2;
        break;
    }
  }

  void ParseFrame(uint32_t start, uint32_t end, std::vector<TItem>& items) {
    uint32_t pos = start;
    while (pos < end) {
      uint32_t maxLength = std::min(MaxMatch, end - pos);
      if (maxLength < MinMatch) {
        Finder.Skip(pos);
        NextInsert = pos + 1;
        items.push_back(TItem{0, Data[pos]});
        pos++;
        continue;
      }
      TChoice current = BestAt(pos, maxLength);
      if (current.Length == 0) {
        items.push_back(TItem{0, Data[pos]});
        pos++;
        continue;
      }
      // Lazy evaluation: a literal here may let a better match start at the next byte.
      while (current.Length < LazyLimit && end - pos > MinMatch) {
        TChoice next = BestAt(pos + 1, std::min(MaxMatch, end - pos - 1));
        if (next.Gain <= current.Gain) {
          break;
        }
        items.push_back(TItem{0, Data[pos]});
        pos++;
        current = next;
      }
      EmitMatch(current, items);
      for (uint32_t p = NextInsert; p < pos + current.Length; p++) {
        Finder.Skip(p);
      }
      pos += current.Length;
      NextInsert = pos;
    }
  }

  // ---- writing ----

  // Writes the delta coding of lens against previous for one run of a tree, with its pretree.
  static void WriteLengths(TLzxBitWriter& out, const uint8_t* lens, const uint8_t* previous, unsigned count) {
    struct TToken {
      uint8_t Symbol;
      uint8_t ExtraBits;
      uint8_t Extra;
      int8_t Value;  // the delta symbol that follows symbol 19, else -1
    };
    std::vector<TToken> tokens;
    auto delta = [&](unsigned i) { return static_cast<uint8_t>((previous[i] + 17 - lens[i]) % 17); };
    for (unsigned i = 0; i < count;) {
      unsigned run = 1;
      while (i + run < count && lens[i + run] == lens[i]) {
        run++;
      }
      if (lens[i] == 0 && run >= 20) {
        run = std::min(run, 51u);
        tokens.push_back(TToken{18, 5, static_cast<uint8_t>(run - 20), -1});
      } else if (lens[i] == 0 && run >= 4) {
        run = std::min(run, 19u);
        tokens.push_back(TToken{17, 4, static_cast<uint8_t>(run - 4), -1});
      } else if (run >= 4) {
        run = std::min(run, 5u);
        tokens.push_back(TToken{19, 1, static_cast<uint8_t>(run - 4), static_cast<int8_t>(delta(i))});
      } else {
        run = 1;
        tokens.push_back(TToken{delta(i), 0, 0, -1});
      }
      i += run;
    }
    uint32_t freq[PretreeSymbols] = {};
    for (const TToken& t : tokens) {
      freq[t.Symbol]++;
      if (t.Value >= 0) {
        freq[t.Value]++;
      }
    }
    uint8_t treeLens[PretreeSymbols];
    uint32_t codes[PretreeSymbols];
    BuildCodeLengths(freq, PretreeSymbols, PretreeMaxLength, treeLens);
    BuildCanonicalCodes(treeLens, PretreeSymbols, codes);
    for (unsigned i = 0; i < PretreeSymbols; i++) {
      out.PutBits(treeLens[i], 4);
    }
    for (const TToken& t : tokens) {
      out.PutBits(codes[t.Symbol], treeLens[t.Symbol]);
      out.PutBits(t.Extra, t.ExtraBits);
      if (t.Value >= 0) {
        out.PutBits(codes[t.Value], treeLens[t.Value]);
      }
    }
  }

  void WriteStreamHeader(TLzxBitWriter& out) {
    if (!HeaderWritten) {
      out.PutBits(0, 1);  // no x86 call translation
      HeaderWritten = true;
    }
  }

  static void WriteBlockHeader(TLzxBitWriter& out, unsigned type, size_t size) {
    out.PutBits(type, 3);
    out.PutBits(static_cast<uint32_t>(size >> 8), 16);
    out.PutBits(static_cast<uint32_t>(size & 0xFF), 8);
  }

  // Encodes the block as a verbatim block into chunks (one per frame). False when that
  // would not beat storing it or a chunk would outgrow a data block.
  bool WriteVerbatim(size_t start, size_t end, const std::vector<TItem>& items,
                     std::vector<std::vector<uint8_t>>& chunks) {
    std::array<uint32_t, MaxMainSymbols> mainFreq{};
    std::array<uint32_t, NumLengthSymbols> lengthFreq{};
    for (const TItem& item : items) {
      if (item.Length == 0) {
        mainFreq[item.Code]++;
        continue;
      }
      uint32_t header = std::min(item.Length - MinMatch, NumPrimaryLengths);
      mainFreq[NumChars + SlotOf(item.Code) * 8 + header]++;
      if (header == NumPrimaryLengths) {
        lengthFreq[item.Length - MinMatch - NumPrimaryLengths]++;
      }
    }
    std::array<uint8_t, MaxMainSymbols> mainLens{};
    std::array<uint8_t, NumLengthSymbols> lengthLens{};
    std::array<uint32_t, MaxMainSymbols> mainCodes{};
    std::array<uint32_t, NumLengthSymbols> lengthCodes{};
    BuildCodeLengths(mainFreq.data(), NumMain, MaxCodeLength, mainLens.data());
    BuildCodeLengths(lengthFreq.data(), NumLengthSymbols, MaxCodeLength, lengthLens.data());
    BuildCanonicalCodes(mainLens.data(), NumMain, mainCodes.data());
    BuildCanonicalCodes(lengthLens.data(), NumLengthSymbols, lengthCodes.data());

    bool headerWasWritten = HeaderWritten;
    TLzxBitWriter out;
    WriteStreamHeader(out);
    WriteBlockHeader(out, BlockTypeVerbatim, end - start);
    WriteLengths(out, mainLens.data(), PreviousMain.data(), NumChars);
    WriteLengths(out, mainLens.data() + NumChars, PreviousMain.data() + NumChars, NumMain - NumChars);
    WriteLengths(out, lengthLens.data(), PreviousLength.data(), NumLengthSymbols);

    size_t pos = start;
    size_t frameEnd = std::min(end, start + LzxFrameSize);
    size_t total = 0;
    for (const TItem& item : items) {
      if (item.Length == 0) {
        out.PutBits(mainCodes[item.Code], mainLens[item.Code]);
        pos++;
      } else {
        unsigned slot = SlotOf(item.Code);
        uint32_t header = std::min(item.Length - MinMatch, NumPrimaryLengths);
        unsigned symbol = NumChars + slot * 8 + header;
        out.PutBits(mainCodes[symbol], mainLens[symbol]);
        if (header == NumPrimaryLengths) {
          unsigned footer = item.Length - MinMatch - NumPrimaryLengths;
          out.PutBits(lengthCodes[footer], lengthLens[footer]);
        }
        if (slot >= 3) {
          out.PutBits(item.Code - PositionBase(slot), ExtraBits(slot));
        }
        pos += item.Length;
      }
      if (pos == frameEnd) {
        out.AlignToWord();
        chunks.push_back(out.TakeBytes());
        total += chunks.back().size();
        if (chunks.back().size() > LzxMaxChunkSize) {
          HeaderWritten = headerWasWritten;
          return false;
        }
        frameEnd = std::min(end, frameEnd + LzxFrameSize);
      }
    }
    // Storing costs the block header, 16 bytes at most, per frame.
    size_t frames = (end - start + LzxFrameSize - 1) / LzxFrameSize;
    if (total >= (end - start) + frames * 16) {
      HeaderWritten = headerWasWritten;
      return false;
    }
    std::copy(mainLens.begin(), mainLens.end(), PreviousMain.begin());
    std::copy(lengthLens.begin(), lengthLens.end(), PreviousLength.begin());
    UpdatePrices(mainLens.data(), lengthLens.data(), mainFreq.data());
    return true;
  }

  // Stores the block as one uncompressed block per frame. Such a block sets R0..R2 from its
  // header: it carries the values the parse ended with, as the next block expects.
  void WriteUncompressed(size_t start, size_t end) {
    for (size_t frame = start; frame < end; frame += LzxFrameSize) {
      size_t frameEnd = std::min(end, frame + LzxFrameSize);
      TLzxBitWriter out;
      WriteStreamHeader(out);
      WriteBlockHeader(out, BlockTypeUncompressed, frameEnd - frame);
      // 1 to 16 bits of padding up to the next 16-bit boundary.
      out.PutBits(0, out.IsAligned() ? 16 : 0);
      out.AlignToWord();
      for (uint32_t r : Repeats) {
        for (int shift = 0; shift < 32; shift += 8) {
          out.PutRawByte(static_cast<uint8_t>(r >> shift));
        }
      }
      for (size_t i = frame; i < frameEnd; i++) {
        out.PutRawByte(Data[i]);
      }
      if ((frameEnd - frame) & 1) {
        out.PutRawByte(0);
      }
      Chunks.push_back(out.TakeBytes());
    }
  }

  void WriteBlock(size_t start, size_t end, const std::vector<TItem>& items) {
    std::vector<std::vector<uint8_t>> chunks;
    if (WriteVerbatim(start, end, items, chunks)) {
      for (auto& chunk : chunks) {
        Chunks.push_back(std::move(chunk));
      }
    } else {
      WriteUncompressed(start, end);
    }
  }

  const uint8_t* Data;
  size_t Size;
  unsigned NumSlots;
  unsigned NumMain;
  TLzxMatchFinder Finder;
  std::array<TLzMatch, MaxMatch + 1> Matches{};
  std::array<uint32_t, 3> Repeats{{1, 1, 1}};
  uint32_t NextInsert = 0;
  bool HeaderWritten = false;

  std::array<uint8_t, MaxMainSymbols> PreviousMain{};
  std::array<uint8_t, NumLengthSymbols> PreviousLength{};
  std::array<uint32_t, MaxMainSymbols> MainPrice{};
  std::array<uint32_t, NumLengthSymbols> LengthPrice{};
  uint32_t LiteralPrice = 0;

  std::vector<std::vector<uint8_t>> Chunks;
};

}  // namespace

std::vector<std::vector<uint8_t>> LzxCompress(const uint8_t* data, size_t size, int windowBits) {
  if (size == 0 || windowBits < LzxMinWindowBits || windowBits > LzxMaxWindowBits || size >= 0x80000000u) {
    return {};
  }
  TLzxEncoder encoder(data, size, windowBits);
  return encoder.Run();
}
