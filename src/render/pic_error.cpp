// Picture error codes: one per thread, read by callers to word their own messages.
#include "render/pic_error.h"

#include <atomic>
#include <iterator>

#include "plugin/lumetra_plugin.h"

namespace lumetra::render {

namespace {

std::atomic<bool> g_slot_ready{false};
thread_local int32_t t_code = PIC_ERROR_NO_INFO;

constexpr const char* kTexts[] = {
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
static_assert(std::size(kTexts) == PIC_ERROR_NULL + 1);

}  // namespace

void PicInit() {
  g_slot_ready.store(true, std::memory_order_release);
  t_code = PIC_OK;
}

void PicSetError(int32_t code) {
  if (g_slot_ready.load(std::memory_order_acquire)) t_code = code;
}

int32_t PicLastError() {
  return g_slot_ready.load(std::memory_order_acquire) ? t_code : PIC_ERROR_NO_INFO;
}

const char* PicErrorTextOf(int32_t code) {
  return code >= 0 && code < static_cast<int32_t>(std::size(kTexts)) ? kTexts[code] : kTexts[0];
}

const char* PicErrorText() {
  return PicErrorTextOf(PicLastError());
}

}  // namespace lumetra::render
