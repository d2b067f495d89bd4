// Loads by extension: the format is looked up, its loader called.
#include "media/media_load.h"

#include "host/object_error.h"
#include "media/format_registry.h"

namespace lumetra::media {

PIC* MediaLoadImage(HostCallContext* ctx, const char* file_name, const char* layer,
                    int32_t frame) {
  if (file_name == nullptr) {
    project::ObjectReportError(ctx, kFormatNotSupported);
    return nullptr;
  }
  const InputFormat* f = InputFormatFind(FileExtension(file_name));
  if (f == nullptr) {
    project::ObjectReportError(ctx, kFormatNotSupported);
    return nullptr;
  }
  if (f->image_loader == nullptr) {
    project::ObjectReportError(ctx, kNoFormatLoader);
    return nullptr;
  }
  return f->image_loader(ctx, file_name, layer != nullptr ? layer : "", frame);
}

SoundBlock* MediaLoadSound(HostCallContext* ctx, const char* file_name, const char* layer,
                           float from, float to) {
  const InputFormat* f = file_name != nullptr ? InputFormatFind(FileExtension(file_name)) : nullptr;
  if (f == nullptr) {
    project::ObjectReportError(ctx, kFormatNotSupported);
    return nullptr;
  }
  if (f->sound_loader == nullptr) {
    project::ObjectReportError(ctx, kNoFormatLoader);
    return nullptr;
  }
  return f->sound_loader(ctx, file_name, layer != nullptr ? layer : "", from, to);
}

}  // namespace lumetra::media
