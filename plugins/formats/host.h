// The host services the format library uses, copied once from the table the host hands to
// ZOLT_GetLibInfo, and the small result type every codec answers with.
#pragma once

#include <cstdint>
#include <string>

#include "lumetra/plugin.h"

namespace formats {

// Sides above this are refused before any allocation (the host's picture limit).
inline constexpr int32_t kMaxPictureSide = 4096;

// A codec's outcome: PIC_OK, or a code of the picture error vocabulary and a detail text.
struct Status {
  int32_t code = PIC_OK;
  std::string detail;
  bool ok() const { return code == PIC_OK; }
  static Status Ok() { return {}; }
  static Status Error(int32_t code, std::string detail) { return {code, std::move(detail)}; }
};

// The English message of a picture error code.
const char* PicErrorMessage(int32_t code);

// Copies the table; a null table leaves every service empty.
void HostCopy(const HostServiceTable* table);
const HostServiceTable& Host();

// Thin callers: an empty slot answers as a failed service would.
void HostReportError(HostCallContext* ctx, const std::string& text);
// "<message of the code>: <detail>" on the context.
void HostReportStatus(HostCallContext* ctx, const Status& status);
PIC* HostPicCreate(int32_t width, int32_t height);
void HostPicFree(PIC* pic);
SoundBlock* HostSoundCreate(float start, float end, int32_t rate, int32_t bytes,
                            int32_t channels);
void HostSoundFree(SoundBlock* block);
void* HostMemoryAllocate(size_t size);
void HostMemoryRelease(void* block);
uint16_t* HostPicToRgb555Fit(const PIC* pic, int32_t width, int32_t height);
// Integer, float and text answers of ClipGetValue; false when not answered.
bool HostGetInt(HostCallContext* ctx, const char* key, int32_t index, int32_t* value);
bool HostGetFloat(HostCallContext* ctx, const char* key, int32_t index, float* value);
// Frames per second of the output session (its "OutputTimeBase"), else of the project.
double HostFrameRate(HostCallContext* ctx);

// Whether a picture of that size may be made; else the code and a static detail text.
bool PictureFits(int32_t width, int32_t height, int32_t* code, const char** detail);
// A picture checked against the limit: the host's PicCreate, or null and a status.
PIC* NewPicture(int32_t width, int32_t height, Status* status);

// Row y counted from the top of the image (pictures store rows bottom-up).
inline uint8_t* TopRow(PIC* pic, int32_t y) {
  return pic->pixels + static_cast<size_t>(pic->height - 1 - y) * pic->width * 4;
}
inline const uint8_t* TopRow(const PIC* pic, int32_t y) {
  return pic->pixels + static_cast<size_t>(pic->height - 1 - y) * pic->width * 4;
}

// Owns a picture until it is handed to the host.
class PicOwner {
 public:
  explicit PicOwner(PIC* pic = nullptr) : pic_(pic) {}
  ~PicOwner() { HostPicFree(pic_); }
  PicOwner(const PicOwner&) = delete;
  PicOwner& operator=(const PicOwner&) = delete;
  PIC* get() const { return pic_; }
  PIC* release() {
    PIC* p = pic_;
    pic_ = nullptr;
    return p;
  }
  void reset(PIC* pic) {
    HostPicFree(pic_);
    pic_ = pic;
  }

 private:
  PIC* pic_;
};

// Runs body; no exception leaves it ("No memory" for bad_alloc).
template <typename Result, typename Body>
Result Guarded(HostCallContext* ctx, Result failure, Body&& body) noexcept {
  try {
    return body();
  } catch (const std::bad_alloc&) {
    HostReportError(ctx, "No memory");
  } catch (...) {
    HostReportError(ctx, "Format special error");
  }
  return failure;
}

}  // namespace formats
