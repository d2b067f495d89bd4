// Host functions for geometries: morph pairs (create, assign, get, swap, steps, splitting),
// deletion, showing and hiding.
#include <algorithm>
#include <array>
#include <cmath>
#include <mutex>
#include <string>
#include <unordered_set>
#include <utility>
#include <vector>

#include "geometry/geo_kinds.h"
#include "geometry/geo_ops.h"
#include "geometry/geo_services.h"
#include "geometry/geometry.h"
#include "model/model.h"
#include "model/render_lock.h"
#include "script/script_host_common.h"
#include "script/script_run.h"

namespace lumetra::script::host {
namespace {

using geometry::Geometry;
using geometry::GeoMorphPairData;

constexpr uint32_t kNewPairColour = 0xC87F00, kNewPairColour2 = 0xFFFF00;

Value GeometryValue(const Geometry* g) {
  return Value::Pointer(kTypeGeometry, reinterpret_cast<uintptr_t>(g));
}

// Geometries are changed under the render lock, then the geometry lock.
struct ProjectLocks {
  project::RenderLockGuard render{project::RenderLock()};
  std::lock_guard<std::recursive_mutex> geometry{geometry::GeoLock()};
};

void MarkChanged(ScriptCall& call, Geometry* g) {
  g->flags |= geometry::kGeoScriptChanged;
  call.NoteGeometriesChanged();
}

// The morph pair of the project, or null.
GeoMorphPairData* PairOf(ScriptCall& call, Geometry* g) {
  return GeometryKnown(call, g) ? g->MorphPair() : nullptr;
}

bool MpairCreateFn(ScriptCall& call) {
  if (call.Count() != 2)
    return CountError(call, "%sGeometryCreateMpair() needs 2 parameters, exist %d parameter(s)");
  Geometry* a = call.Geometry(0, "%sillegal parameter for GeometryCreateMpair().");
  Geometry* b = call.Geometry(1, "%sillegal parameter for GeometryCreateMpair().");
  call.Return(GeometryValue(nullptr));
  project::Project* p = call.RunProject();
  ProjectLocks locks;
  if (!GeometryKnown(call, a)) a = nullptr;
  if (!GeometryKnown(call, b)) b = nullptr;
  if (a == nullptr && b == nullptr) {
    call.Report("%sGeometryMpairCreate: specified geometries are not exist.");
    return true;
  }
  if (a == b) {
    call.Report("%sGeometryMpairCreate: single geometry specified; must be two different geometries.");
    return true;
  }
  if (a != nullptr && a->kind != geometry::kGeoContour) a = nullptr;
  if (b != nullptr && b->kind != geometry::kGeoContour) b = nullptr;
  if (a == nullptr && b == nullptr) return true;
  std::string name;
  if (!geometry::GeoMakeName("MorphPair", name, p->geometry)) return true;
  auto made = geometry::GeoCreate(geometry::kGeoMorphPair, name, 0.f, 0.f, kNewPairColour,
                                  kNewPairColour2, call.CurrentTime());
  if (made == nullptr) return true;
  Geometry* pair = p->geometry.Append(std::move(made));
  geometry::GeoMpairAssign(pair, 0, a);
  geometry::GeoMpairAssign(pair, 1, b);
  pair->flags |= geometry::kGeoTemporary;
  pair->owner_clip = call.RunClip();
  MarkChanged(call, pair);
  call.Return(GeometryValue(pair));
  return true;
}

bool MpairAssignFn(ScriptCall& call) {
  if (call.Count() != 3)
    return CountError(call, "%sGeometryMpairAssign() needs 3 parameters, exist %d parameter(s)");
  Geometry* pair = call.Geometry(0, "%sparameter 1 for GeometryMpairAssign() must be geometry.");
  Geometry* contour = call.Geometry(1, "%sparameter 2 for GeometryMpairAssign() must be geometry.");
  int32_t side = call.Int(2, "%sparameter 3 for GeometryMpairAssign() must be integer.");
  call.Return(Value::Int(0));
  ProjectLocks locks;
  GeoMorphPairData* m = PairOf(call, pair);
  if (m == nullptr || (contour != nullptr && !GeometryKnown(call, contour))) {
    call.Report("%sspecified geometry not exists");
    return true;
  }
  if (side != 0 && side != 1) return true;
  if (contour != nullptr && contour->kind != geometry::kGeoContour) return true;
  Geometry* other = side == 0 ? m->b : m->a;
  if (other == contour) return true;  // A and B would be equal, or both empty
  if (!geometry::GeoMpairAssign(pair, side, contour)) return true;
  pair->flags |= geometry::kGeoSelected;
  MarkChanged(call, pair);
  call.Return(Value::Int(1));
  return true;
}

bool MpairGetFn(ScriptCall& call) {
  if (call.Count() != 3)
    return CountError(call, "%sGeometryMpairGet() needs 3 parameters, exist %d parameter(s)");
  Geometry* pair = call.Geometry(0, "%sparameter 1 for GeometryMpairGet() must be geometry.");
  uint64_t a_at = call.Unsigned(1, "%sparameter 2 for GeometryMpairGet() must be pointer.");
  uint64_t b_at = call.Unsigned(2, "%sparameter 3 for GeometryMpairGet() must be pointer.");
  call.Return(Value::Int(0));
  uintptr_t sides[2];
  {
    ProjectLocks locks;
    GeoMorphPairData* m = PairOf(call, pair);
    if (m == nullptr) {
      call.Report("%sspecified geometry not exists");
      return true;
    }
    sides[0] = reinterpret_cast<uintptr_t>(m->a);
    sides[1] = reinterpret_cast<uintptr_t>(m->b);
  }
  if (a_at != 0 && !call.WriteMemory(a_at, &sides[0], sizeof sides[0])) return true;
  if (b_at != 0 && !call.WriteMemory(b_at, &sides[1], sizeof sides[1])) return true;
  call.Return(Value::Int(1));
  return true;
}

bool MpairSwapFn(ScriptCall& call) {
  if (call.Count() != 1)
    return CountError(call, "%sGeometryMpairSwap() needs 1 parameter, exist %d parameter(s)");
  Geometry* pair = call.Geometry(0, "%sillegal parameter for GeometryMpairSwap().");
  call.Return(Value::Int(0));
  ProjectLocks locks;
  GeoMorphPairData* m = PairOf(call, pair);
  if (m == nullptr) {
    call.Report("%specified geometry not exists.");
    return true;
  }
  std::swap(m->a, m->b);
  std::swap(m->split_a, m->split_b);
  MarkChanged(call, pair);
  call.Return(Value::Int(1));
  return true;
}

bool MpairStepsFn(ScriptCall& call) {
  if (call.Count() != 1 && call.Count() != 2)
    return CountError(call, "%sGeometryMpairSteps() needs 1 or 2 parameter(s), exist %d parameter(s)");
  Geometry* pair = call.Geometry(0, "%sillegal parameter 1 for GeometryMpairSteps().");
  const bool set = call.Count() == 2;
  int32_t steps = set ? call.Int(1, "%sillegal parameter 2 for GeometryMpairSteps().") : 0;
  call.Return(Value::Int(0));
  ProjectLocks locks;
  GeoMorphPairData* m = PairOf(call, pair);
  if (m == nullptr) {
    call.Report("%specified geometry not exists.");
    return true;
  }
  if (set) {
    m->steps = static_cast<uint16_t>(std::clamp<int32_t>(steps, 0, geometry::kGeoMorphStepsMax));
    MarkChanged(call, pair);
  }
  call.Return(Value::Int(m->steps));
  return true;
}

// ---- Splitting ----------------------------------------------------------------------------

struct Bezier {
  float x0, y0, x1, y1, x2, y2, x3, y3;
};

int CollectSegment(intptr_t user, float x0, float y0, float vx, float vy, float x1, float y1,
                   float wx, float wy) {
  reinterpret_cast<std::vector<Bezier>*>(user)->push_back(
      {x0, y0, x0 + vx, y0 + vy, x1 + wx, y1 + wy, x1, y1});
  return 1;
}

// A contour's outline, parameterised uniformly over its segments by f in [0, 1].
class Outline {
 public:
  Outline(Geometry* contour, float time) {
    if (contour == nullptr) return;
    const geometry::GeoContourData* c = contour->Contour();
    if (c == nullptr || c->vertices.empty()) return;
    geometry::GeoKindTable(geometry::kGeoContour)
        ->emit_curves(contour, time, false, reinterpret_cast<intptr_t>(&segments_), CollectSegment);
    if (segments_.empty()) {  // a single vertex: its point
      float x, y;
      geometry::GeoWorldPosition(c->vertices.front(), time, &x, &y);
      segments_.push_back({x, y, x, y, x, y, x, y});
    }
  }
  bool Empty() const { return segments_.empty(); }

  std::pair<float, float> At(float f) const {
    f = std::clamp(f, 0.f, 1.f);
    const float n = static_cast<float>(segments_.size());
    std::size_t i = std::min(static_cast<std::size_t>(f * n), segments_.size() - 1);
    float t = std::clamp(f * n - static_cast<float>(i), 0.f, 1.f), u = 1.f - t;
    const Bezier& b = segments_[i];
    float w0 = u * u * u, w1 = 3 * u * u * t, w2 = 3 * u * t * t, w3 = t * t * t;
    return {w0 * b.x0 + w1 * b.x1 + w2 * b.x2 + w3 * b.x3,
            w0 * b.y0 + w1 * b.y1 + w2 * b.y2 + w3 * b.y3};
  }

  // The walk's points: splitting point 0, then steps + 1 points along each of the four
  // splitting intervals. The last point of the fourth interval is splitting point 0 again,
  // so consecutive points give exactly 4 x steps + 4 segments, the closing one included.
  std::vector<std::pair<float, float>> Walk(const float split[4], int steps) const {
    std::vector<std::pair<float, float>> points;
    points.push_back(At(Wrap(split[0])));
    for (int k = 0; k < 4; ++k) {
      float a = split[k], b = split[(k + 1) % 4];
      if (b <= a) b += 1.f;
      for (int j = 1; j <= steps + 1; ++j)
        points.push_back(At(Wrap(a + (b - a) * static_cast<float>(j) / static_cast<float>(steps + 1))));
    }
    return points;
  }

 private:
  static float Wrap(float f) {
    if (!std::isfinite(f)) return 0.f;
    while (f > 1.f) f -= 1.f;
    while (f < 0.f) f += 1.f;
    return f;
  }
  std::vector<Bezier> segments_;
};

using SegmentPair = std::array<float, 8>;

int SplittingCount(const GeoMorphPairData* m) {
  return 4 * m->steps + 4;
}

bool SplittingFn(ScriptCall& call) {
  if (call.Count() != 1 && call.Count() != 4)
    return CountError(call, "%sGeoMpairGetSplitting() needs 1 or 4 parameters, %d parameter(s) specified");
  call.Return(Value::Int(0));
  if (call.Count() == 1) {
    Geometry* pair = call.Geometry(0, "%sillegal parameter for GeoMpairGetSplitting().");
    ProjectLocks locks;
    GeoMorphPairData* m = PairOf(call, pair);
    if (m == nullptr) {
      call.Report("%specified geometry not exists.");
      return true;
    }
    call.Return(Value::Int(SplittingCount(m)));
    return true;
  }
  Geometry* pair = call.Geometry(0, "%sillegal parameter 1 for GeoMpairGetSplitting().");
  float time = call.Float(1, "%sillegal parameter 2 for GeoMpairGetSplitting().");
  auto user = static_cast<intptr_t>(call.Unsigned(2, "%sillegal parameter 3 for GeoMpairGetSplitting()."));
  auto callback = reinterpret_cast<LumetraMorphSegmentFn>(static_cast<uintptr_t>(
      call.Unsigned(3, "%sillegal parameter 4 for GeoMpairGetSplitting().")));
  std::vector<SegmentPair> pairs;
  int count = 0;
  {
    ProjectLocks locks;
    GeoMorphPairData* m = PairOf(call, pair);
    if (m == nullptr) {
      call.Report("%specified geometry not exists.");
      return true;
    }
    project::Project* p = call.RunProject();
    const geometry::GeoFrame frame = geometry::GeoFrameFor(
        &p->geometry, p->settings.width, p->settings.height, p->settings.pixel_aspect);
    const float sx = frame.width, sy = frame.aspect > 0.f ? frame.height / frame.aspect : 0.f;
    Outline a(m->a, time), b(m->b, time);
    if (a.Empty() && b.Empty()) return true;
    auto wa = a.Empty() ? b.Walk(m->split_b, m->steps) : a.Walk(m->split_a, m->steps);
    auto wb = b.Empty() ? wa : b.Walk(m->split_b, m->steps);
    count = SplittingCount(m);
    pairs.reserve(static_cast<std::size_t>(count));
    for (int i = 0; i < count; ++i) {
      pairs.push_back({wa[i].first * sx, wa[i].second * sy, wa[i + 1].first * sx,
                       wa[i + 1].second * sy, wb[i].first * sx, wb[i].second * sy,
                       wb[i + 1].first * sx, wb[i + 1].second * sy});
    }
  }
  if (callback == nullptr) return true;
  // The library's callback runs without the project locks: it may run scripts.
  for (const SegmentPair& s : pairs)
    if (callback(user, s[0], s[1], s[2], s[3], s[4], s[5], s[6], s[7]) != 1) return true;
  call.Return(Value::Int(count));
  return true;
}

// ---- Deletion, showing and hiding -------------------------------------------------------

bool GeometryDeleteFn(ScriptCall& call) {
  if (call.Count() != 1)
    return CountError(call, "%sGeometryDelete() needs 1 parameter, exist %d parameter(s)");
  Geometry* g = call.Geometry(0, "%sillegal parameter for GeometryDelete().");
  call.Return(Value::Int(0));
  {
    ProjectLocks locks;
    if (!GeometryKnown(call, g)) {
      call.Report("%sspecified geometry not exists.");
      return true;
    }
    MarkChanged(call, g);
  }
  if (auto refresh = ScriptRunHooks().refresh_work_windows) refresh();
  {
    ProjectLocks locks;
    if (GeometryKnown(call, g)) geometry::GeoDeleteEx(g, false, call.CurrentTime());
  }
  call.Return(Value::Int(1));
  return true;
}

void SetHidden(Geometry* g, bool hidden, bool subtree, std::unordered_set<Geometry*>& seen) {
  if (g == nullptr || !seen.insert(g).second) return;
  if (hidden)
    g->flags |= geometry::kGeoHidden;
  else
    g->flags &= ~geometry::kGeoHidden;
  g->flags |= geometry::kGeoScriptChanged;
  if (!subtree) return;
  geometry::GeoEnumerate(g, [&](Geometry** slot) {
    SetHidden(*slot, hidden, true, seen);
    return 1;
  });
}

template <bool kHide, bool kSubtree>
bool ShowHideFn(ScriptCall& call) {
  if (call.Count() != 1)
    return CountError(call, kHide ? "%sGeometryHide() needs 1 parameter, exist %d parameter(s)"
                                  : "%sGeometryShow() needs 1 parameter, exist %d parameter(s)");
  Geometry* g = call.Geometry(
      0, kHide ? "%sillegal parameter for GeometryHide()." : "%sillegal parameter for GeometryShow().");
  call.Return(Value::Int(0));
  ProjectLocks locks;
  if (!GeometryKnown(call, g)) {
    call.Report("%sspecified geometry not exists.");
    return true;
  }
  std::unordered_set<Geometry*> seen;
  SetHidden(g, kHide, kSubtree, seen);
  call.NoteGeometriesChanged();
  call.Return(Value::Int(1));
  return true;
}

}  // namespace

void RegisterGeometryFunctions(FunctionTable& table) {
  table.Add("GeometryMpairCreate", MpairCreateFn);
  table.Add("GeometryMpairAssign", MpairAssignFn);
  table.Add("GeometryMpairGet", MpairGetFn);
  table.Add("GeometryMpairSwap", MpairSwapFn);
  table.Add("GeometryMpairSteps", MpairStepsFn);
  table.Add("GeoMpairGetSplitting", SplittingFn);
  table.Add("GeometryDelete", GeometryDeleteFn);
  table.Add("GeometryShow", ShowHideFn<false, false>);
  table.Add("GeometryShowSubtree", ShowHideFn<false, true>);
  table.Add("GeometryHide", ShowHideFn<true, false>);
  table.Add("GeometryHideSubtree", ShowHideFn<true, true>);
}

}  // namespace lumetra::script::host
