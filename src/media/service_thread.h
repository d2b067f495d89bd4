// The media service thread: thumbnails of media items and sound overviews of clips, made
// at low priority away from the interface thread.
//
// Results are handed back through a delivery callback that runs on the service thread and
// must only post (to the window's queue, say): the thread never waits on the receiver, so
// a receiver that is itself waiting on the thread cannot deadlock it.
#pragma once

#include <condition_variable>
#include <cstdint>
#include <deque>
#include <functional>
#include <mutex>
#include <optional>
#include <thread>

#include "media/media_item.h"
#include "model/model.h"

namespace lumetra::media {

inline constexpr std::string_view kServiceThreadFailed = "Can't start Service thread";
// The sound overview's format: 1000 samples per second, 1 byte, 1 channel.
inline constexpr int32_t kOverviewRate = 1000;
inline constexpr int32_t kOverviewBytes = 1;
inline constexpr int32_t kOverviewChannels = 1;

// Makes the item's thumbnail into its buffer (width x height 555 pixels) through the
// input format of its extension; leaves the buffer empty when none can be made (the reason
// on ctx, a kind-34 context naming the item).
void MediaMakeThumbnail(MediaItem& item, HostCallContext* ctx);

// The next request number (never 0).
int32_t MediaNextRequestNumber();

class MediaServiceThread {
 public:
  // Receives the item with its thumbnail (request, width and height set); it owns the item.
  using ThumbnailDelivery = std::function<void(MediaItemPtr item)>;
  // Assembles a copy of the clip's sound for [start, end) in the given format; a block the
  // caller owns, or null.
  using SoundAssembler = std::function<SoundBlock*(const project::Clip& copy, float start,
                                                   float end, int32_t rate, int32_t bytes,
                                                   int32_t channels)>;
  // Receives the overview for the clip (keep it with the clip, release the old one, ask for a
  // repaint); it owns the block.
  using OverviewDelivery = std::function<void(project::Clip* clip, SoundBlock* overview)>;

  MediaServiceThread();
  ~MediaServiceThread();  // ends the thread; requests still pending are dropped and freed
  MediaServiceThread(const MediaServiceThread&) = delete;
  MediaServiceThread& operator=(const MediaServiceThread&) = delete;

  bool Running() const { return thread_.joinable(); }

  // Queues a thumbnail of a copy of the item (its texts copied, its buffer not); an older
  // thumbnail request not yet started is dropped in favour of this one. The request number.
  int32_t RequestThumbnail(const MediaItem& item, int32_t width, int32_t height,
                           ThumbnailDelivery deliver);
  // Queues a sound overview of the clip; dropped when the clip is gone by then.
  void RequestSoundOverview(project::Clip* clip, SoundAssembler assemble, OverviewDelivery deliver);

  // Tests: while paused the thread takes no request; WaitIdle returns once nothing is
  // queued or running.
  void Pause();
  void Resume();
  void WaitIdle();

 private:
  struct Thumbnail {
    MediaItemPtr item;
    ThumbnailDelivery deliver;
  };
  struct Overview {
    project::Clip* clip = nullptr;
    SoundAssembler assemble;
    OverviewDelivery deliver;
  };
  void Run();
  void MakeOverview(Overview& job);

  std::mutex mutex_;
  std::condition_variable wake_;
  std::condition_variable idle_;
  std::optional<Thumbnail> thumbnail_;  // at most one: the newest wins
  std::deque<Overview> overviews_;
  bool quit_ = false;
  bool paused_ = false;
  bool busy_ = false;
  std::thread thread_;
};

}  // namespace lumetra::media
