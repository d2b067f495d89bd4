// Picture records: create, copy, free, the live-picture counter and the checks every
// picture operation makes on the pictures it is given.
#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>

#include "plugin/lumetra_plugin.h"

namespace lumetra::render {

// The header's 16-bit fields bound every side.
inline constexpr int32_t kPicMaxSide = 32767;

// Live pictures: made by PicCreate, PicCopy, PicScale, PicDeinterlaceCopy,
// PicPlaceInRect and PicFromBitmap, less those freed.
int32_t PicCount();

// A zeroed picture at (0, 0) with tag 0; null with PIC_ERROR_MEMORY for a side outside
// 1..kPicMaxSide or when memory runs out.
PIC* PicCreate(int32_t width, int32_t height);
// The same header (tag included) over a copy of the pixels; null with PIC_ERROR_NULL for
// no usable picture, PIC_ERROR_MEMORY when memory runs out.
PIC* PicCopy(const PIC* pic);
// Releases the pixels and the header; null does nothing. A picture this module did not make
// (or freed already) is refused: false, PIC_ERROR_NULL, nothing touched.
bool PicFree(PIC* pic);
// True for a picture made here and not freed yet.
bool PicIsLive(const PIC* pic);
// A zeroed pixel buffer from the host's recorded allocator (what MemoryRelease frees).
void* PicBufferAlloc(std::size_t bytes);
// Releases a converted pixel buffer (PicToRgb24 and the like); null does nothing. False for
// a buffer the host did not hand out.
bool PicBufferFree(void* buffer);

// A picture an operation can read: present, both sides in 1..kPicMaxSide, pixels present.
inline bool PicUsable(const PIC* pic) {
  return pic != nullptr && pic->pixels != nullptr && pic->width > 0 && pic->height > 0;
}
inline std::size_t PicRowBytes(const PIC& pic) {
  return static_cast<std::size_t>(pic.width) * 4;
}
inline uint8_t* PicRow(const PIC& pic, int32_t row) {
  return pic.pixels + static_cast<std::size_t>(row) * PicRowBytes(pic);
}

struct PicDeleter {
  void operator()(PIC* pic) const { PicFree(pic); }
};
using PicPtr = std::unique_ptr<PIC, PicDeleter>;

}  // namespace lumetra::render
