// The live project model to and from project file records.
#include <algorithm>
#include <cstdio>
#include <cstring>
#include <unordered_set>

#include "clipdata/clip_data.h"
#include "model/clip.h"
#include "model/project.h"
#include "model/project_hooks.h"
#include "model/pseudo_track.h"
#include "model/track.h"
#include "platform/format.h"
#include "platform/memory_log.h"
#include "platform/ui_host.h"
#include "projectfile/project_file_geometry.h"
#include "projectfile/project_file_io.h"
#include "projectfile/project_file_processes.h"
#include "projectfile/project_file_template.h"
#include "projectfile/project_reader.h"
#include "projectfile/project_writer.h"

namespace lumetra::project {

ProjectFileSession& FileSession() {
  static ProjectFileSession session;
  return session;
}

namespace {

using platform::DebugLog;

std::string Format(const char* fmt, auto... args) {
  char buf[512];
  std::snprintf(buf, sizeof buf, fmt, args...);
  return buf;
}

void SettingsToFile(const Project& p, FileSettings& s) {
  const ProjectSettings& ps = p.settings;
  s.time_base = ps.time_base;
  s.time_snap = ps.time_snap;
  s.initial_time_code = ps.initial_time_code;
  s.width = ps.width;
  s.height = ps.height;
  s.detail = ps.detail;
  s.pixel_aspect = ps.pixel_aspect;
  s.active_start = p.active_start;
  s.active_end = p.active_end;
  s.preview_start = p.preview_start;
  s.preview_end = p.preview_end;
  s.view_range = {static_cast<uint32_t>(p.view_range[0]), static_cast<uint32_t>(p.view_range[1])};
  s.sample_rate = ps.sampling_rate;
  s.channels = ps.channels;
  s.bytes_per_sample = ps.bytes_per_sample;
}

void SettingsFromFile(const FileSettings& s, Project& p) {
  ProjectSettings& ps = p.settings;
  ps.time_base = s.time_base;
  ps.time_snap = s.time_snap;
  ps.initial_time_code = s.initial_time_code;
  ps.width = s.width;
  ps.height = s.height;
  ps.detail = s.detail;
  ps.pixel_aspect = s.pixel_aspect;
  p.active_start = s.active_start;
  p.active_end = s.active_end;
  p.preview_start = s.preview_start;
  p.preview_end = s.preview_end;
  p.view_range[0] = static_cast<int32_t>(s.view_range[0]);
  p.view_range[1] = static_cast<int32_t>(s.view_range[1]);
  ps.sampling_rate = s.sample_rate;
  ps.channels = s.channels;
  ps.bytes_per_sample = s.bytes_per_sample;
}

// ---- Writing ----------------------------------------------------------------------------

void NumberClips(Track* list, int32_t& next) {
  for (Track* t = list; t != nullptr; t = t->next) {
    for (Clip* c = t->first_clip; c != nullptr; c = c->next) {
      if (c->sub_first_track != nullptr) NumberClips(c->sub_first_track, next);
      c->clip_number = next++;
    }
  }
}

class Writer {
 public:
  explicit Writer(const GeometryNumbers& geometry) : geometry_(geometry) {}

  std::vector<FileTrack> Tracks(Track* list) {
    std::vector<Track*> tracks;
    for (Track* t = list; t != nullptr; t = t->next) tracks.push_back(t);
    std::unordered_map<const Track*, int32_t> index;  // write order: the last track first
    for (size_t i = 0; i < tracks.size(); ++i)
      index[tracks[i]] = static_cast<int32_t>(tracks.size() - 1 - i);
    std::vector<FileTrack> out;
    out.reserve(tracks.size());
    for (Track* t : tracks) out.push_back(TrackRecord(*t, index));
    return out;
  }

 private:
  using Index = std::unordered_map<const Track*, int32_t>;

  static std::vector<int32_t> Refs(const Clip& c, const Index& index) {
    std::vector<int32_t> refs;
    refs.reserve(c.inputs.size());
    for (const Track* in : c.inputs) {
      int32_t r = kTrackRefNone;
      if (in != nullptr && IsPseudoTrack(in)) {
        r = in->number;
      } else if (in != nullptr) {
        auto it = index.find(in);
        if (it != index.end()) r = it->second;
      }
      refs.push_back(r);
    }
    return refs;
  }

  std::optional<std::vector<uint8_t>> Data(const Clip& c, const void* block) {
    const Template* tmpl = c.process != nullptr ? c.process->data_template : nullptr;
    if (block == nullptr || TemplateDataSize(tmpl) == 0) return std::nullopt;
    std::vector<uint8_t> out;
    ClipDataEncode(tmpl, block, geometry_, out);
    return out;
  }

  FileClip ClipRecord(const Clip& c, const Index& index) {
    FileClip f;
    f.process_name = c.process->name;
    f.process_signature = c.process->signature;
    f.span = FileSpan{c.start, c.end, Refs(c, index), c.display_mode, c.flags};
    if (c.icon) f.icon.emplace(c.icon.get(), c.icon.get() + kClipIconBytes);
    f.data = Data(c, c.data);
    if (IsSuperClipProcess(c.process) || c.sub_first_track != nullptr)
      f.sub_tracks = Tracks(c.sub_first_track);
    std::copy(std::begin(c.edit_window_position), std::end(c.edit_window_position),
              f.window.begin());
    if (const Clip* copy = c.backup_copy) {
      FileEditCopy e;
      e.data = Data(c, copy->data);
      e.span = FileSpan{c.start, c.end, Refs(*copy, index), std::nullopt, std::nullopt};
      f.edit_copy = std::move(e);
    }
    return f;
  }

  FileTrack TrackRecord(const Track& t, const Index& index) {
    FileTrack f;
    f.number = t.number;
    f.name = t.name;
    std::copy(std::begin(t.window_position), std::end(t.window_position), f.window.begin());
    std::copy(std::begin(t.view), std::end(t.view), f.view.begin());
    f.flags = (t.flags & ~kTrackWindowOpen) | (t.window != 0 ? uint32_t{kTrackWindowOpen} : 0u);
    for (const Clip* c = t.first_clip; c != nullptr; c = c->next)
      if (c->process != nullptr) f.clips.push_back(ClipRecord(*c, index));
    return f;
  }

  const GeometryNumbers& geometry_;
};

std::vector<FileProcess> ProcessRecords(Project* project) {
  for (ProcessRecord* r = ProcessRegistryHead(); r != nullptr; r = r->next)
    r->flags &= ~kProcessUsed;
  // Every clip's process, sub-projects included: a process used only inside a SuperClip
  // must be in the file too, or its clips could not be read back.
  std::unordered_set<ProcessRecord*> used;
  TrackWalk(project->first_track, [&](Track* t) {
    for (Clip* c = t->first_clip; c != nullptr; c = c->next) {
      if (c->process == nullptr || IsSuperClipProcess(c->process)) continue;
      if (t->owner_clip == nullptr) c->process->flags |= kProcessUsed;
      used.insert(c->process);
    }
  });
  std::vector<FileProcess> out;
  auto record = [&](ProcessRecord* r) {
    FileProcess f;
    f.name = r->name;
    f.signature = r->signature;
    f.flags = r->flags;
    const FileTemplate* file = VirtualProcessFileTemplate(r);
    f.data_template = file != nullptr ? *file : TemplateToFile(r->data_template);
    out.push_back(std::move(f));
  };
  for (ProcessRecord* r = ProcessRegistryHead(); r != nullptr; r = r->next)
    if (used.erase(r) != 0) record(r);
  // Records outside the registry (none in a normal run) follow, in a stable order.
  std::vector<ProcessRecord*> rest(used.begin(), used.end());
  std::sort(rest.begin(), rest.end(),
            [](auto* a, auto* b) { return a->signature + a->name < b->signature + b->name; });
  for (ProcessRecord* r : rest) record(r);
  return out;
}

// ---- Reading ----------------------------------------------------------------------------

class Loader {
 public:
  Loader(Project* p, const GeometryByNumber& geometry) : p_(p), geometry_(geometry) {}

  void Tracks(const std::vector<FileTrack>& list, Clip* owner) {
    std::vector<Track*> read;  // file order
    read.reserve(list.size());
    for (auto it = list.rbegin(); it != list.rend(); ++it) {
      const FileTrack& ft = *it;
      Track* t = TrackCreate(p_);
      if (t == nullptr) continue;
      if (ft.number) ClaimNumber(t, *ft.number);
      if (ft.name.empty())
        TrackSetDefaultName(t);
      else
        TrackSetName(t, ft.name);
      std::copy(ft.window.begin(), ft.window.end(), t->window_position);
      std::copy(ft.view.begin(), ft.view.end(), t->view);
      t->flags = ft.flags;
      if (!TrackLink(t, owner, nullptr)) {
        TrackFree(t);
        DebugLog("Error in load tape. Tape Ignored.");
        continue;
      }
      read.push_back(t);
      // The writer emits clips in time order, and placing them so is linear. A file with
      // clips out of order has them placed by start time (earlier starts win overlaps).
      std::vector<const FileClip*> order;
      order.reserve(ft.clips.size());
      for (const FileClip& fc : ft.clips) order.push_back(&fc);
      auto by_start = [](const FileClip* a, const FileClip* b) {
        return a->span->start < b->span->start;
      };
      if (!std::is_sorted(order.begin(), order.end(), by_start))
        std::stable_sort(order.begin(), order.end(), by_start);
      for (const FileClip* fc : order) Clip(*fc, t, read);
    }
  }

 private:
  // The first free number from wanted up. Numbers are never freed while loading, so a
  // search for the same wanted number goes on where the last one ended.
  void ClaimNumber(Track* t, int32_t wanted) {
    auto [it, fresh] = claimed_.try_emplace(wanted, wanted);
    it->second = TrackClaimNumber(t, it->second);
  }

  Track* Resolve(int32_t r, const std::vector<Track*>& read) {
    const int32_t k = static_cast<int32_t>(read.size()) - 1;  // the clip's own track
    if (r >= k) return nullptr;
    if (r >= 0) return read[r];
    return PseudoTrackByNumber(r);
  }

  void Inputs(project::Clip* c, const FileSpan& span, const std::vector<Track*>& read) {
    size_t n =
        c->process->flags & kProcessVirtual
            ? span.inputs.size()
            : static_cast<size_t>(std::clamp(c->process->inputs_number, 0, kMaxProcessInputs));
    n = std::min<size_t>(n, kMaxProcessInputs);
    c->inputs.assign(n, nullptr);
    for (size_t i = 0; i < n && i < span.inputs.size(); ++i)
      c->inputs[i] = Resolve(span.inputs[i], read);
  }

  // A block for the clip's template: decoded from the file, or initialised by the process.
  bool Block(project::Clip* c, const std::optional<std::vector<uint8_t>>& data) {
    const Template* tmpl = c->process->data_template;
    if (TemplateDataSize(tmpl) == 0) return true;
    if (data) return ClipDataDecode(tmpl, *data, geometry_, &c->data);
    DebugLog(Format("Data for '%s' wasn't loaded. Default init.", c->process->name.c_str()));
    if (c->process->flags & kProcessVirtual) {
      platform::Ui().ErrorBox(Format("'%s'(%s) effect code is not loaded", c->process->name.c_str(),
                                     c->process->signature.c_str()));
      return false;
    }
    c->data = ClipDataCreate(tmpl);
    if (c->data == nullptr) return false;
    auto init = Hooks().call_init;
    int32_t ok = init != nullptr               ? init(nullptr, c)
                 : c->process->init != nullptr ? c->process->init(nullptr, c->data)
                                               : 1;
    return ok != 0;
  }

  void Clip(const FileClip& fc, Track* track, const std::vector<Track*>& read) {
    ProcessRecord* proc = ProcessFindForFile(fc.process_name, fc.process_signature);
    if (proc == nullptr) {
      DebugLog(fc.process_name.empty()
                   ? Format("Unknown process '%s'", fc.process_signature.c_str())
                   : Format("Unknown process '%s','%s'", fc.process_name.c_str(),
                            fc.process_signature.c_str()));
      DebugLog("Error in load clip. Clip ignored.");
      return;
    }
    const FileSpan& span = *fc.span;
    ClipPtr c(new project::Clip);
    c->process = proc;
    c->flags = span.flags.value_or(0);
    c->display_mode = span.display_mode.value_or(static_cast<uint16_t>(proc->display_mode));
    if (fc.icon && fc.icon->size() == kClipIconBytes) {
      c->icon = std::make_unique<uint8_t[]>(kClipIconBytes);
      std::memcpy(c->icon.get(), fc.icon->data(), kClipIconBytes);
    }
    std::copy(fc.window.begin(), fc.window.end(), c->edit_window_position);
    if (!Block(c.get(), fc.data)) {
      DebugLog("Error in load clip. Clip ignored.");
      return;
    }
    if (ClipPlace(c.get(), track, span.start, span.end) != 1) {
      DebugLog(Format("Can't place clip '%s' in tape %s[%d,%d]", proc->name.c_str(), track->name,
                      static_cast<int>(span.start), static_cast<int>(span.end)));
      return;
    }
    project::Clip* clip = c.release();
    Inputs(clip, span, read);
    if (fc.edit_copy) EditCopy(*fc.edit_copy, clip, read);
    if (fc.sub_tracks && IsSuperClipProcess(proc)) Tracks(*fc.sub_tracks, clip);
  }

  void EditCopy(const FileEditCopy& e, project::Clip* clip, const std::vector<Track*>& read) {
    ClipPtr copy(new project::Clip);
    copy->process = clip->process;
    copy->start = clip->start;
    copy->end = clip->end;
    copy->track = clip->track;
    copy->flags = clip->flags;
    copy->display_mode = clip->display_mode;
    std::copy(std::begin(clip->edit_window_position), std::end(clip->edit_window_position),
              copy->edit_window_position);
    if (!Block(copy.get(), e.data)) return;
    Inputs(copy.get(), e.span, read);
    copy->edited_clip = clip;
    clip->backup_copy = copy.release();
  }

  Project* p_;
  const GeometryByNumber& geometry_;
  std::unordered_map<int32_t, int32_t> claimed_;  // wanted number -> last number given
};

}  // namespace

FileProject ProjectToFile(Project* project, const SaveOptions& options) {
  FileProject d;
  const ProjectFileSession& session = FileSession();
  d.settings = session.settings;
  SettingsToFile(*project, d.settings);
  d.render_preset = session.render_preset;
  if (!project->description.empty()) d.description = project->description;
  d.undo_label = options.undo_label.empty() ? "Unknown" : options.undo_label;
  d.snapshot_path = options.snapshot_path;
  d.version = kFileVersion;
  d.processes = ProcessRecords(project);
  int32_t next = 1;
  NumberClips(project->first_track, next);
  GeometryNumbers numbers;
  GeometryToFile(project, numbers, d.geometry_list);
  d.tracks = Writer(numbers).Tracks(project->first_track);
  return d;
}

std::vector<uint8_t> ProjectSaveBytes(Project* project, const SaveOptions& options) {
  return WriteProjectBytes(ProjectToFile(project, options), options.mask);
}

Project* ProjectLoadBytes(ByteSpan bytes, uint32_t mask, std::string* reason) {
  Project* p = ProjectCreate();
  p->settings = kProjectDefaults;
  ProjectFileSession& session = FileSession();
  ReadOptions opt;
  opt.mask = mask;
  opt.fields_switch_given = session.fields_switch_given;
  opt.base = session.settings;
  SettingsToFile(*p, opt.base);
  FileProject d = ReadProjectBytes(bytes, opt);
  p->status = d.status;
  if (d.status != kLoadOk) {
    if (reason != nullptr) *reason = d.error;
    return p;
  }
  SettingsFromFile(d.settings, *p);
  if (d.description) p->description = *d.description;
  if (mask & kLoadSettingsChunks) {
    session.settings = d.settings;
    session.render_preset = d.render_preset;
  }
  // Each new virtual process goes to the registry's head; taken last to first, they keep
  // the file's order there, so that saving again writes the same list.
  for (auto it = d.processes.rbegin(); it != d.processes.rend(); ++it)
    if (!ProcessLoadVirtual(*it)) DebugLog("Error in load virtual process. Ignored.");
  GeometryByNumber geometry;
  if (mask & kLoadGeometryList) {
    int st = GeometryFromFile(p, d.geometry_list, d.version, d.settings.time_base, geometry);
    if (st != kLoadOk) {
      p->status = st;
      if (reason != nullptr)
        *reason = platform::Format(
            "chunk 0x%04X (geometry list): expected geometry records that can be rebuilt", 0xBF11);
      return p;
    }
  }
  Loader(p, geometry).Tracks(d.tracks, nullptr);
  if (!geometry.empty()) {
    std::unordered_map<int32_t, Clip*> clips;
    int32_t next = 1;
    NumberClips(p->first_track, next);
    TrackWalk(p->first_track, [&](Track* t) {
      for (Clip* c = t->first_clip; c != nullptr; c = c->next) clips[c->clip_number] = c;
    });
    GeometryResolveOwners(geometry, clips);
  }
  // No cycle check is needed: a stored input names only a track read before its clip's
  // own (one later in the same list) or a pseudo track, and "*Previous" and the SuperClip
  // inputs also lead only to later tracks, so every dependency points down the lists.
  return p;
}

}  // namespace lumetra::project
