// A project file's records that use every chunk kind, for round trips and sweeps.
#pragma once

#include "model/pseudo_track.h"
#include "projectfile/project_file_doc.h"

namespace lumetra::project::test {

inline FileProject RichDoc() {
  FileProject d;
  d.description = "every chunk";
  d.version = kFileVersion;
  d.settings.time_base = 30;
  d.settings.time_snap = 60;
  d.settings.initial_time_code = 90;
  d.settings.active_end = 10;
  d.settings.preview_end = 5;
  d.settings.view_range = {1, 2};
  d.settings.render_extra = {1, 2, 3, 4, 5, 6};
  d.settings.render_threads = 4;
  d.settings.view_switches = {1, 0, 1, 0, 1};
  d.settings.current_time = 1.5f;
  d.settings.render_track = 1;
  d.settings.track_window_option = true;

  FileProcess p;
  p.name = "Test/Blur";
  p.signature = "TEST blur";
  p.flags = 0x10;
  p.data_template.data_size = 16;
  p.data_template.fields = {
      {0, 9, 1, "radius"}, {4, 6, 1, "amount"}, {8, 10, 1, "shape"}, {12, 11, 1, "label"}};
  d.processes.push_back(p);

  // One vector geometry with an empty name and no curves, as the geometry module writes it.
  d.geometry_list = {0x11, 0xBF, 30, 0, 0, 0, 0x13, 0xBF, 24, 0, 0, 0, 3, 0, 0,
                     0x80, 0,    0,  0, 0, 0, 0,    0,    0,  0, 0, 0, 0, 0, 0};
  FileClip clip;
  clip.process_name = p.name;
  clip.process_signature = p.signature;
  clip.span = FileSpan{1, 3, {kTrackRefPrevious, 0}, 2, 0x800};
  clip.icon = std::vector<uint8_t>(kClipIconSize, 7);
  clip.data = std::vector<uint8_t>{1, 2, 3, 4};
  clip.window = {1, 2, 3, 4};
  clip.edit_copy = FileEditCopy{std::vector<uint8_t>{9, 9}, FileSpan{1, 3, {-1, -1}, {}, {}}};

  FileClip super;
  super.process_name = "SuperClip";
  super.process_signature = "SuperClip ZOLT built in";
  super.span = FileSpan{4, 8, {-1, -1, -1}, 0, 0x200};
  FileTrack sub;
  sub.number = 3;
  sub.name = "Inner";
  FileClip inner = clip;
  inner.edit_copy.reset();
  inner.icon.reset();
  inner.span = FileSpan{5, 6, {kInput0TrackNumber, -1}, 0, 0};
  sub.clips.push_back(inner);
  super.sub_tracks = std::vector<FileTrack>{sub};

  FileTrack t1;
  t1.number = 1;
  t1.name = "Track 1";
  t1.flags = 0x80;
  t1.clips = {clip, super};
  FileTrack t2;
  t2.number = 2;
  t2.name = "Track 2";
  d.tracks = {t1, t2};

  FilePreset preset;
  preset.flags = 0x40 | 0x100;
  preset.settings = {1, 2, 3, 4, 5, 6, 7, 8, 9};
  preset.name = "Current";
  preset.components[0].texts[0] = "out.avi";
  preset.components[0].data_template = {8, {{0, 3, 2, "q"}}};
  preset.components[0].data = std::vector<uint8_t>{1, 0, 0, 0, 2, 0, 0, 0};
  preset.components[2].data = std::vector<uint8_t>{};
  d.render_preset = preset;
  return d;
}

}  // namespace lumetra::project::test
