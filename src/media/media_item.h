// A media item: one picked media file or numbered frame sequence, with what its format
// said about it; the handle libraries see as LumetraMediaItem.
#pragma once

#include <array>
#include <cstdint>
#include <memory>
#include <string>

#include "plugin/lumetra_plugin.h"

namespace lumetra::media {

// Kind flags.
inline constexpr uint32_t kMediaGeometry = 0x02;
inline constexpr uint32_t kMediaImage = 0x04;
inline constexpr uint32_t kMediaSound = 0x08;
inline constexpr uint32_t kMediaMeta = 0x10;

// A numbered sequence has 1 to this many digits; anything else is one file.
inline constexpr int32_t kMaxSequenceDigits = 31;
// Rates used when the item and the project know none.
inline constexpr float kDefaultFrameRate = 25.0f;
inline constexpr int32_t kDefaultSoundRate = 22050;
// The length of a single picture, and of anything that is neither a sequence nor sound.
inline constexpr float kDefaultClipSeconds = 1.0f;
// Room for each per-kind information block (its layout is the format's).
inline constexpr std::size_t kMediaInfoSize = 256;

inline constexpr std::string_view kInfoNotAvailable = "Info not available";

struct MediaItem {
  // Copying copies every field except the loaded buffer, which stays with its owner.
  MediaItem() = default;
  MediaItem(const MediaItem& other);
  MediaItem& operator=(const MediaItem& other);
  ~MediaItem();

  std::string directory, name, extension, layer, caption;
  alignas(8) std::array<uint8_t, kMediaInfoSize> image_info{};
  alignas(8) std::array<uint8_t, kMediaInfoSize> sound_info{};
  alignas(8) std::array<uint8_t, kMediaInfoSize> geometry_info{};
  int32_t first = 0, current = 0, last = 0;
  int32_t in_point = 0, out_point = 0;  // the used range, for durations
  int32_t digits = 0;
  int32_t fields = 0;
  float rate = kDefaultFrameRate;
  uint32_t sound_first = 0, sound_last = 0, sound_in = 0, sound_out = 0;  // samples
  int32_t sound_rate = kDefaultSoundRate;
  int32_t request = 0, width = 0, height = 0;
  uint32_t kind = 0;
  uintptr_t client = 0;
  void* buffer = nullptr;  // owned: the thumbnail, from the recorded allocator
};

// A new item (a copy of `from` when given, its buffer left behind); a fresh one takes the
// current project's frame rate, 25 without a project. Known to the handle checks until freed.
MediaItem* MediaItemCreate(const MediaItem* from = nullptr);
// Frees the item and its buffer: false (nothing touched) for an item that is not live.
bool MediaItemFree(MediaItem* item);
// True for an item from MediaItemCreate not freed yet.
bool MediaItemIsLive(const void* item);

struct MediaItemDeleter {
  void operator()(MediaItem* item) const { MediaItemFree(item); }
};
using MediaItemPtr = std::unique_ptr<MediaItem, MediaItemDeleter>;

// True when the item names a numbered sequence (1 to 31 digits, not meta data).
bool MediaItemIsSequence(const MediaItem& item);
// The file of the current frame: directory (a trailing separator dropped), "/", base name,
// the frame with `digits` zero-filled digits for a sequence, ".", extension.
std::string MediaItemFileName(const MediaItem& item);
// The same into a buffer of size bytes (cut, terminated), and the frame range; false for
// no room.
bool MediaItemFileName(const MediaItem& item, char* buffer, int32_t size, int32_t* first,
                       int32_t* last);

enum class DurationMode { kUsed = 0, kWhole = 1 };
// Seconds: a sequence lasts its frame count / rate (the item's, else project_rate, else 25);
// a single picture 1 second; sound its samples / rate (22050 when unknown); else 1 second.
float MediaItemDuration(const MediaItem& item, float project_rate, DurationMode mode);

// The description from the format's informators; "Info not available" and false when no
// informator answered.
bool MediaItemInfoText(MediaItem& item, std::string& text);
bool MediaItemInfoText(MediaItem& item, char* buffer, int32_t size);

// Takes the buffer and frees the item: the buffer when the request numbers match (the
// caller releases it with MemoryRelease), else the buffer is freed too and null answered.
// Null for an item that is not live.
void* MediaItemTakeBuffer(MediaItem* item, int32_t request, int32_t* width, int32_t* height);

}  // namespace lumetra::media
