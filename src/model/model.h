// The project model's records: Project, Track and Clip, linked as the file format and the
// plug-in interface walk them.
#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <unordered_map>
#include <vector>

#include "geometry/geometry_list.h"
#include "model/superclip.h"
#include "timecode/time_base.h"

namespace lumetra::project {

struct Clip;
struct Project;

// A span is usable when it is finite and 0 <= start < end <= kTimeLineEnd.
bool SpanValid(float start, float end);

// A new project record starts zeroed (a loaded project without a time base takes the
// current one's); ProjectSetDefaults gives it kProjectDefaults.
struct ProjectSettings {
  int32_t width = 0;
  int32_t height = 0;
  float pixel_aspect = 0.0f;
  int32_t detail = 0;             // preview size in percent, 1 to 100
  int32_t time_base = 0;          // frames per second, 1 to 1000
  int32_t time_snap = 0;          // snap steps per second, a multiple of the time base
  int32_t further = 0;            // kept and stored as it is
  int32_t initial_time_code = 0;  // frames
  int32_t sampling_rate = 0;
  int32_t channels = 0;
  int32_t bytes_per_sample = 0;  // 1 to 4
};

// The one definition of a new project's settings (the "New Project" preset included).
inline constexpr ProjectSettings kProjectDefaults{.width = 720,
                                                  .height = 576,
                                                  .pixel_aspect = 1.0667f,
                                                  .detail = 45,
                                                  .time_base = kTimeBaseDefault,
                                                  .time_snap = kTimeSnapDefault,
                                                  .further = 0,
                                                  .initial_time_code = kInitialTimeCodeDefault,
                                                  .sampling_rate = 22050,
                                                  .channels = 1,
                                                  .bytes_per_sample = 2};

enum TrackFlag : uint32_t {
  kTrackJustAdded = 0x08,
  kTrackCompact = 0x40,
  kTrackWindowOpen = 0x80,  // set only when saving
};

inline constexpr std::size_t kTrackNameSize = 64;
inline constexpr std::size_t kTrackNameKept = 61;  // characters kept of a given name

struct Track {
  uint32_t flags = 0;          // TrackFlag bits; others kept as they are
  Clip* first_clip = nullptr;  // clips ordered by start
  Clip* last_clip = nullptr;   // tail, so that placing in time order is O(1)
  Track* next = nullptr;
  Track* prev = nullptr;
  char name[kTrackNameSize] = {};
  int32_t number = 0;  // unique in the project, sub-projects included; <0: pseudo track
  uintptr_t window = 0;
  uint32_t view[5] = {0, 0x3F800000u /* 1.0f */, 0, 0, 0x401C};
  int32_t window_position[4] = {100, 100, 500, 400};
  Clip* owner_clip = nullptr;  // the SuperClip whose sub-project holds this track
  Project* project = nullptr;  // none for the pseudo tracks
  // The clips in list order for lookups by time, rebuilt on demand after the list changed.
  // Kept by the clip functions: link clips only through them.
  mutable std::vector<Clip*> clip_lookup;
  mutable bool clip_lookup_stale = true;
};

enum ClipFlag : uint32_t {
  kClipMark1 = 0x20,
  kClipMark2 = 0x40,
  kClipSubProjectShown = 0x200,
  kClipTransparent = 0x800,
};

inline constexpr std::size_t kClipIconBytes = 4320;
inline constexpr std::size_t kClipEditParamsBytes = 64;

// A clip lives on at most one track; copies (edit copies, clipboard) have a track but are
// linked into no list. Free a clip only through ClipFree.
struct Clip {
  ProcessRecord* process = nullptr;
  float start = 0.0f;  // span [start, end[ in seconds
  float end = 0.0f;
  Track* track = nullptr;
  uint32_t flags = 0;  // ClipFlag bits; others kept
  Clip* next = nullptr;
  Clip* prev = nullptr;
  std::vector<Track*> inputs;       // one per process input: none, a real or a pseudo track
  std::unique_ptr<uint8_t[]> icon;  // kClipIconBytes, or none
  void* data = nullptr;             // laid out by process->data_template
  uintptr_t edit_window = 0;
  Clip* backup_copy = nullptr;       // taken when the edit window opened; Cancel restores it
  Clip* edit_copy = nullptr;         // the copy the edit window changes
  Clip* edited_clip = nullptr;       // on an edit copy: the clip it belongs to
  int32_t clip_number = 0;           // serial number assigned before saving
  Track* sub_first_track = nullptr;  // SuperClip only: its sub-project
  uint16_t display_mode = 0;
  uint8_t edit_params[kClipEditParamsBytes] = {};
  int32_t edit_window_position[4] = {};
};

inline constexpr int32_t kProjectStatusUsable = 1;

// A project record owns its geometry list; the list's clip hooks look at this project's
// clips. Not copyable or movable (the hooks point back at it): use ProjectCopy.
struct Project {
  Project();
  ~Project();
  Project(const Project&) = delete;
  Project& operator=(const Project&) = delete;

  Track* first_track = nullptr;
  geometry::GeometryList geometry;
  float active_start = 0.0f, active_end = 0.0f;
  float preview_start = 0.0f, preview_end = 0.0f;
  int32_t view_range[2] = {};
  ProjectSettings settings;
  int32_t next_track_number = 1;
  Project* next = nullptr;  // project list
  Project* prev = nullptr;
  int32_t status = kProjectStatusUsable;
  std::string description;  // empty: none
  // Every track of the project by number, sub-projects and unlinked tracks included. Kept
  // by the track functions; never edit it directly.
  std::unordered_map<int32_t, Track*> track_index;
  // Installed on geometry by the constructor.
  std::unique_ptr<geometry::GeoClipHooks> geometry_clips;
};

}  // namespace lumetra::project
