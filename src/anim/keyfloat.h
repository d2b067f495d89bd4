// Keyframe curves: a curve is a pointer to its first KeyfloatKey; the curve operations.
#pragma once

#include <cstdint>

#include "plugin/lumetra_plugin.h"

namespace lumetra::anim {

// Two keys closer than this are one key for KeyfloatKeySet.
inline constexpr float kKeyfloatSetEpsilon = 1e-6f;
// Keys that KeyfloatKeyMove with the replace flag removes: time in [t, t + this).
inline constexpr float kKeyfloatReplaceSpan = 0.0001f;
// Key times are finite and within +/- this many seconds; operations refuse other times and
// the file reader drops keys with them, so that differences and loop periods stay finite.
inline constexpr float kKeyfloatTimeLimit = 1e6f;

// Bounds the file reader keeps stored values and shape parameters in, so that evaluating
// any stored curve stays finite.
inline constexpr float kKeyfloatValueLimit = 1e30f;
inline constexpr float kKeyfloatShapeLimit = 100.f;

// True for a time that a key may carry.
inline bool KeyfloatTimeValid(float t) {
  return t >= -kKeyfloatTimeLimit && t <= kKeyfloatTimeLimit;
}

// Writes the curve's values at time t into the non-null outputs. An empty curve gives
// 0, 0, 0. Components beyond the curve's count are left unwritten unless the result is a
// key's stored values, which are copied whole. Takes no lock; any number of threads may
// evaluate the same curve at once while nobody changes it.
void KeyfloatEvaluate(const KeyfloatKey* first, float t, float* x, float* y, float* z);

// Inserts a key at time t, or updates the values of the key already within 1e-6 of t
// (the loop key's values go to the first key). Returns that key; null when memory runs
// out or t is not a valid key time, leaving the list unchanged. May replace *first.
KeyfloatKey* KeyfloatKeySet(KeyfloatKey** first, float t, int8_t components, float x, float y,
                            float z);

// The key nearest to t; on a tie the earlier one. Null for an empty curve.
KeyfloatKey* KeyfloatNearestKey(const KeyfloatKey* first, float t);

// Reads (write == 0) into, or writes from, every non-null pointer; returns the key time.
// A null key reads as zeros and returns 0.
float KeyfloatKeyAccess(KeyfloatKey* key, int write, float* x, float* y, float* z, float* tension,
                        float* continuity, float* bias);

// A new list with every field copied and the links rebuilt; null for an empty curve or
// when memory runs out (a partial copy is freed).
KeyfloatKey* KeyfloatCopy(const KeyfloatKey* first);
// Frees every key of the list.
void KeyfloatFree(KeyfloatKey* first);

// Unlinks and frees key; returns the new first key. A key that cannot belong to the list
// (no predecessor yet not the first key) leaves the list unchanged.
KeyfloatKey* KeyfloatKeyRemove(KeyfloatKey* first, KeyfloatKey* key);

// Re-positions key at time t: linked before the first key at or after t, or last. With
// replace, keys with time in [t, t + 0.0001) are removed first. Returns 1, or 0 (nothing
// changed) for an invalid time or a key that cannot belong to the list.
int KeyfloatKeyMove(KeyfloatKey** first, KeyfloatKey* key, float t, int replace);

// Stable sort by time, then merges neighbours closer than epsilon: a key carrying a bit
// of mask wins over its neighbour; with mask 0 a successor with no flags goes.
void KeyfloatSortMerge(KeyfloatKey** first, float epsilon, uint8_t mask);

// The first key with from <= time < to, or null.
KeyfloatKey* KeyfloatFindInRange(const KeyfloatKey* first, float from, float to);

// Index (0..2) of the first of the curve's components whose value at t1 lies in
// [low, high]; failing that the first whose value at t2 does; else -1.
int KeyfloatHitComponent(const KeyfloatKey* first, float t1, float low, float t2, float high);

// Evaluation caches where it found its last segment, per thread. Every operation above
// that links, unlinks, frees or re-times keys tells the cache; code that changes a key's
// time, links or LOOP flag directly must call KeyfloatEdited() afterwards, and curves are
// freed only through KeyfloatFree and KeyfloatKeyRemove.
void KeyfloatEdited();
uint64_t KeyfloatEditGeneration();

}  // namespace lumetra::anim
