// The table rows whose services live above the host: thin guarded wrappers that check
// their handles and turn every failure into 0 (null) and, where there is a context, a text.
#include "media/media_services.h"

#include <cstring>
#include <new>

#include "host/service_guard.h"
#include "clipdata/template.h"
#include "host/context_clip.h"
#include "host/host_services.h"
#include "host/object_error.h"
#include "media/format_registry.h"
#include "media/media_item.h"
#include "media/media_load.h"
#include "model/render_lock.h"
#include "render/pic.h"
#include "render/pic_convert.h"
#include "render/pic_error.h"
#include "render/pic_field.h"
#include "render/pic_place.h"
#include "render/pic_scale.h"
#include "platform/ui_host.h"
#include "script/script_run.h"

namespace lumetra::media {
namespace {

// A picture the host made and has not freed; else PIC_ERROR_NULL.
bool LivePic(const PIC* pic) {
  if (render::PicIsLive(pic)) return true;
  render::PicSetError(PIC_ERROR_NULL);
  return false;
}

int32_t SvcPicDeinterlace(PIC* pic, int32_t field) {
  return project::ServiceGuard<int32_t>(nullptr, [&] { return LivePic(pic) ? render::PicDeinterlace(pic, field) : 0; });
}
PIC* SvcPicCopy(const PIC* pic) {
  return project::ServiceGuard<PIC*>(nullptr, [&] { return LivePic(pic) ? render::PicCopy(pic) : nullptr; });
}
const char* SvcPicErrorText() {
  return render::PicErrorText();
}
PIC* SvcPicCreate(int32_t width, int32_t height) {
  return project::ServiceGuard<PIC*>(nullptr, [&] { return render::PicCreate(width, height); });
}
void SvcPicFree(PIC* pic) {
  if (!render::PicFree(pic)) platform::Status("PicFree: picture not made by the host");
}
PIC* SvcPicScale(const PIC* pic, int32_t width, int32_t height) {
  return project::ServiceGuard<PIC*>(nullptr, [&] { return LivePic(pic) ? render::PicScale(pic, width, height) : nullptr; });
}
uint16_t* SvcPicToRgb555Scaled(const PIC* pic, int32_t width, int32_t height) {
  return project::ServiceGuard<uint16_t*>(nullptr, [&] {
    return LivePic(pic) ? render::PicToRgb555Scaled(pic, width, height) : nullptr;
  });
}
uint16_t* SvcPicToRgb555Fit(const PIC* pic, int32_t width, int32_t height) {
  return project::ServiceGuard<uint16_t*>(nullptr, [&] {
    return LivePic(pic) ? render::PicToRgb555Fit(pic, width, height) : nullptr;
  });
}
uint8_t* SvcPicToRgb24(const PIC* pic) {
  return project::ServiceGuard<uint8_t*>(nullptr, [&] { return LivePic(pic) ? render::PicToRgb24(pic) : nullptr; });
}
uint8_t* SvcPicToRgb24Scaled(const PIC* pic, int32_t width, int32_t height) {
  return project::ServiceGuard<uint8_t*>(nullptr, [&] {
    return LivePic(pic) ? render::PicToRgb24Scaled(pic, width, height) : nullptr;
  });
}
PIC* SvcPicDeinterlaceCopy(const PIC* pic, int32_t field) {
  return project::ServiceGuard<PIC*>(nullptr, [&] {
    return LivePic(pic) ? render::PicDeinterlaceCopy(pic, field) : nullptr;
  });
}
PIC* SvcPicPlaceInRect(const PIC* pic, const LumetraRectF* rect) {
  return project::ServiceGuard<PIC*>(nullptr, [&]() -> PIC* {
    if (!LivePic(pic)) return nullptr;
    if (rect == nullptr) {
      render::PicSetError(PIC_ERROR_NULL);
      return nullptr;
    }
    return render::PicPlaceInRect(pic, render::RectF{rect->left, rect->top, rect->right, rect->bottom});
  });
}

LumetraInputFormat SvcInputFormatGetInfo(LumetraInputFormat format, const char* key, void* out,
                                         int32_t index) {
  return project::ServiceGuard<LumetraInputFormat>(nullptr, [&] {
    return reinterpret_cast<LumetraInputFormat>(const_cast<InputFormat*>(
        InputFormatGetInfo(reinterpret_cast<const InputFormat*>(format), key, out, index)));
  });
}
LumetraInputFormat SvcInputFormatFind(const char* extension) {
  return project::ServiceGuard<LumetraInputFormat>(nullptr, [&] {
    return extension == nullptr ? nullptr
                                : reinterpret_cast<LumetraInputFormat>(
                                      const_cast<InputFormat*>(InputFormatFind(extension)));
  });
}
PIC* SvcLoadImage(HostCallContext* ctx, const char* file_name, const char* layer, int32_t frame) {
  return project::ServiceGuard<PIC*>(ctx, [&] { return MediaLoadImage(ctx, file_name, layer, frame); });
}
SoundBlock* SvcLoadSound(HostCallContext* ctx, const char* file_name, const char* layer,
                         float from, float to) {
  return project::ServiceGuard<SoundBlock*>(ctx, [&] { return MediaLoadSound(ctx, file_name, layer, from, to); });
}
void* SvcMediaItemTakeBuffer(LumetraMediaItem item, int32_t request, int32_t* width,
                             int32_t* height) {
  return project::ServiceGuard<void*>(nullptr, [&] {
    return MediaItemTakeBuffer(reinterpret_cast<MediaItem*>(item), request, width, height);
  });
}

// A field of the parameter block as text: a string pointer, or bytes held in the block.
std::string BlockText(const project::Template& tmpl, const uint8_t* block, const char* name) {
  for (int32_t type : {FIELD_TYPE_STRING, FIELD_TYPE_BYTE}) {
    const project::TemplateField* f = project::TemplateFindField(tmpl, name, type);
    if (f == nullptr) continue;
    if (type == FIELD_TYPE_STRING) {
      const char* text = nullptr;
      std::memcpy(&text, block + f->offset, sizeof text);
      return text != nullptr ? std::string(text) : std::string();
    }
    const auto* text = reinterpret_cast<const char*>(block + f->offset);
    return std::string(text, strnlen(text, f->count));
  }
  return {};
}
int32_t BlockInt(const project::Template& tmpl, const uint8_t* block, const char* name) {
  const project::TemplateField* f = project::TemplateFindField(tmpl, name, FIELD_TYPE_DWORD);
  int32_t v = 0;
  if (f != nullptr) std::memcpy(&v, block + f->offset, sizeof v);
  return v;
}
float BlockFloat(const project::Template& tmpl, const uint8_t* block, const char* name) {
  if (const project::TemplateField* f = project::TemplateFindField(tmpl, name, FIELD_TYPE_FLOAT)) {
    float v = 0.0f;
    std::memcpy(&v, block + f->offset, sizeof v);
    return v;
  }
  return static_cast<float>(BlockInt(tmpl, block, name));
}

LumetraMediaItem SvcMediaItemFromBlock(HostCallContext* ctx, LumetraTemplate t, const void* data) {
  return project::ServiceGuard<LumetraMediaItem>(ctx, [&]() -> LumetraMediaItem {
    if (!project::TemplateIsLive(t) || data == nullptr) {
      project::ObjectReportError(ctx, "No template specified");
      return nullptr;
    }
    const auto& tmpl = *reinterpret_cast<const project::Template*>(t);
    const auto* block = static_cast<const uint8_t*>(data);
    MediaItemPtr item(MediaItemCreate());
    if (item == nullptr) {
      project::ObjectReportError(ctx, "No memory");
      return nullptr;
    }
    const project::TemplateField* client =
        project::TemplateFindField(tmpl, "Client", FIELD_TYPE_DWORD);
    if (client != nullptr) {
      int32_t v = 0;
      std::memcpy(&v, block + client->offset, sizeof v);
      item->client = static_cast<uintptr_t>(static_cast<uint32_t>(v));
    }
    item->caption = BlockText(tmpl, block, "Caption");
    item->directory = BlockText(tmpl, block, "FilePath");
    item->name = BlockText(tmpl, block, "FileName");
    item->extension = BlockText(tmpl, block, "FileExt");
    item->layer = BlockText(tmpl, block, "VideoLayer");
    item->first = BlockInt(tmpl, block, "VideoBegin");
    item->last = BlockInt(tmpl, block, "VideoEnd");
    item->in_point = BlockInt(tmpl, block, "VideoInPoint");
    item->out_point = BlockInt(tmpl, block, "VideoOutPoint");
    item->current = item->in_point;
    item->kind = static_cast<uint32_t>(BlockInt(tmpl, block, "FileFlags"));
    item->digits = BlockInt(tmpl, block, "FileDigits");
    item->fields = BlockInt(tmpl, block, "VideoFields");
    const float rate = BlockFloat(tmpl, block, "VideoTimeBase");
    if (rate > 0.0f) item->rate = rate;
    return reinterpret_cast<LumetraMediaItem>(item.release());
  });
}

// Runs without the render lock (the script lock comes first); the clip is checked before.
intptr_t SvcScriptRun(HostCallContext* ctx, const char* text) {
  return project::ServiceGuard<intptr_t>(ctx, [&]() -> intptr_t {
    if (text == nullptr) {
      project::ObjectReportError(ctx, "Script error");
      return 0;
    }
    project::Clip* clip = nullptr;
    {
      project::RenderLockGuard lock(project::RenderLock());
      clip = project::ContextClip(ctx);
    }
    const int result = script::ScriptRun(clip, text);
    if (result == 0) project::ObjectReportError(ctx, "Script error");
    return result;
  });
}

}  // namespace

void MediaServicesInstall() {
  using project::HostServiceInstall;
  HostServiceInstall(13, SvcPicDeinterlace);
  HostServiceInstall(17, SvcPicCopy);
  HostServiceInstall(21, SvcPicErrorText);
  HostServiceInstall(23, SvcPicCreate);
  HostServiceInstall(27, SvcPicFree);
  HostServiceInstall(36, SvcPicScale);
  HostServiceInstall(61, SvcInputFormatGetInfo);
  HostServiceInstall(63, SvcMediaItemTakeBuffer);
  HostServiceInstall(64, SvcLoadImage);
  HostServiceInstall(65, SvcLoadSound);
  HostServiceInstall(66, SvcInputFormatFind);
  HostServiceInstall(68, SvcPicToRgb555Scaled);
  HostServiceInstall(69, SvcPicDeinterlaceCopy);
  HostServiceInstall(87, SvcPicToRgb555Fit);
  HostServiceInstall(88, SvcPicToRgb24);
  HostServiceInstall(89, SvcPicToRgb24Scaled);
  HostServiceInstall(97, SvcPicPlaceInRect);
  HostServiceInstall(98, SvcScriptRun);
  HostServiceInstall(102, SvcMediaItemFromBlock);
}

}  // namespace lumetra::media
