// A view of 4-byte pixels (blue, green, red, alpha in memory order), rows bottom-up as
// pictures store them; the kernels see only this, never a picture record.
#pragma once

#include <cstddef>
#include <cstdint>

namespace lumetra::effects {

struct ImageView {
  uint8_t* base = nullptr;  // row 0
  std::ptrdiff_t stride = 0;  // bytes from one row to the next
  int32_t width = 0;
  int32_t height = 0;

  uint8_t* Row(int32_t y) const { return base + static_cast<std::ptrdiff_t>(y) * stride; }
};

struct ConstImageView {
  const uint8_t* base = nullptr;
  std::ptrdiff_t stride = 0;
  int32_t width = 0;
  int32_t height = 0;

  ConstImageView() = default;
  ConstImageView(const uint8_t* b, std::ptrdiff_t s, int32_t w, int32_t h)
      : base(b), stride(s), width(w), height(h) {}
  ConstImageView(const ImageView& v)  // NOLINT: a writable view reads as well
      : base(v.base), stride(v.stride), width(v.width), height(v.height) {}

  const uint8_t* Row(int32_t y) const { return base + static_cast<std::ptrdiff_t>(y) * stride; }
};

inline bool ViewUsable(const ConstImageView& v) {
  return v.base != nullptr && v.width > 0 && v.height > 0 &&
         v.stride >= static_cast<std::ptrdiff_t>(v.width) * 4;
}

// What a kernel call ended with.
enum class KernelStatus { kOk, kNoMemory, kAborted };

// Asked between row chunks on the calling thread with the fraction of rows done; true
// stops the kernel.
struct AbortCheck {
  bool (*fn)(void* context, double progress) = nullptr;
  void* context = nullptr;

  bool operator()(double progress) const { return fn != nullptr && fn(context, progress); }
};

}  // namespace lumetra::effects
