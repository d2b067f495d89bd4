// Calls the project model makes into the modules around it (render engine, windows,
// geometry, plug-in host). Each is optional: an unset hook does nothing.
#pragma once

#include <cstdint>

struct HostCallContext;

namespace lumetra::project {

struct Clip;
struct Project;
struct Track;

struct ProjectHooks {
  // Render engine: the pictures of [start, end[ on the track are stale.
  void (*invalidate_span)(Track* track, float start, float end) = nullptr;
  // Track windows: the sound of [start, end[ on the track changed.
  void (*sound_changed)(Track* track, float start, float end) = nullptr;
  // Windows: destroys a clip's edit window; false when it could not.
  bool (*destroy_edit_window)(uintptr_t window) = nullptr;
  // Windows: a clip's edit window must show its working copy's new span.
  void (*edit_window_refresh)(Clip* clip) = nullptr;
  void (*storyboard_rebuild)() = nullptr;
  void (*preview_detail_changed)() = nullptr;
  // Plug-in host: calls process->init with a copy of the context whose clip word is the
  // clip. Unset: the same, done by the project model itself.
  int32_t (*call_init)(HostCallContext* ctx, Clip* clip) = nullptr;
  // Geometry: re-times what the clip's data animates from [a, b[ to [c, d[.
  void (*geometry_retime_clip)(Clip* clip, float a, float b, float c, float d) = nullptr;
  // Clip data: geometry fields that point into another project are re-pointed to the
  // geometry with the same number in to (none when it has no such number).
  void (*clip_data_repoint_geometry)(Clip* clip, Project* to) = nullptr;
};

ProjectHooks& Hooks();

}  // namespace lumetra::project
