// Frame arithmetic of an output render: frame numbers from times, file names of a frame,
// the frames already written (insert mode) and the sound pass's chunks.
#pragma once

#include <cstdint>
#include <functional>
#include <string>
#include <vector>

#include "output/output_settings.h"

namespace lumetra::output {

enum RangeMode : int32_t {
  kRangeProject = 0,   // the project's start and end
  kRangeGiven = 1,     // the span the caller asked for
  kRangeCurrent = 2,   // the current frame only
  kRangeSecondMark = 3 // the project's second marked span
};

// truncation of (frames per second x time + 0.01).
int32_t FrameOfTime(float time, int32_t fps);
struct FrameRange {
  int32_t first = 0, last = 0;
};
// Both ends as frames; the end is lowered by one when it is above the start.
FrameRange FramesOfSpan(float start, float end, int32_t fps);

// The name of a component's file for a frame, without its directory (empty without a
// format): numbered formats print the frame with `digits` digits (clamped to 1..31),
// zero-filled; single-frame mode with kOutputSingleUnnumbered and single-file formats use
// "base.ext".
std::string OutputFileName(const OutputSettings& s, int32_t frame, int32_t component,
                           RangeMode mode);
// The directory, '/', then the name; '\' of stored paths read as '/'.
std::string OutputFullFileName(const OutputSettings& s, int32_t frame, int32_t component,
                               RangeMode mode);
// A stored path as a Linux path: '\' becomes '/'.
std::string NativePath(const std::string& stored);

// Decimal digits a frame number needs (frame 0 needs none).
int32_t DigitsOf(int32_t frame);

// Walking the frames of a range by the step (the direction of first -> last).
struct SkipResult {
  bool all_exist = false;
  float current = 0;       // the first frame still to make
  int32_t to_make = 0;     // frames still to make
  int32_t total = 0;       // frames of the whole range
};
// Insert mode with a numbered format: the first frame from `current` toward `last` whose
// file does not exist. Otherwise the totals only. `exists` answers for a full file name.
SkipResult SkipExistingFrames(const OutputSettings& s, int32_t component, float current,
                              int32_t first, int32_t last, RangeMode mode,
                              const std::function<bool(const std::string&)>& exists);

// A chunk of the sound pass: samples [begin, end) of the output rate; chunks are
// contiguous, never overlap and together cover the segment exactly.
struct SoundChunk {
  int64_t begin = 0, end = 0;
  float time = 0;  // seconds: the chunk's first sample / rate
};
// The segment [first frame, last frame + 1) at `fps`, in chunks of `buffering` samples
// (the whole segment as one chunk when buffering is 0 or chunks are not wanted).
int64_t SampleOfFrame(int32_t frame, int32_t fps, int32_t rate);
std::vector<SoundChunk> SoundChunks(int32_t first, int32_t last, int32_t fps, int32_t rate,
                                    int64_t buffering);

}  // namespace lumetra::output
