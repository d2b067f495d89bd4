// Project file records <-> bytes: round trips, a hand-built golden file, the load cases of
// old formats and checked values, and sweeps over truncated and corrupted files.
#include <gtest/gtest.h>

#include <cmath>

#include "chunk_builder.h"
#include "project_file_doc_fixture.h"
#include "projectfile/chunk_ids.h"
#include "projectfile/project_reader.h"
#include "projectfile/project_writer.h"

namespace lumetra::project {
namespace {

using test::CB;

FileProject Read(const std::vector<uint8_t>& bytes, uint32_t mask = kLoadMaskLoad) {
  ReadOptions opt;
  opt.mask = mask;
  return ReadProjectBytes(bytes, opt);
}

TEST(ProjectFileDoc, RoundTripKeepsEveryChunkAndBytes) {
  FileProject doc = test::RichDoc();
  auto bytes = WriteProjectBytes(doc, 0);
  FileProject back = Read(bytes);
  ASSERT_EQ(back.status, kLoadOk);
  EXPECT_EQ(back.version, kFileVersion);
  EXPECT_EQ(back.description, doc.description);
  EXPECT_EQ(back.settings, doc.settings);
  EXPECT_EQ(back.processes, doc.processes);
  EXPECT_EQ(back.geometry_list, doc.geometry_list);
  EXPECT_EQ(back.tracks, doc.tracks);
  EXPECT_EQ(back.render_preset, doc.render_preset);
  EXPECT_EQ(WriteProjectBytes(back, 0), bytes);
  // The root's length is the file's size.
  EXPECT_EQ(bytes[2] | bytes[3] << 8 | bytes[4] << 16 | bytes[5] << 24, int(bytes.size()));
}

TEST(ProjectFileDoc, SnapshotCarriesLabelAndPath) {
  FileProject doc = test::RichDoc();
  doc.snapshot_path = "/home/u/a.ZTP";
  auto file = WriteProjectBytes(doc, 0);
  EXPECT_EQ(PeekUndoLabel(file), std::nullopt);
  auto snap = WriteProjectBytes(doc, kSaveUndoLabel);
  EXPECT_EQ(PeekUndoLabel(snap), "Unknown");
  EXPECT_EQ(PeekSnapshotPath(snap), "/home/u/a.ZTP");
  EXPECT_EQ(PeekDescription(snap), "every chunk");
  EXPECT_EQ(PeekVersion(snap), kFileVersion);
  doc.undo_label = "Link selected";
  EXPECT_EQ(PeekUndoLabel(WriteProjectBytes(doc, kSaveUndoLabel)), "Link selected");
  doc.description.reset();
  EXPECT_EQ(PeekDescription(WriteProjectBytes(doc, kSaveUndoLabel)), "");
}

// The writer's bytes for a one-track project, spelled out chunk by chunk.
TEST(ProjectFileDoc, GoldenFile) {
  FileProject doc;
  FileTrack t;
  t.number = 1;
  t.name = "Track 1";
  FileClip c;
  c.process_name = "Group/Fx";
  c.process_signature = "SIG";
  c.span = FileSpan{0.5f, 2.0f, {-9}, 1, 0};
  t.clips.push_back(c);
  doc.tracks.push_back(t);
  auto track = CB(0xBF02)
                   .add(CB(0xCF06)
                            .text(0xCF04, "Group/Fx")
                            .text(0xCF05, "SIG")
                            .add(CB(0xCF24).f32(0.5f).f32(2.0f).u32(1).i32(-9).u16(1).u32(0))
                            .add(CB(0xCF2C).i32(0).i32(0).i32(0).i32(0)))
                   .add(CB(0xCF17).i32(1))
                   .text(0xEF04, "Track 1")
                   .add(CB(0xCF16)
                            .i32(100)
                            .i32(100)
                            .i32(500)
                            .i32(400)
                            .u32(0)
                            .u32(0x3F800000)
                            .u32(0)
                            .u32(0x3F800000)
                            .u32(0x401C))
                   .add(CB(0xCF27).u32(0));
  auto expected = CB(0xBF00)
                      .add(CB(0xBFDD).i32(1002))
                      .add(CB(0xBFDC).i32(100))
                      .add(CB(0xCF26).i32(25).i32(25).i32(0))
                      .add(CB(0xCF01))
                      .add(CB(0xBF11))
                      .add(CB(0xBF01).add(track))
                      .add(CB(0xCF09).i32(720).i32(576).i32(45).i32(0))
                      .add(CB(0xBF14).f32(1.0667f).u32(0))
                      .add(CB(0xCF25).f32(0).f32(0).f32(0).f32(0).u32(0).u32(0))
                      .add(CB(0xCF10).i32(-1).u32(0).u32(0).u32(0).u32(0).u32(0).u32(0).i32(45))
                      .add(CB(0xCF33).i32(22050).i32(1).i32(2))
                      .add(CB(0xCF19).u16(1).i32(0))
                      .add(CB(0xCF28).u32(0).f32(0).u8(0).u8(0).u8(0).u8(0).u8(0))
                      .add(CB(0xCF2A))
                      .add(CB(0xBF07).u32(0).i32(0).i32(0).i32(0).i32(-1))
                      .add(CB(0xCF2D).f32(0.3f).f32(0.6f).f32(0.8f).u16(0))
                      .add(CB(0xCF2E).f32(0.3f).f32(0.6f).u16(0))
                      .build();
  EXPECT_EQ(WriteProjectBytes(doc, 0), expected);
  // Fixed lengths the format names.
  FileProject back = Read(expected);
  EXPECT_EQ(back.status, kLoadOk);
  EXPECT_EQ(back.tracks, doc.tracks);
}

CB Root() {
  return CB(0xBF00);
}
CB FrameSize() {
  return CB(0xCF09).i32(640).i32(480).i32(50).i32(0);
}

TEST(ProjectFileDoc, MinimalRootLoadsWithDefaults) {
  FileProject d = Read(Root().add(CB(0xBFDD).i32(1002)).add(FrameSize()).build());
  EXPECT_EQ(d.status, kLoadOk);
  EXPECT_TRUE(d.tracks.empty());
  EXPECT_EQ(d.settings.width, 640);
  EXPECT_EQ(d.settings.detail, 50);
  EXPECT_EQ(d.settings.time_base, 25);
  EXPECT_EQ(d.settings.sample_rate, 22050);
}

TEST(ProjectFileDoc, TimeSettingsAreChecked) {
  struct Case {
    int32_t base, snap, want_base, want_snap;
  } cases[] = {{0, 30, 25, 50},  {24, 50, 24, 72},      {25, 50, 25, 50},
               {30, 10, 30, 30}, {5000, 1, 1000, 1000}, {7, INT32_MAX, 7, INT32_MAX / 7 * 7}};
  for (const Case& k : cases) {
    FileProject d = Read(Root().add(CB(0xCF26).i32(k.base).i32(k.snap)).build());
    EXPECT_EQ(d.status, kLoadOk);
    EXPECT_EQ(d.settings.time_base, k.want_base) << k.base << " " << k.snap;
    EXPECT_EQ(d.settings.time_snap, k.want_snap) << k.base << " " << k.snap;
    EXPECT_EQ(d.settings.initial_time_code, 0);
  }
  FileProject d = Read(Root().add(CB(0xCF26).i32(30).i32(30).i32(123)).build());
  EXPECT_EQ(d.settings.initial_time_code, 123);
  EXPECT_EQ(Read(Root().add(CB(0xCF26).i32(30)).build()).status, kLoadBadChunk);
  // Without the settings bit the chunk is skipped, even when damaged.
  EXPECT_EQ(Read(Root().add(CB(0xCF26).i32(30)).build(), kLoadMaskMerge).status, kLoadOk);
}

TEST(ProjectFileDoc, VersionOnOldScaleLoaderAndPeekDisagreeAt100) {
  struct Case {
    std::vector<uint8_t> file;
    int32_t load, peek;
  } cases[] = {
      {Root().add(CB(0xBFDC).i32(100)).build(), 100, 1000},
      {Root().add(CB(0xBFDC).i32(92)).build(), 920, 920},
      {Root().add(CB(0xBFDC).i32(101)).build(), 101, 101},
      {Root().add(CB(0xBFDD).i32(1002)).add(CB(0xBFDC).i32(50)).build(), 1002, 1002},
      {Root().add(CB(0xBFDC).i32(50)).add(CB(0xBFDD).i32(1002)).build(), 1002, 1002},
      {Root().build(), 0, 0},
  };
  for (const Case& k : cases) {
    EXPECT_EQ(Read(k.file).version, k.load);
    EXPECT_EQ(PeekVersion(k.file), k.peek);
  }
  EXPECT_EQ(PeekVersion(Root().add(CB(0xCF09).length(3)).build()), -1);
  EXPECT_EQ(PeekVersion(std::vector<uint8_t>{0, 0xBF}), -1);
}

TEST(ProjectFileDoc, OldSpanInFrames) {
  auto clip =
      CB(0xCF06).text(0xCF04, "X").text(0xCF05, "S").add(CB(0xCF07).i32(25).i32(49).u32(1).i32(-9));
  FileProject d = Read(
      Root().add(CB(0xCF26).i32(25).i32(25)).add(CB(0xBF01).add(CB(0xBF02).add(clip))).build());
  ASSERT_EQ(d.status, kLoadOk);
  ASSERT_EQ(d.tracks.size(), 1u);
  ASSERT_EQ(d.tracks[0].clips.size(), 1u);
  const FileSpan& s = *d.tracks[0].clips[0].span;
  EXPECT_FLOAT_EQ(s.start, 1.0f);
  EXPECT_FLOAT_EQ(s.end, 2.0f);
  EXPECT_FALSE(s.display_mode.has_value());
}

TEST(ProjectFileDoc, StatusesOfSettingsChunks) {
  struct Case {
    CB chunk;
    int status;
  } cases[] = {
      {CB(0xCF2E).f32(0.5f).f32(0.5f), kLoadSettingsFailed},
      {CB(0xCF2D).f32(0.5f).f32(0.5f).f32(0.5f), kLoadSettingsFailed},
      {CB(0xCF33).i32(44100).i32(2), kLoadBadChunk},
      {CB(0xCF09).i32(0).i32(480).i32(50), kLoadBadChunk},
      {CB(0xBF14).u16(0), kLoadBadChunk},
      {CB(0xCF19).u16(1), kLoadBadChunk},
      {CB(0xBF07).u32(1), kLoadBadChunk},
      {CB(0xCF28).u16(0), kLoadBadChunk},
      {CB(0xCF25).f32(1), kLoadBadChunk},
      {CB(0xBFDD).u16(1), kLoadBadChunk},
  };
  for (const Case& k : cases) EXPECT_EQ(Read(Root().add(k.chunk).build()).status, k.status);
  // A failed window setting goes on; a later chunk sets the status again.
  EXPECT_EQ(Read(Root()
                     .add(CB(0xCF2E).u32(0))
                     .add(CB(0xCF2D).f32(0.1f).f32(0.2f).f32(0.3f).u16(0))
                     .build())
                .status,
            kLoadOk);
  // A failed required chunk ends the load: the frame size after it is not read.
  FileProject d = Read(Root().add(CB(0xCF33).i32(1)).add(FrameSize()).build());
  EXPECT_EQ(d.status, kLoadBadChunk);
  EXPECT_EQ(d.settings.width, 720);
}

TEST(ProjectFileDoc, CheckedValuesKeepCurrentOnes) {
  FileProject d = Read(Root()
                           .add(CB(0xBF14).f32(200.f).u32(0))
                           .add(CB(0xCF33).i32(999).i32(0).i32(5))
                           .add(CB(0xCF25).f32(-1).f32(9000).f32(-2).f32(NAN))
                           .add(CB(0xCF19).u16(1).i32(40))
                           .add(CB(0xCF28).u32(2).f32(7200))
                           .add(CB(0xCF2D).f32(1.5f).f32(2.f).f32(0.01f).u16(1))
                           .add(CB(0xCF2E).f32(3.f).f32(0.5f).u16(1))
                           .build());
  EXPECT_EQ(d.status, kLoadOk);
  EXPECT_FLOAT_EQ(d.settings.pixel_aspect, 1.0667f);
  EXPECT_EQ(d.settings.sample_rate, 22050);
  EXPECT_EQ(d.settings.channels, 1);
  EXPECT_EQ(d.settings.bytes_per_sample, 2);
  EXPECT_EQ(d.settings.active_start, 0.f);
  EXPECT_EQ(d.settings.active_end, 7200.f);
  EXPECT_EQ(d.settings.preview_start, 0.f);
  EXPECT_EQ(d.settings.preview_end, 7200.f);
  EXPECT_EQ(d.settings.render_threads, 0);
  EXPECT_EQ(d.settings.time_display, 2u);
  EXPECT_EQ(d.settings.current_time, 0.f);
  EXPECT_FLOAT_EQ(d.settings.track_window[0], 0.98f);
  EXPECT_FLOAT_EQ(d.settings.track_window[1], 0.99f);
  EXPECT_FLOAT_EQ(d.settings.track_window[2], 1.18f);
  EXPECT_TRUE(d.settings.track_window_option);
  EXPECT_FLOAT_EQ(d.settings.key_window[0], 0.99f);
}

TEST(ProjectFileDoc, DamagedInnerRecordsAreDropped) {
  auto good_clip = [] {
    return CB(0xCF06)
        .text(0xCF04, "X")
        .text(0xCF05, "S")
        .add(CB(0xCF24).f32(0).f32(1).u32(0).u16(0).u32(0));
  };
  auto track = CB(0xBF02)
                   .add(good_clip())
                   // more inputs than payload
                   .add(CB(0xCF06).text(0xCF05, "S").add(CB(0xCF24).f32(0).f32(1).u32(1000)))
                   // NaN and beyond-the-time-line spans
                   .add(CB(0xCF06).text(0xCF05, "S").add(CB(0xCF24).f32(NAN).f32(1).u32(0)))
                   .add(CB(0xCF06).text(0xCF05, "S").add(CB(0xCF24).f32(1).f32(7201).u32(0)))
                   // no span, no signature
                   .add(CB(0xCF06).text(0xCF05, "S"))
                   .add(CB(0xCF06).add(CB(0xCF24).f32(0).f32(1).u32(0)));
  FileProject d =
      Read(Root().add(CB(0xBF01).add(track).add(CB(0xBF02).add(CB(0xCF17).length(2)))).build());
  EXPECT_EQ(d.status, kLoadOk);
  ASSERT_EQ(d.tracks.size(), 1u);
  EXPECT_EQ(d.tracks[0].clips.size(), 1u);
}

TEST(ProjectFileDoc, ProcessWithoutNameOrSignatureFails) {
  auto list = CB(0xCF01).add(CB(0xCF02).text(0xCF04, "only name"));
  EXPECT_EQ(Read(Root().add(list).build()).status, kLoadBadProcess);
  // A second name is ignored; an old information chunk gives nameless fields.
  auto old = CB(0xCF02)
                 .text(0xCF04, "A")
                 .text(0xCF04, "B")
                 .text(0xCF05, "S")
                 .add(CB(0xCF08).u32(0x2).u32(8).u32(2).u32(0).u16(3).u32(4).u16(9));
  FileProject d = Read(Root().add(CB(0xCF01).add(old)).build());
  ASSERT_EQ(d.processes.size(), 1u);
  EXPECT_EQ(d.processes[0].name, "A");
  EXPECT_EQ(d.processes[0].flags, 2u);
  EXPECT_EQ(d.processes[0].data_template, (FileTemplate{8, {{0, 3, 1, ""}, {4, 9, 1, ""}}}));
}

TEST(ProjectFileDoc, DeepSubProjectsAreCut) {
  CB list = CB(0xBF01);
  for (int i = 0; i < 200; ++i) {
    auto clip = CB(0xCF06)
                    .text(0xCF05, "SuperClip ZOLT built in")
                    .add(CB(0xCF24).f32(0).f32(1).u32(0).u16(0).u32(0))
                    .add(list);
    list = CB(0xBF01).add(CB(0xBF02).add(clip));
  }
  FileProject d = Read(Root().add(list).build());
  EXPECT_EQ(d.status, kLoadOk);
  int depth = 0;
  const std::vector<FileTrack>* tracks = &d.tracks;
  while (!tracks->empty() && !(*tracks)[0].clips.empty() && (*tracks)[0].clips[0].sub_tracks) {
    tracks = &*(*tracks)[0].clips[0].sub_tracks;
    ++depth;
  }
  // Sub-projects are kept down to the limit; the clip that would go one deeper is dropped,
  // leaving its track empty.
  EXPECT_EQ(depth, kMaxSubProjectDepth);
  ASSERT_EQ(tracks->size(), 1u);
  EXPECT_TRUE((*tracks)[0].clips.empty());
}

TEST(ProjectFileDoc, RootFaults) {
  EXPECT_EQ(Read({}).status, kLoadReadError);
  EXPECT_EQ(Read(CB(0xBF00).length(4).build()).status, kLoadBadChunk);
  EXPECT_EQ(Read(CB(0xBF00).length(100).build()).status, kLoadReadError);
  EXPECT_EQ(Read(CB(0x1234).build()).status, kLoadBadChunk);
  EXPECT_EQ(Read(Root().add(CB(0x7777).length(3)).build()).status, kLoadBadChunk);
  EXPECT_EQ(Read(Root().raw({1, 2}).build()).status, kLoadReadError);
  // Unknown chunks are skipped by their length.
  EXPECT_EQ(Read(Root().add(CB(0x7777).u32(1)).add(FrameSize()).build()).settings.width, 640);
}

// A failed load says which chunk failed, where it starts and what the reader expected there.
TEST(ProjectFileDoc, FailedLoadsNameTheChunkOffsetAndExpectation) {
  const CB version = CB(0xBFDD).i32(1002);  // 10 bytes: the next chunk starts at byte 16
  const struct {
    std::vector<uint8_t> bytes;
    int status;
    std::string error;
  } cases[] = {
      {{1, 2, 3}, kLoadReadError, "the project chunk at byte 0: expected a 6-byte chunk header, "
                                  "found 3 bytes"},
      {CB(0x1234).build(), kLoadBadChunk,
       "chunk 0x1234 at byte 0: expected the project chunk 0xBF00"},
      {CB(0xBF00).length(100).build(), kLoadReadError,
       "the project chunk at byte 0: expected a chunk within the 6 bytes left in its container, "
       "found a length of 100"},
      {Root().add(version).add(CB(0xCF09).i32(0).i32(480).i32(50)).build(), kLoadBadChunk,
       "chunk 0xCF09 at byte 16: expected a frame width and height of at least 1, found 0 x 480"},
      {Root().add(version).add(CB(0xCF33).i32(22050)).build(), kLoadBadChunk,
       "chunk 0xCF33 at byte 16: expected a sample rate, channel count and sample size (12 "
       "bytes)"},
      {Root().add(version).add(CB(0xBFDD)).build(), kLoadBadChunk,
       "chunk 0xBFDD at byte 16: expected a 4-byte version number"},
      {Root().add(version).add(CB(0x7777).length(3)).build(), kLoadBadChunk,
       "chunk 0xBF00 at byte 0: at byte 16, expected a chunk length of at least 6 bytes, found 3"},
      // Inside the track list (at 16): its track (at 22) claims more than the list holds.
      {Root().add(version).add(CB(0xBF01).add(CB(0xBF02).length(50))).build(), kLoadBadChunk,
       "chunk 0xBF01 at byte 16: at byte 22, expected a chunk within the 6 bytes left in its "
       "container, found a length of 50"},
      {Root().add(version).add(CB(0xCF01).add(CB(0xCF02).text(0xCF04, "A"))).build(),
       kLoadBadProcess, "chunk 0xCF02 at byte 22: expected a process record with a name and a "
                        "signature"},
      {Root().add(version).add(CB(0xCF2D).f32(0.1f)).build(), kLoadSettingsFailed,
       "chunk 0xCF2D at byte 16: expected 14 bytes of track window settings, found 4"},
  };
  for (const auto& c : cases) {
    FileProject d = Read(c.bytes);
    EXPECT_EQ(d.status, c.status) << c.error;
    EXPECT_EQ(d.error, c.error);
  }
  // A later good settings chunk decides the status, and with it the reason.
  FileProject d = Read(
      Root().add(version).add(CB(0xCF2D).f32(0.1f)).add(CB(0xCF2E).f32(0).f32(0).u16(0)).build());
  EXPECT_EQ(d.status, kLoadOk);
  EXPECT_EQ(d.error, "");
}

// Every prefix and every 4-byte window overwritten with odd lengths: the reader returns
// a status and never reads outside the file (the sanitizers watch).
TEST(ProjectFileDoc, SweepTruncatedAndCorrupted) {
  const auto bytes = WriteProjectBytes(test::RichDoc(), 0);
  for (size_t n = 0; n < bytes.size(); ++n) {
    std::vector<uint8_t> cut(bytes.begin(), bytes.begin() + n);
    FileProject d = Read(cut);
    EXPECT_NE(d.status, kLoadOk) << n;
    EXPECT_NE(d.error, "") << n;
  }
  const uint32_t odd[] = {0, 5, 6, 7, 0x7FFFFFFF, 0xFFFFFFFF};
  for (size_t i = 0; i + 4 <= bytes.size(); ++i) {
    for (uint32_t v : odd) {
      auto bad = bytes;
      for (int b = 0; b < 4; ++b) bad[i + b] = uint8_t(v >> (8 * b));
      FileProject d = Read(bad);
      if (d.status == kLoadOk) WriteProjectBytes(d, 0);
    }
  }
}

}  // namespace
}  // namespace lumetra::project
