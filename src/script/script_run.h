// ScriptRun: runs a script on behalf of a clip under the process-wide script lock.
#pragma once

#include <cstdint>
#include <mutex>

namespace lumetra::project {
struct Clip;
struct Project;
}  // namespace lumetra::project

namespace lumetra::script {

// Calls a run makes into the modules around it. Unset hooks do nothing, except where a
// default is named.
struct ScriptHooks {
  // The editor's current time for CurrentTime; unset: 0.
  float (*current_time)(project::Clip* clip) = nullptr;
  // The clip's error reporter; gets "Script error" when a run fails. Unset: debug log.
  void (*report_error)(project::Clip* clip, const char* text) = nullptr;
  // Clears the script-change mark (geometry flag bit 26) on every geometry of the project.
  // Unset: walks the project's geometry list.
  void (*clear_geometry_marks)(project::Project* project) = nullptr;
  // Flags the marked geometries (and those linked below them) as changed. Unset: walks the
  // project's geometry list.
  void (*flag_marked_geometries)(project::Project* project) = nullptr;
  void (*refresh_work_windows)() = nullptr;
  // Tells the main window that tracks or clips were added.
  void (*tracks_changed)() = nullptr;
};

ScriptHooks& ScriptRunHooks();

// Runs nested no deeper than this (host functions may run scripts).
inline constexpr int kMaxRunDepth = 16;

// Parses and executes the text for the clip (which may be null). 1 on success, 0 on
// error: the specific message has gone to the status line and "Script error" to the
// clip's error reporter. Re-entrant on the same thread; runs on other threads wait.
int ScriptRun(project::Clip* clip, const char* text);

// The script lock (re-entrant). Lock order: script lock, render lock, geometry lock.
std::recursive_mutex& ScriptLock();
// Nesting depth of the runs in progress (0 outside any run); read it under the lock.
int ScriptRunDepth();

}  // namespace lumetra::script
