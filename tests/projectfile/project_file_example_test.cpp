// The shipped example project is made here through the model API: the test checks that the
// committed file is byte for byte what the writer makes, and that it loads and saves back.
// LUMETRA_WRITE_EXAMPLE=1 rewrites examples/demo.ZTP.
#include <gtest/gtest.h>

#include <cstdlib>
#include <cstring>
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
struct MatteParams {
  geometry::Geometry* geo;
  KeyfloatKey* clr;
  KeyfloatKey* a;
};
struct MixParams {
  KeyfloatKey* factor;
  int32_t clipping;
};
struct PasteParams {
  KeyfloatKey* operation;
  int16_t alpha_source;
  uint8_t blending_mode;
};

// Records as the standard effects library registers them.
struct ExampleProcesses {
  BlurParams blur_proto{};
  FillParams fill_proto{};
  MatteParams matte_proto{};
  MixParams mix_proto{};
  PasteParams paste_proto{};
  TemplatePtr blur_tmpl, fill_tmpl, matte_tmpl, mix_tmpl, paste_tmpl;
  ProcessRecord blur, fill, matte, mix, paste;

  static void Add(Template& t, const char* name, const char* type, const void* at) {
    TemplateAddField(t, name, type, reinterpret_cast<uintptr_t>(at), 1);
  }
  ExampleProcesses() {
    blur_tmpl.reset(TemplateNew(reinterpret_cast<uintptr_t>(&blur_proto)));
    Add(*blur_tmpl, "Factor", "keyfloat", &blur_proto.factor);
    fill_tmpl.reset(TemplateNew(reinterpret_cast<uintptr_t>(&fill_proto)));
    Add(*fill_tmpl, "Geo", "geometry", &fill_proto.geo);
    Add(*fill_tmpl, "clr", "KEYFLOAT", &fill_proto.clr);
    Add(*fill_tmpl, "a", "KEYFLOAT", &fill_proto.a);
    Add(*fill_tmpl, "flags", "LONG", &fill_proto.flags);
    Add(*fill_tmpl, "blur", "KEYFLOAT", &fill_proto.blur);
    matte_tmpl.reset(TemplateNew(reinterpret_cast<uintptr_t>(&matte_proto)));
    Add(*matte_tmpl, "Geo", "geometry", &matte_proto.geo);
    Add(*matte_tmpl, "clr", "KEYFLOAT", &matte_proto.clr);
    Add(*matte_tmpl, "a", "KEYFLOAT", &matte_proto.a);
    mix_tmpl.reset(TemplateNew(reinterpret_cast<uintptr_t>(&mix_proto)));
    Add(*mix_tmpl, "Factor", "keyfloat", &mix_proto.factor);
    Add(*mix_tmpl, "Clipping", "long", &mix_proto.clipping);
    paste_tmpl.reset(TemplateNew(reinterpret_cast<uintptr_t>(&paste_proto)));
    Add(*paste_tmpl, "Operation", "keyfloat", &paste_proto.operation);
    Add(*paste_tmpl, "AlphaSource", "int16", &paste_proto.alpha_source);
    Add(*paste_tmpl, "BlendingMode", "byte", &paste_proto.blending_mode);
    blur.name = "Filtering/Blur";
    blur.signature = "Blur 1.0 ZOLT Standard";
    blur.inputs_number = 1;
    blur.previous_track_input = 0;
    blur.data_template = blur_tmpl.get();
    fill.name = "Geometry Shading/Fill Shape";
    fill.signature = "Fill Shape 1.0 ZOLT Standard";
    fill.inputs_number = 1;
    fill.data_template = fill_tmpl.get();
    matte.name = "Sources/Solid Color";
    matte.signature = "Matte 1.0 ZOLT Standard";
    matte.inputs_number = 0;
    matte.data_template = matte_tmpl.get();
    mix.name = "Compositing/Mix";
    mix.signature = "Mix 1.0 ZOLT Standard";
    mix.inputs_number = 2;
    mix.data_template = mix_tmpl.get();
    paste.name = "Compositing/Paster tool";
    paste.signature = "Paste 11.02.1997 ZOLT Standard";
    paste.inputs_number = 3;
    paste.version = 3;
    paste.data_template = paste_tmpl.get();
    for (ProcessRecord* r : {&paste, &mix, &matte, &fill, &blur}) ProcessRegistryPush(r);
  }
  ~ExampleProcesses() {
    for (ProcessRecord* r : {&paste, &mix, &matte, &fill, &blur}) ProcessRegistryRemove(r);
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

constexpr float kExampleSeconds = 4;  // 100 frames at 25 frames per second

// The render settings the example carries: PNG frames "demo0000.png" ... of the whole
// frame into the default output folder (an empty path).
FilePreset ExampleRenderSettings(const ProjectSettings& f) {
  FilePreset p;
  p.flags = 0x00001 | 0x02000 | 0x01000;  // video, overwrite, the project's own settings
  uint32_t aspect = 0;
  std::memcpy(&aspect, &f.pixel_aspect, sizeof aspect);
  // Width, height, aspect, digits, step, time base, sample rate, channels, bytes.
  p.settings = {uint32_t(f.width), uint32_t(f.height), aspect, 4, 1, uint32_t(f.time_base),
                uint32_t(f.sampling_rate), uint32_t(f.channels), uint32_t(f.bytes_per_sample)};
  p.name = "Demo frames";
  p.components[0].texts[1] = "demo";
  p.components[0].texts[3] = "png";
  p.components[0].value = 0x40;  // numbered files
  return p;
}

// A dark blue background; an orange square that turns and grows, filled over it; a blurred
// copy of that; a cross-fade from the sharp square to the blurred one; and that laid over
// the background, opaque.
Project* BuildExample(ExampleProcesses& procs) {
  using namespace geometry;
  Project* p = ProjectCreate();
  ProjectSetDefaults(p);
  p->description =
      "Lumetra example: an orange square turning over a blue background, cross-faded into a "
      "blurred copy of itself";
  p->active_start = 0;
  p->active_end = kExampleSeconds;
  Track* over = test::AddTrack(p);
  Track* final_track = test::AddTrack(p);
  Track* soft = test::AddTrack(p);
  Track* shape = test::AddTrack(p);
  Track* back = test::AddTrack(p);
  TrackSetName(over, "Over the background");
  TrackSetName(final_track, "Sharp to soft");
  TrackSetName(soft, "Blurred square");
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
  // The square turns a quarter and grows over the whole time.
  square->rotation = Key(square->rotation, kExampleSeconds, 1, 90);
  square->scale = Key(square->scale, kExampleSeconds, 2, 1.5f, 1.5f);

  Clip* bg = ClipCreate(nullptr, &procs.matte, 0, kExampleSeconds, back);
  auto* m = static_cast<MatteParams*>(bg->data);
  m->clr = Key(nullptr, 0, 3, 0.1f, 0.2f, 0.5f);
  m->a = Key(nullptr, 0, 1, 1);

  Clip* fill = ClipCreate(nullptr, &procs.fill, 0, kExampleSeconds, shape);
  auto* d = static_cast<FillParams*>(fill->data);
  d->geo = square;
  d->clr = Key(nullptr, 0, 3, 1, 0.6f, 0.1f);
  d->a = Key(nullptr, 0, 1, 1);
  d->blur = Key(nullptr, 0, 1, 0);
  EXPECT_TRUE(ClipSetInput(fill, 0, back));

  Clip* blur = ClipCreate(nullptr, &procs.blur, 0, kExampleSeconds, soft);
  static_cast<BlurParams*>(blur->data)->factor = Key(nullptr, 0, 1, 0.25f);
  EXPECT_TRUE(ClipSetInput(blur, 0, shape));

  Clip* mix = ClipCreate(nullptr, &procs.mix, 0, kExampleSeconds, final_track);
  static_cast<MixParams*>(mix->data)->factor = Key(Key(nullptr, 0, 1, 0), 1, 1, 1);
  EXPECT_TRUE(ClipSetInput(mix, 0, shape));
  EXPECT_TRUE(ClipSetInput(mix, 1, soft));

  // The fill keeps the background's colours but its alpha is the square's coverage: laid
  // over the background with an opaque opacity source, the frames are opaque.
  Clip* paste = ClipCreate(nullptr, &procs.paste, 0, kExampleSeconds, over);
  auto* o = static_cast<PasteParams*>(paste->data);
  o->operation = Key(nullptr, 0, 1, 1);
  o->alpha_source = 5;  // "Opaque", method "Normal"
  EXPECT_TRUE(ClipSetInput(paste, 0, back));
  EXPECT_TRUE(ClipSetInput(paste, 1, final_track));

  FileSession().render_preset = ExampleRenderSettings(p->settings);
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
  // The render settings travel with the project.
  ASSERT_TRUE(FileSession().render_preset.has_value());
  EXPECT_EQ(*FileSession().render_preset, ExampleRenderSettings(q->settings));
  auto again = ProjectSaveBytes(q.get());
  EXPECT_EQ(again, committed);
  FileSession() = {};
}

}  // namespace
}  // namespace lumetra::project
