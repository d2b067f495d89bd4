// Registration of the host functions and the helpers the families share.
#include "script/script_host.h"

#include <mutex>

#include "geometry/geometry_list.h"
#include "model/model.h"
#include "model/project_hooks.h"
#include "model/render_lock.h"
#include "model/track.h"
#include "script/script_host_common.h"
#include "script/script_message.h"

namespace lumetra::script {

ScriptHostHooks& HostFunctionHooks() {
  static ScriptHostHooks hooks;
  return hooks;
}

void RegisterHostFunctions(FunctionTable& table) {
  host::RegisterClipFunctions(table);
  host::RegisterKeyFunctions(table);
  host::RegisterDialogFunctions(table);
  host::RegisterGeometryFunctions(table);
}

namespace host {

bool CountError(ScriptCall& call, const char* format) {
  call.ReportText(FormatMessage(format, kPrefix, static_cast<int>(call.Count())));
  return false;
}

bool ClipKnown(ScriptCall& call, const project::Clip* clip) {
  if (clip == nullptr) return false;
  if (clip == call.RunClip()) return true;
  project::Project* p = call.RunProject();
  if (p == nullptr) return false;
  project::RenderLockGuard lock(project::RenderLock());
  bool found = false;
  project::TrackWalk(p->first_track, [&](project::Track* t) {
    for (const project::Clip* c = t->first_clip; c != nullptr && !found; c = c->next)
      found = c == clip;
  });
  return found;
}

bool TrackKnown(ScriptCall& call, const project::Track* track) {
  project::Project* p = call.RunProject();
  if (track == nullptr || p == nullptr) return false;
  project::RenderLockGuard lock(project::RenderLock());
  bool found = false;
  project::TrackWalk(p->first_track, [&](project::Track* t) { found = found || t == track; });
  return found;
}

bool GeometryKnown(ScriptCall& call, const geometry::Geometry* g) {
  project::Project* p = call.RunProject();
  return p != nullptr && p->geometry.Holds(g);
}

bool ReadCString(ScriptCall& call, uint64_t address, std::size_t max, std::string& out) {
  out.clear();
  for (std::size_t i = 0; i + 1 < max; ++i) {
    char c;
    if (!call.ReadMemory(address + i, &c, 1)) return false;
    if (c == '\0') return true;
    out.push_back(c);
  }
  return false;
}

bool SameText(std::string_view a, std::string_view b) {
  if (a.size() != b.size()) return false;
  for (std::size_t i = 0; i < a.size(); ++i) {
    auto lower = [](char c) { return c >= 'A' && c <= 'Z' ? static_cast<char>(c + 32) : c; };
    if (lower(a[i]) != lower(b[i])) return false;
  }
  return true;
}

void ClipChanged(project::Clip* clip, bool redraw) {
  if (clip == nullptr) return;
  if (auto hook = HostFunctionHooks().clip_changed) {
    hook(clip, redraw);
    return;
  }
  if (auto invalidate = project::Hooks().invalidate_span) {
    project::Track* track;
    float start, end;
    {
      project::RenderLockGuard lock(project::RenderLock());
      track = clip->track;
      start = clip->start;
      end = clip->end;
    }
    if (track != nullptr) invalidate(track, start, end);
  }
}

}  // namespace host
}  // namespace lumetra::script
