// Geometry lists of project records and their chunk in project files.
#include "projectfile/project_file_geometry.h"

#include <mutex>
#include <unordered_set>

#include "geometry/geo_chunk.h"
#include "geometry/geo_ops.h"
#include "model/track.h"
#include "projectfile/project_file.h"

namespace lumetra::project {

void GeometryToFile(Project* project, GeometryNumbers& numbers, std::vector<uint8_t>& chunk) {
  geometry::GeometryList* list = &project->geometry;
  chunk.clear();
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
  geometry::GeometryList& list = project->geometry;
  geometry::Geometry* before = list.Last();
  geometry::GeoLoadContext ctx;
  ctx.file_version = version;
  ctx.time_base = static_cast<float>(time_base);
  geometry::GeoReadResult r = geometry::GeoListRead(list, chunk, ctx);
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
