// The service thread's queue and its two jobs.
#include "media/service_thread.h"

#include <atomic>

#include "clipdata/clip_data_memory.h"
#include "host/context_clip.h"
#include "host/object_error.h"
#include "media/format_registry.h"
#include "media/media_load.h"
#include "model/clip.h"
#include "model/render_lock.h"
#include "platform/thread_priority.h"
#include "platform/ui_host.h"
#include "render/pic.h"
#include "render/pic_convert.h"

namespace lumetra::media {

int32_t MediaNextRequestNumber() {
  static std::atomic<int32_t> next{0};
  int32_t n = next.fetch_add(1, std::memory_order_relaxed) + 1;
  return n == 0 ? next.fetch_add(1, std::memory_order_relaxed) + 1 : n;
}

void MediaMakeThumbnail(MediaItem& item, HostCallContext* ctx) {
  project::ClipDataRelease(item.buffer);
  item.buffer = nullptr;
  const int32_t w = item.width, h = item.height;
  if (w <= 0 || h <= 0 || w > render::kConvertMaxWidth || h > render::kConvertMaxHeight) return;
  const InputFormat* f = InputFormatFind(item.extension);
  if (f == nullptr) {
    project::ObjectReportError(ctx, kFormatNotSupported);
    return;
  }
  const std::string file = MediaItemFileName(item);
  void* buffer = nullptr;
  if ((item.kind & kMediaImage) != 0) {
    if (f->image_browser != nullptr) {
      buffer = f->image_browser(ctx, file.c_str(), item.image_info.data(), item.current, w, h);
    } else if (f->image_loader != nullptr) {
      render::PicPtr pic(f->image_loader(ctx, file.c_str(), item.layer.c_str(), item.current));
      if (pic != nullptr) buffer = render::PicToRgb555Fit(pic.get(), w, h);
    } else {
      project::ObjectReportError(ctx, kNoLoaderFunction);
    }
  } else if ((item.kind & kMediaSound) != 0) {
    buffer = project::ClipDataAlloc(static_cast<std::size_t>(w) * static_cast<std::size_t>(h) * 2);
  } else if ((item.kind & kMediaGeometry) != 0 && f->geometry_browser != nullptr) {
    buffer = f->geometry_browser(ctx, file.c_str(), item.geometry_info.data(), w, h);
  } else if ((item.kind & kMediaMeta) != 0 && f->meta_browser != nullptr) {
    const float position =
        item.last != 0 ? static_cast<float>(item.current) / static_cast<float>(item.last) : 0.0f;
    buffer = f->meta_browser(ctx, file.c_str(), item.image_info.data(), position, w, h);
  }
  // Only a block from the host's allocator can be released with the item; anything else a
  // format hands back is not kept.
  if (buffer != nullptr && project::ClipDataAllocSize(buffer) == 0) buffer = nullptr;
  item.buffer = buffer;
}

MediaServiceThread::MediaServiceThread() {
  try {
    thread_ = std::thread([this] { Run(); });
  } catch (...) {
    platform::ShowError(kServiceThreadFailed);
  }
}

MediaServiceThread::~MediaServiceThread() {
  {
    std::lock_guard lock(mutex_);
    quit_ = true;
  }
  wake_.notify_all();
  if (thread_.joinable()) thread_.join();
}

int32_t MediaServiceThread::RequestThumbnail(const MediaItem& item, int32_t width, int32_t height,
                                             ThumbnailDelivery deliver) {
  MediaItemPtr copy(MediaItemCreate(&item));
  const int32_t request = MediaNextRequestNumber();
  copy->request = request;
  copy->width = width;
  copy->height = height;
  {
    std::lock_guard lock(mutex_);
    // Replacing the pending request frees its copy (and its delivery) here.
    thumbnail_ = Thumbnail{std::move(copy), std::move(deliver)};
  }
  wake_.notify_all();
  return request;
}

void MediaServiceThread::RequestSoundOverview(project::Clip* clip, SoundAssembler assemble,
                                              OverviewDelivery deliver) {
  {
    std::lock_guard lock(mutex_);
    overviews_.push_back(Overview{clip, std::move(assemble), std::move(deliver)});
  }
  wake_.notify_all();
}

void MediaServiceThread::Pause() {
  std::lock_guard lock(mutex_);
  paused_ = true;
}

void MediaServiceThread::Resume() {
  {
    std::lock_guard lock(mutex_);
    paused_ = false;
  }
  wake_.notify_all();
}

void MediaServiceThread::WaitIdle() {
  std::unique_lock lock(mutex_);
  idle_.wait(lock, [&] { return quit_ || (!busy_ && !thumbnail_ && overviews_.empty()); });
}

void MediaServiceThread::Run() {
  platform::SetCurrentThreadLowestPriority();
  std::unique_lock lock(mutex_);
  for (;;) {
    wake_.wait(lock, [&] { return quit_ || (!paused_ && (thumbnail_ || !overviews_.empty())); });
    if (quit_) break;
    busy_ = true;
    if (thumbnail_) {
      Thumbnail job = std::move(*thumbnail_);
      thumbnail_.reset();
      lock.unlock();
      try {
        HostCallContext ctx{};
        ctx.word[HCC_WORD_KIND] = HCC_KIND_MEDIA_THUMBNAIL;
        ctx.word[HCC_WORD_MEDIA_ITEM] = reinterpret_cast<uintptr_t>(job.item.get());
        MediaMakeThumbnail(*job.item, &ctx);
        project::ObjectClearError(&ctx);
        if (job.deliver) job.deliver(std::move(job.item));
      } catch (...) {
      }
      lock.lock();
    } else {
      Overview job = std::move(overviews_.front());
      overviews_.pop_front();
      lock.unlock();
      try {
        MakeOverview(job);
      } catch (...) {
      }
      lock.lock();
    }
    busy_ = false;
    idle_.notify_all();
  }
  idle_.notify_all();
}

void MediaServiceThread::MakeOverview(Overview& job) {
  if (!job.assemble) return;
  project::Clip* copy = nullptr;
  float start = 0.0f, end = 0.0f;
  {
    project::RenderLockGuard lock(project::RenderLock());
    if (!project::ClipIsKnown(job.clip)) return;
    copy = project::ClipCopy(job.clip, project::ClipCopyMode::kRecordOnly);
    start = job.clip->start;
    end = job.clip->end;
  }
  if (copy == nullptr) return;
  SoundBlock* overview = nullptr;
  try {
    overview = job.assemble(*copy, start, end, kOverviewRate, kOverviewBytes, kOverviewChannels);
  } catch (...) {
    overview = nullptr;
  }
  project::ClipFree(copy);
  if (job.deliver) job.deliver(job.clip, overview);
}

}  // namespace lumetra::media
