// Curve list operations: copy, free, insert, remove, move, sort and merge, searches.
#include <algorithm>
#include <atomic>
#include <cmath>
#include <new>

#include "anim/keyfloat.h"

namespace lumetra::anim {

namespace {

std::atomic<uint64_t> g_edit_generation{1};

int8_t ClampComponents(int8_t n) {
  return std::clamp<int8_t>(n, 1, 3);
}

// Links key in after prev (or as the first key when prev is null).
void LinkAfter(KeyfloatKey** first, KeyfloatKey* prev, KeyfloatKey* key) {
  key->prev = prev;
  key->next = prev ? prev->next : *first;
  if (key->next) key->next->prev = key;
  (prev ? prev->next : *first) = key;
}

void Unlink(KeyfloatKey** first, KeyfloatKey* key) {
  (key->prev ? key->prev->next : *first) = key->next;
  if (key->next) key->next->prev = key->prev;
  key->next = key->prev = nullptr;
}

// A key with no predecessor is the head of a list: only the first key may be one.
bool MayBelong(const KeyfloatKey* first, const KeyfloatKey* key) {
  return key != nullptr && first != nullptr && (key->prev != nullptr || key == first);
}

void StoreValues(KeyfloatKey* key, float x, float y, float z) {
  key->x = x;
  key->y = y;
  key->z = z;
}

// Stable merge of two next-chains sorted by time; an equal time keeps a's key first.
KeyfloatKey* MergeChains(KeyfloatKey* a, KeyfloatKey* b) {
  KeyfloatKey head{};
  KeyfloatKey* tail = &head;
  while (a && b) {
    if (b->time < a->time) {
      tail->next = b;
      b = b->next;
    } else {
      tail->next = a;
      a = a->next;
    }
    tail = tail->next;
  }
  tail->next = a ? a : b;
  return head.next;
}

}  // namespace

void KeyfloatEdited() {
  g_edit_generation.fetch_add(1, std::memory_order_acq_rel);
}

uint64_t KeyfloatEditGeneration() {
  return g_edit_generation.load(std::memory_order_acquire);
}

KeyfloatKey* KeyfloatCopy(const KeyfloatKey* first) {
  KeyfloatKey* head = nullptr;
  KeyfloatKey* tail = nullptr;
  for (const KeyfloatKey* k = first; k != nullptr; k = k->next) {
    auto* copy = new (std::nothrow) KeyfloatKey(*k);
    if (copy == nullptr) {
      KeyfloatFree(head);
      return nullptr;
    }
    copy->next = nullptr;
    copy->prev = tail;
    (tail ? tail->next : head) = copy;
    tail = copy;
  }
  return head;
}

void KeyfloatFree(KeyfloatKey* first) {
  if (first == nullptr) return;
  KeyfloatEdited();
  while (first != nullptr) {
    KeyfloatKey* next = first->next;
    delete first;
    first = next;
  }
}

KeyfloatKey* KeyfloatKeySet(KeyfloatKey** first, float t, int8_t components, float x, float y,
                            float z) {
  if (first == nullptr || !KeyfloatTimeValid(t)) return nullptr;
  const float eps = kKeyfloatSetEpsilon;
  KeyfloatKey* loop = nullptr;
  KeyfloatKey* k = *first;
  while (k && !(k->time >= t - eps)) {
    if (!loop && (k->flags & KEYFLOAT_FLAG_LOOP)) loop = k;
    k = k->next;
  }
  if (k && std::fabs(k->time - t) < eps) {
    KeyfloatKey* target = (k->flags & KEYFLOAT_FLAG_LOOP) ? *first : k;
    StoreValues(target, x, y, z);
    return target;
  }
  if (loop) {
    KeyfloatKey* head = *first;
    const float period = loop->time - head->time;
    // The loop key stands for the first key: a degenerate loop or a time that folds onto
    // the loop key updates the first key, whose values the curve actually uses.
    if (period < eps) {
      StoreValues(head, x, y, z);
      return head;
    }
    t = t - std::trunc((t - head->time) / period) * period;
    if (t < head->time) t = head->time;
    k = *first;
    while (k && !(k->time >= t - eps)) k = k->next;
    if (k && std::fabs(k->time - t) < eps) {
      KeyfloatKey* target = (k == loop || (k->flags & KEYFLOAT_FLAG_LOOP)) ? head : k;
      StoreValues(target, x, y, z);
      return target;
    }
    if (t >= loop->time - eps) {
      StoreValues(head, x, y, z);
      return head;
    }
  }
  auto* key = new (std::nothrow) KeyfloatKey{};
  if (key == nullptr) return nullptr;
  key->time = t;
  key->components = ClampComponents(components);
  StoreValues(key, x, y, z);
  KeyfloatKey* after = nullptr;
  for (KeyfloatKey* p = *first; p && p->time <= t; p = p->next) after = p;
  KeyfloatEdited();
  LinkAfter(first, after, key);
  return key;
}

KeyfloatKey* KeyfloatNearestKey(const KeyfloatKey* first, float t) {
  const KeyfloatKey* best = first;
  double best_distance = first ? std::fabs(double(first->time) - double(t)) : 0.0;
  for (const KeyfloatKey* k = first ? first->next : nullptr; k; k = k->next) {
    const double distance = std::fabs(double(k->time) - double(t));
    if (distance < best_distance) {
      best = k;
      best_distance = distance;
    }
  }
  return const_cast<KeyfloatKey*>(best);
}

float KeyfloatKeyAccess(KeyfloatKey* key, int write, float* x, float* y, float* z, float* tension,
                        float* continuity, float* bias) {
  float zero = 0.f;
  float* fields[6] = {&zero, &zero, &zero, &zero, &zero, &zero};
  if (key) {
    fields[0] = &key->x;
    fields[1] = &key->y;
    fields[2] = &key->z;
    fields[3] = &key->tension;
    fields[4] = &key->continuity;
    fields[5] = &key->bias;
  }
  float* given[6] = {x, y, z, tension, continuity, bias};
  for (int i = 0; i < 6; ++i) {
    if (given[i] == nullptr) continue;
    if (!write) {
      *given[i] = *fields[i];
    } else if (key) {
      *fields[i] = *given[i];
    }
  }
  return key ? key->time : 0.f;
}

KeyfloatKey* KeyfloatKeyRemove(KeyfloatKey* first, KeyfloatKey* key) {
  if (!MayBelong(first, key)) return first;
  KeyfloatEdited();
  Unlink(&first, key);
  delete key;
  return first;
}

int KeyfloatKeyMove(KeyfloatKey** first, KeyfloatKey* key, float t, int replace) {
  if (first == nullptr || !MayBelong(*first, key) || !KeyfloatTimeValid(t)) return 0;
  KeyfloatEdited();
  if (key == *first && key->next == nullptr) {
    key->time = t;
    return 1;
  }
  Unlink(first, key);
  if (replace) {
    const float end = t + kKeyfloatReplaceSpan;
    for (KeyfloatKey* k = *first; k;) {
      KeyfloatKey* next = k->next;
      if (k->time >= t && k->time < end) {
        Unlink(first, k);
        delete k;
      }
      k = next;
    }
  }
  KeyfloatKey* after = nullptr;
  for (KeyfloatKey* k = *first; k && !(k->time >= t); k = k->next) after = k;
  key->time = t;
  LinkAfter(first, after, key);
  return 1;
}

void KeyfloatSortMerge(KeyfloatKey** first, float epsilon, uint8_t mask) {
  if (first == nullptr || *first == nullptr) return;
  KeyfloatEdited();
  // Bottom-up merge sort on the next-chain: stable, O(n log n), needs no memory, so a
  // curve of many unsorted keys from a file cannot stall the reader.
  KeyfloatKey* list = *first;
  for (std::size_t width = 1;; width *= 2) {
    KeyfloatKey* result = nullptr;
    KeyfloatKey* tail = nullptr;
    std::size_t merges = 0;
    while (list) {
      KeyfloatKey* a = list;
      KeyfloatKey* p = a;
      for (std::size_t i = 1; i < width && p->next; ++i) p = p->next;
      KeyfloatKey* b = p->next;
      p->next = nullptr;
      p = b;
      for (std::size_t i = 1; i < width && p && p->next; ++i) p = p->next;
      list = p ? p->next : nullptr;
      if (p) p->next = nullptr;
      KeyfloatKey* merged = MergeChains(a, b);
      (tail ? tail->next : result) = merged;
      tail = merged;
      while (tail->next) tail = tail->next;
      ++merges;
    }
    list = result;
    if (merges <= 1) break;
  }
  KeyfloatKey* prev = nullptr;
  for (KeyfloatKey* k = list; k; k = k->next) {
    k->prev = prev;
    prev = k;
  }
  *first = list;

  KeyfloatKey* k = *first;
  while (k && k->next) {
    KeyfloatKey* n = k->next;
    if (!(n->time - k->time < epsilon)) {
      k = n;
    } else if (k->flags & mask) {
      Unlink(first, n);
      delete n;
    } else if (n->flags & mask) {
      Unlink(first, k);
      delete k;
      k = n;
    } else if (mask == 0 && n->flags == 0) {
      Unlink(first, n);
      delete n;
    } else {
      k = n;
    }
  }
}

KeyfloatKey* KeyfloatFindInRange(const KeyfloatKey* first, float from, float to) {
  for (const KeyfloatKey* k = first; k; k = k->next) {
    if (from <= k->time && k->time < to) return const_cast<KeyfloatKey*>(k);
  }
  return nullptr;
}

}  // namespace lumetra::anim
