#include "pe_resources.h"

#include <algorithm>
#include <cstring>
#include <map>

#include "byte_order/little_endian.h"
#include "pe_image.h"

namespace {

constexpr uint32_t ResourceDirectory = 2;
constexpr uint32_t SecurityDirectory = 4;
constexpr size_t SectionHeaderSize = 40;
constexpr uint32_t TableFlag = 0x80000000;  // an entry that leads to a table; a named entry
constexpr uint32_t InitializedData = 0x00000040, MemoryRead = 0x40000000;
// More than any program holds; a tree that claims more leads the reader in circles.
constexpr size_t MaxResources = 65536;
constexpr size_t MaxEntriesVisited = 4 * MaxResources;

// Where the fields of the headers lie, for reading and for writing them back.
struct THeaders {
  size_t Coff = 0;
  size_t Optional = 0;
  uint32_t OptionalSize = 0;
  uint32_t SectionCount = 0;
  size_t SectionTable = 0;
  uint32_t SectionAlignment = 0, FileAlignment = 0, HeadersSize = 0;
  size_t Directories = 0;  // offset of the data directory table
  uint32_t DirectoryCount = 0;  // entries that lie inside the optional header
};

bool PowerOfTwo(uint32_t value) { return value != 0 && (value & (value - 1)) == 0; }

uint64_t Align(uint64_t value, uint32_t alignment) { return (value + alignment - 1) / alignment * alignment; }

// The header fields after ParsePeImage accepted the image (which checked the machine, the
// optional header's magic and that the section table lies inside the file).
bool ReadHeaders(const uint8_t* bytes, size_t size, THeaders& h, std::string& problem) {
  TPeImage image;
  if (!ParsePeImage(bytes, size, image)) {
    problem = "the file is no Windows program whose headers hold together";
    return false;
  }
  const size_t pe = ReadUInt32le(bytes + 0x3C);
  h.Coff = pe + 4;
  h.SectionCount = ReadUInt16le(bytes + h.Coff + 2);
  h.OptionalSize = ReadUInt16le(bytes + h.Coff + 16);
  h.Optional = pe + 24;
  h.SectionTable = h.Optional + h.OptionalSize;
  const uint8_t* optional = bytes + h.Optional;
  const bool wide = image.Machine == PeMachineX64;
  h.SectionAlignment = ReadUInt32le(optional + 32);
  h.FileAlignment = ReadUInt32le(optional + 36);
  h.HeadersSize = ReadUInt32le(optional + 60);
  const uint32_t fixedSize = wide ? 112 : 96;
  h.Directories = h.Optional + fixedSize;
  h.DirectoryCount = std::min<uint32_t>(ReadUInt32le(optional + (wide ? 108 : 92)), (h.OptionalSize - fixedSize) / 8);
  if (!PowerOfTwo(h.SectionAlignment) || !PowerOfTwo(h.FileAlignment)) {
    problem = "the program's section or file alignment is no power of two";
    return false;
  }
  return true;
}

void DirectoryEntry(const uint8_t* bytes, const THeaders& h, uint32_t index, uint32_t& rva, uint32_t& size) {
  rva = size = 0;
  if (index >= h.DirectoryCount) return;
  rva = ReadUInt32le(bytes + h.Directories + 8 * index);
  size = ReadUInt32le(bytes + h.Directories + 8 * index + 4);
}

// Reads the tree of one resource section: tables, names and data entries must lie between
// Base and Limit; the data itself anywhere in the file bytes of a section.
class TTreeReader {
 public:
  TTreeReader(const uint8_t* bytes, size_t size, const TPeImage& image, size_t base, size_t limit)
      : Bytes(bytes), Size(size), Image(image), Base(base), Limit(limit) {}

  bool Read(std::vector<TResource>& resources, std::string& problem) {
    TResource path;
    return Table(0, 0, path, resources, problem);
  }

 private:
  bool Inside(uint64_t offset, uint64_t length) const {
    return offset <= Limit - Base && length <= Limit - Base - offset;
  }

  bool NameAt(uint32_t field, TResourceName& name, std::string& problem) const {
    name = TResourceName();
    if (!(field & TableFlag)) {
      name.Id = field;
      return true;
    }
    const uint32_t at = field & ~TableFlag;
    if (!Inside(at, 2) || !Inside(at + 2, 2 * uint64_t{ReadUInt16le(Bytes + Base + at)})) {
      problem = "a resource name lies outside the resource section";
      return false;
    }
    const uint16_t length = ReadUInt16le(Bytes + Base + at);
    for (uint16_t i = 0; i < length; ++i) name.Text.push_back(static_cast<char16_t>(ReadUInt16le(Bytes + Base + at + 2 + 2 * i)));
    if (name.Text.empty()) {
      problem = "a resource has an empty name";
      return false;
    }
    return true;
  }

  // The table at offset on level (0 types, 1 names, 2 languages); path holds the levels above.
  bool Table(uint32_t offset, int level, TResource& path, std::vector<TResource>& resources, std::string& problem) {
    if (!Inside(offset, 16)) {
      problem = "a resource table lies outside the resource section";
      return false;
    }
    const uint8_t* table = Bytes + Base + offset;
    const uint32_t count = uint32_t{ReadUInt16le(table + 12)} + ReadUInt16le(table + 14);
    if (!Inside(offset + 16, 8 * uint64_t{count})) {
      problem = "a resource table's entries run past the resource section";
      return false;
    }
    for (uint32_t i = 0; i < count; ++i) {
      if (++Visited > MaxEntriesVisited) {
        problem = "the resource tree names more entries than any program holds";
        return false;
      }
      const uint32_t nameField = ReadUInt32le(table + 16 + 8 * i);
      const uint32_t target = ReadUInt32le(table + 16 + 8 * i + 4);
      TResourceName name;
      if (!NameAt(nameField, name, problem)) return false;
      const bool leadsToTable = (target & TableFlag) != 0;
      if (leadsToTable != (level < 2)) {
        problem = leadsToTable ? "the resource tree is deeper than type, name and language"
                               : "a resource entry above the language level holds data";
        return false;
      }
      if (level == 0) path.Type = name;
      if (level == 1) path.Name = name;
      if (level < 2) {
        if (!Table(target & ~TableFlag, level + 1, path, resources, problem)) return false;
        continue;
      }
      if (!name.Text.empty()) {
        problem = "a resource language is a name, not a number";
        return false;
      }
      path.Language = name.Id;
      if (!Data(target, path, resources, problem)) return false;
    }
    return true;
  }

  bool Data(uint32_t offset, const TResource& path, std::vector<TResource>& resources, std::string& problem) {
    if (!Inside(offset, 16)) {
      problem = "a resource data entry lies outside the resource section";
      return false;
    }
    const uint8_t* entry = Bytes + Base + offset;
    const uint32_t rva = ReadUInt32le(entry), length = ReadUInt32le(entry + 4);
    const TPeSection* section = Image.SectionAtRva(rva);
    if (!section || uint64_t{rva - section->Rva} + length > section->FileSize) {
      problem = "a resource's data lies outside the program's file";
      return false;
    }
    if (resources.size() >= MaxResources || length > Size - Total) {
      problem = "the resource tree names more data than the file holds";
      return false;
    }
    Total += length;
    resources.push_back(path);
    resources.back().CodePage = ReadUInt32le(entry + 8);
    const uint8_t* data = Bytes + section->FileOffset + (rva - section->Rva);
    resources.back().Bytes.assign(data, data + length);
    return true;
  }

  const uint8_t* Bytes;
  size_t Size;
  const TPeImage& Image;
  size_t Base, Limit;
  size_t Visited = 0;
  size_t Total = 0;  // bytes of data read so far
};

// The order the loader searches a table in: named entries first, by their text, then numbers.
bool NameBefore(const TResourceName& a, const TResourceName& b) {
  if (a.Text.empty() != b.Text.empty()) return !a.Text.empty();
  return a.Text.empty() ? a.Id < b.Id : a.Text < b.Text;
}

struct TNode {
  TResourceName Name;
  std::vector<TNode> Children;  // sorted; none on the language level
  size_t Resource = 0;          // on the language level: the index in the list
};

TNode& ChildOf(TNode& node, const TResourceName& name) {
  auto at = std::lower_bound(node.Children.begin(), node.Children.end(), name,
                             [](const TNode& child, const TResourceName& n) { return NameBefore(child.Name, n); });
  if (at == node.Children.end() || at->Name != name) at = node.Children.insert(at, TNode{name, {}, 0});
  return *at;
}

// The resource tree laid out for a section loaded at rva: tables, names, data entries, data.
bool LayOutTree(const std::vector<TResource>& resources, uint32_t rva, std::vector<uint8_t>& tree, std::string& problem) {
  TNode root;
  for (size_t i = 0; i < resources.size(); ++i) {
    const TResource& r = resources[i];
    TNode& name = ChildOf(ChildOf(root, r.Type), r.Name);
    const size_t before = name.Children.size();
    ChildOf(name, TResourceName::Number(r.Language)).Resource = i;
    if (name.Children.size() == before) {
      problem = "two resources have one type, name and language";
      return false;
    }
  }
  // The tables level by level, then the names, the data entries and the data.
  std::vector<const TNode*> tables{&root};
  std::vector<int> levels{0};
  for (size_t i = 0; i < tables.size(); ++i)
    if (levels[i] < 2)
      for (const TNode& child : tables[i]->Children) tables.push_back(&child), levels.push_back(levels[i] + 1);
  std::map<const TNode*, uint32_t> tableAt, nameAt, entryAt;
  uint64_t end = 0;
  for (const TNode* table : tables) {
    tableAt[table] = static_cast<uint32_t>(end);
    end += 16 + 8 * uint64_t{table->Children.size()};
  }
  for (const TNode* table : tables)
    for (const TNode& child : table->Children)
      if (!child.Name.Text.empty()) {
        nameAt[&child] = static_cast<uint32_t>(end);
        end += 2 + 2 * uint64_t{child.Name.Text.size()};
      }
  end = Align(end, 4);
  std::vector<const TNode*> leaves;
  for (size_t i = 0; i < tables.size(); ++i)
    if (levels[i] == 2)
      for (const TNode& child : tables[i]->Children) {
        entryAt[&child] = static_cast<uint32_t>(end);
        leaves.push_back(&child);
        end += 16;
      }
  std::vector<uint64_t> dataAt;
  for (const TNode* leaf : leaves) {
    end = Align(end, 8);
    dataAt.push_back(end);
    end += resources[leaf->Resource].Bytes.size();
  }
  if (end + rva > 0xFFFFFFFFull) {
    problem = "the resources do not fit into a program";
    return false;
  }
  tree.assign(static_cast<size_t>(end), 0);
  for (const TNode* table : tables) {
    uint8_t* at = tree.data() + tableAt[table];
    const auto named = std::count_if(table->Children.begin(), table->Children.end(),
                                     [](const TNode& c) { return !c.Name.Text.empty(); });
    WriteUInt16le(at + 12, static_cast<uint16_t>(named));
    WriteUInt16le(at + 14, static_cast<uint16_t>(table->Children.size() - named));
    for (size_t i = 0; i < table->Children.size(); ++i) {
      const TNode& child = table->Children[i];
      const uint32_t name = child.Name.Text.empty() ? child.Name.Id : TableFlag | nameAt[&child];
      const uint32_t target = entryAt.count(&child) ? entryAt[&child] : TableFlag | tableAt[&child];
      WriteUInt32le(at + 16 + 8 * i, name);
      WriteUInt32le(at + 16 + 8 * i + 4, target);
    }
  }
  for (const auto& [node, offset] : nameAt) {
    WriteUInt16le(tree.data() + offset, static_cast<uint16_t>(node->Name.Text.size()));
    for (size_t i = 0; i < node->Name.Text.size(); ++i)
      WriteUInt16le(tree.data() + offset + 2 + 2 * i, static_cast<uint16_t>(node->Name.Text[i]));
  }
  for (size_t i = 0; i < leaves.size(); ++i) {
    const TResource& r = resources[leaves[i]->Resource];
    uint8_t* entry = tree.data() + entryAt[leaves[i]];
    WriteUInt32le(entry, static_cast<uint32_t>(rva + dataAt[i]));
    WriteUInt32le(entry + 4, static_cast<uint32_t>(r.Bytes.size()));
    WriteUInt32le(entry + 8, r.CodePage);
    std::copy(r.Bytes.begin(), r.Bytes.end(), tree.begin() + static_cast<std::ptrdiff_t>(dataAt[i]));
  }
  return true;
}

struct TSectionHeader {
  size_t At = 0;  // offset of the header in the file
  uint32_t VirtualSize = 0, Rva = 0, RawSize = 0, RawOffset = 0;
};

TSectionHeader SectionHeaderAt(const uint8_t* bytes, size_t at) {
  return {at, ReadUInt32le(bytes + at + 8), ReadUInt32le(bytes + at + 12), ReadUInt32le(bytes + at + 16),
          ReadUInt32le(bytes + at + 20)};
}

}  // namespace

bool ReadPeResources(const uint8_t* bytes, size_t size, std::vector<TResource>& resources, std::string& problem) {
  resources.clear();
  THeaders h;
  if (!ReadHeaders(bytes, size, h, problem)) return false;
  TPeImage image;
  ParsePeImage(bytes, size, image);
  uint32_t rva, length;
  DirectoryEntry(bytes, h, ResourceDirectory, rva, length);
  if (rva == 0 && length == 0) return true;
  const TPeSection* section = image.SectionAtRva(rva);
  if (!section || rva - section->Rva >= section->FileSize) {
    problem = "the resource directory lies outside the program's file";
    return false;
  }
  const size_t base = section->FileOffset + (rva - section->Rva);
  TTreeReader reader(bytes, size, image, base, size_t{section->FileOffset} + section->FileSize);
  if (!reader.Read(resources, problem)) {
    resources.clear();
    return false;
  }
  return true;
}

bool WritePeResources(const std::vector<uint8_t>& image, const std::vector<TResource>& resources,
                      std::vector<uint8_t>& out, std::string& problem) {
  THeaders h;
  if (!ReadHeaders(image.data(), image.size(), h, problem)) return false;
  if (h.DirectoryCount <= ResourceDirectory) {
    problem = "the program's headers have no resource directory entry";
    return false;
  }
  uint32_t rva, length, signature, signatureLength;
  DirectoryEntry(image.data(), h, ResourceDirectory, rva, length);
  DirectoryEntry(image.data(), h, SecurityDirectory, signature, signatureLength);
  if (signature != 0 || signatureLength != 0) {
    problem = "the program is signed (its signature would not cover new resources)";
    return false;
  }
  std::vector<TSectionHeader> sections;
  uint64_t imageEnd = 0, firstRaw = image.size();
  for (uint32_t i = 0; i < h.SectionCount; ++i) {
    sections.push_back(SectionHeaderAt(image.data(), h.SectionTable + SectionHeaderSize * i));
    const TSectionHeader& s = sections.back();
    imageEnd = std::max<uint64_t>(imageEnd, uint64_t{s.Rva} + std::max(s.VirtualSize, s.RawSize));
    if (s.RawSize > 0) firstRaw = std::min<uint64_t>(firstRaw, s.RawOffset);
  }
  // The section that holds the tree now, when the tree fills it (the section holds nothing
  // else), and the RVA of the section after it in memory.
  const TSectionHeader* own = nullptr;
  for (const TSectionHeader& s : sections)
    if (rva != 0 && s.Rva == rva && length >= s.VirtualSize && s.RawSize > 0 && s.RawOffset >= firstRaw &&
        uint64_t{s.RawOffset} + s.RawSize <= image.size())
      own = &s;
  uint64_t nextRva = 0x100000000ull;
  for (const TSectionHeader& s : sections)
    if (own && s.Rva > own->Rva) nextRva = std::min<uint64_t>(nextRva, s.Rva);
  std::vector<uint8_t> tree;
  // The new tree goes where the old one was when it fits there (in the file and before the
  // next section in memory); then into that section grown when it ends the program; else
  // into a new last section.
  enum class TPlace { Within, Grown, New } place = TPlace::New;
  if (own) {
    if (!LayOutTree(resources, own->Rva, tree, problem)) return false;
    if (tree.size() <= own->RawSize && uint64_t{own->Rva} + tree.size() <= nextRva)
      place = TPlace::Within;
    else if (uint64_t{own->RawOffset} + own->RawSize == image.size() && nextRva == 0x100000000ull)
      place = TPlace::Grown;
  }
  TSectionHeader placed = own && place != TPlace::New ? *own : TSectionHeader();
  if (place == TPlace::New) {
    // Its header after the others.
    placed.At = h.SectionTable + SectionHeaderSize * sections.size();
    const bool room = sections.size() < MaxPeSections && placed.At + SectionHeaderSize <= h.HeadersSize &&
                      placed.At + SectionHeaderSize <= firstRaw &&
                      std::all_of(image.begin() + static_cast<std::ptrdiff_t>(placed.At),
                                  image.begin() + static_cast<std::ptrdiff_t>(placed.At + SectionHeaderSize),
                                  [](uint8_t b) { return b == 0; });
    if (!room) {
      problem = "the program's headers have no room for another section";
      return false;
    }
    placed.Rva = static_cast<uint32_t>(Align(std::max<uint64_t>(imageEnd, ReadUInt32le(image.data() + h.Optional + 56)),
                                             h.SectionAlignment));
    placed.RawOffset = static_cast<uint32_t>(Align(image.size(), h.FileAlignment));
    if (Align(image.size(), h.FileAlignment) > 0xFFFFFFFFull || !LayOutTree(resources, placed.Rva, tree, problem)) {
      if (problem.empty()) problem = "the program is too large";
      return false;
    }
  }
  const uint64_t rawSize = place == TPlace::Within ? own->RawSize : Align(tree.size(), h.FileAlignment);
  const uint64_t sizeOfImage = Align(uint64_t{placed.Rva} + tree.size(), h.SectionAlignment);
  if (uint64_t{placed.RawOffset} + rawSize > 0x7FFFFFFF || sizeOfImage > 0xFFFFFFFFull) {
    problem = "the program would be too large";
    return false;
  }
  if (place == TPlace::Within) {
    out = image;
  } else {
    out.assign(image.begin(), image.begin() + static_cast<std::ptrdiff_t>(std::min<uint64_t>(image.size(), placed.RawOffset)));
    out.resize(static_cast<size_t>(placed.RawOffset + rawSize), 0);
  }
  std::fill_n(out.begin() + placed.RawOffset, rawSize, uint8_t{0});
  std::copy(tree.begin(), tree.end(), out.begin() + placed.RawOffset);

  uint8_t* header = out.data() + placed.At;
  uint8_t* optional = out.data() + h.Optional;
  const uint32_t oldRaw = place == TPlace::New ? 0 : own->RawSize;
  if (place == TPlace::New) {
    // The section that held the old tree keeps its bytes under a name that says so.
    for (const TSectionHeader& s : sections)
      if (rva >= s.Rva && rva - s.Rva < std::max(s.VirtualSize, s.RawSize) && std::memcmp(out.data() + s.At, ".rsrc\0\0\0", 8) == 0)
        std::memcpy(out.data() + s.At, ".oldrsrc", 8);
    std::memcpy(header, ".rsrc\0\0\0", 8);
    WriteUInt32le(header + 36, InitializedData | MemoryRead);
    WriteUInt16le(out.data() + h.Coff + 2, static_cast<uint16_t>(sections.size() + 1));
  }
  WriteUInt32le(header + 8, static_cast<uint32_t>(tree.size()));
  WriteUInt32le(header + 12, placed.Rva);
  WriteUInt32le(header + 16, static_cast<uint32_t>(rawSize));
  WriteUInt32le(header + 20, placed.RawOffset);
  // SizeOfInitializedData counts the raw sizes of the data sections.
  WriteUInt32le(optional + 8, static_cast<uint32_t>(ReadUInt32le(optional + 8) + rawSize - oldRaw));
  WriteUInt32le(optional + 56, static_cast<uint32_t>(std::max<uint64_t>(sizeOfImage, Align(imageEnd, h.SectionAlignment))));
  WriteUInt32le(out.data() + h.Directories + 8 * ResourceDirectory, placed.Rva);
  WriteUInt32le(out.data() + h.Directories + 8 * ResourceDirectory + 4, static_cast<uint32_t>(tree.size()));
  if (ReadUInt32le(optional + 64) != 0) SetPeChecksum(out);
  return true;
}

uint32_t PeChecksum(const std::vector<uint8_t>& file) {
  TPeImage image;
  if (!ParsePeImage(file.data(), file.size(), image)) return 0;
  const size_t field = ReadUInt32le(file.data() + 0x3C) + 24 + 64;
  auto byteAt = [&](size_t i) -> uint32_t { return i >= file.size() || (i >= field && i < field + 4) ? 0 : file[i]; };
  uint64_t sum = 0;
  for (size_t i = 0; i < file.size(); i += 2) {
    sum += byteAt(i) | (byteAt(i + 1) << 8);
    sum = (sum & 0xFFFF) + (sum >> 16);
  }
  sum = (sum & 0xFFFF) + (sum >> 16);
  return static_cast<uint32_t>(sum + file.size());
}

uint32_t StoredPeChecksum(const std::vector<uint8_t>& file) {
  TPeImage image;
  if (!ParsePeImage(file.data(), file.size(), image)) return 0;
  return ReadUInt32le(file.data() + ReadUInt32le(file.data() + 0x3C) + 24 + 64);
}

bool SetPeChecksum(std::vector<uint8_t>& file) {
  TPeImage image;
  if (!ParsePeImage(file.data(), file.size(), image)) return false;
  WriteUInt32le(file.data() + ReadUInt32le(file.data() + 0x3C) + 24 + 64, PeChecksum(file));
  return true;
}
