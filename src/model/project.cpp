// Projects: the project list, the current project, defaults, copy, merge and free.
#include "model/project.h"

#include <algorithm>
#include <cmath>
#include <unordered_set>

#include "geometry/geo_ops.h"
#include "model/change_flags.h"
#include "model/clip.h"
#include "model/model_internal.h"
#include "model/project_geometry_hooks.h"
#include "model/project_hooks.h"
#include "model/render_lock.h"
#include "model/track.h"
#include "platform/ui_host.h"

namespace lumetra::project {
namespace {

Project* g_list = nullptr;
Project* g_current = nullptr;
DerivedValues g_derived;
std::optional<ProjectSettings> g_new_project_defaults;

void ListPush(Project* p) {
  p->prev = nullptr;
  p->next = g_list;
  if (g_list != nullptr) g_list->prev = p;
  g_list = p;
}

void ListUnlink(Project* p) {
  if (p->prev != nullptr) {
    p->prev->next = p->next;
  } else if (g_list == p) {
    g_list = p->next;
  }
  if (p->next != nullptr) p->next->prev = p->prev;
  p->prev = p->next = nullptr;
}

// Settings from the settings store are held to the ranges the model allows.
ProjectSettings Clamped(ProjectSettings s) {
  s.width = std::max(s.width, 1);
  s.height = std::max(s.height, 1);
  if (!std::isfinite(s.pixel_aspect) || s.pixel_aspect <= 0.0f) {
    s.pixel_aspect = kProjectDefaults.pixel_aspect;
  }
  s.detail = std::clamp(s.detail, 1, 100);
  s.time_base = std::clamp(s.time_base, 1, 1000);
  if (s.time_snap < s.time_base || s.time_snap % s.time_base != 0) s.time_snap = s.time_base;
  s.sampling_rate = std::max(s.sampling_rate, 1);
  s.channels = std::max(s.channels, 1);
  s.bytes_per_sample = std::clamp(s.bytes_per_sample, 1, 4);
  return s;
}

// The copy's clips point at the original's geometry: each goes to its copy (the lists are
// in the same order), or to none when the copy lacks it.
void RepointGeometry(const geometry::GeometryList& from, Project* copy) {
  if (from.Size() == 0) return;
  std::unordered_map<const geometry::Geometry*, geometry::Geometry*> to;
  geometry::Geometry* c = copy->geometry.First();
  for (geometry::Geometry* g = from.First(); g != nullptr; g = g->next) {
    to[g] = c != nullptr && c->name == g->name ? c : nullptr;
    if (to[g] != nullptr) c = c->next;
  }
  auto repoint = [&](geometry::Geometry*& g) {
    auto it = to.find(g);
    if (it == to.end()) return false;
    g = it->second;
    return true;
  };
  TrackWalk(copy->first_track, [&](Track* t) {
    for (Clip* clip = t->first_clip; clip != nullptr; clip = clip->next)
      ClipGeometrySlots(clip, repoint);
  });
}

}  // namespace

Project::Project() : geometry_clips(ProjectGeoClipHooks(this)) {
  geometry.SetClipHooks(geometry_clips.get());
}

Project::~Project() {
  geometry.SetClipHooks(nullptr);
}

Project* ProjectCreate() {
  RenderLockGuard lock(RenderLock());
  auto p = std::make_unique<Project>();
  ListPush(p.get());
  return p.release();
}

void ProjectSetDefaults(Project* project) {
  if (project == nullptr) return;
  project->settings = kProjectDefaults;
  if (g_new_project_defaults) project->settings = Clamped(*g_new_project_defaults);
}

void SetNewProjectDefaults(std::optional<ProjectSettings> defaults) {
  RenderLockGuard lock(RenderLock());
  g_new_project_defaults = defaults;
}

std::optional<ProjectSettings> NewProjectDefaults() {
  RenderLockGuard lock(RenderLock());
  return g_new_project_defaults;
}

DerivedValues ComputeDerivedValues(const ProjectSettings& s) {
  DerivedValues v;
  double denom = static_cast<double>(s.pixel_aspect) * s.width;
  double ratio = denom > 0.0 ? s.height / denom : 1.0;
  if (!std::isfinite(ratio) || ratio <= 0.0) ratio = 1.0;
  v.pixel_ratio = static_cast<float>(ratio);
  int64_t detail = std::clamp(s.detail, 1, 100);
  int64_t w = static_cast<int64_t>(std::max(s.width, 0)) * detail / 100;
  int64_t h = static_cast<int64_t>(std::max(s.height, 0)) * detail / 100;
  v.preview_width = static_cast<int32_t>(std::max<int64_t>(4, w));
  double ph = std::max(static_cast<double>(v.pixel_ratio) * 4.0, static_cast<double>(h));
  v.preview_height = static_cast<int32_t>(std::max(1.0, std::round(ph)));
  return v;
}

DerivedValues ProjectDerivedValues() {
  RenderLockGuard lock(RenderLock());
  return g_derived;
}

Project* CurrentProject() {
  RenderLockGuard lock(RenderLock());
  return g_current;
}

Project* ProjectListHead() {
  RenderLockGuard lock(RenderLock());
  return g_list;
}

void ProjectMakeCurrent(Project* project) {
  if (project == nullptr) return;
  RenderLockGuard lock(RenderLock());
  Project* old = g_current;
  if (old == project) old = nullptr;
  ProjectSettings& s = project->settings;
  if (s.time_base <= 0 && old != nullptr) s.time_base = old->settings.time_base;
  if (s.time_snap <= 0) {
    int32_t snap = old != nullptr ? old->settings.time_snap : 0;
    int32_t b = s.time_base;
    if (b <= 0) {
      s.time_snap = snap;
    } else if (b > snap) {
      s.time_snap = b;
    } else if (2 * b > snap) {
      s.time_snap = 2 * b;
    } else if (4 * b > snap) {
      s.time_snap = 4 * b;
    } else {
      s.time_snap = 8 * b;
    }
  }
  g_derived = ComputeDerivedValues(s);
  g_current = project;
  if (auto changed = Hooks().preview_detail_changed) changed();
  if (auto rebuild = Hooks().storyboard_rebuild) rebuild();
  ProjectFree(old);
}

void ProjectFree(Project* project) {
  if (project == nullptr) return;
  RenderLockGuard lock(RenderLock());
  ListUnlink(project);
  if (g_current == project) g_current = nullptr;
  internal::TrackSet freed;
  while (project->first_track != nullptr) internal::FreeTrackTree(project->first_track, freed);
  // Tracks made but never linked belong to the project as well.
  while (!project->track_index.empty()) {
    internal::FreeTrackTree(project->track_index.begin()->second, freed);
  }
  {
    std::lock_guard geo(geometry::GeoLock());
    project->geometry.Clear();
  }
  delete project;
}

Project* ProjectCopy(const Project* project) {
  if (project == nullptr) return nullptr;
  RenderLockGuard lock(RenderLock());
  auto copy = std::make_unique<Project>();
  copy->active_start = project->active_start;
  copy->active_end = project->active_end;
  copy->preview_start = project->preview_start;
  copy->preview_end = project->preview_end;
  std::copy(std::begin(project->view_range), std::end(project->view_range),
            std::begin(copy->view_range));
  copy->settings = project->settings;
  copy->next_track_number = project->next_track_number;
  copy->status = project->status;
  copy->description = project->description;
  if (project->geometry.Size() != 0 && !geometry::GeoListCopy(project->geometry, copy->geometry)) {
    platform::Ui().ErrorBox("ProjectCopy error: geometry");
    copy->status = 0;
  }
  internal::TrackMap map;
  Track* head = nullptr;
  if (!internal::CopyTrackList(project->first_track, copy.get(), nullptr, map, &head)) {
    platform::Ui().ErrorBox("ProjectCopy error: track");
    copy->status = 0;
  }
  copy->first_track = head;
  internal::RepointInputs(copy->first_track, map, copy.get(), true);
  RepointGeometry(project->geometry, copy.get());
  if (auto repoint = Hooks().clip_data_repoint_geometry) {
    TrackWalk(copy->first_track, [&](Track* t) {
      for (Clip* c = t->first_clip; c != nullptr; c = c->next) repoint(c, copy.get());
    });
  }
  ListPush(copy.get());
  return copy.release();
}

void ProjectMerge(Project* current, Project* loaded) {
  if (current == nullptr || loaded == nullptr || current == loaded) return;
  RenderLockGuard lock(RenderLock());
  current->active_start = std::min(current->active_start, loaded->active_start);
  current->active_end = std::max(current->active_end, loaded->active_end);

  {
    std::lock_guard geo(geometry::GeoLock());
    current->geometry.TakeAll(loaded->geometry);
  }

  // The loaded list first, then the old one.
  Track* loaded_head = loaded->first_track;
  loaded->first_track = nullptr;
  if (loaded_head != nullptr) {
    Track* tail = loaded_head;
    while (tail->next != nullptr) tail = tail->next;
    tail->next = current->first_track;
    if (current->first_track != nullptr) current->first_track->prev = tail;
    current->first_track = loaded_head;
  }
  // Tracks made but not linked, of either project, stay owned by current.
  std::vector<Track*> all;
  for (Project* p : {loaded, current}) {
    for (auto& [number, t] : p->track_index) all.push_back(t);
    p->track_index.clear();
  }

  // Every track in list order (each before the sub-projects of its clips) keeps its number
  // unless an earlier one took it; then it moves up to the next free number.
  std::unordered_set<const Track*> claimed;
  auto claim = [&](Track* t) {
    t->project = current;
    int32_t n = t->number > 0 ? t->number : 1;
    while (current->track_index.count(n) != 0) n = n == INT32_MAX ? 1 : n + 1;
    t->number = n;
    current->track_index[n] = t;
    claimed.insert(t);
  };
  TrackWalk(current->first_track, claim);
  for (Track* t : all) {
    if (claimed.count(t) == 0) claim(t);
  }
  // Clips of the loaded project whose geometry pointed into it now follow current.
  if (auto repoint = Hooks().clip_data_repoint_geometry) {
    TrackWalk(current->first_track, [&](Track* t) {
      for (Clip* c = t->first_clip; c != nullptr; c = c->next) repoint(c, current);
    });
  }
  SetChangeFlags(kChangedTracks | kChangedGeometries);
  if (current == g_current) {
    if (auto rebuild = Hooks().storyboard_rebuild) rebuild();
  }
  ProjectFree(loaded);
}

}  // namespace lumetra::project
