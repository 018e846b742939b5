#pragma once
// The writer of the patch data file: the tests build their inputs with it, and the patch
// builder writes its output with it. It builds the bytes in memory; Bytes() is the finished
// file. (The block delta of a modify record has its own writer: delta/delta_writer.h.)

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

#include "delta/delta_writer.h"
#include "files/dos_stamp.h"
#include "patch_info.h"
#include "verify_info.h"

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
