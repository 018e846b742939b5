#include "lzx/lzx_encoder.h"

#include <algorithm>
#include <array>
#include <cmath>
#include <mutex>

#include "lzx/lzx_bit_writer.h"
#include "lzx/lzx_huffman.h"
#include "lzx/lzx_match_finder.h"
#include "parallel/parallel_work.h"

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
constexpr size_t FramesPerBlock = 1;

// Match search effort; the quick packing (TLzxEffort::Quick) looks at fewer candidates.
constexpr unsigned ChainDepth = 16;
constexpr unsigned QuickChainDepth = 2;
constexpr unsigned NiceLength = 48;

// Order-0 entropy above which a frame gets a quick search.
constexpr double IncompressibleBitsPerByte = 7.6;

// Parses per block: the first with the previous block's prices, the next ones with prices
// from the parse before.
constexpr unsigned ParsePasses = 3;

// Distances offered most often in a block, which a parse may load into the repeated offsets.
constexpr size_t MaxFrequentDistances = 8;

// Inputs are encoded in segments of this many bytes, each on a thread of its own where there
// are cores for it. The segments depend on the input alone, so the stream does not depend on
// the machine; an input of one segment is encoded as one whole.
constexpr size_t SegmentSize = 4u << 20;

// A repeated offset that a segment does not know: the one the previous segment left. A
// segment never uses it (it is larger than any position) until a match of its own sets it.
constexpr uint32_t UnknownRepeat = UINT32_MAX;

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

class TLzxEncoder {
 public:
  // Encodes [begin, end) of data; a segment after the first has the bytes before it in its
  // window but knows neither the repeated offsets nor the code lengths they leave.
  TLzxEncoder(const uint8_t* data, size_t size, int windowBits, TLzxEffort effort, size_t begin, size_t end)
      : Data(data),
        Size(size),
        Begin(begin),
        End(end),
        NumSlots(PositionSlotCount(windowBits)),
        NumMain(NumChars + NumSlots * 8),
        Passes(effort == TLzxEffort::Quick ? 1 : ParsePasses),
        Finder(data, size, (1u << windowBits) - 3, effort == TLzxEffort::Quick ? QuickChainDepth : ChainDepth,
               NiceLength) {
    PreviousMain.fill(0);
    PreviousLength.fill(0);
    SetDefaultPrices();
    if (begin > 0) {
      for (size_t pos = begin - std::min<size_t>(begin, size_t{1} << windowBits); pos < begin; pos++) {
        Finder.Skip(static_cast<uint32_t>(pos));
      }
      Repeats.fill(UnknownRepeat);
      HeaderWritten = true;
      LengthsPending = true;
    }
  }

  // What a segment leaves for the stream: its chunks, and the one block whose code lengths are
  // written against the lengths the segments before it leave (its first verbatim block).
  struct TPendingBlock {
    bool Present = false;
    size_t Start = 0, End = 0, Chunk = 0;  // its bytes, and its first chunk's index
    std::vector<TItem> Items;
  };
  struct TSegment {
    std::vector<std::vector<uint8_t>> Chunks;  // the pending block's are empty
    TPendingBlock Pending;
    bool Verbatim = false;  // whether any block is verbatim: then it leaves these lengths
    std::array<uint8_t, MaxMainSymbols> FinalMain{};
    std::array<uint8_t, NumLengthSymbols> FinalLength{};
  };

  TSegment Finish() {
    TSegment segment;
    segment.Chunks = std::move(Chunks);
    segment.Pending = std::move(Pending);
    segment.Verbatim = AnyVerbatim;
    segment.FinalMain = PreviousMain;
    segment.FinalLength = PreviousLength;
    return segment;
  }

  // Writes a segment's pending block after lengths the segments before it left, into its
  // place among the segment's chunks. False when a chunk would outgrow a data block.
  bool WritePending(TSegment& segment, const std::array<uint8_t, MaxMainSymbols>& main,
                    const std::array<uint8_t, NumLengthSymbols>& length) {
    PreviousMain = main;
    PreviousLength = length;
    HeaderWritten = true;
    std::vector<std::vector<uint8_t>> chunks;
    const TPendingBlock& block = segment.Pending;
    if (!WriteVerbatim(block.Start, block.End, block.Items, chunks, true)) return false;
    for (size_t i = 0; i < chunks.size(); i++) segment.Chunks[block.Chunk + i] = std::move(chunks[i]);
    return true;
  }

  // progress hears the bytes of each block encoded.
  void Run(const std::function<void(size_t bytes)>& progress) {
    std::vector<TItem> items;
    for (size_t blockStart = Begin; blockStart < End; blockStart += FramesPerBlock * LzxFrameSize) {
      size_t blockEnd = std::min(End, blockStart + FramesPerBlock * LzxFrameSize);
      const std::array<uint32_t, 3> repeatsAtStart = Repeats;
      MatchIndex.assign(blockEnd - blockStart + 1, 0);
      MatchCache.clear();
      for (unsigned pass = 0; pass < Passes; pass++) {
        if (pass > 0) {
          // Parse again with prices from the block's own statistics.
          TCodes codes;
          BuildCodes(items, codes);
          UpdatePrices(codes.MainLens.data(), codes.LengthLens.data());
          if (pass == 1) {
            FindFrequentDistances(blockEnd - blockStart);
          }
          Repeats = repeatsAtStart;
        }
        items.clear();
        for (size_t frame = blockStart; frame < blockEnd; frame += LzxFrameSize) {
          ParseFrame(static_cast<uint32_t>(blockStart), static_cast<uint32_t>(frame),
                     static_cast<uint32_t>(std::min(blockEnd, frame + LzxFrameSize)), items, pass == 0);
        }
        MatchIndex[blockEnd - blockStart] = static_cast<uint32_t>(MatchCache.size());
      }
      FrequentDistances.clear();
      WriteBlock(blockStart, blockEnd, items);
      if (progress) progress(blockEnd - blockStart);
    }
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
  }

  // Prices for the next block's parse, from the codes just chosen.
  void UpdatePrices(const uint8_t* mainLens, const uint8_t* lengthLens) {
    for (unsigned i = 0; i < NumMain; i++) {
      MainPrice[i] = (mainLens[i] ? mainLens[i] : (i < NumChars ? 12 : 14)) * PriceScale;
    }
    for (unsigned i = 0; i < NumLengthSymbols; i++) {
      LengthPrice[i] = (lengthLens[i] ? lengthLens[i] : 12) * PriceScale;
    }
  }

  uint32_t MatchPrice(unsigned slot, uint32_t length) const {
    uint32_t header = std::min(length - MinMatch, NumPrimaryLengths);
    uint32_t price = MainPrice[NumChars + slot * 8 + header] + ExtraBits(slot) * PriceScale;
    if (header == NumPrimaryLengths) {
      price += LengthPrice[length - MinMatch - NumPrimaryLengths];
    }
    return price;
  }



  // Bytes whose order-0 entropy is near 8 bits (compressed or encrypted data, or noise)
  // rarely hold matches: such a frame gets a quick search, at anchor positions only and of
  // the newest candidate only, which still finds a longer repeat of such data.
  static bool LooksIncompressible(const uint8_t* bytes, uint32_t count) {
    if (count < 4096) {
      return false;
    }
    uint32_t histogram[256] = {};
    for (uint32_t i = 0; i < count; i++) {
      histogram[bytes[i]]++;
    }
    double bits = 0;
    for (uint32_t n : histogram) {
      if (n) {
        bits -= n * std::log2(static_cast<double>(n) / count);
      }
    }
    return bits > IncompressibleBitsPerByte * count;
  }

  // Distances the match finder offered again and again in the block. A shortest path that
  // looks one match ahead never pays for loading such a distance into the repeated offsets,
  // though every later match at it would then be cheap (records of fixed size whose
  // counters advance together); the next parse gets them at a discount.
  void FindFrequentDistances(size_t blockSize) {
    FrequentDistances.clear();
    std::vector<uint32_t> distances;
    distances.reserve(MatchCache.size());
    for (const TLzMatch& m : MatchCache) {
      distances.push_back(m.Distance);
    }
    std::sort(distances.begin(), distances.end());
    std::vector<std::pair<size_t, uint32_t>> counted;  // count, distance
    for (size_t i = 0; i < distances.size();) {
      size_t j = i;
      while (j < distances.size() && distances[j] == distances[i]) {
        j++;
      }
      if (j - i >= std::max<size_t>(16, blockSize / 64)) {
        counted.emplace_back(j - i, distances[i]);
      }
      i = j;
    }
    std::sort(counted.rbegin(), counted.rend());
    for (size_t i = 0; i < counted.size() && i < MaxFrequentDistances; i++) {
      FrequentDistances.push_back(counted[i].second);
    }
  }

  // Repeated offsets after a match with the given code.
  static std::array<uint32_t, 3> RepeatsAfter(std::array<uint32_t, 3> r, uint32_t code) {
    switch (code) {
      case 0:
        break;
      case 1:
        std::swap(r[0], r[1]);
        break;
      case 2:
        std::swap(r[0], r[2]);
        break;
      default:
        r[2] = r[1];
        r[1] = r[0];
        r[0] = code - 2;
        break;
    }
    return r;
  }

  struct TNode {
    uint32_t Cost;
    uint32_t Length;  // of the step that arrives here: 0 literal, else a match
    uint32_t Code;
    std::array<uint32_t, 3> Repeats;  // after that step
  };

  void Relax(uint32_t at, uint32_t cost, uint32_t length, uint32_t code, const std::array<uint32_t, 3>& repeats) {
    TNode& node = Nodes[at];
    if (cost < node.Cost) {
      node.Cost = cost;
      node.Length = length;
      node.Code = code;
      node.Repeats = repeats;
    }
  }

  // Chooses the cheapest literals and matches for one frame under the current prices: a
  // shortest path over its positions, each remembering the repeated offsets of the best way
  // to reach it. A match of NiceLength or more is taken without looking inside it. The first
  // parse of a block asks the match finder and keeps what it found (collect); later parses
  // of the same block read those matches back.
  void ParseFrame(uint32_t blockStart, uint32_t start, uint32_t end, std::vector<TItem>& items, bool collect) {
    const uint32_t count = end - start;
    const bool quick = collect && LooksIncompressible(Data + start, count);
    Nodes.assign(count + 1, TNode{UINT32_MAX, 0, 0, {}});
    Nodes[0].Cost = 0;
    Nodes[0].Repeats = Repeats;
    for (uint32_t i = 0; i < count; i++) {
      const uint32_t pos = start + i;
      const uint32_t cost = Nodes[i].Cost;
      const std::array<uint32_t, 3> repeats = Nodes[i].Repeats;
      Relax(i + 1, cost + MainPrice[Data[pos]], 0, Data[pos], repeats);
      const uint32_t maxLength = std::min(MaxMatch, count - i);
      const uint32_t offset = pos - blockStart;
      if (collect) {
        MatchIndex[offset] = static_cast<uint32_t>(MatchCache.size());
      }
      if (maxLength < MinMatch) {
        if (collect) {
          Finder.Skip(pos);
        }
        continue;
      }
      uint32_t longest = 0;
      for (unsigned r = 0; r < 3; r++) {
        if (repeats[r] > pos || (r > 0 && (repeats[r] == repeats[0] || repeats[r] == repeats[r - 1]))) {
          continue;
        }
        uint32_t len = Finder.MatchLength(pos, repeats[r], maxLength);
        if (len < MinMatch) {
          continue;
        }
        std::array<uint32_t, 3> after = RepeatsAfter(repeats, r);
        for (uint32_t l = MinMatch; l <= len; l++) {
          Relax(i + l, cost + MatchPrice(r, l), l, r, after);
        }
        longest = std::max(longest, len);
      }
      if (collect && quick && !Finder.IsAnchor(pos)) {
        // not recorded at all
      } else if (collect && longest >= NiceLength) {
        Finder.Skip(pos);
      } else {
        const TLzMatch* matches;
        size_t found;
        if (collect) {
          found = Finder.FindMatches(pos, maxLength, Matches.data(), quick);
          matches = Matches.data();
          MatchCache.insert(MatchCache.end(), Matches.begin(), Matches.begin() + static_cast<std::ptrdiff_t>(found));
        } else {
          matches = MatchCache.data() + MatchIndex[offset];
          found = MatchIndex[offset + 1] - MatchIndex[offset];
        }
        uint32_t shorter = MinMatch;
        for (size_t m = 0; m < found; m++) {
          uint32_t distance = matches[m].Distance;
          uint32_t code = distance + 2;
          for (unsigned r = 0; r < 3; r++) {
            if (repeats[r] == distance) {
              code = r;
              break;
            }
          }
          unsigned slot = SlotOf(code);
          std::array<uint32_t, 3> after = RepeatsAfter(repeats, code);
          uint32_t discount = 0;
          if (code >= 3 && std::find(FrequentDistances.begin(), FrequentDistances.end(), distance) != FrequentDistances.end()) {
            discount = ExtraBits(slot) * PriceScale;
          }
          for (uint32_t l = shorter + 1; l <= matches[m].Length; l++) {
            Relax(i + l, cost + MatchPrice(slot, l) - discount, l, code, after);
          }
          shorter = matches[m].Length;
        }
        longest = std::max(longest, shorter);
      }
      if (longest >= NiceLength) {
        // Positions inside a long match are only recorded for later matches.
        for (uint32_t k = 1; k < longest && collect; k++) {
          if (!quick || Finder.IsAnchor(pos + k)) {
            Finder.Skip(pos + k);
          }
          MatchIndex[offset + k] = static_cast<uint32_t>(MatchCache.size());
        }
        i += longest - 1;
      }
    }
    // Walk back from the frame's end, then emit in order.
    size_t first = items.size();
    for (uint32_t at = count; at > 0;) {
      const TNode& node = Nodes[at];
      items.push_back(TItem{node.Length, node.Code});
      at -= node.Length ? node.Length : 1;
    }
    std::reverse(items.begin() + static_cast<std::ptrdiff_t>(first), items.end());
    Repeats = Nodes[count].Repeats;
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

  struct TCodes {
    std::array<uint8_t, MaxMainSymbols> MainLens{};
    std::array<uint8_t, NumLengthSymbols> LengthLens{};
    std::array<uint32_t, MaxMainSymbols> MainCodes{};
    std::array<uint32_t, NumLengthSymbols> LengthCodes{};
  };

  // The Huffman codes that fit the items' statistics.
  void BuildCodes(const std::vector<TItem>& items, TCodes& codes) const {
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
    BuildCodeLengths(mainFreq.data(), NumMain, MaxCodeLength, codes.MainLens.data());
    BuildCodeLengths(lengthFreq.data(), NumLengthSymbols, MaxCodeLength, codes.LengthLens.data());
    BuildCanonicalCodes(codes.MainLens.data(), NumMain, codes.MainCodes.data());
    BuildCanonicalCodes(codes.LengthLens.data(), NumLengthSymbols, codes.LengthCodes.data());
  }

  // Encodes the block as a verbatim block into chunks (one per frame). False when that
  // would not beat storing it or a chunk would outgrow a data block.
  // forced: written as verbatim even when storing would be smaller (the decision was made).
  bool WriteVerbatim(size_t start, size_t end, const std::vector<TItem>& items,
                     std::vector<std::vector<uint8_t>>& chunks, bool forced = false) {
    TCodes codes;
    BuildCodes(items, codes);
    const auto& mainLens = codes.MainLens;
    const auto& lengthLens = codes.LengthLens;
    const auto& mainCodes = codes.MainCodes;
    const auto& lengthCodes = codes.LengthCodes;

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
    if (!forced && total >= (end - start) + frames * 16) {
      HeaderWritten = headerWasWritten;
      return false;
    }
    std::copy(mainLens.begin(), mainLens.end(), PreviousMain.begin());
    std::copy(lengthLens.begin(), lengthLens.end(), PreviousLength.begin());
    UpdatePrices(mainLens.data(), lengthLens.data());
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
      // A repeated offset the segment does not know is set here, to 1.
      for (uint32_t& r : Repeats) {
        if (r == UnknownRepeat) r = 1;
      }
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

  // A segment's first verbatim block is judged worth it against zero lengths (as at the
  // stream's start), kept, and written once the lengths before it are known; the blocks after it
  // are written against its lengths.
  void WriteBlock(size_t start, size_t end, const std::vector<TItem>& items) {
    std::vector<std::vector<uint8_t>> chunks;
    if (WriteVerbatim(start, end, items, chunks)) {
      AnyVerbatim = true;
      if (LengthsPending) {
        LengthsPending = false;
        Pending.Present = true;
        Pending.Start = start;
        Pending.End = end;
        Pending.Chunk = Chunks.size();
        Pending.Items = items;
        Chunks.resize(Chunks.size() + chunks.size());
        return;
      }
      for (auto& chunk : chunks) {
        Chunks.push_back(std::move(chunk));
      }
    } else {
      WriteUncompressed(start, end);
    }
  }

  const uint8_t* Data;
  size_t Size;
  size_t Begin, End;  // the segment
  unsigned NumSlots;
  unsigned NumMain;
  unsigned Passes;  // parses per block
  TLzxMatchFinder Finder;
  std::array<TLzMatch, MaxMatch + 1> Matches{};
  std::array<uint32_t, 3> Repeats{{1, 1, 1}};
  std::vector<TNode> Nodes;
  std::vector<uint32_t> MatchIndex;  // per position of the block: its first match in MatchCache
  std::vector<TLzMatch> MatchCache;
  std::vector<uint32_t> FrequentDistances;
  bool HeaderWritten = false;

  std::array<uint8_t, MaxMainSymbols> PreviousMain{};
  std::array<uint8_t, NumLengthSymbols> PreviousLength{};
  std::array<uint32_t, MaxMainSymbols> MainPrice{};
  std::array<uint32_t, NumLengthSymbols> LengthPrice{};

  std::vector<std::vector<uint8_t>> Chunks;
  bool LengthsPending = false;  // the lengths before the segment are not known yet
  bool AnyVerbatim = false;
  TPendingBlock Pending;
};

}  // namespace

std::vector<std::vector<uint8_t>> LzxCompress(const uint8_t* data, size_t size, int windowBits,
                                              const std::function<void(size_t done)>& progress, TLzxEffort effort) {
  if (size == 0 || windowBits < LzxMinWindowBits || windowBits > LzxMaxWindowBits || size >= 0x80000000u) {
    return {};
  }
  const size_t segments = (size + SegmentSize - 1) / SegmentSize;
  std::mutex progressLock;
  size_t done = 0;
  auto encoded = [&](size_t bytes) {
    if (!progress) return;
    std::lock_guard<std::mutex> hold(progressLock);
    done += bytes;
    progress(done);
  };
  std::vector<TLzxEncoder::TSegment> parts(segments);
  RunEach(segments, [&](size_t k) {
    TLzxEncoder encoder(data, size, windowBits, effort, k * SegmentSize, std::min(size, (k + 1) * SegmentSize));
    encoder.Run(encoded);
    parts[k] = encoder.Finish();
  });
  // In stream order: each segment's pending block after the lengths the ones before it left.
  std::vector<std::vector<uint8_t>> chunks;
  std::array<uint8_t, MaxMainSymbols> main{};
  std::array<uint8_t, NumLengthSymbols> length{};
  TLzxEncoder writer(data, 0, windowBits, effort, 0, 0);
  for (TLzxEncoder::TSegment& part : parts) {
    if (part.Pending.Present && !writer.WritePending(part, main, length)) return {};
    if (part.Verbatim) {
      main = part.FinalMain;
      length = part.FinalLength;
    }
    for (auto& chunk : part.Chunks) chunks.push_back(std::move(chunk));
  }
  return chunks;
}
