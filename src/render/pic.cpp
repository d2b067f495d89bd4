// Picture records and the live-picture counter.
#include "render/pic.h"

#include <atomic>
#include <cstdlib>
#include <cstring>

#include "platform/tracked_memory.h"
#include "render/pic_error.h"

namespace lumetra::render {

namespace {
std::atomic<int32_t> g_live{0};
}  // namespace

int32_t PicCount() {
  return g_live.load(std::memory_order_relaxed);
}

PIC* PicCreate(int32_t width, int32_t height) {
  if (width <= 0 || height <= 0 || width > kPicMaxSide || height > kPicMaxSide) {
    PicSetError(PIC_ERROR_MEMORY);
    return nullptr;
  }
  // The header crosses the plug-in boundary as a C record; it is recorded so that a free
  // can refuse a picture the host never made (or one freed already).
  auto* pic = static_cast<PIC*>(platform::TrackedAlloc(sizeof(PIC), platform::BlockKind::kPicture));
  auto* pixels = static_cast<uint8_t*>(
      std::calloc(static_cast<std::size_t>(width) * static_cast<std::size_t>(height), 4));
  if (pic == nullptr || pixels == nullptr) {
    platform::TrackedRelease(pic, platform::BlockKind::kPicture);
    std::free(pixels);
    PicSetError(PIC_ERROR_MEMORY);
    return nullptr;
  }
  *pic = PIC{0, 0, static_cast<int16_t>(width), static_cast<int16_t>(height), pixels, 0.0f};
  g_live.fetch_add(1, std::memory_order_relaxed);
  PicSetError(PIC_OK);
  return pic;
}

PIC* PicCopy(const PIC* pic) {
  if (!PicUsable(pic)) {
    PicSetError(PIC_ERROR_NULL);
    return nullptr;
  }
  PIC* copy = PicCreate(pic->width, pic->height);
  if (copy == nullptr) return nullptr;
  std::memcpy(copy->pixels, pic->pixels, PicRowBytes(*pic) * static_cast<std::size_t>(pic->height));
  copy->x = pic->x;
  copy->y = pic->y;
  copy->tag = pic->tag;
  return copy;
}

bool PicIsLive(const PIC* pic) {
  return platform::TrackedSize(pic, platform::BlockKind::kPicture) != 0;
}

bool PicFree(PIC* pic) {
  if (pic == nullptr) return true;
  uint8_t* pixels = pic->pixels;
  if (!platform::TrackedRelease(pic, platform::BlockKind::kPicture)) {
    PicSetError(PIC_ERROR_NULL);
    return false;
  }
  std::free(pixels);
  g_live.fetch_sub(1, std::memory_order_relaxed);
  return true;
}

void* PicBufferAlloc(std::size_t bytes) {
  return platform::TrackedAlloc(bytes);
}

bool PicBufferFree(void* buffer) {
  return buffer == nullptr || platform::TrackedRelease(buffer);
}

}  // namespace lumetra::render
