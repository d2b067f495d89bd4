// References to a project's geometry from the geometry fields of its clips' data blocks.
#include "model/project_geometry_hooks.h"

#include <cstring>
#include <vector>

#include "clipdata/clip_data_memory.h"
#include "clipdata/template.h"
#include "model/model.h"
#include "model/project_hooks.h"
#include "model/track.h"

namespace lumetra::project {

void ClipGeometrySlots(Clip* clip, const std::function<bool(geometry::Geometry*& g)>& fn) {
  if (clip == nullptr || clip->data == nullptr || clip->process == nullptr) return;
  const Template* tmpl = clip->process->data_template;
  if (tmpl == nullptr) return;
  // A block the host allocated knows its size; one a library made is taken at its layout.
  std::size_t room = ClipDataAllocSize(clip->data);
  if (room == 0) room = TemplateDataSize(*tmpl);
  auto* bytes = static_cast<unsigned char*>(clip->data);
  for (const TemplateField& f : tmpl->fields) {
    if (f.type != FIELD_TYPE_GEOMETRY) continue;
    for (uint32_t e = 0; e < f.count; ++e) {
      const uint64_t at = f.offset + uint64_t{e} * sizeof(void*);
      if (at + sizeof(void*) > room) break;
      geometry::Geometry* g = nullptr;
      std::memcpy(&g, bytes + at, sizeof g);
      if (fn(g)) std::memcpy(bytes + at, &g, sizeof g);
    }
  }
}

namespace {

class ClipHooks final : public geometry::GeoClipHooks {
 public:
  explicit ClipHooks(Project* project) : project_(project) {}

  void ClearReferences(const geometry::Geometry* target) override {
    std::vector<Clip*> refresh;
    ForEachClip([&](Clip* c) {
      bool had = false;
      auto clear = [&](geometry::Geometry*& g) {
        if (g != target) return false;
        g = nullptr;
        had = true;
        return true;
      };
      for (Clip* x : {c, c->backup_copy, c->edit_copy}) ClipGeometrySlots(x, clear);
      if (had && c->edit_window != 0) refresh.push_back(c);
    });
    if (auto refresh_window = Hooks().edit_window_refresh)
      for (Clip* c : refresh) refresh_window(c);
  }

  int CountReferences(const geometry::Geometry* target) override {
    int count = 0;
    ForEachClip([&](Clip* c) {
      ClipGeometrySlots(c, [&](geometry::Geometry*& g) {
        if (g == target) ++count;
        return false;
      });
    });
    return count;
  }

  bool IsReferenced(const geometry::Geometry* target) override {
    bool found = false;
    auto match = [&](geometry::Geometry*& g) {
      found = found || g == target;
      return false;
    };
    ForEachClip([&](Clip* c) {
      for (Clip* x : {c, c->backup_copy, c->edit_copy})
        if (!found) ClipGeometrySlots(x, match);
    });
    return found;
  }

 private:
  template <class Fn>
  void ForEachClip(Fn&& fn) {
    TrackWalk(project_->first_track, [&](Track* t) {
      for (Clip* c = t->first_clip; c != nullptr; c = c->next) fn(c);
    });
  }

  Project* project_;
};

}  // namespace

std::unique_ptr<geometry::GeoClipHooks> ProjectGeoClipHooks(Project* project) {
  return std::make_unique<ClipHooks>(project);
}

}  // namespace lumetra::project
