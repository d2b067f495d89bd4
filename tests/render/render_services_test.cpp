// The render services as plug-ins reach them: through the host service table, from an
// in-process effect and from a real library loaded by the loader.
#include <gmock/gmock.h>

#include "anim/keyfloat.h"
#include "host/host_services.h"
#include "host/library_loader.h"
#include "host/plugin_registry.h"
#include "host/typed_object.h"
#include "platform/ui_host.h"
#include "render/pic_error.h"
#include "render/render_client.h"
#include "render/render_services.h"
#include "render_fixture.h"

namespace lumetra::render::testing {
namespace {

using project::Clip;
using project::Track;

// What the table effect saw of its request's user word, per make.
std::atomic<intptr_t> g_word_seen{0};

// Reads input 0 and stamps its own picture, every call through the table.
PIC* TableMake(HostCallContext* ctx, void* data, float, float, float time) {
  const HostServiceTable* host = project::HostServices();
  auto* d = static_cast<StampData*>(data);
  if (host->CheckAbort(ctx, 0.0f) != 0) return nullptr;
  host->RequestSetUserWord(ctx, 0x5A5A);
  g_word_seen = host->RequestGetUserWord(ctx);
  host->RequestSetUserWord(ctx, 0);
  if (d->mode == kStampFail) {
    host->ClipReportError(ctx, "table effect failed");
    return nullptr;
  }
  PIC* in = host->GetInputFrame(ctx, 0, time);
  if (in == nullptr) return nullptr;
  PIC* out = PicCopy(in);
  out->pixels[0] ^= 0xFF;
  EXPECT_EQ(host->FreeInputFrame(ctx, in), 1);
  return out;
}

class RenderServicesTest : public RenderTest {
 protected:
  void SetUp() override {
    RenderTest::SetUp();
    RenderInstallHostServices();
    table_effect_ = effects_[1];
    table_effect_.name = "Test/Table";
    table_effect_.make = &TableMake;
  }
  // A two-track project: track 1's clip reads "*Previous", which is track 2's stamp clip.
  Clip* TwoTracks(project::ProcessRecord* top) {
    Track* t1 = AddTrack();
    Track* t2 = AddTrack();
    Clip* c = project::ClipCreate(nullptr, top, 0.0f, 2.0f, t1);
    EXPECT_NE(c, nullptr);
    AddClip(t2, 0.0f, 2.0f);
    return c;
  }
  project::ProcessRecord table_effect_;
};

TEST_F(RenderServicesTest, TableSlotsReachTheEngine) {
  Clip* top = TwoTracks(&table_effect_);
  ASSERT_NE(top, nullptr);
  ASSERT_EQ(top->inputs.size(), 1u);
  EXPECT_EQ(top->inputs[0]->number, project::kPreviousTrackNumber);
  RenderEngine& e = Engine();
  RenderClientResult below = RenderTrackPicture(e, project_->first_track->next, 0.5f, kW, kH);
  RenderClientResult r = RenderTrackPicture(e, project_->first_track, 0.5f, kW, kH);
  ASSERT_TRUE(below.ok()) << below.error;
  ASSERT_TRUE(r.ok()) << r.error;
  EXPECT_EQ(r.picture->pixels[0], below.picture->pixels[0] ^ 0xFF);
  EXPECT_EQ(0, std::memcmp(r.picture->pixels + 1, below.picture->pixels + 1, kW * kH * 4 - 1));
  EXPECT_EQ(g_word_seen.load(), 0x5A5A);

  // An error reported through the table carries the track and frame.
  Data(top)->mode = kStampFail;
  e.Invalidate(project_->first_track, 0.0f, 7200.0f);
  r = RenderTrackPicture(e, project_->first_track, 0.5f, kW, kH);
  EXPECT_FALSE(r.ok());
  EXPECT_THAT(r.error, ::testing::StartsWith("Error on track '" +
                                             std::string(project_->first_track->name) + "' in frame "));
  EXPECT_THAT(r.error, ::testing::EndsWith(" (0.50): table effect failed"));
  EXPECT_EQ(e.CheckInvariants(), "");
}

TEST_F(RenderServicesTest, OutsideARenderCallTheServicesAnswerNothing) {
  const HostServiceTable* host = project::HostServices();
  HostCallContext ctx{};
  ctx.word[HCC_WORD_KIND] = HCC_KIND_CLIP;
  EXPECT_EQ(host->GetInputFrame(&ctx, 0, 0.0f), nullptr);
  EXPECT_EQ(host->FreeInputFrame(&ctx, nullptr), 0);
  EXPECT_EQ(host->CheckAbort(&ctx, 0.0f), 0);
  EXPECT_EQ(host->RequestSetUserWord(&ctx, 3), 0);
  EXPECT_EQ(host->RequestGetUserWord(&ctx), 0);
  EXPECT_EQ(host->GetInputFrame(nullptr, 0, 0.0f), nullptr);
  // Other calls keep the object error: set, then cleared.
  EXPECT_EQ(host->ClipReportError(&ctx, "plain"), 1);
  char text[16] = {};
  EXPECT_EQ(host->ClipGetErrorText(&ctx, text, sizeof text), 5);
  EXPECT_STREQ(text, "plain");
  EXPECT_EQ(host->ClipReportError(&ctx, nullptr), 1);
  EXPECT_EQ(ctx.word[HCC_WORD_ERROR_TEXT], 0u);
}

TEST_F(RenderServicesTest, EditDialogInputsArriveAtItsWindow) {
  Clip* top = TwoTracks(&effects_[1]);
  ASSERT_NE(top, nullptr);
  const HostServiceTable* host = project::HostServices();
  RenderEngine& e = Engine();
  HostCallContext ctx{};
  ctx.word[HCC_WORD_KIND] = HCC_KIND_EDIT;
  ctx.word[HCC_WORD_CLIP] = reinterpret_cast<uintptr_t>(top);
  auto error = [&] {
    char text[128] = {};
    host->ClipGetErrorText(&ctx, text, sizeof text);
    return std::string(text);
  };
  EXPECT_EQ(host->GetInputFrame(&ctx, 0, 0.5f), nullptr);
  EXPECT_EQ(error(), "Can't set request from non-clip window");
  EXPECT_EQ(host->FreeInputFrame(&ctx, reinterpret_cast<PIC*>(&ctx)), 0);
  EXPECT_EQ(error(), "Can't free input frame: no clip edit window found :(");

  WindowId w = e.OpenWindow();
  e.SetEditWindow(top, w);
  EXPECT_EQ(host->GetInputFrame(&ctx, 1, 0.5f), nullptr);
  int32_t rate = project_->settings.time_base;
  EXPECT_EQ(error(), "Illegal input 1 in 'Test/Stamp' clip on " +
                         std::string(project_->first_track->name) + "[0," +
                         std::to_string(2 * rate) + "]");
  host->ClipReportError(&ctx, nullptr);
  // The picture comes to the window, asked at the project's preview size.
  EXPECT_EQ(host->GetInputFrame(&ctx, 0, 0.5f), nullptr);
  e.RunUntilIdle();
  auto m = e.TakeMessage(w, false);
  ASSERT_TRUE(m.has_value());
  ASSERT_EQ(m->kind, WindowMessageKind::kPicture);
  project::DerivedValues preview = project::ComputeDerivedValues(project_->settings);
  EXPECT_EQ(e.GetPic(project_->first_track->next, 0.5f, preview.preview_width,
                     preview.preview_height),
            m->picture);
  EXPECT_EQ(ReadStamp(m->picture).track, project_->first_track->next->number);
  EXPECT_EQ(host->FreeInputFrame(&ctx, m->picture), 1);
  EXPECT_EQ(host->FreeInputFrame(&ctx, m->picture), 0);  // the window held one reference
  e.SetEditWindow(top, 0);
  EXPECT_EQ(e.CheckInvariants(), "");
}

// The documentation's minimal effect, loaded as any library: Invert over "*Previous".
struct InvertData {
  KeyfloatKey* strength;
};

class RenderLibraryTest : public RenderServicesTest {
 protected:
  void SetUp() override {
    RenderServicesTest::SetUp();
    previous_ui_ = platform::SetUi(std::make_unique<platform::HeadlessUiHost>(true));
    project::TypedObjectsInit();
    project::PluginRegistryClear();
    project::LoadedLibrariesClear();
    // The picture services the library calls, where the table does not hold them yet.
    auto fill = [&](int32_t slot, auto fn) {
      if (!project::HostServiceAssigned(slot)) project::HostServiceInstall(slot, fn);
    };
    fill(17, static_cast<PIC* (*)(const PIC*)>(&PicCopy));
    fill(21, &PicErrorText);
    fill(27, &PicFree);
  }
  void TearDown() override {
    RenderServicesTest::TearDown();
    project::PluginRegistryClear();
    project::LoadedLibrariesClear();
    platform::SetUi(std::move(previous_ui_));
  }
  std::unique_ptr<platform::UiHost> previous_ui_;
};

TEST_F(RenderLibraryTest, LibraryEffectRendersTheSameOnAnyThreadCount) {
  ASSERT_TRUE(project::LibraryLoad(LUMETRA_MINIMAL_EFFECT).message.empty());
  project::ProcessRecord* invert = nullptr;
  for (project::ProcessRecord* p = project::ProcessRegistryHead(); p != nullptr; p = p->next) {
    if (p->signature == "Invert 1.0 Example") invert = p;
  }
  ASSERT_NE(invert, nullptr);
  Clip* top = TwoTracks(invert);
  ASSERT_NE(top, nullptr);
  auto* d = static_cast<InvertData*>(top->data);
  if (d->strength == nullptr) anim::KeyfloatKeySet(&d->strength, 0.0f, 1, 1.0f, 0.0f, 0.0f);

  std::vector<std::vector<uint8_t>> seen;
  for (int32_t threads : {0, 1, 4}) {
    RenderEngine e;
    e.SetThreads(threads);
    RenderClientResult below = RenderTrackPicture(e, project_->first_track->next, 0.5f, kW, kH);
    RenderClientResult r = RenderTrackPicture(e, project_->first_track, 0.5f, kW, kH);
    ASSERT_TRUE(below.ok()) << below.error;
    ASSERT_TRUE(r.ok()) << r.error;
    const std::size_t n = kW * kH * 4;
    for (std::size_t i = 0; i < n; ++i) {
      uint8_t want = (i & 3) == 3 ? below.picture->pixels[i] : 255 - below.picture->pixels[i];
      ASSERT_EQ(r.picture->pixels[i], want) << i;
    }
    seen.emplace_back(r.picture->pixels, r.picture->pixels + n);
    EXPECT_EQ(e.CheckInvariants(), "");
  }
  EXPECT_EQ(seen[0], seen[1]);
  EXPECT_EQ(seen[0], seen[2]);

  // An unassigned input reaches the client as the library's reported error.
  top->inputs[0] = nullptr;
  RenderEngine e;
  RenderClientResult r = RenderTrackPicture(e, project_->first_track, 0.5f, kW, kH);
  EXPECT_FALSE(r.ok());
  EXPECT_THAT(r.error, ::testing::HasSubstr("Input 0 in 'Filtering/Invert' clip is not assigned"));
}

}  // namespace
}  // namespace lumetra::render::testing
