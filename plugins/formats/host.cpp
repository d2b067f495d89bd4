#include "host.h"

#include <new>

namespace formats {
namespace {

HostServiceTable g_table{};

constexpr const char* kMessages[] = {
    "Error info not available (TLS error)",
    "Pic operation OK",
    "Pic Memory allocation error",
    "Bitmap corrupted",
    "Illegal pixel depth",
    "Not supported image format type",
    "File open error",
    "File does not contain color map",
    "File create error",
    "File write error",
    "File read error",
    "Format special error",
    "Image format not supported",
    "PIC is NULL",
};

}  // namespace

const char* PicErrorMessage(int32_t code) {
  if (code < 0 || code >= static_cast<int32_t>(std::size(kMessages))) return kMessages[0];
  return kMessages[code];
}

void HostCopy(const HostServiceTable* table) { g_table = table ? *table : HostServiceTable{}; }

const HostServiceTable& Host() { return g_table; }

void HostReportError(HostCallContext* ctx, const std::string& text) {
  if (g_table.ClipReportError && ctx) g_table.ClipReportError(ctx, text.c_str());
}

void HostReportStatus(HostCallContext* ctx, const Status& status) {
  std::string text = PicErrorMessage(status.code);
  if (!status.detail.empty()) text += ": " + status.detail;
  HostReportError(ctx, text);
}

PIC* HostPicCreate(int32_t width, int32_t height) {
  return g_table.PicCreate ? g_table.PicCreate(width, height) : nullptr;
}

void HostPicFree(PIC* pic) {
  if (pic && g_table.PicFree) g_table.PicFree(pic);
}

SoundBlock* HostSoundCreate(float start, float end, int32_t rate, int32_t bytes,
                            int32_t channels) {
  return g_table.SoundCreate ? g_table.SoundCreate(start, end, rate, bytes, channels) : nullptr;
}

void HostSoundFree(SoundBlock* block) {
  if (block && g_table.SoundFree) g_table.SoundFree(block);
}

void* HostMemoryAllocate(size_t size) {
  return g_table.MemoryAllocate ? g_table.MemoryAllocate(size) : nullptr;
}

void HostMemoryRelease(void* block) {
  if (block && g_table.MemoryRelease) g_table.MemoryRelease(block);
}

uint16_t* HostPicToRgb555Fit(const PIC* pic, int32_t width, int32_t height) {
  return g_table.PicToRgb555Fit ? g_table.PicToRgb555Fit(pic, width, height) : nullptr;
}

bool HostGetInt(HostCallContext* ctx, const char* key, int32_t index, int32_t* value) {
  if (!g_table.ClipGetValue || !ctx) return false;
  intptr_t v = 0;
  int32_t word = 0;
  float f = 0;
  if (g_table.ClipGetValue(ctx, key, index, &v, &word, &f, nullptr, 0) == 0) return false;
  *value = static_cast<int32_t>(v);
  return true;
}

bool HostGetFloat(HostCallContext* ctx, const char* key, int32_t index, float* value) {
  if (!g_table.ClipGetValue || !ctx) return false;
  intptr_t v = 0;
  int32_t word = 0;
  float f = 0;
  if (g_table.ClipGetValue(ctx, key, index, &v, &word, &f, nullptr, 0) == 0) return false;
  *value = f != 0 ? f : static_cast<float>(v);
  return true;
}

double HostFrameRate(HostCallContext* ctx) {
  float rate = 0;
  if (HostGetFloat(ctx, "OutputTimeBase", 0, &rate) && rate > 0 && rate <= 1000) return rate;
  const int32_t project = g_table.ProjectFrameRate ? g_table.ProjectFrameRate() : 0;
  return project > 0 && project <= 1000 ? project : 25;
}

bool PictureFits(int32_t width, int32_t height, int32_t* code, const char** detail) {
  if (width < 1 || height < 1) {
    *code = PIC_ERROR_BITMAP_CORRUPTED;
    *detail = "empty image";
    return false;
  }
  if (width > kMaxPictureSide || height > kMaxPictureSide) {
    *code = PIC_ERROR_MEMORY;
    *detail = "image larger than 4096 x 4096";
    return false;
  }
  return true;
}

PIC* NewPicture(int32_t width, int32_t height, Status* status) {
  if (width < 1 || height < 1) {
    *status = Status::Error(PIC_ERROR_BITMAP_CORRUPTED, "empty image");
    return nullptr;
  }
  if (width > kMaxPictureSide || height > kMaxPictureSide) {
    *status = Status::Error(PIC_ERROR_MEMORY, "image of " + std::to_string(width) + " x " +
                                                  std::to_string(height) +
                                                  " is larger than 4096 x 4096");
    return nullptr;
  }
  PIC* pic = HostPicCreate(width, height);
  if (pic == nullptr) *status = Status::Error(PIC_ERROR_MEMORY, "no picture");
  return pic;
}

}  // namespace formats
