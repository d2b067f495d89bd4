// Projects through project files: save, load and save again; processes, virtual processes,
// inputs, track numbers, geometry links; sweeps over damaged files; files on disk.
#include <gtest/gtest.h>
#include <sys/resource.h>

#include <csignal>
#include <cstdio>
#include <filesystem>

#include "chunk_builder.h"
#include "project_file_fixture.h"
#include "projectfile/chunk_ids.h"
#include "projectfile/project_file_io.h"
#include "projectfile/project_reader.h"
#include "projectfile/project_writer.h"

namespace lumetra::project {
namespace {

using test::CB;

struct ProjectFileModel : ::testing::Test {
  test::TestProcesses procs;
  std::vector<Project*> owned;
  Project* Keep(Project* p) {
    owned.push_back(p);
    return p;
  }
  ~ProjectFileModel() override {
    for (Project* p : owned) ProjectFree(p);
    FileSession() = {};
  }
};

std::vector<Track*> TracksOf(Track* list) {
  std::vector<Track*> out;
  for (Track* t = list; t != nullptr; t = t->next) out.push_back(t);
  return out;
}

TEST_F(ProjectFileModel, SaveLoadSaveGivesIdenticalBytes) {
  Project* p = Keep(test::BuildRichProject(procs));
  auto bytes = ProjectSaveBytes(p);
  Project* q = Keep(ProjectLoadBytes(bytes, kLoadMaskLoad));
  ASSERT_EQ(q->status, kLoadOk);
  EXPECT_EQ(ProjectSaveBytes(q), bytes);

  // Track order, names, numbers.
  auto tp = TracksOf(p->first_track), tq = TracksOf(q->first_track);
  ASSERT_EQ(tq.size(), 3u);
  for (size_t i = 0; i < 3; ++i) {
    EXPECT_STREQ(tq[i]->name, tp[i]->name);
    EXPECT_EQ(tq[i]->number, tp[i]->number);
  }
  // Clips, inputs, data.
  Clip* a = tq[0]->first_clip;
  ASSERT_NE(a, nullptr);
  EXPECT_EQ(a->process, &procs.blur);
  EXPECT_EQ(a->inputs[0], PseudoTrackGet(PseudoTrack::kPrevious));
  EXPECT_EQ(a->inputs[1], tq[2]);
  EXPECT_EQ(a->flags, kClipTransparent);
  ASSERT_TRUE(a->icon);
  EXPECT_EQ(a->icon[4319], 0x5A);
  auto* d = static_cast<test::TestParams*>(a->data);
  EXPECT_EQ(d->b, 9);
  EXPECT_EQ(d->w, 0xBEEF);
  EXPECT_EQ(d->d, 7u);
  EXPECT_EQ(d->f, 0.5f);
  ASSERT_NE(d->curve, nullptr);
  ASSERT_NE(d->curve->next, nullptr);
  EXPECT_EQ(d->curve->next->x, 5.f);
  EXPECT_EQ(d->curve->next->prev, d->curve);
  ASSERT_NE(d->shape, nullptr);
  EXPECT_EQ(d->shape->name, "shape");
  EXPECT_STREQ(d->label, "hello");
  EXPECT_EQ(static_cast<uint8_t*>(d->buf)[11], 0xAB);
  // SuperClip sub-project and its pseudo input.
  Clip* super = a->next;
  ASSERT_NE(super, nullptr);
  EXPECT_TRUE(IsSuperClipProcess(super->process));
  EXPECT_EQ(super->inputs[1], tq[1]);
  ASSERT_NE(super->sub_first_track, nullptr);
  Clip* in = super->sub_first_track->first_clip;
  ASSERT_NE(in, nullptr);
  EXPECT_EQ(in->process, &procs.inner);
  EXPECT_EQ(in->inputs[0], PseudoTrackGet(PseudoTrack::kInput0));
  EXPECT_EQ(super->sub_first_track->owner_clip, super);
  // The edit copy of the clip whose window was open.
  Clip* b = tq[1]->first_clip;
  ASSERT_NE(b, nullptr);
  ASSERT_NE(b->backup_copy, nullptr);
  EXPECT_EQ(static_cast<test::TestParams*>(b->backup_copy->data)->f, 1.0f);
  EXPECT_EQ(b->backup_copy->edited_clip, b);
  EXPECT_EQ(b->edit_window_position[2], 640);
  // Geometry and its links.
  auto* list = &q->geometry;
  ASSERT_NE(list, nullptr);
  EXPECT_EQ(list->Size(), 6u);
  geometry::Geometry* contour = list->FindByName("shape");
  ASSERT_NE(contour, nullptr);
  ASSERT_EQ(contour->Contour()->vertices.size(), 2u);
  EXPECT_EQ(contour->Contour()->vertices[1]->name, "v2");
  EXPECT_EQ(list->FindByName("group")->Group()->members.at(0), contour);
  EXPECT_EQ(list->FindByName("pair")->MorphPair()->a, contour);
  EXPECT_EQ(list->FindByName("v1")->Vertex()->refs[0], list->FindByName("v2"));
  EXPECT_EQ(list->FindByName("temp")->owner_clip, a);
  // Settings.
  EXPECT_EQ(q->settings.time_base, 30);
  EXPECT_EQ(q->settings.time_snap, 60);
  EXPECT_EQ(q->description, "demo");
}

TEST_F(ProjectFileModel, ProcessesUsedOnlyInsideSuperClipsAreWritten) {
  Project* p = Keep(test::BuildRichProject(procs));
  FileProject doc = ProjectToFile(p);
  std::vector<std::string> sigs;
  for (const FileProcess& f : doc.processes) sigs.push_back(f.signature);
  EXPECT_EQ(sigs, (std::vector<std::string>{"TEST blur", "TEST inner"}));
  // The "used" mark keeps its meaning: clips on the project's own tracks only.
  EXPECT_TRUE(procs.blur.flags & kProcessUsed);
  EXPECT_FALSE(procs.inner.flags & kProcessUsed);
  EXPECT_EQ(doc.processes[0].data_template.fields.size(), 8u);
  EXPECT_EQ(doc.processes[0].data_template.fields[4].name, "curve");
}

TEST_F(ProjectFileModel, UnknownProcessLoadsVirtualWithItsRecordAndIsDroppedWithout) {
  Project* p = Keep(test::BuildRichProject(procs));
  FileProject doc = ProjectToFile(p);
  ProcessRegistryRemove(&procs.blur);
  ProcessRegistryRemove(&procs.inner);

  auto with_record = WriteProjectBytes(doc, 0);
  Project* q = Keep(ProjectLoadBytes(with_record, kLoadMaskLoad));
  ASSERT_EQ(q->status, kLoadOk);
  Clip* a = q->first_track->first_clip;
  ASSERT_NE(a, nullptr);
  EXPECT_TRUE(a->process->flags & kProcessVirtual);
  EXPECT_EQ(a->process->signature, "TEST blur");
  // Saving writes the record and the clip data back unchanged.
  FileProject again = ProjectToFile(q);
  ASSERT_FALSE(again.processes.empty());
  EXPECT_EQ(again.processes[0].signature, "TEST blur");
  EXPECT_EQ(again.processes[0].data_template, doc.processes[0].data_template);
  EXPECT_EQ(again.tracks[0].clips[0].data, doc.tracks[0].clips[0].data);
  // Virtual processes keep the file's order, so saving again writes the same list.
  ASSERT_EQ(again.processes.size(), 2u);
  EXPECT_EQ(again.processes[1].signature, "TEST inner");
  EXPECT_EQ(again.processes[1].flags, doc.processes[1].flags | kProcessVirtual);
  for (Project* x : owned) ProjectFree(x);
  owned.clear();
  VirtualProcessesClear();

  FileProject no_record = doc;
  no_record.processes.clear();
  Project* r = Keep(ProjectLoadBytes(WriteProjectBytes(no_record, 0), kLoadMaskLoad));
  ASSERT_EQ(r->status, kLoadOk);
  // The blur clip is gone; the SuperClip on the same track stays.
  ASSERT_NE(r->first_track->first_clip, nullptr);
  EXPECT_TRUE(IsSuperClipProcess(r->first_track->first_clip->process));
  EXPECT_EQ(r->first_track->next->first_clip, nullptr);
  ProcessRegistryPush(&procs.inner);
  ProcessRegistryPush(&procs.blur);
}

CB InnerClip(float start, float end, int32_t input) {
  return CB(0xCF06)
      .text(0xCF04, "Test/Inner")
      .text(0xCF05, "TEST inner")
      .add(CB(0xCF24).f32(start).f32(end).u32(1).i32(input).u16(0).u32(0));
}

TEST_F(ProjectFileModel, InputsNameOnlyTracksWrittenBefore) {
  // Written order: A (holds a clip naming track 0), B (the same), C with number 7 twice.
  auto file = CB(0xBF00)
                  .add(CB(0xBF01)
                           .add(CB(0xBF02).add(InnerClip(0, 1, 0)).add(CB(0xCF17).i32(7)))
                           .add(CB(0xBF02).add(InnerClip(0, 1, 0)).add(CB(0xCF17).i32(7)))
                           .add(CB(0xBF02).add(InnerClip(0, 1, -12)).add(CB(0xCF17).i32(7))))
                  .build();
  Project* q = Keep(ProjectLoadBytes(file, kLoadMaskLoad));
  ASSERT_EQ(q->status, kLoadOk);
  auto t = TracksOf(q->first_track);  // list order: the last written first
  ASSERT_EQ(t.size(), 3u);
  Track* first_written = t[2];
  EXPECT_EQ(first_written->first_clip->inputs[0], nullptr);
  EXPECT_EQ(t[1]->first_clip->inputs[0], first_written);
  EXPECT_EQ(t[0]->first_clip->inputs[0], PseudoTrackGet(PseudoTrack::kInput2));
  EXPECT_EQ(first_written->number, 7);
  EXPECT_EQ(t[1]->number, 8);
  EXPECT_EQ(t[0]->number, 9);
  EXPECT_STREQ(t[1]->name, "Track 8");
}

// Hostile but well-formed: many tracks with one number, many clips in reverse order.
// Loading stays linear (a quadratic load would take minutes here).
TEST_F(ProjectFileModel, ManyTracksOfOneNumberAndClipsOutOfOrder) {
  const int n = 20000;
  CB list(0xBF01);
  for (int i = 0; i < n; ++i) list.add(CB(0xBF02).add(CB(0xCF17).i32(5)));
  CB track(0xBF02);
  for (int i = n; i > 0; --i) track.add(InnerClip(float(i) * 0.25f, float(i) * 0.25f + 0.25f, -1));
  list.add(track);
  Project* q = Keep(ProjectLoadBytes(CB(0xBF00).add(list).build(), kLoadMaskLoad));
  ASSERT_EQ(q->status, kLoadOk);
  auto t = TracksOf(q->first_track);
  ASSERT_EQ(t.size(), size_t(n) + 1);
  EXPECT_EQ(t.back()->number, 5);
  EXPECT_EQ(t[1]->number, 5 + n - 1);
  int clips = 0;
  for (Clip* c = t[0]->first_clip; c != nullptr; c = c->next) ++clips;
  EXPECT_EQ(clips, n);
}

TEST_F(ProjectFileModel, ClipsThatDoNotFitAreDropped) {
  auto file = CB(0xBF00)
                  .add(CB(0xBF01).add(CB(0xBF02)
                                          .add(InnerClip(0, 2, -1))
                                          .add(InnerClip(1, 3, -1))
                                          .add(InnerClip(2, 7200, -1))))
                  .build();
  Project* q = Keep(ProjectLoadBytes(file, kLoadMaskLoad));
  ASSERT_EQ(q->status, kLoadOk);
  Clip* c = q->first_track->first_clip;
  ASSERT_NE(c, nullptr);
  ASSERT_NE(c->next, nullptr);
  EXPECT_EQ(c->next->start, 2.f);
  EXPECT_EQ(c->next->next, nullptr);
}

TEST_F(ProjectFileModel, GeometryKeysInFramesBecomeSeconds) {
  auto key = [](float t) {
    return CB().f32(t).f32(0).f32(0).f32(0).f32(0).f32(0).f32(1).f32(2).f32(0).u8(2).u8(0);
  };
  auto geo = CB(0xBF13)
                 .u16(3)
                 .u32(0)
                 .i32(0)
                 .u32(0)
                 .u32(0)
                 .cstr("vec")
                 .i32(-1)
                 .add(CB(0xBF09).add(key(0)).add(key(50)))
                 .add(CB(0xBF09))
                 .add(CB(0xBF09));
  auto file = CB(0xBF00)
                  .add(CB(0xBFDD).i32(1002))
                  .add(CB(0xCF26).i32(25).i32(25))
                  .add(CB(0xBF11).add(geo))
                  .build();
  Project* q = Keep(ProjectLoadBytes(file, kLoadMaskLoad));
  ASSERT_EQ(q->status, kLoadOk);
  geometry::Geometry* g = q->geometry.First();
  ASSERT_NE(g, nullptr);
  ASSERT_NE(g->position, nullptr);
  ASSERT_NE(g->position->next, nullptr);
  EXPECT_FLOAT_EQ(g->position->next->time, 2.0f);
}

TEST_F(ProjectFileModel, MergeMaskReadsOnlyGeometryProcessesAndTracks) {
  Project* p = Keep(test::BuildRichProject(procs));
  FileSession().settings.render_threads = 3;
  auto bytes = ProjectSaveBytes(p);
  FileSession().settings.render_threads = 9;
  Project* q = Keep(ProjectLoadBytes(bytes, kLoadMaskMerge));
  ASSERT_EQ(q->status, kLoadOk);
  EXPECT_EQ(TracksOf(q->first_track).size(), 3u);
  EXPECT_EQ(q->geometry.Size(), 6u);
  EXPECT_EQ(q->settings.time_base, 25);  // time settings are not read
  EXPECT_EQ(FileSession().settings.render_threads, 9);
  Project* r = Keep(ProjectLoadBytes(bytes, kLoadMaskLoad));
  ASSERT_EQ(r->status, kLoadOk);
  EXPECT_EQ(FileSession().settings.render_threads, 3);
}

// Every prefix, and every length field made odd, one short or one long, loads to a status or
// a consistent project that saves again; the sanitizers watch for the rest.
TEST_F(ProjectFileModel, SweepTruncatedAndCorrupted) {
  Project* p = Keep(test::BuildRichProject(procs));
  const auto bytes = ProjectSaveBytes(p);
  auto load = [&](const std::vector<uint8_t>& file) {
    Project* q = ProjectLoadBytes(file, kLoadMaskLoad);
    if (q->status == kLoadOk) ProjectSaveBytes(q);
    int st = q->status;
    ProjectFree(q);
    VirtualProcessesClear();
    return st;
  };
  for (size_t n = 0; n < bytes.size(); ++n) {
    EXPECT_NE(load(std::vector<uint8_t>(bytes.begin(), bytes.begin() + n)), kLoadOk) << n;
  }
  const uint32_t odd[] = {0, 5, 7, 0xFFFFFFFF};
  const auto fields = test::LengthFieldOffsets(bytes);
  EXPECT_GT(fields.size(), 60u);
  for (size_t i : fields) {
    for (uint32_t v : odd) {
      auto bad = bytes;
      for (int b = 0; b < 4; ++b) bad[i + b] = uint8_t(v >> (8 * b));
      load(bad);
    }
    for (int delta : {-1, 1}) {
      auto bad = bytes;
      uint32_t len = bad[i] | bad[i + 1] << 8 | bad[i + 2] << 16 | uint32_t(bad[i + 3]) << 24;
      len += delta;
      for (int b = 0; b < 4; ++b) bad[i + b] = uint8_t(len >> (8 * b));
      load(bad);
    }
  }
}

TEST_F(ProjectFileModel, FilesSaveThroughATemporaryAndLoadWhole) {
  namespace fs = std::filesystem;
  fs::path dir =
      fs::temp_directory_path() /
      ("lumetra_pf_" + std::to_string(::testing::UnitTest::GetInstance()->random_seed()));
  fs::create_directories(dir);
  const std::string path = (dir / "a.ZTP").string();
  Project* p = Keep(test::BuildRichProject(procs));
  std::string error;
  ASSERT_EQ(ProjectSaveFile(p, path, {}, &error), kSaveOk) << error;
  EXPECT_FALSE(fs::exists(path + ".tmp"));
  Project* q = Keep(ProjectLoadFile(path, kLoadMaskLoad, &error));
  ASSERT_NE(q, nullptr);
  EXPECT_EQ(q->status, kLoadOk);
  // A save that cannot write leaves the old file as it was.
  auto before = fs::file_size(path);
  {
    // A file size limit below the project's size fails the write, even for root; writes past
    // it fail with EFBIG instead of raising SIGXFSZ.
    rlimit old{};
    ASSERT_EQ(::getrlimit(RLIMIT_FSIZE, &old), 0);
    auto* old_handler = std::signal(SIGXFSZ, SIG_IGN);
    rlimit lower = old;
    lower.rlim_cur = 16;
    ASSERT_EQ(::setrlimit(RLIMIT_FSIZE, &lower), 0);
    const int status = ProjectSaveFile(q, path, {}, &error);
    ::setrlimit(RLIMIT_FSIZE, &old);
    std::signal(SIGXFSZ, old_handler);
    EXPECT_EQ(status, kSaveWriteError);
  }
  EXPECT_FALSE(error.empty());
  EXPECT_EQ(fs::file_size(path), before);
  std::size_t entries = 0;
  for ([[maybe_unused]] const auto& e : fs::directory_iterator(dir)) ++entries;
  EXPECT_EQ(entries, 1u);  // no temporary file left behind
  EXPECT_EQ(ProjectLoadFile((dir / "missing.ZTP").string(), kLoadMaskLoad, &error), nullptr);
  fs::remove_all(dir);
}

}  // namespace
}  // namespace lumetra::project
