#pragma once
// The resources of a PE file (32- and 64-bit Windows programs), read and written without the
// system: the three-level tree of type, name and language read into a list of resources with
// their bytes, and a program written anew with a given list. Used by menditwiz on every
// system it runs on, to give a self-applying program a version resource of its own.
//
// Reading distrusts the file: every table, string and data entry must lie inside the image,
// the tree has exactly three levels, and a tree that names more resources or bytes than the
// file can hold is refused with a reason. Writing keeps every resource's bytes as they are
// and lays the tree out anew, sorted as the loader searches it. The new tree goes where the
// old one was when it fits there (in the file, and in memory before the next section), into
// that section grown when it ends the program, and otherwise into a new last section (the
// old one stays, unused, renamed ".oldrsrc"). SizeOfImage, the section table, the resource
// directory entry and a checksum the file carries are brought up to date.
// Portable: no Windows headers.

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

// A type, name or language of the tree: numbered (Text empty) or named.
struct TResourceName {
  uint32_t Id = 0;
  std::u16string Text;

  static TResourceName Number(uint32_t id) { return {id, {}}; }
  bool operator==(const TResourceName& other) const { return Id == other.Id && Text == other.Text; }
  bool operator!=(const TResourceName& other) const { return !(*this == other); }
};

struct TResource {
  TResourceName Type;
  TResourceName Name;
  uint32_t Language = 0;
  uint32_t CodePage = 0;
  std::vector<uint8_t> Bytes;
};

constexpr uint32_t ResourceTypeIcon = 3;
constexpr uint32_t ResourceTypeVersion = 16;
constexpr uint32_t ResourceTypeManifest = 24;

// The resources of a PE image in the order of its tree (none when it has no resource
// directory). False with problem set when the image or its tree cannot be read.
bool ReadPeResources(const uint8_t* bytes, size_t size, std::vector<TResource>& resources, std::string& problem);

// image with its resources replaced by resources: written to out. image is a program
// without anything after its image (menditwiz's stub image). False with problem set when
// the image cannot take a new tree (no PE headers, no room for another section header).
bool WritePeResources(const std::vector<uint8_t>& image, const std::vector<TResource>& resources,
                      std::vector<uint8_t>& out, std::string& problem);

// The PE checksum of file (the optional header's CheckSum field counts as zero), as the
// system's CheckSumMappedFile computes it; 0 when file has no PE headers.
uint32_t PeChecksum(const std::vector<uint8_t>& file);
// The CheckSum field as the file holds it; 0 when file has no PE headers.
uint32_t StoredPeChecksum(const std::vector<uint8_t>& file);
// Writes PeChecksum into the CheckSum field. False when file has no PE headers.
bool SetPeChecksum(std::vector<uint8_t>& file);
