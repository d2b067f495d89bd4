// Host functions for clips and tracks: ClipCreate, TrackInsertAfter, ClipInputAdd,
// ClipInputRemove.
#include <algorithm>
#include <cstring>
#include <new>

#include "model/change_flags.h"
#include "model/clip.h"
#include "model/model.h"
#include "model/render_lock.h"
#include "model/track.h"
#include "projectfile/project_file_processes.h"
#include "script/script_host.h"
#include "script/script_host_common.h"
#include "script/script_message.h"

namespace lumetra::script::host {
namespace {

// Track names keep at most this many characters when a script names them.
constexpr std::size_t kScriptTrackNameKept = 62;

// A registered effect by its whole menu path or by its last part, any case; newest first.
project::ProcessRecord* FindEffect(std::string_view name) {
  for (project::ProcessRecord* p = project::ProcessRegistryHead(); p != nullptr; p = p->next) {
    std::string_view full = p->name;
    std::size_t slash = full.rfind('/');
    std::string_view item = slash == full.npos ? full : full.substr(slash + 1);
    if (SameText(full, name) || SameText(item, name)) return p;
  }
  return nullptr;
}

bool ClipCreateFn(ScriptCall& call) {
  if (call.Count() < 4) return CountError(call, "%sClipCreate() needs 4 parameters");
  std::string name = call.String(0, "%sillegal parameter 1 for ClipCreate().");
  project::Track* track = call.Track(1, "%sillegal parameter 2 for ClipCreate().");
  float from = call.Float(2, "%sillegal parameter 3 for ClipCreate().");
  float to = call.Float(3, "%sillegal parameter 4 for ClipCreate().");
  call.Return(Value::Pointer(kTypeClip, 0));
  project::ProcessRecord* process = FindEffect(name);
  if (process == nullptr) {
    call.Report("%sspecified effect is not exist");
    return true;
  }
  if (!TrackKnown(call, track)) {
    call.Report("%sspecified track is not exist");
    return true;
  }
  // Outside the render lock: the effect's init function may run scripts of its own.
  project::Clip* clip = project::ClipCreate(nullptr, process, from, to, track);
  if (clip == nullptr) {
    std::string track_name;
    {
      project::RenderLockGuard lock(project::RenderLock());
      track_name.assign(track->name, strnlen(track->name, sizeof track->name));
    }
    call.ReportText(FormatMessage("%scan't put clip to track '%s'[%f,%f]", kPrefix,
                                  track_name.c_str(), static_cast<double>(from),
                                  static_cast<double>(to)));
    return true;
  }
  ClipChanged(clip, false);
  call.NoteTracksChanged();
  call.Return(Value::Pointer(kTypeClip, reinterpret_cast<uintptr_t>(clip)));
  return true;
}

bool TrackInsertAfterFn(ScriptCall& call) {
  if (call.Count() < 1) return CountError(call, "%sTrackInsertAfter() needs at least 1 parameter");
  project::Track* after = call.Track(0, "%sillegal parameter 1 for TrackInsertAfter().");
  bool named = call.Count() >= 2;
  std::string name = named ? call.String(1, "%sillegal parameter 2 for TrackInsertAfter().") : "";
  call.Return(Value::Pointer(kTypeTrack, 0));
  if (after != nullptr && !TrackKnown(call, after)) {
    call.Report("%sspecified track is not exists");
    return true;
  }
  project::Project* p = call.RunProject();
  project::Track* track = p != nullptr ? project::TrackCreate(p) : nullptr;
  if (track == nullptr) {
    call.Report("%smemory allocation error");
    return true;
  }
  {
    project::RenderLockGuard lock(project::RenderLock());
    if (named) {
      std::memset(track->name, 0, sizeof track->name);
      std::memcpy(track->name, name.data(), std::min(name.size(), kScriptTrackNameKept));
    }
    project::Clip* owner = after != nullptr ? after->owner_clip : nullptr;
    project::Track* old_first = after == nullptr ? p->first_track : nullptr;
    if (!project::TrackLink(track, owner, after)) {
      project::TrackFree(track);
      call.Report("%smemory allocation error");
      return true;
    }
    // A new first track takes over the compact view of the one it displaces.
    if (old_first != nullptr) {
      track->flags = (track->flags & ~project::kTrackCompact) | (old_first->flags & project::kTrackCompact);
      old_first->flags &= ~project::kTrackCompact;
    }
  }
  project::SetChangeFlags(project::kChangedTracks);
  call.NoteTracksChanged();
  call.Return(Value::Pointer(kTypeTrack, reinterpret_cast<uintptr_t>(track)));
  return true;
}

// The clip whose inputs a script edits: its editing copy while it has one.
project::Clip* InputHolder(project::Clip* clip) {
  return clip->edit_copy != nullptr ? clip->edit_copy : clip;
}

bool ClipInputAddFn(ScriptCall& call) {
  if (call.Count() != 1)
    return CountError(call, "%sClipInputAdd() needs 1 parameter, exist %d parameter(s)");
  project::Clip* clip = call.Clip(0, "%sillegal parameter for ClipInputAdd().");
  call.Return(Value::Int(0));
  if (!ClipKnown(call, clip)) return true;
  {
    project::RenderLockGuard lock(project::RenderLock());
    project::Clip* holder = InputHolder(clip);
    if (holder->inputs.size() >= kClipInputsMax) return true;
    try {
      holder->inputs.push_back(nullptr);
    } catch (const std::bad_alloc&) {
      return true;
    }
  }
  project::SetChangeFlags(project::kChangedTracks);
  ClipChanged(clip, false);
  call.Return(Value::Int(1));
  return true;
}

bool ClipInputRemoveFn(ScriptCall& call) {
  if (call.Count() != 2)
    return CountError(call, "%sClipInputRemove() needs 2 parameters, exist %d parameter(s)");
  project::Clip* clip = call.Clip(0, "%sillegal parameter 1 for ClipInputRemove().");
  int32_t index = call.Int(1, "%sillegal parameter 2 for ClipInputRemove().");
  call.Return(Value::Int(0));
  if (!ClipKnown(call, clip) || index < 0) return true;
  {
    project::RenderLockGuard lock(project::RenderLock());
    project::Clip* holder = InputHolder(clip);
    if (static_cast<std::size_t>(index) >= holder->inputs.size()) return true;
    holder->inputs.erase(holder->inputs.begin() + index);
  }
  project::SetChangeFlags(project::kChangedTracks);
  ClipChanged(clip, false);
  call.Return(Value::Int(1));
  return true;
}

}  // namespace

void RegisterClipFunctions(FunctionTable& table) {
  table.Add("ClipCreate", ClipCreateFn);
  table.Add("TrackInsertAfter", TrackInsertAfterFn);
  table.Add("ClipInputAdd", ClipInputAddFn);
  table.Add("ClipInputRemove", ClipInputRemoveFn);
}

}  // namespace lumetra::script::host
