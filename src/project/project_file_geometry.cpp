// Geometry lists of project records and their chunk in project files.
#include "project/project_file_geometry.h"

#include <memory>
#include <mutex>
#include <unordered_set>

#include "geometry/geo_chunk.h"
#include "platform/memory_log.h"
#include "project/project_file.h"
#include "project/project_hooks.h"
#include "project/track.h"

namespace lumetra::project {

namespace {

std::unordered_map<const Project*, std::unique_ptr<geometry::GeometryList>>& Lists() {
  static std::unordered_map<const Project*, std::unique_ptr<geometry::GeometryList>> lists;
  return lists;
}

void FreeList(Project* project) {
  Lists().erase(project);
  project->first_geometry = nullptr;
}

void MoveList(Project* from, Project* to) {
  geometry::GeometryList* src = ProjectGeometryFind(from);
  if (src == nullptr) return;
  ProjectGeometry(to).TakeAll(*src);
  ProjectGeometrySync(from);
  ProjectGeometrySync(to);
}

void InstallHooks() {
  ProjectHooks& h = Hooks();
  if (h.geometry_free_list == nullptr) h.geometry_free_list = FreeList;
  if (h.geometry_move_list == nullptr) h.geometry_move_list = MoveList;
}

}  // namespace

geometry::GeometryList& ProjectGeometry(Project* project) {
  InstallHooks();
  auto& slot = Lists()[project];
  if (!slot) slot = std::make_unique<geometry::GeometryList>();
  return *slot;
}

geometry::GeometryList* ProjectGeometryFind(const Project* project) {
  auto it = Lists().find(project);
  return it == Lists().end() ? nullptr : it->second.get();
}

void ProjectGeometrySync(Project* project) {
  geometry::GeometryList* list = ProjectGeometryFind(project);
  project->first_geometry = list != nullptr ? list->First() : nullptr;
}

void GeometryToFile(Project* project, GeometryNumbers& numbers, std::vector<uint8_t>& chunk) {
  geometry::GeometryList* list = ProjectGeometryFind(project);
  chunk.clear();
  if (list == nullptr) return;
  std::lock_guard lock(geometry::GeoLock());
  std::unordered_set<const void*> clips;
  TrackWalk(project->first_track, [&](Track* t) {
    for (Clip* c = t->first_clip; c != nullptr; c = c->next) clips.insert(c);
  });
  geometry::GeoListNumber(*list);
  for (geometry::Geometry* g = list->First(); g != nullptr; g = g->next) {
    if (g->owner_clip != nullptr && clips.count(g->owner_clip) == 0) g->owner_clip = nullptr;
    numbers[g] = static_cast<int32_t>(g->id);
  }
  geometry::GeoWriteContext ctx;
  ctx.clip_number = [](const void* clip) { return static_cast<const Clip*>(clip)->clip_number; };
  geometry::GeoListWrite(*list, chunk, ctx);
}

int GeometryFromFile(Project* project, const std::vector<uint8_t>& chunk, int32_t version,
                     int32_t time_base, GeometryByNumber& by_number) {
  if (chunk.empty()) return kLoadOk;
  geometry::GeometryList& list = ProjectGeometry(project);
  geometry::Geometry* before = list.Last();
  geometry::GeoLoadContext ctx;
  ctx.file_version = version;
  ctx.time_base = static_cast<float>(time_base);
  geometry::GeoReadResult r = geometry::GeoListRead(list, chunk, ctx);
  ProjectGeometrySync(project);
  for (geometry::Geometry* g = before != nullptr ? before->next : list.First(); g != nullptr;
       g = g->next)
    by_number.emplace(static_cast<int32_t>(g->id), g);  // the first of a number serves
  return r.status == 1 ? kLoadOk : kLoadBadChunk;
}

void GeometryResolveOwners(const GeometryByNumber& loaded,
                           const std::unordered_map<int32_t, Clip*>& clips) {
  for (const auto& [number, g] : loaded) {
    g->owner_clip = nullptr;
    if (g->owner_clip_number <= 0) continue;
    auto it = clips.find(g->owner_clip_number);
    if (it != clips.end()) g->owner_clip = it->second;
  }
}

}  // namespace lumetra::project
