// Frame numbers, file names, skipping existing frames and the sound chunks.
#include "output/output_frames.h"

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstdlib>

namespace lumetra::output {

int32_t FrameOfTime(float time, int32_t fps) {
  const double f = static_cast<double>(fps) * static_cast<double>(time) + 0.01;
  if (!std::isfinite(f)) return 0;
  return static_cast<int32_t>(std::clamp(f, -2.0e9, 2.0e9));
}

FrameRange FramesOfSpan(float start, float end, int32_t fps) {
  FrameRange r{FrameOfTime(start, fps), FrameOfTime(end, fps)};
  if (r.last > r.first) r.last -= 1;
  return r;
}

std::string NativePath(const std::string& stored) {
  std::string p = stored;
  std::replace(p.begin(), p.end(), '\\', '/');
  return p;
}

std::string OutputFileName(const OutputSettings& s, int32_t frame, int32_t component,
                           RangeMode mode) {
  if (component < 0 || component >= kComponentCount) return {};
  const OutputComponent& c = s.components[component];
  if (c.format == nullptr) return {};
  const std::string ext = c.format->ext;
  if (s.Numbered(component) && !(mode == kRangeCurrent && (s.flags & kOutputSingleUnnumbered))) {
    const int digits = std::clamp(s.digits, kDigitsMin, kDigitsMax);
    char number[48];
    std::snprintf(number, sizeof number, "%.*d", digits, frame);
    return c.base_name + number + "." + ext;
  }
  return c.base_name + "." + ext;
}

std::string OutputFullFileName(const OutputSettings& s, int32_t frame, int32_t component,
                               RangeMode mode) {
  std::string name = OutputFileName(s, frame, component, mode);
  if (name.empty()) return {};
  std::string dir = NativePath(s.components[component].path);
  if (dir.empty()) return name;
  if (dir.back() != '/') dir += '/';
  return dir + name;
}

int32_t DigitsOf(int32_t frame) {
  int64_t v = std::llabs(static_cast<int64_t>(frame));
  int32_t n = 0;
  while (v > 0) {
    v /= 10;
    ++n;
  }
  return n;
}

SkipResult SkipExistingFrames(const OutputSettings& s, int32_t component, float current,
                              int32_t first, int32_t last, RangeMode mode,
                              const std::function<bool(const std::string&)>& exists) {
  SkipResult r;
  r.current = current;
  r.total = static_cast<int32_t>(std::fabs(static_cast<double>(last) - first) + 1.01);
  r.to_make = static_cast<int32_t>(std::fabs(static_cast<double>(last) - current) + 1.01);
  if ((s.flags & kOutputOverwrite) || !s.Numbered(component)) return r;
  const int64_t step = s.step == 0 ? 1 : std::llabs(static_cast<int64_t>(s.step));
  const int64_t dir = last >= current ? 1 : -1;
  int32_t missing = 0;
  bool found = false;
  for (int64_t f = static_cast<int64_t>(current); dir > 0 ? f <= last : f >= last;
       f += dir * step) {
    if (exists(OutputFullFileName(s, static_cast<int32_t>(f), component, mode))) continue;
    ++missing;
    if (!found) {
      found = true;
      r.current = static_cast<float>(f);
    }
  }
  r.to_make = missing;
  r.all_exist = missing == 0;
  return r;
}

int64_t SampleOfFrame(int32_t frame, int32_t fps, int32_t rate) {
  if (fps <= 0) return 0;
  // Exact in integers: frame / fps seconds at `rate` samples per second.
  return static_cast<int64_t>(frame) * rate / fps;
}

std::vector<SoundChunk> SoundChunks(int32_t first, int32_t last, int32_t fps, int32_t rate,
                                    int64_t buffering) {
  std::vector<SoundChunk> chunks;
  if (fps <= 0 || rate <= 0) return chunks;
  const int32_t lo = std::min(first, last), hi = std::max(first, last);
  const int64_t begin = SampleOfFrame(lo, fps, rate);
  const int64_t end = SampleOfFrame(hi + 1, fps, rate);
  const int64_t size = buffering > 0 ? buffering : end - begin;
  for (int64_t b = begin; b < end; b += size) {
    const int64_t e = std::min(end, b + size);
    chunks.push_back({b, e, static_cast<float>(static_cast<double>(b) / rate)});
  }
  return chunks;
}

}  // namespace lumetra::output
