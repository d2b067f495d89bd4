// Project file reader: the chunk tree of a .ZTP file into plain records. Every length is
// checked against its container; a damaged inner record is dropped, a damaged required
// chunk ends the load with its status.
#include "projectfile/project_reader.h"

#include <cmath>
#include <cstdio>

#include "platform/format.h"
#include "platform/memory_log.h"
#include "projectfile/chunk_ids.h"

namespace lumetra::project {

namespace {

using platform::DebugLog;
using platform::Format;

int FaultStatus(ChunkFault fault) {
  return fault == ChunkFault::kShortLength ? kLoadBadChunk : kLoadReadError;
}

// Reads the chunk that starts at the cursor and moves the cursor past it.
bool NextChunk(ChunkCursor& cur, Chunk& out) {
  if (!cur.Ok() || ChunkAt(cur.Rest(), out) != ChunkFault::kNone) return false;
  return cur.Skip(out.length);
}

bool ReadSpan(const Chunk& c, bool short_form, FileSpan& out) {
  ChunkCursor cur(c.payload);
  uint32_t n = 0;
  if (!cur.F32(out.start) || !cur.F32(out.end) || !cur.U32(n)) return false;
  if (n > cur.Remaining() / 4) return false;
  out.inputs.resize(n);
  for (auto& r : out.inputs) cur.I32(r);
  if (short_form) return true;
  uint16_t mode = 0;
  uint32_t flags = 0;
  if (cur.U16(mode)) {
    out.display_mode = mode;
    if (cur.U32(flags)) out.flags = flags;
  }
  return true;
}

bool ReadSpanOld(const Chunk& c, int32_t time_base, FileSpan& out) {
  ChunkCursor cur(c.payload);
  int32_t first = 0, last = 0;
  uint32_t n = 0;
  if (!cur.I32(first) || !cur.I32(last) || !cur.U32(n)) return false;
  if (n > cur.Remaining() / 4) return false;
  out.inputs.resize(n);
  for (auto& r : out.inputs) cur.I32(r);
  out.start = static_cast<float>(static_cast<double>(first) / time_base);
  out.end = static_cast<float>((static_cast<double>(last) + 1.0) / time_base);
  return true;
}

bool SpanPlaceable(const FileSpan& s) {
  return std::isfinite(s.start) && std::isfinite(s.end) && s.start >= 0 && s.start < s.end &&
         s.end <= kTimeLineEnd;
}

class Reader {
 public:
  Reader(FileProject& doc, const ReadOptions& opt) : doc_(doc), opt_(opt) {}

  void Root(ByteSpan file);

 private:
  // Where a chunk's header starts in the file.
  size_t Offset(const Chunk& c) const {
    return static_cast<size_t>(c.payload.data() - file_.data()) - kChunkHeaderSize;
  }
  // Records why the chunk failed (the last failure wins: a fatal one ends the load) and
  // passes the status on.
  int Fail(const Chunk& c, int status, const std::string& expected) {
    doc_.error = Format("chunk 0x%04X at byte %zu: expected %s", c.id, Offset(c), expected.c_str());
    return status;
  }
  // A container whose child list ended in a fault.
  int ListFail(const Chunk& container, const ChunkList& list) {
    ByteSpan at = list.Rest();
    doc_.error = Format("chunk 0x%04X at byte %zu: at byte %zu, ", container.id,
                        Offset(container), static_cast<size_t>(at.data() - file_.data())) +
                 ChunkFaultText(list.Fault(), at);
    return kLoadBadChunk;
  }

  int Version(const Chunk& c);
  int VersionOld(const Chunk& c);
  int TimeSettings(const Chunk& c);
  int FrameSize(const Chunk& c);
  int PixelAspect(const Chunk& c);
  int Segments(const Chunk& c);
  int RenderSwitches(const Chunk& c);
  int SoundFormat(const Chunk& c);
  int RenderThreads(const Chunk& c);
  int ViewOptions(const Chunk& c);
  int PresetList(const Chunk& c);
  int RenderChoice(const Chunk& c);
  int TrackWindow(const Chunk& c);
  int KeyWindow(const Chunk& c);
  int ProcessList(const Chunk& c);
  int Process(const Chunk& c, FileProcess& out);
  int GeometryList(const Chunk& c);
  int TrackList(const Chunk& c, int depth, std::vector<FileTrack>& out);
  bool Track(const Chunk& c, int depth, FileTrack& out);
  bool Clip(const Chunk& c, int depth, FileClip& out);
  bool EditCopy(const Chunk& c, FileEditCopy& out);

  FileProject& doc_;
  const ReadOptions& opt_;
  ByteSpan file_;
  FileSettings& s_ = doc_.settings;
};

void Reader::Root(ByteSpan file) {
  file_ = file;
  Chunk root;
  ChunkFault fault = ChunkAt(file, root);
  if (fault != ChunkFault::kNone) {
    doc_.status = FaultStatus(fault);
    doc_.error = "the project chunk at byte 0: " + ChunkFaultText(fault, file);
    return;
  }
  if (root.id != kChunkProject) {
    doc_.status = kLoadBadChunk;
    doc_.error = Format("chunk 0x%04X at byte 0: expected the project chunk 0x%04X", root.id,
                        kChunkProject);
    return;
  }
  const uint32_t mask = opt_.mask;
  const bool settings = mask & kLoadSettingsChunks;
  ChunkList list(root.payload);
  Chunk c;
  int status = kLoadOk;
  while (list.Next(c)) {
    const char* fatal = nullptr;  // the debug line of a required chunk's failure
    int st = status;
    switch (c.id) {
      case kChunkDescription:
        doc_.description = ChunkText(c);
        st = kLoadOk;
        break;
      case kChunkUndoLabel:
        doc_.undo_label = ChunkText(c);
        st = kLoadOk;
        break;
      case kChunkSnapshotPath:
        doc_.snapshot_path = ChunkText(c);
        st = kLoadOk;
        break;
      case kChunkVersion:
        st = Version(c);
        fatal = "Error load_version";
        break;
      case kChunkVersionOldScale:
        st = VersionOld(c);
        fatal = "Error load_version";
        break;
      case kChunkFrameSize:
        st = FrameSize(c);
        fatal = "Error load_resolution";
        break;
      case kChunkSegments:
        st = Segments(c);
        fatal = "Error load_segment_ft";
        break;
      case kChunkPixelAspect:
        st = PixelAspect(c);
        fatal = "Error load_aspect";
        break;
      case kChunkSoundFormat:
        st = SoundFormat(c);
        fatal = "Error load_soundform";
        break;
      case kChunkTimeSettings:
        if (!settings) continue;
        st = TimeSettings(c);
        fatal = "Error load_time_pref";
        break;
      case kChunkRenderSwitches:
        if (!settings) continue;
        st = RenderSwitches(c);
        fatal = "Error load_renderset";
        break;
      case kChunkRenderThreads:
        if (!settings) continue;
        st = RenderThreads(c);
        fatal = "Error load_render_pref";
        break;
      case kChunkGeometryList:
        if (!(mask & kLoadGeometryList)) continue;
        st = GeometryList(c);
        fatal = "";
        break;
      case kChunkProcessList:
        if (!(mask & kLoadProcessesAndTracks)) continue;
        st = ProcessList(c);
        fatal = "";
        break;
      case kChunkTrackList:
        if (!(mask & kLoadProcessesAndTracks)) continue;
        st = TrackList(c, 0, doc_.tracks);
        fatal = "Error load_tapes";
        break;
      case kChunkViewOptions:
        if (!settings) continue;
        st = ViewOptions(c);
        if (st != kLoadOk) DebugLog("Error load_misc");
        break;
      case kChunkRenderPresetList:
        if (!settings) continue;
        st = PresetList(c);
        if (st != kLoadOk) DebugLog("Error load_presets");
        break;
      case kChunkRenderChoice:
        if (!settings) continue;
        st = RenderChoice(c);
        if (st != kLoadOk) DebugLog("Error load_render_options");
        break;
      case kChunkTrackWindow:
        if (!settings) continue;
        st = TrackWindow(c);
        if (st != kLoadOk) DebugLog("Error TrackInfoLoadConfig");
        break;
      case kChunkKeyWindow:
        if (!settings) continue;
        st = KeyWindow(c);
        if (st != kLoadOk) DebugLog("Error KeyInfoLoadConfig");
        break;
      default:
        continue;
    }
    status = st;
    // Only the chunk that decides the status explains it.
    if (status == kLoadOk)
      doc_.error.clear();
    else if (doc_.error.empty())
      Fail(c, status, "a readable chunk");
    if (fatal != nullptr && status != kLoadOk) {
      if (*fatal) DebugLog(fatal);
      doc_.status = status;
      return;
    }
  }
  if (list.Fault() != ChunkFault::kNone) {
    status = FaultStatus(list.Fault());
    ListFail(root, list);
  }
  doc_.status = status;
}

int Reader::Version(const Chunk& c) {
  ChunkCursor cur(c.payload);
  int32_t v = 0;
  if (!cur.I32(v)) return Fail(c, kLoadBadChunk, "a 4-byte version number");
  doc_.version = v;
  return kLoadOk;
}

int Reader::VersionOld(const Chunk& c) {
  ChunkCursor cur(c.payload);
  int32_t v = 0;
  if (!cur.I32(v)) return Fail(c, kLoadBadChunk, "a 4-byte version number");
  if (doc_.version == 0) doc_.version = v < 100 ? v * 10 : v;
  return kLoadOk;
}

int Reader::TimeSettings(const Chunk& c) {
  ChunkCursor cur(c.payload);
  int32_t base = 0, snap = 0, code = 0;
  if (!cur.I32(base)) return Fail(c, kLoadBadChunk, "a 4-byte time base");
  base = base < 1 ? 25 : std::min(base, 1000);
  s_.time_base = base;
  if (!cur.I32(snap)) return Fail(c, kLoadBadChunk, "a 4-byte time snap after the time base");
  if (snap < base) {
    snap = base;
  } else {
    int64_t up = (static_cast<int64_t>(snap) + base - 1) / base * base;
    if (up > INT32_MAX) up -= base;
    snap = static_cast<int32_t>(up);
  }
  s_.time_snap = snap;
  if (cur.Remaining() >= 4 && cur.I32(code)) s_.initial_time_code = code;
  return kLoadOk;
}

int Reader::FrameSize(const Chunk& c) {
  ChunkCursor cur(c.payload);
  int32_t w = 0, h = 0, detail = 0;
  if (c.payload.size() >= 12) {
    cur.I32(w);
    cur.I32(h);
    if (w < 1 || h < 1)
      return Fail(c, kLoadBadChunk,
                  Format("a frame width and height of at least 1, found %d x %d", w, h));
    s_.width = w;
    s_.height = h;
    if (c.payload.size() >= 16 && cur.I32(detail) && detail >= 1 && detail <= 100)
      s_.detail = detail;
  }
  return kLoadOk;
}

int Reader::PixelAspect(const Chunk& c) {
  ChunkCursor cur(c.payload);
  float a = 0;
  if (!cur.F32(a)) return Fail(c, kLoadBadChunk, "a 4-byte pixel aspect");
  if (a >= 0.01f && a <= 100.0f) s_.pixel_aspect = a;
  return kLoadOk;
}

int Reader::Segments(const Chunk& c) {
  ChunkCursor cur(c.payload);
  auto clamp_start = [](float v) { return std::isfinite(v) && v > 0 ? v : 0.0f; };
  auto clamp_end = [](float v) { return std::isnan(v) || v > kTimeLineEnd ? kTimeLineEnd : v; };
  float a = 0, b = 0;
  if (!cur.F32(a) || !cur.F32(b))
    return Fail(c, kLoadBadChunk, "the active segment's start and end (8 bytes)");
  s_.active_start = clamp_start(a);
  s_.active_end = clamp_end(b);
  s_.preview_start = s_.preview_end = 0;
  s_.view_range = {0, 0};
  if (cur.Remaining() >= 8) {
    cur.F32(a);
    cur.F32(b);
    s_.preview_start = clamp_start(a);
    s_.preview_end = clamp_end(b);
    if (cur.Remaining() >= 8) {
      cur.U32(s_.view_range[0]);
      cur.U32(s_.view_range[1]);
    }
  }
  return kLoadOk;
}

int Reader::RenderSwitches(const Chunk& c) {
  ChunkCursor cur(c.payload);
  int32_t v = 0;
  if (!cur.I32(v)) return kLoadOk;
  if (!opt_.fields_switch_given) s_.render_fields = v;
  for (auto& e : s_.render_extra)
    if (!cur.U32(e)) return kLoadOk;
  if (cur.I32(v)) s_.render_detail = v;
  return kLoadOk;
}

int Reader::SoundFormat(const Chunk& c) {
  ChunkCursor cur(c.payload);
  int32_t rate = 0, ch = 0, bps = 0;
  if (!cur.I32(rate) || !cur.I32(ch) || !cur.I32(bps))
    return Fail(c, kLoadBadChunk, "a sample rate, channel count and sample size (12 bytes)");
  if (rate >= 1000) s_.sample_rate = rate;
  if (ch > 0) s_.channels = ch;
  if (bps >= 1 && bps <= 4) s_.bytes_per_sample = bps;
  return kLoadOk;
}

int Reader::RenderThreads(const Chunk& c) {
  ChunkCursor cur(c.payload);
  uint16_t present = 0;
  int32_t n = 0;
  if (!cur.U16(present)) return Fail(c, kLoadBadChunk, "a 2-byte thread count flag");
  if (present == 0) return kLoadOk;
  if (!cur.I32(n)) return Fail(c, kLoadBadChunk, "a 4-byte thread count after its flag");
  if (n >= 2 && n <= 31) s_.render_threads = n;
  return kLoadOk;
}

int Reader::ViewOptions(const Chunk& c) {
  ChunkCursor cur(c.payload);
  float t = 0;
  if (!cur.U32(s_.time_display)) return Fail(c, kLoadBadChunk, "a 4-byte time display mode");
  if (!cur.F32(t)) return kLoadOk;
  if (t >= 0 && t < kTimeLineEnd) s_.current_time = t;
  if (cur.Remaining() >= 5) {
    for (auto& sw : s_.view_switches) {
      uint8_t b = 0;
      cur.U8(b);
      sw = b;
    }
  }
  return kLoadOk;
}

int Reader::PresetList(const Chunk& c) {
  ChunkList list(c.payload);
  Chunk p;
  while (list.Next(p)) {
    if (p.id != kChunkRenderPreset && p.id != kChunkRenderPresetOld) continue;
    FilePreset preset;
    if (!ReadRenderPreset(p, preset)) return Fail(p, kLoadBadChunk, "a readable render preset");
    if (!doc_.render_preset) doc_.render_preset = std::move(preset);
  }
  return list.Fault() == ChunkFault::kNone ? kLoadOk : ListFail(c, list);
}

int Reader::RenderChoice(const Chunk& c) {
  ChunkCursor cur(c.payload);
  FileSettings t = s_;
  if (!cur.U32(t.render_segment_given) || !cur.I32(t.render_start_frame) ||
      !cur.I32(t.render_end_frame) || !cur.I32(t.render_current_frame) || !cur.I32(t.render_track))
    return Fail(c, kLoadBadChunk, "the render segment, its frames and track (20 bytes)");
  s_ = t;
  return kLoadOk;
}

int Reader::TrackWindow(const Chunk& c) {
  if (c.payload.size() < 14)
    return Fail(c, kLoadSettingsFailed,
                Format("14 bytes of track window settings, found %zu", c.payload.size()));
  ChunkCursor cur(c.payload);
  float f[3] = {};
  uint16_t option = 0;
  for (float& v : f) cur.F32(v);
  cur.U16(option);
  auto limit = [](float v, float hi) { return std::isfinite(v) ? std::min(v, hi) : hi; };
  f[0] = limit(f[0], 0.98f);
  f[1] = limit(f[1], 0.99f);
  if (!std::isfinite(f[2]) || f[2] < f[0]) f[2] = f[0] + 0.2f;
  if (f[2] <= 0.05f) f[2] = 0.05f;
  std::copy(f, f + 3, s_.track_window);
  s_.track_window_option = option != 0;
  return kLoadOk;
}

int Reader::KeyWindow(const Chunk& c) {
  if (c.payload.size() < 10)
    return Fail(c, kLoadSettingsFailed,
                Format("10 bytes of key window settings, found %zu", c.payload.size()));
  ChunkCursor cur(c.payload);
  uint16_t option = 0;
  for (float& v : s_.key_window) {
    cur.F32(v);
    v = std::isfinite(v) ? std::min(v, 0.99f) : 0.99f;
  }
  cur.U16(option);
  s_.key_window_option = option != 0;
  return kLoadOk;
}

int Reader::ProcessList(const Chunk& c) {
  ChunkList list(c.payload);
  Chunk p;
  while (list.Next(p)) {
    if (p.id != kChunkProcess) continue;
    FileProcess proc;
    int st = Process(p, proc);
    if (st == kLoadBadProcess) {
      DebugLog("Illegal process format. Name and Signature mast be present.");
      return Fail(p, st, "a process record with a name and a signature");
    }
    if (st != kLoadOk) {
      DebugLog("Error in load virtual process. Ignored.");
      continue;
    }
    doc_.processes.push_back(std::move(proc));
  }
  return list.Fault() == ChunkFault::kNone ? kLoadOk : ListFail(c, list);
}

int Reader::Process(const Chunk& c, FileProcess& out) {
  ChunkList list(c.payload);
  Chunk p;
  bool has_name = false, has_sig = false, ok = true;
  while (list.Next(p)) {
    switch (p.id) {
      case kChunkProcessName:
        if (has_name) {
          DebugLog("Process name already loaded. Record ignored.");
          break;
        }
        out.name = ChunkText(p, kMaxProcessText);
        has_name = true;
        break;
      case kChunkProcessSignature:
        if (has_sig) {
          DebugLog("Process signature already loaded. Record ignored.");
          break;
        }
        out.signature = ChunkText(p, kMaxProcessText);
        has_sig = true;
        break;
      case kChunkProcessInfo: {
        ChunkCursor cur(p.payload);
        Chunk t;
        ok = cur.U32(out.flags) && NextChunk(cur, t) && ReadDataTemplate(t, out.data_template);
        break;
      }
      case kChunkProcessInfoOld: {
        ChunkCursor cur(p.payload);
        ok = cur.U32(out.flags);
        if (ok) {
          Chunk t{kChunkDataTemplateOld, static_cast<uint32_t>(p.length - 4), cur.Rest()};
          ok = ReadDataTemplate(t, out.data_template);
        }
        break;
      }
      default:
        break;
    }
    if (!ok) return kLoadBadChunk;
  }
  if (!has_name || !has_sig) return kLoadBadProcess;
  return list.Fault() == ChunkFault::kNone ? kLoadOk : kLoadBadChunk;
}

int Reader::GeometryList(const Chunk& c) {
  // Kept whole: the geometry module reads it against the project's list. Its header is
  // rebuilt from the bounded payload.
  ChunkList list(c.payload);
  Chunk g;
  while (list.Next(g)) {
  }
  if (list.Fault() != ChunkFault::kNone) return ListFail(c, list);
  std::vector<uint8_t>& out = doc_.geometry_list;
  out.assign({uint8_t(c.id), uint8_t(c.id >> 8), uint8_t(c.length), uint8_t(c.length >> 8),
              uint8_t(c.length >> 16), uint8_t(c.length >> 24)});
  out.insert(out.end(), c.payload.begin(), c.payload.end());
  return kLoadOk;
}

int Reader::TrackList(const Chunk& c, int depth, std::vector<FileTrack>& out) {
  ChunkList list(c.payload);
  Chunk t;
  std::vector<FileTrack> read;  // file order: the last track of the list first
  while (list.Next(t)) {
    if (t.id != kChunkTrack) continue;
    FileTrack track;
    if (!Track(t, depth, track)) {
      DebugLog("Error in load tape. Tape Ignored.");
      continue;
    }
    read.push_back(std::move(track));
  }
  if (list.Fault() != ChunkFault::kNone) return ListFail(c, list);
  out.assign(std::make_move_iterator(read.rbegin()), std::make_move_iterator(read.rend()));
  return kLoadOk;
}

bool Reader::Track(const Chunk& c, int depth, FileTrack& out) {
  ChunkList list(c.payload);
  Chunk p;
  while (list.Next(p)) {
    ChunkCursor cur(p.payload);
    switch (p.id) {
      case kChunkClip: {
        FileClip clip;
        if (Clip(p, depth, clip))
          out.clips.push_back(std::move(clip));
        else
          DebugLog("Error in load clip. Clip ignored.");
        break;
      }
      case kChunkTrackNumber: {
        int32_t n = 0;
        if (cur.I32(n)) out.number = n;
        break;
      }
      case kChunkText:
        out.name = ChunkText(p, kMaxTrackName);
        break;
      case kChunkTrackView:
        if (p.payload.size() >= 36) {
          for (auto& v : out.window) cur.I32(v);
          for (auto& v : out.view) cur.U32(v);
        }
        break;
      case kChunkTrackFlags:
        cur.U32(out.flags);
        break;
      default:
        break;
    }
  }
  return list.Fault() == ChunkFault::kNone;
}

bool Reader::Clip(const Chunk& c, int depth, FileClip& out) {
  ChunkList list(c.payload);
  Chunk p;
  bool has_name = false, has_sig = false;
  while (list.Next(p)) {
    switch (p.id) {
      case kChunkProcessName:
        if (has_name) {
          DebugLog("Clip process name already loaded. Try ignore.");
          break;
        }
        out.process_name = ChunkText(p, kMaxProcessText);
        has_name = true;
        break;
      case kChunkProcessSignature:
        if (has_sig) {
          DebugLog("Clip process signature already loaded. Try ignore.");
          break;
        }
        out.process_signature = ChunkText(p, kMaxProcessText);
        has_sig = true;
        break;
      case kChunkClipSpan: {
        FileSpan span;
        if (!ReadSpan(p, false, span)) return false;
        out.span = std::move(span);
        break;
      }
      case kChunkClipSpanOld: {
        FileSpan span;
        if (!ReadSpanOld(p, s_.time_base, span)) return false;
        out.span = std::move(span);
        break;
      }
      case kChunkRawBlock:
        if (p.payload.size() == kClipIconSize) out.icon.emplace(p.payload.begin(), p.payload.end());
        break;
      case kChunkClipData:
        if (out.data) {
          DebugLog("Clip data already loaded. Try ignore.");
          break;
        }
        out.data.emplace(p.payload.begin(), p.payload.end());
        break;
      case kChunkTrackList: {
        if (depth + 1 > kMaxSubProjectDepth || out.sub_tracks) return false;
        std::vector<FileTrack> sub;
        if (TrackList(p, depth + 1, sub) != kLoadOk) return false;
        out.sub_tracks = std::move(sub);
        break;
      }
      case kChunkClipWindow: {
        ChunkCursor cur(p.payload);
        std::array<int32_t, 4> w{};
        for (auto& v : w) cur.I32(v);
        if (cur.Ok()) out.window = w;
        break;
      }
      case kChunkClipEditCopy: {
        FileEditCopy copy;
        if (EditCopy(p, copy)) out.edit_copy = std::move(copy);
        break;
      }
      default:
        break;
    }
  }
  if (list.Fault() != ChunkFault::kNone) return false;
  if (!has_sig || !out.span || !SpanPlaceable(*out.span)) {
    DebugLog("No information to create clip.");
    return false;
  }
  return true;
}

bool Reader::EditCopy(const Chunk& c, FileEditCopy& out) {
  ChunkList list(c.payload);
  Chunk p;
  bool has_span = false;
  while (list.Next(p)) {
    if (p.id == kChunkClipData && !out.data) {
      out.data.emplace(p.payload.begin(), p.payload.end());
    } else if (p.id == kChunkClipSpan) {
      if (!ReadSpan(p, true, out.span)) return false;
      has_span = true;
    }
  }
  return list.Fault() == ChunkFault::kNone && has_span;
}

}  // namespace

bool ReadDataTemplate(const Chunk& chunk, FileTemplate& out) {
  ChunkCursor cur(chunk.payload);
  uint32_t count = 0;
  out.fields.clear();
  if (!cur.U32(out.data_size) || !cur.U32(count)) return false;
  const bool old = chunk.id == kChunkDataTemplateOld;
  if (!old && chunk.id != kChunkDataTemplate) return false;
  if (count > cur.Remaining() / (old ? 6 : 16)) return false;
  out.fields.resize(count);
  for (FileTemplateField& f : out.fields) {
    cur.U32(f.offset);
    cur.U16(f.type);
    if (old) continue;
    cur.U32(f.count);
    Chunk name;
    if (!NextChunk(cur, name) || name.id != kChunkText) return false;
    f.name = ChunkText(name);
  }
  return cur.Ok();
}

bool ReadRenderPreset(const Chunk& chunk, FilePreset& out) {
  ChunkCursor cur(chunk.payload);
  const bool old = chunk.id == kChunkRenderPresetOld;
  cur.U32(out.flags);
  for (size_t i = 0; i < out.settings.size(); ++i) {
    if (old && i == 5) {
      out.settings[i] = 0;
      continue;
    }
    cur.U32(out.settings[i]);
  }
  Chunk k;
  if (!NextChunk(cur, k) || k.id != kChunkText) return false;
  out.name = ChunkText(k, 255);
  static constexpr size_t kTextLimits[4] = {255, 255, 63, 127};
  for (int i = 0; i < 3; ++i) {
    FilePresetComponent& comp = out.components[i];
    for (int t = 0; t < 4; ++t) {
      if (!NextChunk(cur, k) || k.id != kChunkText) return false;
      comp.texts[t] = ChunkText(k, kTextLimits[t]);
    }
    if (!cur.U32(comp.value) || !NextChunk(cur, k) || !ReadDataTemplate(k, comp.data_template))
      return false;
    if (out.flags & (0x40u << i)) {
      if (!NextChunk(cur, k) || k.id != kChunkClipData) return false;
      comp.data.emplace(k.payload.begin(), k.payload.end());
    }
  }
  return cur.Ok();
}

FileProject ReadProjectBytes(ByteSpan file, const ReadOptions& options) {
  FileProject doc;
  doc.settings = options.base;
  Reader(doc, options).Root(file);
  return doc;
}

namespace {

// Walks the root's children; visit returns false to stop. False when a header fails.
template <typename Visit>
bool PeekChildren(ByteSpan file, Visit visit) {
  Chunk root;
  if (ChunkAt(file, root) != ChunkFault::kNone) return false;
  ChunkList list(root.payload);
  Chunk c;
  bool first = true;
  while (list.Next(c)) {
    if (!visit(c, first)) return true;
    first = false;
  }
  return list.Fault() == ChunkFault::kNone;
}

}  // namespace

int32_t PeekVersion(ByteSpan file) {
  int32_t version = 0;
  bool ok = PeekChildren(file, [&](const Chunk& c, bool) {
    ChunkCursor cur(c.payload);
    int32_t v = 0;
    if (c.id == kChunkVersion && cur.I32(v)) {
      version = v;
      return false;
    }
    if (c.id == kChunkVersionOldScale && version == 0 && cur.I32(v))
      version = v <= 100 ? v * 10 : v;
    return true;
  });
  return ok ? version : -1;
}

static std::optional<std::string> PeekText(ByteSpan file, uint16_t id) {
  std::optional<std::string> text;
  PeekChildren(file, [&](const Chunk& c, bool) {
    if (c.id != id) return true;
    text = ChunkText(c);
    return false;
  });
  return text;
}

std::optional<std::string> PeekUndoLabel(ByteSpan file) {
  return PeekText(file, kChunkUndoLabel);
}

std::optional<std::string> PeekSnapshotPath(ByteSpan file) {
  return PeekText(file, kChunkSnapshotPath);
}

std::string PeekDescription(ByteSpan file) {
  std::string text;
  PeekChildren(file, [&](const Chunk& c, bool first) {
    if (first && c.id == kChunkDescription) text = ChunkText(c);
    return false;
  });
  return text;
}

}  // namespace lumetra::project
