#pragma once
// Builds the patch data file from a plan: reads both versions of every file through the
// engine's file services, encodes a delta for every changed file, and writes the records
// with the engine's own writer.
//
// A file present in both releases gets no record when its content and date/time agree, and
// otherwise always a modify record (Stamp = old date/time, NewStamp = new), even where its
// delta is all literal blocks and larger than the file: a modify record is applied only to
// the exact previous version, while a copy record would overwrite whatever is there (an
// older release, a file the user changed). A file that differs only in its date/time gets a
// delta of plain copy blocks, which sets the new date/time. New files get copy records.
//
// With TDeltaChoice::Best, a changed file may go as a difference record (difference/) instead,
// in its executable mode when both versions are PE images of one machine (the smaller of the
// two modes competes): both records are made, each is packed alone with the cabinet's compression, and the one
// that packs smaller is written (the block delta when they tie). Readers that know only the
// original record types pass difference records over, so Block (the default) keeps patches
// readable by all of them.
//
// A file of both releases that is empty in the new one cannot be expressed: every block of
// a delta writes at least one byte. Such a release pair is refused.

#include <cstdint>
#include <functional>
#include <string>
#include <vector>

#include "cabinet/cab_writer.h"
#include "delta/delta_encoder.h"
#include "files/file_system.h"
#include "files/whole_file.h"
#include "patch_plan.h"

enum class TBuiltKind { None, Copy, Modify, Delete };

// Which records a changed file may get: the block delta always, or the smaller of it and a
// difference record.
enum class TDeltaChoice { Block, Best };

struct TBuiltRecord {
  TPlannedRecord Plan;
  TBuiltKind Kind = TBuiltKind::None;
  size_t DataSize = 0;  // bytes of the record's data (delta or content)
  TDeltaStats Delta;    // for modify records: the block delta's (also when not chosen)
  bool Difference = false;  // a modify record that went as a difference record
  size_t PackedBlock = 0;       // with TDeltaChoice::Best: bytes of each candidate packed alone
  size_t PackedDifference = 0;
};

struct TBuildHooks {
  // Told of each file as it is worked on: relative path, bytes done, total bytes.
  std::function<void(const std::string& path, size_t done, size_t total)> Progress;
  // Sees every delta before it is written (tests break one here on purpose).
  std::function<void(const TPlannedRecord& record, std::vector<uint8_t>& delta)> InspectDelta;
  // The files a whole build (BuildWizardPatch) reads and writes; null for the machine's disk
  // (tests pass one that fails or throws).
  TFileSystem* Files = nullptr;
};


// Fills data with the patch data file. False with error set when a file cannot be read, a
// file of both releases becomes empty, or the patch would outgrow what its 32-bit record
// offsets can address.
// choice and compression (the cabinet's, with which candidates are measured) decide between
// the records of a changed file.
bool BuildPatchData(TFileSystem& files, const std::string& oldRoot, const std::string& newRoot,
                    const std::vector<TPlannedRecord>& plan, const TBuildHooks& hooks,
                    std::vector<uint8_t>& data, std::vector<TBuiltRecord>& records,
                    std::string& error, TDeltaChoice choice = TDeltaChoice::Block,
                    TCabCompression compression = TCabCompression::Lzx);
