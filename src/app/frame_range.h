// Inclusive frame ranges as the command line writes them ("A-B", "A-B:STEP") and the chunks a
// farm splits one into.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace lumetra::project {
struct Project;
}

namespace lumetra::app {

struct FrameRange {
  int32_t first = 0;
  int32_t last = -1;  // inclusive; below first: empty
  int32_t step = 1;   // at least 1
  bool Empty() const { return last < first; }
  // How many frames the range names; 0 when empty.
  int64_t Count() const;
  bool operator==(const FrameRange&) const = default;
};

// "A-B" or "A-B:STEP" with 0 <= A, B and 1 <= STEP, all below 10^7 (7200 s at 1000 fps fits);
// "A" alone is one frame. Nothing for any other text.
std::optional<FrameRange> ParseFrameRange(std::string_view text);
// "A-B", or "A-B:STEP" when the step is not 1.
std::string FrameRangeText(const FrameRange& range);

// The frames a render of the whole project makes: the explicit segment of the last render
// when the file stored one, else the active segment [start, end[ at the project's time base.
FrameRange ProjectFrameRange(const project::Project& project);

// Consecutive chunks of at most `chunk` frames of the range (chunk at least 1), each keeping
// the range's step: frames first, first + step, ... grouped in order.
std::vector<FrameRange> SplitFrames(const FrameRange& range, int32_t chunk);

// The frame numbers of a range in order.
std::vector<int32_t> FrameNumbers(const FrameRange& range);

}  // namespace lumetra::app
