#include "record_check.h"

#include <cstdio>
#include <map>
#include <string>

#include "paths/path_name.h"

namespace {

struct TFileState {
  bool Exists = false;
  bool StampKnown = false;
  TDosStamp Stamp = 0;
};

std::string Key(std::string path) {
  for (char& c : path) {
    if (c == '/') c = '\\';
    if (c >= 'a' && c <= 'z') c = static_cast<char>(c - 'a' + 'A');
  }
  return path;
}

// "YYYY-MM-DD hh:mm:ss" of a DOS date/time pair.
std::string StampText(TDosStamp stamp) {
  const unsigned date = DosDate(stamp), time = DosTime(stamp);
  char text[32];
  std::snprintf(text, sizeof text, "%04u-%02u-%02u %02u:%02u:%02u", 1980 + (date >> 9), (date >> 5) & 15,
                date & 31, time >> 11, (time >> 5) & 63, (time & 31) * 2);
  return text;
}

const char* KindName(uint32_t type) {
  return type == ptModify ? "modify" : type == ptCopy ? "copy" : "delete";
}

}  // namespace

TCheckCounts CheckRecords(TPatchFile& installer, TFileSystem& files, TPatchReporter& reporter) {
  TCheckCounts counts;
  std::map<std::string, TFileState> picture;  // files as the records so far would leave them
  auto stateOf = [&](const std::string& path) {
    auto it = picture.find(Key(path));
    if (it != picture.end()) return it->second;
    TFileState state;
    if (std::unique_ptr<TInputFile> file = files.OpenRead(path.c_str())) {
      state.Exists = true;
      state.StampKnown = file->GetStamp(state.Stamp);
    }
    return state;
  };

  const TPatchDirectory& directory = installer.Directory();
  for (int i = 0; i < directory.Count(); ++i) {
    const TPatchInfo& record = directory[i];
    const uint32_t type = record.Type();
    if (type != ptModify && type != ptCopy && type != ptDelete) {
      ++counts.Ignored;
      reporter.ReportInfo("Would ignore record %d of unknown type %u", i + 1, static_cast<unsigned>(type));
      continue;
    }
    TPathName name = installer.ResolvePath(i);
    const std::string path = name.FullPath(false);
    const TFileState state = stateOf(path);
    if (type != ptCopy) {
      if (!state.Exists) {
        ++counts.Fail;
        reporter.ReportError("Would fail: Cannot open source file: %s", path.c_str());
        continue;
      }
      if (!state.StampKnown || state.Stamp != record.Stamp) {
        ++counts.Skip;
        reporter.ReportWarning("Would skip: File: %s has improper date/time stamp (file %s, patch %s)",
                               path.c_str(), state.StampKnown ? StampText(state.Stamp).c_str() : "unreadable",
                               StampText(record.Stamp).c_str());
        continue;
      }
    }
    ++counts.Apply;
    reporter.ReportInfo("Would apply %s patch (%s)", KindName(type), path.c_str());
    TFileState after;
    after.Exists = type != ptDelete;
    after.StampKnown = true;
    after.Stamp = type == ptModify ? record.NewStamp : record.Stamp;
    picture[Key(path)] = after;
  }
  return counts;
}
