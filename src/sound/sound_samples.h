// Reading and writing one sample of each width as a plain signed value (8-bit samples
// centred on 0), and the 32-bit intermediate every width conversion goes through.
#pragma once

#include <cstdint>

namespace lumetra::sound::samples {

// The sample's own value: 8-bit -128..127, 16-bit, 24-bit, 32-bit, all signed.
template <int W>
inline int32_t Load(const uint8_t* p) {
  if constexpr (W == 1) {
    return static_cast<int32_t>(p[0]) - 128;
  } else if constexpr (W == 2) {
    return static_cast<int16_t>(static_cast<uint16_t>(p[0] | p[1] << 8));
  } else if constexpr (W == 3) {
    const uint32_t u = static_cast<uint32_t>(p[0]) << 8 | static_cast<uint32_t>(p[1]) << 16 |
                       static_cast<uint32_t>(p[2]) << 24;
    return static_cast<int32_t>(u) / 256;  // exact: the low byte is 0
  } else {
    return static_cast<int32_t>(static_cast<uint32_t>(p[0]) | static_cast<uint32_t>(p[1]) << 8 |
                                static_cast<uint32_t>(p[2]) << 16 |
                                static_cast<uint32_t>(p[3]) << 24);
  }
}

template <int W>
inline void Store(uint8_t* p, int32_t v) {
  if constexpr (W == 1) {
    p[0] = static_cast<uint8_t>(v + 128);
  } else if constexpr (W == 2) {
    const auto u = static_cast<uint16_t>(v);
    p[0] = static_cast<uint8_t>(u);
    p[1] = static_cast<uint8_t>(u >> 8);
  } else if constexpr (W == 3) {
    const auto u = static_cast<uint32_t>(v);
    p[0] = static_cast<uint8_t>(u);
    p[1] = static_cast<uint8_t>(u >> 8);
    p[2] = static_cast<uint8_t>(u >> 16);
  } else {
    const auto u = static_cast<uint32_t>(v);
    p[0] = static_cast<uint8_t>(u);
    p[1] = static_cast<uint8_t>(u >> 8);
    p[2] = static_cast<uint8_t>(u >> 16);
    p[3] = static_cast<uint8_t>(u >> 24);
  }
}

// The value scaled to the full 32-bit range: value * 2^(32 - 8W), by multiplication so
// that negative values are defined (a left shift of a negative value is not before C++20's
// rules and reads as a fault to sanitizers and readers alike).
template <int W>
inline int32_t ToIntermediate(int32_t v) {
  if constexpr (W == 4) {
    return v;
  } else {
    return static_cast<int32_t>(static_cast<int64_t>(v) * (int64_t{1} << (32 - 8 * W)));
  }
}

// Back to width W: the top bits, rounded toward zero (so -1 gives 0, not -1).
template <int W>
inline int32_t FromIntermediate(int32_t x) {
  if constexpr (W == 4) {
    return x;
  } else {
    return x / (int32_t{1} << (32 - 8 * W));
  }
}

// Calls fn.template operator()<W>() for the width 1 to 4; false for another width.
template <typename Fn>
inline bool WithWidth(uint32_t width, Fn&& fn) {
  switch (width) {
    case 1: fn.template operator()<1>(); return true;
    case 2: fn.template operator()<2>(); return true;
    case 3: fn.template operator()<3>(); return true;
    case 4: fn.template operator()<4>(); return true;
    default: return false;
  }
}

}  // namespace lumetra::sound::samples
