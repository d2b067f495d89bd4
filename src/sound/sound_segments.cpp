// Segments of a track's sound and the clip that sounds in each.
#include "sound/sound_segments.h"

#include <algorithm>

#include "model/clip.h"
#include "model/superclip.h"
#include "model/track.h"
#include "render/render_engine.h"

namespace lumetra::sound {
namespace {

using project::Clip;
using project::Track;

// The first clip of the track that ends after `time`, found through the track's lookup
// table so that long tracks cost no walk from their first clip.
const Clip* FirstClipEndingAfter(const Track* track, float time) {
  if (const Clip* at = project::ClipFindAt(track, time)) return at;  // also refreshes the table
  const auto& clips = track->clip_lookup;
  auto it = std::upper_bound(clips.begin(), clips.end(), time,
                             [](float t, const Clip* c) { return t < c->start; });
  return it != clips.end() ? *it : nullptr;
}

void CollectBoundaries(const Track* first, float start, float end, int32_t depth,
                       std::vector<float>& out) {
  for (const Track* t = first; t != nullptr; t = t->next) {
    for (const Clip* c = FirstClipEndingAfter(t, start); c != nullptr && c->start < end;
         c = c->next) {
      const float a = std::max(c->start, start), b = std::min(c->end, end);
      out.push_back(a);
      out.push_back(b);
      if (project::IsSuperClipProcess(c->process) && c->sub_first_track != nullptr &&
          depth < render::kRenderMaxDepth)
        CollectBoundaries(c->sub_first_track, a, b, depth + 1, out);
    }
  }
}

const Clip* ClipAt(const Track* first, float time, int32_t depth) {
  for (const Track* t = first; t != nullptr; t = t->next) {
    const Clip* c = project::ClipFindAt(t, time);
    if (c == nullptr || (c->flags & project::kClipTransparent) != 0 || c->process == nullptr)
      continue;
    if (project::IsSuperClipProcess(c->process)) {
      if (c->sub_first_track != nullptr && depth < render::kRenderMaxDepth) {
        if (const Clip* inner = ClipAt(c->sub_first_track, time, depth + 1)) return inner;
      }
      continue;
    }
    if (c->process->make_sound != nullptr) return c;
  }
  return nullptr;
}

}  // namespace

std::vector<SoundSegment> SoundSegments(const Track* track, float start, float end,
                                        float longest) {
  std::vector<SoundSegment> out;
  if (!(start < end)) return out;
  if (!(longest > 0.0f)) longest = end - start;
  std::vector<float> points{start, end};
  CollectBoundaries(track, start, end, 0, points);
  std::sort(points.begin(), points.end());
  points.erase(std::unique(points.begin(), points.end()), points.end());
  for (std::size_t i = 0; i + 1 < points.size(); ++i) {
    const float a = points[i], b = points[i + 1];
    // Pieces from the segment's start, each at most `longest` long.
    for (int32_t k = 0;; ++k) {
      const float from = a + static_cast<float>(k) * longest;
      if (!(from < b)) break;
      const float to = std::min(b, a + static_cast<float>(k + 1) * longest);
      out.push_back({from, to});
    }
  }
  return out;
}

const Clip* SoundClipAt(const Track* track, float time) {
  return ClipAt(track, time, 0);
}

}  // namespace lumetra::sound
