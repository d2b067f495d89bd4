// Which input times each clip used, slice by slice, and the dependency walk that tells which
// stretch of a track's pictures a change of another track's span reaches.
#include <algorithm>
#include <unordered_set>

#include "model/clip.h"
#include "model/pseudo_track.h"
#include "model/superclip.h"
#include "model/track.h"
#include "render/render_request.h"

namespace lumetra::render {

using project::Clip;
using project::Track;

namespace {
// An empty span runs from the top of track time to the bottom.
constexpr float kTimeBound = kRenderTimeBound;
constexpr float kUsageSlack = 2e-5f;

bool Transparent(const Clip* clip) {
  return clip->process == nullptr ||
         (clip->process->make == nullptr && !project::IsSuperClipProcess(clip->process)) ||
         (clip->flags & project::kClipTransparent) != 0;
}
}  // namespace

std::vector<float> InputUsageSlices(float length) {
  std::vector<float> slices;
  if (!(length >= 1e-5f)) return slices;
  float left = length;
  while (left > 2.0f) {
    slices.push_back(1.0f);
    left -= 1.0f;
  }
  if (left > 1.0f) {
    slices.push_back(left / 2);
    slices.push_back(left / 2);
  } else {
    slices.push_back(left);
  }
  return slices;
}

InputUsageSpan::InputUsageSpan()
    : lo(kTimeBound), hi(-kTimeBound), offset_min(kTimeBound), offset_max(-kTimeBound) {}

ClipUsage* RenderEngine::Impl::UsageOf(const Clip* clip) {
  auto found = usage.find(clip);
  std::size_t inputs = clip->inputs.size();
  // A record left by a freed clip whose address came back is rebuilt.
  if (found != usage.end() && found->second.start == clip->start && found->second.end == clip->end &&
      found->second.inputs == inputs) {
    return &found->second;
  }
  ClipUsage& u = usage[clip];
  u = ClipUsage{};
  u.start = clip->start;
  u.end = clip->end;
  u.inputs = inputs;
  float from = clip->start;
  for (float length : InputUsageSlices(clip->end - clip->start)) {
    UsageSlice slice;
    slice.from = from;
    slice.to = from + length;
    slice.spans.resize(inputs);
    u.slices.push_back(std::move(slice));
    from += length;
  }
  if (!u.slices.empty()) u.slices.back().to = clip->end;
  return &u;
}

void RenderEngine::Impl::RecordUsage(const RenderRequest* rq, int32_t input, float time) {
  if (rq->track == nullptr || input < 0) return;
  const Clip* clip = project::ClipFindAt(rq->track, rq->time);
  if (clip == nullptr || static_cast<std::size_t>(input) >= clip->inputs.size()) return;
  ClipUsage* u = UsageOf(clip);
  for (UsageSlice& slice : u->slices) {
    if (rq->time < slice.from || (rq->time >= slice.to && &slice != &u->slices.back())) continue;
    InputUsageSpan& span = slice.spans[static_cast<std::size_t>(input)];
    span.lo = std::min(span.lo, time);
    span.hi = std::max(span.hi, time + kUsageSlack);
    span.offset_min = std::min(span.offset_min, time - rq->time);
    span.offset_max = std::max(span.offset_max, time - rq->time);
    return;
  }
}

void RenderEngine::Impl::ResetUsage(const Track* track, float from, float to) {
  for (const Clip* clip = track->first_clip; clip != nullptr; clip = clip->next) {
    if (clip->start < to && clip->end > from) usage.erase(clip);
  }
}

bool RenderEngine::Impl::StaticallyDepends(const Track* t, const Track* changed) {
  auto known = static_depends.find(t);
  if (known != static_depends.end()) return known->second;
  // Every way a picture of `t` can reach another track, times aside.
  std::unordered_set<const Track*> seen;
  std::vector<const Track*> stack{t};
  bool found = false;
  while (!stack.empty() && !found) {
    const Track* at = stack.back();
    stack.pop_back();
    if (at == nullptr || !seen.insert(at).second) continue;
    if (at == changed) found = true;
    stack.push_back(ShowThrough(at));
    for (const Clip* clip = at->first_clip; clip != nullptr; clip = clip->next) {
      for (Track* in : clip->inputs) stack.push_back(project::InputResolve(at, in));
      stack.push_back(clip->sub_first_track);
    }
  }
  static_depends[t] = found;
  return found;
}

std::optional<std::pair<float, float>> RenderEngine::Impl::DependentSpan(
    const Track* t, float a, float b, const Track* changed, float c, float d, int32_t depth) {
  if (t == nullptr || !(a < b) || depth > kRenderMaxDepth) return std::nullopt;
  // Clips that read several inputs make the walk branch at every level; past its budget the
  // answer is the whole stretch whenever the track depends on the changed one at all.
  if (walk_budget-- <= 0) {
    if (StaticallyDepends(t, changed)) return std::pair{a, b};
    return std::nullopt;
  }
  std::optional<std::pair<float, float>> hull;
  auto widen = [&](float lo, float hi) {
    lo = std::max(lo, a);
    hi = std::min(hi, b);
    if (!(lo < hi)) return;
    if (!hull) {
      hull = std::pair{lo, hi};
    } else {
      hull->first = std::min(hull->first, lo);
      hull->second = std::max(hull->second, hi);
    }
  };
  if (t == changed && a < d && b > c) widen(c, d);
  auto through = [&](float lo, float hi) {
    if (auto got = DependentSpan(ShowThrough(t), lo, hi, changed, c, d, depth + 1)) {
      widen(got->first, got->second);
    }
  };
  float at = a;
  for (const Clip* clip = t->first_clip; clip != nullptr && at < b; clip = clip->next) {
    if (clip->end <= at) continue;
    if (clip->start > at) {
      through(at, std::min(clip->start, b));
      at = std::min(clip->start, b);
    }
    if (clip->start >= b) break;
    float lo = std::max(clip->start, at);
    float hi = std::min(clip->end, b);
    at = hi;
    if (project::IsSuperClipProcess(clip->process)) {
      if (auto got = DependentSpan(clip->sub_first_track, lo, hi, changed, c, d, depth + 1)) {
        widen(got->first, got->second);
      }
      continue;
    }
    if (Transparent(clip)) {
      through(lo, hi);
      continue;
    }
    auto found = usage.find(clip);
    if (found == usage.end()) continue;  // never read an input since it last changed
    for (const UsageSlice& slice : found->second.slices) {
      if (slice.to <= lo || slice.from >= hi) continue;
      for (std::size_t i = 0; i < slice.spans.size() && i < clip->inputs.size(); ++i) {
        const InputUsageSpan& span = slice.spans[i];
        if (!(span.lo < span.hi)) continue;
        const Track* source = project::InputResolve(t, clip->inputs[i]);
        // The slice depends when the times it read reach the change; the stretch reported
        // is every time of the slice whose reads, at the offsets seen, would reach it.
        if (!DependentSpan(source, span.lo, span.hi, changed, c, d, depth + 1)) continue;
        auto got = DependentSpan(source, slice.from + span.offset_min,
                                 slice.to + span.offset_max + kUsageSlack, changed, c, d,
                                 depth + 1);
        if (!got) continue;
        widen(std::max({slice.from, lo, got->first - span.offset_max - kUsageSlack}),
              std::min({slice.to, hi, got->second - span.offset_min}));
      }
    }
  }
  if (at < b) through(at, b);
  return hull;
}

}  // namespace lumetra::render
