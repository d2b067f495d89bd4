// Media items: their registry of live handles, file names, durations and information texts.
#include "media/media_item.h"

#include <cstring>
#include <mutex>
#include <unordered_set>

#include "clipdata/clip_data_memory.h"
#include "host/object_error.h"
#include "media/format_registry.h"
#include "model/project.h"
#include "model/render_lock.h"
#include "platform/format.h"

namespace lumetra::media {
namespace {

struct LiveItems {
  std::mutex mutex;
  std::unordered_set<const void*> items;
};
LiveItems& Live() {
  static LiveItems live;
  return live;
}

float ProjectRate() {
  project::RenderLockGuard lock(project::RenderLock());
  const project::Project* p = project::CurrentProject();
  return p != nullptr && p->settings.time_base > 0 ? static_cast<float>(p->settings.time_base)
                                                   : kDefaultFrameRate;
}

bool CopyOut(std::string_view text, char* buffer, int32_t size) {
  if (buffer == nullptr || size <= 0) return false;
  const std::size_t n = std::min(text.size(), static_cast<std::size_t>(size) - 1);
  if (n > 0) std::memcpy(buffer, text.data(), n);
  buffer[n] = '\0';
  return true;
}

HostCallContext InfoContext(MediaItem& item) {
  HostCallContext ctx{};
  ctx.word[HCC_WORD_KIND] = HCC_KIND_MEDIA_INFO;
  ctx.word[HCC_WORD_MEDIA_ITEM] = reinterpret_cast<uintptr_t>(&item);
  return ctx;
}

}  // namespace

MediaItem::MediaItem(const MediaItem& other) {
  *this = other;
}

MediaItem& MediaItem::operator=(const MediaItem& other) {
  if (this == &other) return *this;
  void* own = buffer;
  directory = other.directory;
  name = other.name;
  extension = other.extension;
  layer = other.layer;
  caption = other.caption;
  image_info = other.image_info;
  sound_info = other.sound_info;
  geometry_info = other.geometry_info;
  first = other.first;
  current = other.current;
  last = other.last;
  in_point = other.in_point;
  out_point = other.out_point;
  digits = other.digits;
  fields = other.fields;
  rate = other.rate;
  sound_first = other.sound_first;
  sound_last = other.sound_last;
  sound_in = other.sound_in;
  sound_out = other.sound_out;
  sound_rate = other.sound_rate;
  request = other.request;
  width = other.width;
  height = other.height;
  kind = other.kind;
  client = other.client;
  buffer = own;
  return *this;
}

MediaItem::~MediaItem() {
  project::ClipDataRelease(buffer);
}

MediaItem* MediaItemCreate(const MediaItem* from) {
  auto item = std::make_unique<MediaItem>();
  if (from != nullptr) {
    *item = *from;
  } else {
    item->rate = ProjectRate();
  }
  LiveItems& live = Live();
  std::lock_guard lock(live.mutex);
  live.items.insert(item.get());
  return item.release();
}

bool MediaItemFree(MediaItem* item) {
  if (item == nullptr) return false;
  {
    LiveItems& live = Live();
    std::lock_guard lock(live.mutex);
    if (live.items.erase(item) == 0) return false;
  }
  std::unique_ptr<MediaItem> owned(item);
  return true;
}

bool MediaItemIsLive(const void* item) {
  if (item == nullptr) return false;
  LiveItems& live = Live();
  std::lock_guard lock(live.mutex);
  return live.items.count(item) != 0;
}

bool MediaItemIsSequence(const MediaItem& item) {
  return item.digits >= 1 && item.digits <= kMaxSequenceDigits && (item.kind & kMediaMeta) == 0;
}

std::string MediaItemFileName(const MediaItem& item) {
  std::string dir = item.directory;
  if (!dir.empty() && (dir.back() == '/' || dir.back() == '\\')) dir.pop_back();
  std::string out = dir.empty() ? std::string() : dir + "/";
  out += item.name;
  if (MediaItemIsSequence(item)) out += platform::Format("%0*d", item.digits, item.current);
  if (!item.extension.empty()) out += "." + item.extension;
  return out;
}

bool MediaItemFileName(const MediaItem& item, char* buffer, int32_t size, int32_t* first,
                       int32_t* last) {
  if (first != nullptr) *first = item.first;
  if (last != nullptr) *last = item.last;
  return CopyOut(MediaItemFileName(item), buffer, size);
}

float MediaItemDuration(const MediaItem& item, float project_rate, DurationMode mode) {
  const bool whole = mode == DurationMode::kWhole;
  if ((item.kind & kMediaImage) != 0) {
    const int64_t from = whole ? item.first : item.in_point;
    const int64_t to = whole ? item.last : item.out_point;
    if (from == to) return kDefaultClipSeconds;
    float rate = item.rate > 0.0f ? item.rate : project_rate;
    if (!(rate > 0.0f)) rate = kDefaultFrameRate;
    const int64_t count = to >= from ? to - from + 1 : from - to + 1;
    return static_cast<float>(count) / rate;
  }
  if ((item.kind & kMediaSound) != 0) {
    const uint32_t from = whole ? item.sound_first : item.sound_in;
    const uint32_t to = whole ? item.sound_last : item.sound_out;
    const int32_t rate = item.sound_rate > 0 ? item.sound_rate : kDefaultSoundRate;
    const uint32_t samples = to >= from ? to - from : 0;
    return static_cast<float>(samples) / static_cast<float>(rate);
  }
  return kDefaultClipSeconds;
}

bool MediaItemInfoText(MediaItem& item, std::string& text) {
  text.clear();
  const InputFormat* f = InputFormatFind(item.extension);
  const std::string file = MediaItemFileName(item);
  auto join = [&](const std::string& part) {
    if (!text.empty()) text += ",   ";
    text += part;
  };
  if (f != nullptr && (item.kind & kMediaImage) != 0 && f->image_informator != nullptr) {
    HostCallContext ctx = InfoContext(item);
    int32_t first = 0, last = 0, w = 0, h = 0, bpp = 0, channels = 0;
    if (f->image_informator(&ctx, file.c_str(), item.image_info.data(), &first, &last, &w, &h,
                            &bpp, &channels) != 0)
      join(platform::Format("Video: %dx%d, %d bpp, %d channels", w, h, bpp, channels));
    project::ObjectClearError(&ctx);
  }
  if (f != nullptr && (item.kind & kMediaSound) != 0 && f->sound_informator != nullptr) {
    HostCallContext ctx = InfoContext(item);
    int32_t first = 0, last = 0, rate = 0, channels = 0, bits = 0;
    if (f->sound_informator(&ctx, file.c_str(), item.sound_info.data(), &first, &last, &rate,
                            &channels, &bits) != 0) {
      const int32_t r = rate > 0 ? rate : kDefaultSoundRate;
      const double seconds = (static_cast<double>(last) - first) / r;
      join(platform::Format("Audio: %gsec, %dHz, %dx%d bits", seconds, rate, channels, bits));
    }
    project::ObjectClearError(&ctx);
  }
  if ((item.kind & kMediaMeta) != 0) join("Meta Component  [0,1]");
  if ((item.kind & kMediaGeometry) != 0) join("Geometry Component");
  if (text.empty()) {
    text = kInfoNotAvailable;
    return false;
  }
  return true;
}

bool MediaItemInfoText(MediaItem& item, char* buffer, int32_t size) {
  std::string text;
  const bool answered = MediaItemInfoText(item, text);
  CopyOut(text, buffer, size);
  return answered;
}

void* MediaItemTakeBuffer(MediaItem* item, int32_t request, int32_t* width, int32_t* height) {
  if (!MediaItemIsLive(item)) return nullptr;
  void* buffer = item->buffer;
  item->buffer = nullptr;
  const bool match = item->request == request;
  if (width != nullptr) *width = match ? item->width : 0;
  if (height != nullptr) *height = match ? item->height : 0;
  MediaItemFree(item);
  if (match) return buffer;
  project::ClipDataRelease(buffer);
  return nullptr;
}

}  // namespace lumetra::media
