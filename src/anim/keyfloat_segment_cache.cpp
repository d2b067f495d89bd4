// The per-thread index of long curves that keeps evaluation O(1) for nearby times and
// O(log n) otherwise.
//
// Render threads evaluate the same curves lock-free and the curve is a plain linked list
// owned by clip data, so the index is private to each thread and is keyed by the head
// pointer together with the global edit generation. Every operation that links, unlinks,
// frees or re-times keys bumps that generation, so an index whose generation still
// matches describes a list in which no key was freed since: its key pointers are alive
// and a head pointer reused by a new list can never match an old index.
#include "anim/keyfloat_segment_cache.h"

#include <algorithm>
#include <array>
#include <cstdint>
#include <new>
#include <vector>

#include "anim/keyfloat.h"

namespace lumetra::anim::detail {

struct ThreadCurveIndex {
  uint64_t generation = 0;
  const KeyfloatKey* head = nullptr;
  const KeyfloatKey* end = nullptr;
  bool loop = false;
  std::vector<const KeyfloatKey*> keys;  // first .. end inclusive, ascending by time
  std::vector<float> times;              // their times, contiguous for the search
  std::size_t hint = 0;                  // index of the segment end found last
  uint64_t last_use = 0;
};

namespace {

// Two-way set-associative: a clip's handful of curves rarely evict each other.
constexpr std::size_t kSets = 16;
constexpr std::size_t kWays = 2;

struct ThreadCache {
  std::array<ThreadCurveIndex, kSets * kWays> entries;
  uint64_t clock = 0;
};

thread_local ThreadCache t_cache;

std::size_t SetOf(const KeyfloatKey* head) {
  auto p = reinterpret_cast<std::uintptr_t>(head);
  p ^= p >> 7;
  p ^= p >> 13;
  return (p >> 4) % kSets;
}

// Builds the index into slot; false (slot left empty) when the keys are not in ascending
// order or memory runs out, and the caller walks instead.
bool Build(ThreadCurveIndex& slot, const KeyfloatKey* first, const KeyfloatKey* end, bool loop,
           std::size_t count, uint64_t generation) {
  slot.head = nullptr;
  try {
    slot.keys.resize(count);
    slot.times.resize(count);
  } catch (const std::bad_alloc&) {
    slot.keys = {};
    slot.times = {};
    return false;
  }
  std::size_t i = 0;
  for (const KeyfloatKey* k = first;; k = k->next) {
    slot.keys[i] = k;
    slot.times[i] = k->time;
    if (i > 0 && !(slot.times[i - 1] <= k->time)) return false;
    ++i;
    if (k == end) break;
  }
  slot.generation = generation;
  slot.head = first;
  slot.end = end;
  slot.loop = loop;
  slot.hint = 0;
  return true;
}

}  // namespace

SegmentLocator::SegmentLocator(const KeyfloatKey* first, bool use_cache) : first_(first) {
  ThreadCache* cache = nullptr;
  std::size_t set = 0;
  uint64_t generation = 0;
  if (use_cache) {
    cache = &t_cache;
    set = SetOf(first) * kWays;
    generation = KeyfloatEditGeneration();
    for (std::size_t way = 0; way < kWays; ++way) {
      ThreadCurveIndex& e = cache->entries[set + way];
      if (e.head == first && e.generation == generation) {
        e.last_use = ++cache->clock;
        index_ = &e;
        end_ = e.end;
        loop_ = e.loop;
        return;
      }
    }
  }
  std::size_t count = 1;
  const KeyfloatKey* k = first->next;
  for (; k != nullptr; k = k->next) {
    ++count;
    if ((k->flags & KEYFLOAT_FLAG_LOOP) || k->next == nullptr) break;
  }
  end_ = k != nullptr ? k : first;
  loop_ = k != nullptr && (k->flags & KEYFLOAT_FLAG_LOOP);
  if (cache == nullptr || count < kIndexMinKeys) return;

  ThreadCurveIndex* victim = &cache->entries[set];
  for (std::size_t way = 1; way < kWays; ++way) {
    ThreadCurveIndex& e = cache->entries[set + way];
    if (victim->head != first && (e.head == first || e.last_use < victim->last_use)) victim = &e;
  }
  if (Build(*victim, first, end_, loop_, count, generation)) {
    victim->last_use = ++cache->clock;
    index_ = victim;
  }
}

const KeyfloatKey* SegmentLocator::SegmentEnd(float t) {
  if (index_ != nullptr) {
    const std::vector<float>& times = index_->times;
    const std::size_t n = times.size();
    std::size_t i = index_->hint;
    auto is_end = [&](std::size_t j) { return times[j] >= t && (j == 0 || times[j - 1] < t); };
    if (!is_end(i)) {
      if (i + 1 < n && is_end(i + 1)) {
        ++i;
      } else if (times[n - 1] < t) {
        i = n - 1;
      } else {
        i = static_cast<std::size_t>(std::lower_bound(times.begin(), times.end(), t) -
                                     times.begin());
      }
    }
    // Answer from the keys themselves: a key re-timed or re-linked without telling the
    // cache drops the index instead of giving a wrong segment.
    const KeyfloatKey* c = index_->keys[i];
    const KeyfloatKey* before = i > 0 ? index_->keys[i - 1] : nullptr;
    if (c->time == times[i] && c->prev == before &&
        (before == nullptr || before->time == times[i - 1])) {
      index_->hint = i;
      return c;
    }
    index_->head = nullptr;
    index_ = nullptr;
  }
  const KeyfloatKey* k = first_;
  while (k != end_ && !(k->time >= t)) k = k->next;
  return k;
}

}  // namespace lumetra::anim::detail
