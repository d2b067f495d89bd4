// ScriptRun: the script lock, the nesting depth and the work around one run.
#include "script/script_run.h"

#include <new>
#include <string>
#include <vector>

#include "geometry/geo_ops.h"
#include "geometry/geometry.h"
#include "geometry/geometry_list.h"
#include "model/model.h"
#include "model/project.h"
#include "model/render_lock.h"
#include "platform/memory_log.h"
#include "script/script_function.h"
#include "script/script_interpreter.h"
#include "script/script_message.h"

namespace lumetra::script {
namespace {

int g_depth = 0;  // guarded by the script lock

void ClearMarks(project::Project* project) {
  if (project == nullptr) return;
  std::lock_guard lock(geometry::GeoLock());
  for (geometry::Geometry* g = project->geometry.First(); g != nullptr; g = g->next)
    g->flags &= ~geometry::kGeoScriptChanged;
}

void FlagMarked(project::Project* project) {
  if (project == nullptr) return;
  std::lock_guard lock(geometry::GeoLock());
  std::vector<geometry::Geometry*> pending;
  for (geometry::Geometry* g = project->geometry.First(); g != nullptr; g = g->next)
    if (g->flags & geometry::kGeoScriptChanged) pending.push_back(g);
  // The geometries linked below a changed one move with it: they are changed too.
  const uint64_t stamp = geometry::GeometryList::NextVisit();
  while (!pending.empty()) {
    geometry::Geometry* g = pending.back();
    pending.pop_back();
    if (g->visit == stamp) continue;  // already reached from another
    g->visit = stamp;
    g->flags |= geometry::kGeoChanged;
    pending.insert(pending.end(), g->children.begin(), g->children.end());
  }
  for (geometry::Geometry* g = project->geometry.First(); g != nullptr; g = g->next)
    if (g->flags & geometry::kGeoScriptChanged) geometry::GeoInvalidate(g);
}

project::Project* ProjectOf(project::Clip* clip) {
  project::RenderLockGuard lock(project::RenderLock());
  if (clip != nullptr && clip->track != nullptr && clip->track->project != nullptr)
    return clip->track->project;
  return project::CurrentProject();
}

bool RunLocked(project::Clip* clip, const char* text, int depth) {
  if (depth > kMaxRunDepth) {
    ShowMessage(FormatMessage("%sscripts nested too deeply.", kPrefix));
    return false;
  }
  const ScriptHooks& hooks = ScriptRunHooks();
  project::Project* project = ProjectOf(clip);
  if (depth == 1) (hooks.clear_geometry_marks ? hooks.clear_geometry_marks : ClearMarks)(project);

  RunEnvironment env;
  env.clip = clip;
  env.project = project;
  env.current_time = hooks.current_time != nullptr ? hooks.current_time(clip) : 0.0f;
  env.memory = CurrentMemoryPolicy();
  env.functions = &ScriptFunctions();

  bool ok = false, geometries = false, tracks = false;
  if (text == nullptr) {
    ShowMessage(FormatMessage("%ssyntax error.", kPrefix));
  } else {
    // The run's own copy: host functions may write into the caller's buffer.
    try {
      const std::string buffer(text);
      Interpreter interpreter(std::move(env), buffer);
      ok = interpreter.Run();
      geometries = interpreter.GeometriesChanged();
      tracks = interpreter.TracksChanged();
    } catch (const std::bad_alloc&) {  // strings and variables; nothing may cross to plug-ins
      ShowMessage(FormatMessage("%sno memory to copy string.", kPrefix));
      ok = false;
    }
  }  // stack, variables and the text buffer are freed here

  if (geometries) {
    (hooks.flag_marked_geometries ? hooks.flag_marked_geometries : FlagMarked)(project);
    if (hooks.refresh_work_windows != nullptr) hooks.refresh_work_windows();
    if (depth > 1) (hooks.clear_geometry_marks ? hooks.clear_geometry_marks : ClearMarks)(project);
  }
  if (tracks && hooks.tracks_changed != nullptr) hooks.tracks_changed();
  return ok;
}

}  // namespace

ScriptHooks& ScriptRunHooks() {
  static ScriptHooks hooks;
  return hooks;
}

std::recursive_mutex& ScriptLock() {
  static std::recursive_mutex lock;
  return lock;
}

int ScriptRunDepth() {
  return g_depth;
}

int ScriptRun(project::Clip* clip, const char* text) {
  bool ok;
  {
    std::lock_guard lock(ScriptLock());
    ++g_depth;
    ok = RunLocked(clip, text, g_depth);
    --g_depth;
  }
  if (!ok) {
    const ScriptHooks& hooks = ScriptRunHooks();
    if (hooks.report_error != nullptr)
      hooks.report_error(clip, kScriptError);
    else
      platform::DebugLog(kScriptError);
  }
  return ok ? 1 : 0;
}

}  // namespace lumetra::script
