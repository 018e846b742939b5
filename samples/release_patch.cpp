#include "release_patch.h"

#include <map>

#include "patch/patch_writer.h"

namespace {

const size_t kBlock = 256;

const TSampleFile* Find(const std::vector<TSampleFile>& files, const std::string& path) {
  for (const TSampleFile& file : files)
    if (file.Path == path) return &file;
  return nullptr;
}

}  // namespace

std::vector<uint8_t> BlockDelta(const std::vector<unsigned char>& previous, const std::vector<unsigned char>& next) {
  // Every block-sized window of previous, by content; the first offset wins.
  std::map<std::string, size_t> windows;
  for (size_t at = 0; at + kBlock <= previous.size(); ++at) {
    windows.emplace(std::string(previous.begin() + at, previous.begin() + at + kBlock), at);
  }
  TDeltaWriter delta;
  for (size_t at = 0; at < next.size(); at += kBlock) {
    size_t size = std::min(kBlock, next.size() - at);
    auto found = size == kBlock ? windows.find(std::string(next.begin() + at, next.begin() + at + kBlock))
                                : windows.end();
    if (found != windows.end())
      delta.CopyBlock(static_cast<int32_t>(at), static_cast<int32_t>(found->second));
    else
      delta.LiteralBlock(static_cast<int32_t>(at), next.data() + at, size);
  }
  return delta.Bytes();
}

std::vector<uint8_t> ReleasePatch(const std::vector<TSampleFile>& from, const std::vector<TSampleFile>& to,
                                  std::string& summary) {
  TPatchWriter writer;
  for (const TSampleFile& file : to) {
    const TSampleFile* old = Find(from, file.Path);
    std::string path = "&ROOT&\\" + file.Path;
    if (!old) {
      writer.AddCopy(path, file.Stamp, file.Content);
      summary += "copy   " + file.Path + "\n";
    } else if (old->Content != file.Content) {
      std::vector<uint8_t> delta = BlockDelta(old->Content, file.Content);
      writer.AddModify(path, old->Stamp, file.Stamp, delta);
      summary += "modify " + file.Path + " (delta of " + std::to_string(delta.size()) + " bytes for " +
                 std::to_string(file.Content.size()) + ")\n";
    }
  }
  for (const TSampleFile& file : from) {
    if (!Find(to, file.Path)) {
      writer.AddDelete("&ROOT&\\" + file.Path, file.Stamp);
      summary += "delete " + file.Path + "\n";
    }
  }
  return writer.Bytes();
}
