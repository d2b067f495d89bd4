// The shipped example project is made here through the model API: the test checks that the
// committed file is byte for byte what the writer makes, and that it loads and saves back.
// LUMETRA_WRITE_EXAMPLE=1 rewrites examples/demo.ZTP.
#include <gtest/gtest.h>

#include <cstdlib>
#include <fstream>
#include <iterator>

#include "project_file_fixture.h"
#include "projectfile/project_file_io.h"

namespace lumetra::project {
namespace {

struct BlurParams {
  KeyfloatKey* factor;
};
struct FillParams {
  geometry::Geometry* geo;
  KeyfloatKey* clr;
  KeyfloatKey* a;
  int32_t flags;
  KeyfloatKey* blur;
};

// Records as the standard effects library registers them.
struct ExampleProcesses {
  BlurParams blur_proto{};
  FillParams fill_proto{};
  TemplatePtr blur_tmpl, fill_tmpl;
  ProcessRecord blur, fill;

  ExampleProcesses() {
    blur_tmpl.reset(TemplateNew(reinterpret_cast<uintptr_t>(&blur_proto)));
    TemplateAddField(*blur_tmpl, "Factor", "keyfloat",
                     reinterpret_cast<uintptr_t>(&blur_proto.factor), 1);
    fill_tmpl.reset(TemplateNew(reinterpret_cast<uintptr_t>(&fill_proto)));
    auto add = [&](const char* name, const char* type, const void* at) {
      TemplateAddField(*fill_tmpl, name, type, reinterpret_cast<uintptr_t>(at), 1);
    };
    add("Geo", "geometry", &fill_proto.geo);
    add("clr", "KEYFLOAT", &fill_proto.clr);
    add("a", "KEYFLOAT", &fill_proto.a);
    add("flags", "LONG", &fill_proto.flags);
    add("blur", "KEYFLOAT", &fill_proto.blur);
    blur.name = "Filtering/Blur";
    blur.signature = "Blur 1.0 ZOLT Standard";
    blur.inputs_number = 1;
    blur.previous_track_input = 0;
    blur.data_template = blur_tmpl.get();
    fill.name = "Geometry Shading/Fill Shape";
    fill.signature = "Fill Shape 1.0 ZOLT Standard";
    fill.inputs_number = 1;
    fill.data_template = fill_tmpl.get();
    ProcessRegistryPush(&fill);
    ProcessRegistryPush(&blur);
  }
  ~ExampleProcesses() {
    ProcessRegistryRemove(&blur);
    ProcessRegistryRemove(&fill);
    VirtualProcessesClear();
  }
};

KeyfloatKey* Key(KeyfloatKey* list, float t, int8_t n, float x, float y = 0, float z = 0) {
  auto* k = new KeyfloatKey{};
  k->time = t;
  k->components = n;
  k->x = x;
  k->y = y;
  k->z = z;
  if (list == nullptr) return k;
  KeyfloatKey* last = list;
  while (last->next != nullptr) last = last->next;
  last->next = k;
  k->prev = last;
  return list;
}

Project* BuildExample(ExampleProcesses& procs) {
  using namespace geometry;
  Project* p = ProjectCreate();
  ProjectSetDefaults(p);
  p->description = "Lumetra example: a square filled and blurred over a background";
  p->active_start = 0;
  p->active_end = 6;
  Track* title = test::AddTrack(p);
  Track* shape = test::AddTrack(p);
  Track* back = test::AddTrack(p);
  TrackSetName(title, "Soft title");
  TrackSetName(shape, "Square");
  TrackSetName(back, "Background");

  GeometryList& list = p->geometry;
  // Geometry space is in frame widths: x 0..1 across, y 0..A down the frame.
  const ProjectSettings& f = p->settings;
  const float aspect = float(f.height) / (float(f.width) * f.pixel_aspect);
  const float cx = 0.5f, cy = aspect / 2, half = 0.14f;
  Geometry* square = list.Append(GeoCreate(kGeoContour, "Square", cx, cy, 0xFFFFFF, 0, 0));
  const float corners[4][2] = {{-half, -half}, {half, -half}, {half, half}, {-half, half}};
  for (int i = 0; i < 4; ++i) {
    std::string name = "Corner" + std::to_string(i + 1);
    Geometry* v = list.Append(
        GeoCreate(kGeoVertex, name, cx + corners[i][0], cy + corners[i][1], 0xFFFFFF, 0, 0));
    GeoAttach(square, v);
    // Linked in place: the corners turn and scale with the square.
    EXPECT_EQ(GeoLink(square, v, 0), GeoLinkResult::kLinked);
  }
  square->Contour()->flags = 1;
  // The square turns a quarter and grows while it shows.
  square->rotation = Key(square->rotation, 4, 1, 90);
  square->scale = Key(square->scale, 4, 2, 1.5f, 1.5f);

  auto fill_clip = [&](Track* t, float start, float end, float r, float g, float b) {
    Clip* c = ClipCreate(nullptr, &procs.fill, start, end, t);
    auto* d = static_cast<FillParams*>(c->data);
    d->geo = square;
    d->clr = Key(nullptr, 0, 3, r, g, b);
    d->a = Key(Key(nullptr, 0, 1, 0), 1, 1, 1);
    d->blur = Key(nullptr, 0, 1, 2);
    return c;
  };
  Clip* bg = fill_clip(back, 0, 6, 0.1f, 0.2f, 0.5f);
  static_cast<FillParams*>(bg->data)->flags = 1;
  fill_clip(shape, 0.5f, 5.5f, 1, 0.8f, 0.2f);
  Clip* soft = ClipCreate(nullptr, &procs.blur, 1, 5, title);
  static_cast<BlurParams*>(soft->data)->factor = Key(Key(nullptr, 0, 1, 0), 4, 1, 12);
  return p;
}

std::string ExamplePath() {
  const char* dir = std::getenv("LUMETRA_SOURCE_DIR");
  return std::string(dir != nullptr ? dir : ".") + "/examples/demo.ZTP";
}

TEST(ProjectFileExample, CommittedExampleIsWhatTheWriterMakes) {
  ExampleProcesses procs;
  ProjectPtr p(BuildExample(procs));
  const auto bytes = ProjectSaveBytes(p.get());
  if (const char* w = std::getenv("LUMETRA_WRITE_EXAMPLE"); w != nullptr && *w == '1') {
    std::ofstream(ExamplePath(), std::ios::binary)
        .write(reinterpret_cast<const char*>(bytes.data()), std::streamsize(bytes.size()));
  }
  std::vector<uint8_t> committed;
  ASSERT_TRUE(ReadWholeFile(ExamplePath(), committed, nullptr)) << ExamplePath();
  EXPECT_EQ(committed, bytes);
  ProjectPtr q(ProjectLoadBytes(committed, kLoadMaskLoad));
  ASSERT_EQ(q->status, kLoadOk);
  // In geometry space: the square sits at the frame's centre, its corners inside the frame.
  const float aspect =
      float(q->settings.height) / (float(q->settings.width) * q->settings.pixel_aspect);
  geometry::Geometry* corner = q->geometry.FindByName("Corner1");
  ASSERT_NE(corner, nullptr);
  ASSERT_NE(corner->parent, nullptr);
  float x = 0, y = 0;
  geometry::GeoWorldPosition(corner->parent, 0, &x, &y);
  EXPECT_NEAR(x, 0.5f, 1e-6);
  EXPECT_NEAR(y, aspect / 2, 1e-6);
  geometry::GeoWorldPosition(corner, 0, &x, &y);
  EXPECT_NEAR(x, 0.36f, 1e-5);
  EXPECT_NEAR(y, aspect / 2 - 0.14f, 1e-5);
  auto again = ProjectSaveBytes(q.get());
  EXPECT_EQ(again, committed);
  FileSession() = {};
}

}  // namespace
}  // namespace lumetra::project
