// The service table as a library sees it once every module has put its services in: the
// table walk, the stub of the slots still without a service, and a library's round trips.
#include <gtest/gtest.h>

#include <set>

#include "media/media_fixture.h"
#include "geometry/geo_ops.h"
#include "geometry/geometry.h"
#include "platform/tracked_memory.h"

using namespace lumetra;
using namespace lumetra::media::testing;

namespace {

// Slots that have no service by design (besides 39, which holds nothing).
const std::set<int32_t> kUnassignedByDesign = {1,  5,  6,  7,  8,  9,  10, 11, 12, 22, 25,
                                               44, 58, 59, 60, 62, 83, 84, 85, 86, 96};
// Slots whose services are built and must be wired.
const std::set<int32_t> kWired = {0,  2,  3,  4,  13, 14, 17, 20, 21, 23, 24, 27, 28, 31, 32,
                                  33, 34, 35, 36, 37, 40, 46, 47, 48, 49, 50, 51, 52, 55, 57, 61,
                                  63, 64, 65, 66, 68, 69, 70, 79, 80, 81, 87, 88, 89, 90, 91,
                                  92, 93, 94, 97, 98, 100, 101, 102, 103, 104};

class HostTableTest : public MediaTest {
 protected:
  int32_t Probe(const char* which) {
    auto records = Records("Service probe 1.0 Test");
    EXPECT_EQ(records.size(), 1u);
    if (records.empty() || records[0]->format == nullptr) return 0;
    return records[0]->format(&ctx_, which);
  }
};

TEST_F(HostTableTest, EverySlotButThirtyNineIsSetAndUnbuiltOnesAnswerTheStub) {
  const auto* slots = reinterpret_cast<const LumetraUnassignedFn*>(host_);
  for (int32_t slot = 0; slot < HOST_SERVICE_COUNT; ++slot) {
    SCOPED_TRACE(slot);
    if (slot == project::kReservedSlot) {
      EXPECT_EQ(slots[slot], nullptr);
      EXPECT_FALSE(project::HostServiceInstall(slot, slots[0]));
      continue;
    }
    ASSERT_NE(slots[slot], nullptr);
    if (kUnassignedByDesign.count(slot)) {
      EXPECT_FALSE(project::HostServiceAssigned(slot));
    }
    if (kWired.count(slot)) {
      EXPECT_TRUE(project::HostServiceAssigned(slot));
    }
    if (!project::HostServiceAssigned(slot)) {
      ui_->SetStatus("");
      EXPECT_EQ(slots[slot](), 0);  // the stub takes nothing and answers 0
      EXPECT_EQ(ui_->LastStatus(), project::kUnassignedServiceText);
    }
  }
}

TEST_F(HostTableTest, VersionAnswers1002) {
  intptr_t value = 0;
  EXPECT_EQ(host_->ClipGetValue(&ctx_, "Version", 0, &value, nullptr, nullptr, nullptr, 0), 1);
  EXPECT_EQ(value, 1002);
  EXPECT_EQ(Probe("version"), 1);
}

TEST_F(HostTableTest, MemoryReleaseTakesWhatTheHostHandedOutAndRefusesTheRest) {
  const std::size_t before = platform::TrackedCount(platform::BlockKind::kBuffer);
  ui_->SetStatus("");
  EXPECT_EQ(Probe("memory"), 1);
  EXPECT_EQ(ui_->LastStatus(), project::kForeignBlockText);  // the foreign block
  EXPECT_EQ(platform::TrackedCount(platform::BlockKind::kBuffer), before);  // nothing leaked

  void* block = host_->MemoryAllocate(16);
  ASSERT_NE(block, nullptr);
  ui_->SetStatus("");
  host_->MemoryRelease(block);
  EXPECT_EQ(ui_->LastStatus(), "");
  host_->MemoryRelease(block);  // twice: refused
  EXPECT_EQ(ui_->LastStatus(), project::kForeignBlockText);
  // A picture record is not a buffer: refused, and PicFree still takes it.
  PIC* pic = host_->PicCreate(2, 2);
  ASSERT_NE(pic, nullptr);
  ui_->SetStatus("");
  host_->MemoryRelease(pic);
  EXPECT_EQ(ui_->LastStatus(), project::kForeignBlockText);
  host_->PicFree(pic);
  PIC fake{0, 0, 2, 2, nullptr, 0.0f};
  host_->PicFree(&fake);  // not the host's: refused without touching it
  EXPECT_EQ(host_->PicCopy(&fake), nullptr);
}

TEST_F(HostTableTest, ErrorTextRoundTripIsCutToTheBuffer) {
  EXPECT_EQ(Probe("errors"), 1);
  EXPECT_EQ(Error(), "");
}

TEST_F(HostTableTest, FormatWalkAndFindByExtension) {
  EXPECT_EQ(Probe("formats"), 1);
}

TEST_F(HostTableTest, SoundServicesRoundTripWhenBuilt) {
  // Until the sound module has put its services in, the library's first call fails.
  SoundBlock* block = host_->SoundCreate(0.0f, 1.0f, 1000, 2, 1);
  const bool built = block != nullptr;
  if (built) host_->SoundFree(block);
  EXPECT_EQ(Probe("sound"), built ? 1 : -1);
}

TEST_F(HostTableTest, ClipServicesCheckTheirContext) {
  project::Track* t = AddTrack();
  project::Track* in = AddTrack();
  project::TrackSetName(in, "Background");
  project::Clip* clip = AddClip(t, 0.0f, 1.0f);
  ASSERT_NE(clip, nullptr);
  ASSERT_TRUE(project::ClipSetInput(clip, 1, in));
  char name[6];
  HostCallContext call{};
  call.word[HCC_WORD_CLIP] = reinterpret_cast<uintptr_t>(clip);
  EXPECT_EQ(host_->ClipInputName(&call, 1, name, sizeof name), 1);
  EXPECT_STREQ(name, "Backg");  // cut to the buffer
  EXPECT_EQ(host_->IsInputAssigned(&call, 1), 1);
  EXPECT_EQ(host_->ClipInputName(&call, 7, name, sizeof name), 0);
  EXPECT_STREQ(name, "");
  EXPECT_EQ(host_->ClipTrackName(&call, name, sizeof name), 1);
  EXPECT_EQ(std::string(name), std::string(t->name).substr(0, 5));

  int32_t not_a_clip[32] = {};
  HostCallContext foreign{};
  foreign.word[HCC_WORD_CLIP] = reinterpret_cast<uintptr_t>(not_a_clip);
  for (HostCallContext* c : {&foreign, &ctx_}) {
    EXPECT_EQ(host_->ClipInputName(c, 0, name, sizeof name), 0);
    EXPECT_EQ(host_->ClipTrackName(c, name, sizeof name), 0);
    EXPECT_EQ(host_->IsInputAssigned(c, 0), 0);
    EXPECT_EQ(std::string(project::ObjectErrorText(c)), project::kNoClipText);
    project::ObjectClearError(c);
  }
  EXPECT_EQ(host_->ClipInputName(nullptr, 0, name, sizeof name), 0);
  EXPECT_EQ(host_->ClipTrackName(&call, nullptr, 0), 0);  // no room: nothing written

  intptr_t out = 1;
  EXPECT_EQ(host_->TrackCheck(0, 42, reinterpret_cast<LumetraTrack>(t), &out), 42);
  EXPECT_EQ(out, 1);
  EXPECT_EQ(host_->TrackCheck(0, 42, reinterpret_cast<LumetraTrack>(not_a_clip), &out), 42);
  EXPECT_EQ(out, 0);
  project::ObjectClearError(&call);
}

TEST_F(HostTableTest, ProjectFrameRateWithoutAProjectIs25) {
  project::ProjectMakeCurrent(project_);
  project_->settings.time_base = 30;
  EXPECT_EQ(host_->ProjectFrameRate(), 30);
  int32_t w = 0, h = 0;
  float aspect = 0.0f;
  EXPECT_EQ(host_->ProjectFrameFormat(&w, &h, &aspect), reinterpret_cast<LumetraProject>(project_));
  EXPECT_GT(w, 0);
  EXPECT_GT(h, 0);
  EXPECT_FLOAT_EQ(aspect, project_->settings.pixel_aspect);
  project::ProjectFree(project_);
  project_ = nullptr;
  EXPECT_EQ(host_->ProjectFrameRate(), 25);
  EXPECT_EQ(host_->ProjectFrameFormat(&w, &h, &aspect), nullptr);
}

TEST_F(HostTableTest, GeometrySlotsRefuseGeometriesOfNoProject) {
  project::ProjectMakeCurrent(project_);
  geometry::Geometry* g = project_->geometry.Append(
      geometry::GeoCreate(geometry::kGeoGroup, "Outline", 0.5f, 0.5f, 0, 0, 0.0f));
  ASSERT_NE(g, nullptr);
  auto handle = reinterpret_cast<LumetraGeometry>(g);
  EXPECT_EQ(host_->GeometryFind(nullptr, "Outline"), handle);
  EXPECT_EQ(host_->GeometryFind(reinterpret_cast<LumetraProject>(project_), "Nothing"), nullptr);
  char name[4];
  EXPECT_EQ(host_->GeometryName(handle, name, sizeof name), 1);
  EXPECT_STREQ(name, "Out");
  EXPECT_EQ(host_->V_GeoSubgeoGet(handle, nullptr, 0), 0);  // an empty group

  int32_t foreign_bytes[64] = {};
  auto foreign = reinterpret_cast<LumetraGeometry>(foreign_bytes);
  float box[4] = {-1, -1, -1, -1};
  EXPECT_EQ(host_->GeoGetBBox(&ctx_, foreign, box, 0.0f), 0);
  EXPECT_FLOAT_EQ(box[2], static_cast<float>(project_->settings.width));  // the whole image
  EXPECT_FLOAT_EQ(host_->GeoDistance(&ctx_, foreign, 0.0f, 1.0f, 1.0f), 3e38f);
  EXPECT_FLOAT_EQ(host_->GeoDistanceFrame(&ctx_, foreign, 0.0f, 1.0f, 1.0f), 3e38f);
  EXPECT_EQ(host_->GeometryName(foreign, name, sizeof name), 0);
  EXPECT_STREQ(name, "");
  EXPECT_EQ(host_->V_GeoSubgeoGet(foreign, nullptr, 0), 0);
  LumetraGeometry field = foreign;
  EXPECT_EQ(host_->ClipGeometryField(&ctx_, &field), nullptr);
  field = handle;
  EXPECT_EQ(host_->ClipGeometryField(&ctx_, &field), handle);
}

TEST_F(HostTableTest, ScriptRunReportsAFailedRun) {
  EXPECT_EQ(host_->ScriptRun(&ctx_, "this is not a script ((("), 0);
  EXPECT_EQ(Error(), "Script error");
  project::ObjectClearError(&ctx_);
  EXPECT_EQ(host_->ScriptRun(&ctx_, nullptr), 0);
  EXPECT_EQ(Error(), "Script error");
}

}  // namespace
