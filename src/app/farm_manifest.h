// The manifests of a farm render: what each task wrote (one line per frame, its file name and
// the SHA-256 of its pixels), checked frame by frame against the files on disk and joined.
#pragma once

#include <cstdint>
#include <functional>
#include <string>
#include <string_view>
#include <vector>

#include "app/farm_plan.h"

namespace lumetra::app {

struct ManifestEntry {
  std::string name;  // as the render wrote it
  std::string hash;  // 64 hexadecimal digits
  std::string line;  // the whole line, kept as written
};

// Lines "NAME HASH" (the hash is the last blank-separated word, 64 hexadecimal digits);
// empty lines and lines that do not fit are left out.
std::vector<ManifestEntry> ParseManifest(std::string_view text);

enum class FrameState {
  kDone,     // on disk with a manifest entry
  kNoEntry,  // on disk, but no task recorded its hash
  kMissing,  // not on disk
  kBadFile,  // on disk with an entry, but its pixels do not read back or do not match the hash
};

struct FrameCheck {
  int32_t frame = 0;
  std::size_t chunk = 0;
  std::string file;
  FrameState state = FrameState::kMissing;
  const ManifestEntry* entry = nullptr;  // into FarmFrames::entries
  std::string problem;                   // kBadFile: what the check found
};

struct FarmFrames {
  std::vector<ManifestEntry> entries;
  std::vector<FrameCheck> frames;  // every frame of the plan, in order
  std::size_t Count(FrameState state) const;
  // The chunks that still have a frame that is not done.
  std::vector<std::size_t> ChunksToRender() const;
};

// Reads every part manifest of the plan (earlier attempts first, "part-<i>.txt.<n>", then
// "part-<i>.txt") and checks each frame of the plan.
FarmFrames CheckFarmFrames(const FarmPlan& plan);

// The SHA-256 (64 hexadecimal digits) of a frame file's pixels as read back, or empty with
// `error` set when the file does not read.
using FrameHasher = std::function<std::string(const std::string& file, std::string* error)>;

// Reads every done frame back through `hash` and marks as kBadFile those whose file does not
// read or, with `compare`, whose hash differs from their manifest entry. Answers how many.
std::size_t VerifyFrameHashes(FarmFrames& frames, const FrameHasher& hash, bool compare = true);

// The joined manifest: the entry line of every frame, in frame order.
std::string JoinedManifestText(const FarmFrames& frames);

}  // namespace lumetra::app
