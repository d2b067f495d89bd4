// Project file writer: plain records to chunks. Container lengths are filled in as each
// container closes, so the root's length is the file size.
#include "projectfile/project_writer.h"

#include <string_view>

#include "projectfile/chunk_ids.h"

namespace lumetra::project {

namespace {

std::string_view Cut(const std::string& s, size_t n) {
  return std::string_view(s).substr(0, n);
}

void WriteSpan(ChunkWriter& w, const FileSpan& s, bool short_form) {
  size_t m = w.Open(kChunkClipSpan);
  w.F32(s.start);
  w.F32(s.end);
  w.U32(static_cast<uint32_t>(s.inputs.size()));
  for (int32_t r : s.inputs) w.I32(r);
  if (!short_form) {
    w.U16(s.display_mode.value_or(0));
    w.U32(s.flags.value_or(0));
  }
  w.Close(m);
}

void WriteTrackList(ChunkWriter& w, const std::vector<FileTrack>& tracks);

void WriteClip(ChunkWriter& w, const FileClip& c) {
  size_t m = w.Open(kChunkClip);
  w.TextChunk(kChunkProcessName, c.process_name);
  w.TextChunk(kChunkProcessSignature, c.process_signature);
  WriteSpan(w, c.span.value_or(FileSpan{}), false);
  if (c.icon) w.BlockChunk(kChunkRawBlock, *c.icon);
  if (c.data) w.BlockChunk(kChunkClipData, *c.data);
  if (c.sub_tracks) WriteTrackList(w, *c.sub_tracks);
  size_t p = w.Open(kChunkClipWindow);
  for (int32_t v : c.window) w.I32(v);
  w.Close(p);
  if (c.edit_copy) {
    size_t e = w.Open(kChunkClipEditCopy);
    // The copy's block is written even when empty so that the span follows a data chunk.
    w.BlockChunk(kChunkClipData, c.edit_copy->data.value_or(std::vector<uint8_t>{}));
    WriteSpan(w, c.edit_copy->span, true);
    w.Close(e);
  }
  w.Close(m);
}

void WriteTrack(ChunkWriter& w, const FileTrack& t) {
  size_t m = w.Open(kChunkTrack);
  for (const FileClip& c : t.clips) WriteClip(w, c);
  size_t p = w.Open(kChunkTrackNumber);
  w.I32(t.number.value_or(0));
  w.Close(p);
  w.TextChunk(kChunkText, t.name);
  p = w.Open(kChunkTrackView);
  for (int32_t v : t.window) w.I32(v);
  for (uint32_t v : t.view) w.U32(v);
  w.Close(p);
  p = w.Open(kChunkTrackFlags);
  w.U32(t.flags);
  w.Close(p);
  w.Close(m);
}

void WriteTrackList(ChunkWriter& w, const std::vector<FileTrack>& tracks) {
  size_t m = w.Open(kChunkTrackList);
  for (auto it = tracks.rbegin(); it != tracks.rend(); ++it) WriteTrack(w, *it);
  w.Close(m);
}

}  // namespace

void WriteDataTemplate(ChunkWriter& w, const FileTemplate& t) {
  size_t m = w.Open(kChunkDataTemplate);
  w.U32(t.data_size);
  w.U32(static_cast<uint32_t>(t.fields.size()));
  for (const FileTemplateField& f : t.fields) {
    w.U32(f.offset);
    w.U16(f.type);
    w.U32(f.count);
    w.TextChunk(kChunkText, f.name);
  }
  w.Close(m);
}

void WriteRenderPreset(ChunkWriter& w, const FilePreset& p) {
  static constexpr size_t kTextLimits[4] = {255, 255, 63, 127};
  size_t m = w.Open(kChunkRenderPreset);
  w.U32(p.flags);
  for (uint32_t v : p.settings) w.U32(v);
  w.TextChunk(kChunkText, Cut(p.name, 255));
  for (int i = 0; i < 3; ++i) {
    const FilePresetComponent& c = p.components[i];
    for (int t = 0; t < 4; ++t) w.TextChunk(kChunkText, Cut(c.texts[t], kTextLimits[t]));
    w.U32(c.value);
    WriteDataTemplate(w, c.data_template);
    if (p.flags & (0x40u << i))
      w.BlockChunk(kChunkClipData, c.data.value_or(std::vector<uint8_t>{}));
  }
  w.Close(m);
}

std::vector<uint8_t> WriteProjectBytes(const FileProject& doc, uint32_t save_mask) {
  std::vector<uint8_t> out;
  ChunkWriter w(out);
  const FileSettings& s = doc.settings;
  size_t root = w.Open(kChunkProject);
  if (doc.description) w.TextChunk(kChunkDescription, *doc.description);
  if (save_mask & kSaveUndoLabel) {
    w.TextChunk(kChunkUndoLabel, doc.undo_label.value_or("Unknown"));
    if (doc.snapshot_path) w.TextChunk(kChunkSnapshotPath, *doc.snapshot_path);
  }
  size_t m = w.Open(kChunkVersion);
  w.I32(kFileVersion);
  w.Close(m);
  m = w.Open(kChunkVersionOldScale);
  w.I32(kFileVersionOldScale);
  w.Close(m);
  m = w.Open(kChunkTimeSettings);
  w.I32(s.time_base);
  w.I32(s.time_snap);
  w.I32(s.initial_time_code);
  w.Close(m);

  m = w.Open(kChunkProcessList);
  for (const FileProcess& p : doc.processes) {
    size_t pm = w.Open(kChunkProcess);
    w.TextChunk(kChunkProcessName, p.name);
    w.TextChunk(kChunkProcessSignature, p.signature);
    size_t im = w.Open(kChunkProcessInfo);
    w.U32(p.flags);
    WriteDataTemplate(w, p.data_template);
    w.Close(im);
    w.Close(pm);
  }
  w.Close(m);

  if (doc.geometry_list.empty())
    w.EmptyChunk(kChunkGeometryList);
  else
    w.Bytes(doc.geometry_list);

  WriteTrackList(w, doc.tracks);

  m = w.Open(kChunkFrameSize);
  w.I32(s.width);
  w.I32(s.height);
  w.I32(s.detail);
  w.I32(0);
  w.Close(m);
  m = w.Open(kChunkPixelAspect);
  w.F32(s.pixel_aspect);
  w.U32(0);
  w.Close(m);
  m = w.Open(kChunkSegments);
  w.F32(s.active_start);
  w.F32(s.active_end);
  w.F32(s.preview_start);
  w.F32(s.preview_end);
  w.U32(s.view_range[0]);
  w.U32(s.view_range[1]);
  w.Close(m);
  m = w.Open(kChunkRenderSwitches);
  w.I32(s.render_fields);
  for (uint32_t v : s.render_extra) w.U32(v);
  w.I32(s.render_detail);
  w.Close(m);
  m = w.Open(kChunkSoundFormat);
  w.I32(s.sample_rate);
  w.I32(s.channels);
  w.I32(s.bytes_per_sample);
  w.Close(m);
  m = w.Open(kChunkRenderThreads);
  w.U16(1);
  w.I32(s.render_threads);
  w.Close(m);
  m = w.Open(kChunkViewOptions);
  w.U32(s.time_display);
  w.F32(s.current_time);
  for (uint32_t v : s.view_switches) w.U8(static_cast<uint8_t>(v));
  w.Close(m);
  m = w.Open(kChunkRenderPresetList);
  if (doc.render_preset) WriteRenderPreset(w, *doc.render_preset);
  w.Close(m);
  m = w.Open(kChunkRenderChoice);
  w.U32(s.render_segment_given);
  w.I32(s.render_start_frame);
  w.I32(s.render_end_frame);
  w.I32(s.render_current_frame);
  w.I32(s.render_track);
  w.Close(m);
  m = w.Open(kChunkTrackWindow);
  for (float f : s.track_window) w.F32(f);
  w.U16(s.track_window_option ? 1 : 0);
  w.Close(m);
  m = w.Open(kChunkKeyWindow);
  for (float f : s.key_window) w.F32(f);
  w.U16(s.key_window_option ? 1 : 0);
  w.Close(m);
  w.Close(root);
  if (!w.Ok()) out.clear();
  return out;
}

}  // namespace lumetra::project
