// Curve evaluation: TCB Hermite segments with easing and the LOOP key, and component picking.
#include <algorithm>
#include <cmath>

#include "anim/keyfloat.h"
#include "anim/keyfloat_segment_cache.h"

namespace lumetra::anim {

namespace {

float Component(const KeyfloatKey* k, int i) {
  return i == 0 ? k->x : i == 1 ? k->y : k->z;
}

int ComponentCount(const KeyfloatKey* first) {
  return std::clamp<int>(first->components, 1, 3);
}

void Write(float* x, float* y, float* z, float vx, float vy, float vz) {
  if (x) *x = vx;
  if (y) *y = vy;
  if (z) *z = vz;
}

void WriteKey(const KeyfloatKey* k, float* x, float* y, float* z) {
  Write(x, y, z, k->x, k->y, k->z);
}

void Evaluate(const KeyfloatKey* first, float t, float* x, float* y, float* z, bool use_cache) {
  if (first == nullptr) {
    Write(x, y, z, 0.f, 0.f, 0.f);
    return;
  }
  // At and before its first key a curve holds the first key's values, looped or not:
  // folding such a time into a loop lands at the loop's end only up to a float step, and a
  // step short of it interpolates a value a little off the first key's. A NaN time has no
  // place on the curve and holds them too.
  if (first->next == nullptr || t <= first->time || (first->flags & KEYFLOAT_FLAG_LOOP) ||
      std::isnan(t)) {
    WriteKey(first, x, y, z);
    return;
  }
  detail::SegmentLocator locator(first, use_cache);
  const KeyfloatKey* end = locator.End();
  const bool loop = locator.Loop();

  if (loop && t > end->time) {
    const float period = end->time - first->time;
    // A loop of no length (or an infinite time) repeats nothing: the curve holds the
    // loop's values, which are the first key's.
    if (!(period > 0.f) || !std::isfinite(period) || !std::isfinite(t)) {
      WriteKey(first, x, y, z);
      return;
    }
    const float u = (t - first->time) / period;
    const float f = u - std::trunc(u);
    t = first->time + f * period;
  }

  const KeyfloatKey* c = locator.SegmentEnd(t);
  const bool c_is_loop = loop && c == end;
  const KeyfloatKey* s = c->prev;
  if (c->time <= t || s == nullptr) {
    WriteKey(c_is_loop ? first : c, x, y, z);
    return;
  }

  // Values of a key as the curve sees them: the LOOP key stands for the first key.
  auto value = [&](const KeyfloatKey* k, int i) {
    return static_cast<double>(Component(loop && k == end ? first : k, i));
  };
  const KeyfloatKey* s_prev = s->prev ? s->prev : (loop ? end->prev : nullptr);
  const KeyfloatKey* c_next = c_is_loop ? first->next : c->next;

  const double frac = (static_cast<double>(t) - s->time) / (static_cast<double>(c->time) - s->time);
  const double a = s->ease_from;
  const double b = c->ease_to;
  const double eased =
      static_cast<float>(((-(a + b) * frac + (2.0 * a + b)) * frac + (1.0 - a)) * frac);

  const double ts_scale = 0.5 * (1.0 + static_cast<double>(s->tension));
  const double ks = s->continuity, bs = s->bias;
  const double td_scale = 0.5 * (1.0 + static_cast<double>(c->tension));
  const double kc = c->continuity, bc = c->bias;

  float out[3];
  const int n = ComponentCount(first);
  for (int i = 0; i < n; ++i) {
    const double sv = value(s, i);
    const double d = value(c, i) - sv;
    const double d_in = s_prev ? sv - value(s_prev, i) : 0.0;
    const double d_out = c_next ? value(c_next, i) - value(c, i) : 0.0;
    const double tan_s =
        static_cast<float>(ts_scale * ((d + d_in) * (1.0 + ks * bs) - (d_in - d) * (ks + bs)));
    const double tan_d =
        static_cast<float>(td_scale * ((d - d_out) * (kc - bc) + (d + d_out) * (1.0 - kc * bc)));
    const double a3 = tan_s + tan_d - 2.0 * d;
    const double a2 = 0.5 * (-3.0 * a3 - tan_s + tan_d);
    out[i] = static_cast<float>(((a3 * eased + a2) * eased + tan_s) * eased + sv);
  }
  float* dest[3] = {x, y, z};
  for (int i = 0; i < n; ++i) {
    if (dest[i]) *dest[i] = out[i];
  }
}

}  // namespace

void KeyfloatEvaluate(const KeyfloatKey* first, float t, float* x, float* y, float* z) {
  Evaluate(first, t, x, y, z, true);
}

void detail::KeyfloatEvaluateUncached(const KeyfloatKey* first, float t, float* x, float* y,
                                      float* z) {
  Evaluate(first, t, x, y, z, false);
}

int KeyfloatHitComponent(const KeyfloatKey* first, float t1, float low, float t2, float high) {
  if (first == nullptr) return -1;
  const int n = ComponentCount(first);
  for (float t : {t1, t2}) {
    float v[3] = {0.f, 0.f, 0.f};
    KeyfloatEvaluate(first, t, &v[0], &v[1], &v[2]);
    for (int i = 0; i < n; ++i) {
      if (low <= v[i] && v[i] <= high) return i;
    }
  }
  return -1;
}

}  // namespace lumetra::anim
