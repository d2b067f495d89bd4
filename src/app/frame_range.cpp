// Frame range text, the project's own range and chunking.
#include "app/frame_range.h"

#include <algorithm>
#include <charconv>

#include "model/model.h"
#include "projectfile/project_file_io.h"
#include "timecode/time_base.h"

namespace lumetra::app {
namespace {

constexpr int32_t kFrameNumberLimit = 10'000'000;

std::optional<int32_t> Number(std::string_view text) {
  int32_t value = 0;
  if (text.empty() || text.size() > 8) return std::nullopt;
  auto [end, ec] = std::from_chars(text.data(), text.data() + text.size(), value);
  if (ec != std::errc() || end != text.data() + text.size() || value < 0 ||
      value >= kFrameNumberLimit)
    return std::nullopt;
  return value;
}

}  // namespace

int64_t FrameRange::Count() const {
  if (Empty() || step < 1) return 0;
  return (int64_t{last} - first) / step + 1;
}

std::optional<FrameRange> ParseFrameRange(std::string_view text) {
  FrameRange r;
  if (std::size_t colon = text.find(':'); colon != std::string_view::npos) {
    auto step = Number(text.substr(colon + 1));
    if (!step || *step < 1) return std::nullopt;
    r.step = *step;
    text = text.substr(0, colon);
  }
  const std::size_t dash = text.find('-');
  auto first = Number(text.substr(0, dash));
  auto last = dash == std::string_view::npos ? first : Number(text.substr(dash + 1));
  if (!first || !last) return std::nullopt;
  r.first = *first;
  r.last = *last;
  return r;
}

std::string FrameRangeText(const FrameRange& range) {
  std::string text = std::to_string(range.first) + "-" + std::to_string(range.last);
  if (range.step != 1) text += ":" + std::to_string(range.step);
  return text;
}

FrameRange ProjectFrameRange(const project::Project& project) {
  const project::FileSettings& stored = project::FileSession().settings;
  if (stored.render_segment_given != 0)
    return {stored.render_start_frame, stored.render_end_frame, 1};
  const int32_t base = project.settings.time_base;
  FrameRange r;
  r.first = project::TimeToFrame(project.active_start, base, project::kFrameEpsRender);
  r.last = project::TimeToFrame(project.active_end, base, project::kFrameEpsRender);
  // A segment that ends where it starts (or before) holds no frame.
  if (!(project.active_end > project.active_start)) r.last = r.first - 1;
  // [start, end[: the end frame is the first one not rendered.
  else if (r.last > r.first)
    --r.last;
  return r;
}

std::vector<FrameRange> SplitFrames(const FrameRange& range, int32_t chunk) {
  std::vector<FrameRange> chunks;
  if (range.Empty() || range.step < 1) return chunks;
  if (chunk < 1) chunk = 1;
  const int64_t span = int64_t{chunk} * range.step;
  for (int64_t first = range.first; first <= range.last; first += span) {
    const int64_t last = std::min<int64_t>(first + span - range.step, range.last);
    // The last frame of a chunk is a frame of the range, not the range's end.
    const int64_t aligned = first + (last - first) / range.step * range.step;
    chunks.push_back({static_cast<int32_t>(first), static_cast<int32_t>(aligned), range.step});
  }
  return chunks;
}

std::vector<int32_t> FrameNumbers(const FrameRange& range) {
  std::vector<int32_t> frames;
  if (range.Empty() || range.step < 1) return frames;
  for (int64_t f = range.first; f <= range.last; f += range.step)
    frames.push_back(static_cast<int32_t>(f));
  return frames;
}

}  // namespace lumetra::app
