// Finding the segment of a curve that holds a time: a plain walk, or the calling thread's
// index of the curve (valid while no curve was edited) for long curves.
#pragma once

#include <cstddef>

#include "plugin/lumetra_plugin.h"

namespace lumetra::anim::detail {

// Curves with fewer keys than this are walked: an index would not pay for itself.
inline constexpr std::size_t kIndexMinKeys = 16;

struct ThreadCurveIndex;

// The end key E of a curve (the first LOOP key after the first key, else the last key)
// and the key C that ends the segment holding a time: the first key from the first up to
// E whose time >= t, else E. With use_cache the answers come from the calling thread's
// index of the curve when it has one for the current edit generation; they are always
// the answers of the walk.
class SegmentLocator {
 public:
  SegmentLocator(const KeyfloatKey* first, bool use_cache);

  const KeyfloatKey* End() const { return end_; }
  bool Loop() const { return loop_; }
  const KeyfloatKey* SegmentEnd(float t);

 private:
  const KeyfloatKey* first_;
  const KeyfloatKey* end_ = nullptr;
  bool loop_ = false;
  ThreadCurveIndex* index_ = nullptr;
};

// Evaluation without the per-thread index: the reference the cached path must match.
void KeyfloatEvaluateUncached(const KeyfloatKey* first, float t, float* x, float* y, float* z);

}  // namespace lumetra::anim::detail
