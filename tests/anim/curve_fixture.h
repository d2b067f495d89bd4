// A curve owned by a test, built key by key through KeyfloatKeySet.
#pragma once

#include <initializer_list>
#include <vector>

#include "anim/keyfloat.h"

namespace lumetra::anim::test {

struct Curve {
  KeyfloatKey* head = nullptr;

  Curve() = default;
  Curve(std::initializer_list<std::pair<float, float>> keys) {
    for (auto [t, v] : keys) Add(t, v);
  }
  Curve(const Curve&) = delete;
  Curve& operator=(const Curve&) = delete;
  ~Curve() { KeyfloatFree(head); }

  KeyfloatKey* Add(float t, float x, float y = 0.f, float z = 0.f, int8_t n = 1) {
    return KeyfloatKeySet(&head, t, n, x, y, z);
  }
  // Every key, first to last.
  std::vector<KeyfloatKey*> Keys() const {
    std::vector<KeyfloatKey*> keys;
    for (KeyfloatKey* k = head; k; k = k->next) keys.push_back(k);
    return keys;
  }
  std::vector<float> Times() const {
    std::vector<float> times;
    for (KeyfloatKey* k = head; k; k = k->next) times.push_back(k->time);
    return times;
  }
  float At(float t) const {
    float x = 0.f;
    KeyfloatEvaluate(head, t, &x, nullptr, nullptr);
    return x;
  }
};

// True when the prev links mirror the next links.
inline bool LinksConsistent(const KeyfloatKey* head) {
  const KeyfloatKey* prev = nullptr;
  for (const KeyfloatKey* k = head; k; k = k->next) {
    if (k->prev != prev) return false;
    prev = k;
  }
  return true;
}

}  // namespace lumetra::anim::test
