#pragma once
// Writers for the patch data file and for the block delta of a modify patch: the tests
// build their inputs with them, and the patch builder writes its output with them.
//
// Both build the bytes in memory; Bytes() is the finished file (or delta).

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

#include "files/dos_stamp.h"
#include "patch_info.h"
#include "verify_info.h"

// One edit of a copy block: Bytes replace the block's bytes from Offset on.
struct TDeltaEdit {
  uint8_t Offset;
  std::vector<uint8_t> Bytes;  // at most 255 bytes; Offset + size at most 256
};

class TDeltaWriter {
 public:
  // A copy block: 256 bytes of the previous version at source (>= 0), changed by edits,
  // written at destination. An edit at offset 0 with no bytes would end the list early,
  // so such edits are left out.
  void CopyBlock(int32_t destination, int32_t source, const std::vector<TDeltaEdit>& edits = {});
  // A literal block of count bytes (1 ... 256) written at destination; always 264 bytes.
  void LiteralBlock(int32_t destination, const uint8_t* bytes, size_t count);
  // Literal blocks for all of bytes, from destination on, 256 bytes each (the last shorter).
  void Literal(int32_t destination, const uint8_t* bytes, size_t count);
  // Raw bytes, for deltas that break the rules on purpose.
  void Append(const std::vector<uint8_t>& bytes);
  void AppendInt32(int32_t value);

  const std::vector<uint8_t>& Bytes() const { return bytes; }
  size_t Size() const { return bytes.size(); }

 private:
  std::vector<uint8_t> bytes;
};

class TPatchWriter {
 public:
  // Longest path a record can name: the 200-byte Path field must hold its terminating zero.
  static constexpr size_t MaxPathLength = TPatchInfo::PathSize - 1;
  // Whether path can be stored whole in a record (1 ... MaxPathLength characters, no zero
  // byte inside it).
  static bool PathFits(const std::string& path);
  // Whether a record may name path: it fits, and it lies inside the folder of its leading
  // macro (record_path.h).
  static bool PathAllowed(const std::string& path);

  // Each appends one record and returns true; a path that is not allowed (PathAllowed) is
  // refused: nothing is written and the result is false, so no record ever names a
  // shortened path or one outside its folder.
  bool AddModify(const std::string& path, TDosStamp stamp, TDosStamp newStamp,
                 const std::vector<uint8_t>& delta);
  // A difference record (difference/README.md), applied as a modify record is.
  bool AddDifference(const std::string& path, TDosStamp stamp, TDosStamp newStamp,
                     const std::vector<uint8_t>& record);
  bool AddCopy(const std::string& path, TDosStamp stamp, const std::vector<uint8_t>& content);
  bool AddDelete(const std::string& path, TDosStamp stamp);
  // The content checks of the record added next, which must name the same path.
  bool AddVerify(const std::string& path, const TVerifyInfo& info);
  // A record of any type, its header taken as given (damaged files use it for paths of 200
  // characters); RecordOffset and RecordSize are set from where it lands and from the
  // data's length.
  void AddRecord(TPatchInfo header, const std::vector<uint8_t>& data);
  // A header exactly as given (RecordOffset and RecordSize untouched), for damaged files.
  void AddHeaderAsIs(const TPatchInfo& header);
  // Raw bytes, for gaps and truncated files.
  void Append(const std::vector<uint8_t>& bytes);

  const std::vector<uint8_t>& Bytes() const { return bytes; }

 private:
  std::vector<uint8_t> bytes;
};

// A header with its path and stamps set (the other fields zero); the path is cut to the
// 200 bytes of the field, for tests of damaged files. Writers check PathFits first.
TPatchInfo MakePatchInfo(const std::string& path, uint32_t type, TDosStamp stamp,
                         TDosStamp newStamp = 0);
