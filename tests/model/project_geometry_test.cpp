// The project's own geometry list: copy, merge, free, and clip data references to it.
#include "clipdata/template.h"
#include "geometry/geo_ops.h"
#include "project_fixture.h"

namespace lumetra::project::testing {
namespace {

using geometry::Geometry;

struct GeoParams {
  float gain;
  Geometry* shapes[2];
};

class ProjectGeometryTest : public ProjectTest {
 protected:
  void SetUp() override {
    ProjectTest::SetUp();
    GeoParams proto{};
    tmpl_.reset(TemplateNew(reinterpret_cast<uintptr_t>(&proto)));
    ASSERT_EQ(
        TemplateAddField(*tmpl_, "gain", "float", reinterpret_cast<uintptr_t>(&proto.gain), 1), "");
    ASSERT_EQ(TemplateAddField(*tmpl_, "shapes", "geometry",
                               reinterpret_cast<uintptr_t>(&proto.shapes), 2),
              "");
    masked_.name = "Test/Mask";
    masked_.signature = "Mask 1.0 test";
    masked_.data_template = tmpl_.get();
  }

  Geometry* Add(Project* p, const char* name) {
    return p->geometry.Append(geometry::GeoCreate(geometry::kGeoVector, name, 0, 0, 0, 0, 0));
  }
  Clip* Masked(Track* t, float start, float end, Geometry* a, Geometry* b) {
    Clip* c = AddClip(t, start, end, &masked_);
    auto* d = static_cast<GeoParams*>(c->data);
    d->shapes[0] = a;
    d->shapes[1] = b;
    return c;
  }
  static GeoParams* Data(Clip* c) { return static_cast<GeoParams*>(c->data); }

  TemplatePtr tmpl_;
  ProcessRecord masked_;
};

TEST_F(ProjectGeometryTest, DeletingAGeometryClearsClipReferencesEverywhere) {
  Geometry* a = Add(project_, "a");
  Geometry* b = Add(project_, "b");
  Track* top = AddTrack();
  Clip* plain = Masked(top, 0, 1, a, b);
  // A clip inside a sub-project, and the saved copies of a clip being edited.
  Clip* super = AddClip(top, 2, 4, SuperClipProcess());
  Track* sub = TrackCreate(project_);
  ASSERT_TRUE(SubProjectAppend(super, sub));
  Clip* inner = Masked(sub, 0, 1, a, a);
  Clip* edited = Masked(top, 5, 6, nullptr, nullptr);
  Clip* backup = AddClip(top, 7, 8, &masked_);
  ClipUnlink(backup);
  Data(backup)->shapes[1] = a;
  edited->backup_copy = backup;
  edited->edit_window = 42;
  static int refreshed;
  refreshed = 0;
  Hooks().edit_window_refresh = [](Clip*) { ++refreshed; };

  EXPECT_EQ(geometry::GeoUsageCount(a), 3);  // clips' own data only
  EXPECT_EQ(geometry::GeoUsageCount(b), 1);
  geometry::GeoDeleteEx(a, false, 0);
  EXPECT_EQ(project_->geometry.Size(), 1u);
  EXPECT_EQ(Data(plain)->shapes[0], nullptr);
  EXPECT_EQ(Data(plain)->shapes[1], b);
  EXPECT_EQ(Data(inner)->shapes[0], nullptr);
  EXPECT_EQ(Data(inner)->shapes[1], nullptr);
  EXPECT_EQ(Data(backup)->shapes[1], nullptr);
  EXPECT_EQ(refreshed, 1);
  edited->backup_copy = nullptr;
  edited->edit_window = 0;
  ClipFree(backup);
}

TEST_F(ProjectGeometryTest, TemporaryGeometryHeldOnlyByASavedCopySurvivesThePurge) {
  Geometry* held = Add(project_, "held");
  Geometry* loose = Add(project_, "loose");
  held->flags |= geometry::kGeoTemporary;
  loose->flags |= geometry::kGeoTemporary;
  Track* t = AddTrack();
  Clip* edited = Masked(t, 0, 1, nullptr, nullptr);
  Clip* copy = AddClip(t, 2, 3, &masked_);
  ClipUnlink(copy);
  Data(copy)->shapes[0] = held;
  edited->edit_copy = copy;
  EXPECT_EQ(geometry::GeoPurgeTemporary(project_->geometry, 0), 1);
  EXPECT_TRUE(project_->geometry.Holds(held));
  EXPECT_FALSE(project_->geometry.Holds(loose));
  edited->edit_copy = nullptr;
  ClipFree(copy);
}

TEST_F(ProjectGeometryTest, CopyDuplicatesTheListAndRepointsClipsMergeMovesIt) {
  Geometry* a = Add(project_, "a");
  Geometry* b = Add(project_, "b");
  Track* t = AddTrack();
  Masked(t, 0, 1, b, a);
  Project* copy = ProjectCopy(project_);
  ASSERT_NE(copy, nullptr);
  EXPECT_EQ(copy->status, kProjectStatusUsable);
  ASSERT_EQ(copy->geometry.Size(), 2u);
  Geometry* ca = copy->geometry.FindByName("a");
  Geometry* cb = copy->geometry.FindByName("b");
  ASSERT_NE(ca, nullptr);
  EXPECT_NE(ca, a);
  EXPECT_EQ(ca->owner, &copy->geometry);
  GeoParams* d = Data(copy->first_track->first_clip);
  EXPECT_EQ(d->shapes[0], cb);
  EXPECT_EQ(d->shapes[1], ca);
  // Deleting in the copy clears the copy's clips and leaves the original alone.
  geometry::GeoDeleteEx(cb, false, 0);
  EXPECT_EQ(d->shapes[0], nullptr);
  EXPECT_EQ(Data(t->first_clip)->shapes[0], b);

  ProjectMerge(project_, copy);  // frees copy
  ASSERT_EQ(project_->geometry.Size(), 3u);
  EXPECT_EQ(ca->owner, &project_->geometry);
  EXPECT_EQ(project_->geometry.Last(), ca);
  // The merged clips now answer to this project's list.
  EXPECT_EQ(geometry::GeoUsageCount(ca), 1);
  geometry::GeoDeleteEx(ca, false, 0);
  EXPECT_EQ(d->shapes[1], nullptr);
}

}  // namespace
}  // namespace lumetra::project::testing
