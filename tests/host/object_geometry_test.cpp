// Geometry typed objects: creation from template values, attach, link and selection walks.
#include "host/object_geometry.h"

#include <string>

#include "geometry/geo_ops.h"
#include "host/object_error.h"
#include "host/object_kind.h"
#include "host/typed_object.h"
#include "model/project_fixture.h"

namespace lumetra::project::testing {
namespace {

using geometry::Geometry;

struct Initial {
  const char* name;
  float x, y;
  Geometry* linkto;
  Geometry* attachto;
};

class ObjectGeometryTest : public ProjectTest {
 protected:
  void SetUp() override {
    ProjectTest::SetUp();
    ProjectMakeCurrent(project_);
    ObjectGeometryRegister();
    Initial proto{};
    tmpl_.reset(TemplateNew(reinterpret_cast<uintptr_t>(&proto)));
    auto add = [&](const char* name, const char* type, const void* at) {
      ASSERT_EQ(TemplateAddField(*tmpl_, name, type, reinterpret_cast<uintptr_t>(at), 1), "");
    };
    add("name", "string", &proto.name);
    add("x", "float", &proto.x);
    add("y", "float", &proto.y);
    add("linkto", "geometry", &proto.linkto);
    add("attachto", "geometry", &proto.attachto);
  }
  void TearDown() override {
    ObjectClearError(&ctx_);
    ObjectGeometryUnregister();
    ProjectTest::TearDown();
  }
  Geometry* Make(const char* kind, const Initial* init = nullptr) {
    return static_cast<Geometry*>(
        ObjectCreate(&ctx_, kind, nullptr, init ? tmpl_.get() : nullptr, init));
  }
  intptr_t Op(void* object, const char* op, void* argument) {
    ObjectClearError(&ctx_);
    return ObjectOperation(&ctx_, object, op, argument);
  }
  std::string Error() const { return std::string(ObjectErrorText(&ctx_)); }

  HostCallContext ctx_{};
  TemplatePtr tmpl_;
};

TEST_F(ObjectGeometryTest, CreateGivesKindsDefaultsAndTemplateValues) {
  Geometry* v = Make("Vertex");
  Geometry* c = Make("contour");
  Geometry* s = Make("SHAPE");
  ASSERT_TRUE(v && c && s);
  EXPECT_EQ(v->kind, geometry::kGeoVertex);
  EXPECT_EQ(c->kind, geometry::kGeoContour);
  EXPECT_EQ(s->kind, geometry::kGeoGroup);
  EXPECT_EQ(ObjectKindOf(v), FIELD_TYPE_GEOMETRY);
  EXPECT_EQ(v->name.substr(0, 1), "v");
  EXPECT_EQ(c->name.substr(0, 1), "C");
  EXPECT_EQ(s->name.substr(0, 5), "Group");
  EXPECT_NE(v->flags & geometry::kGeoMarked, 0u);
  EXPECT_EQ(v->colour, 0xC87F00u);
  EXPECT_EQ(v->colour2, 0xFFFF00u);
  float x = 0, y = 0;
  geometry::GeoWorldPosition(v, 0, &x, &y);
  EXPECT_FLOAT_EQ(x, 0.5f);
  EXPECT_FLOAT_EQ(y, 0.5f);

  // Values by field name; a taken name is made unique; linked in place, attached to a group.
  Initial init{"Pin", 0.25f, 0.125f, c, s};
  Geometry* a = Make("vertex", &init);
  Geometry* b = Make("vertex", &init);
  ASSERT_TRUE(a && b);
  EXPECT_EQ(a->name, "Pin");
  EXPECT_NE(b->name, "Pin");
  EXPECT_EQ(a->parent, c);
  geometry::GeoWorldPosition(a, 0, &x, &y);
  EXPECT_NEAR(x, 0.25f, 1e-6);
  EXPECT_NEAR(y, 0.125f, 1e-6);
  ASSERT_EQ(s->Group()->members.size(), 2u);
  EXPECT_EQ(s->Group()->members[0], a);
  // attachto naming a non-group attaches nothing.
  Initial to_contour{"Q", 0, 0, nullptr, c};
  Make("vertex", &to_contour);
  EXPECT_TRUE(c->Contour()->vertices.empty());
  EXPECT_EQ(project_->geometry.Size(), 6u);
}

TEST_F(ObjectGeometryTest, AttachAndLinkCheckTheirArgumentsAndRefuseCycles) {
  Geometry* v = Make("vertex");
  Geometry* c = Make("contour");
  Geometry* g1 = Make("shape");
  Geometry* g2 = Make("shape");
  int not_geometry = 0;
  struct Case {
    void* object;
    const char* op;
    void* argument;
    intptr_t result;
    const char* error;
  } cases[] = {
      {c, "attach", v, 1, ""},
      {c, "attach", g1, 0, "Non-vertex object can't be attached to contour"},
      {g1, "attach", c, 1, ""},
      {g2, "attach", g1, 1, ""},
      {g1, "attach", g2, 0, "Cycle attachment. Cancelled."},
      {g1, "attach", g1, 0, "Can't attach geometry to self. Cancelled."},
      {v, "attach", c, 0, "Illegal attachment"},
      {g1, "attach", nullptr, 0, "No object specified to attach"},
      {g1, "attach", &not_geometry, 0, "Child object is not geometry"},
      {nullptr, "attach", v, 0, "No object specified"},
      {c, "link", v, 1, ""},
      {v, "link", c, 0, ""},  // c is v's parent: a cycle
      {c, "link", c, 0, ""},
      {g1, "link", nullptr, 0, "No child object specified to apply link operation"},
      {g1, "link", &not_geometry, 0, "Child object is not geometry"},
      {nullptr, "link", v, 0, "No object specified"},
      {c, "NoSuchOperationName", v, 0, "Unknown operation"},
  };
  for (const Case& k : cases) {
    SCOPED_TRACE(std::string(k.op) + " " + k.error);
    EXPECT_EQ(Op(k.object, k.op, k.argument), k.result);
    EXPECT_EQ(Error(), k.error);
  }
  EXPECT_EQ(v->parent, c);
  EXPECT_EQ(c->parent, nullptr);
  EXPECT_EQ(c->Contour()->vertices.size(), 1u);
}

TEST_F(ObjectGeometryTest, NextSelectedWalksHandOutSelectedTreesOnce) {
  Geometry* c1 = Make("contour");
  Geometry* v = Make("vertex");
  Make("shape");  // not selected
  Geometry* c2 = Make("contour");
  Geometry* child = Make("contour");
  ASSERT_EQ(Op(c2, "link", child), 1);
  for (Geometry* s : {c1, v, c2, child}) s->flags |= geometry::kGeoSelected;
  auto walk = [&](const char* op) {
    std::vector<Geometry*> out;
    void* at = nullptr;
    while ((at = reinterpret_cast<void*>(Op(at, op, nullptr))) != nullptr)
      out.push_back(static_cast<Geometry*>(at));
    return out;
  };
  EXPECT_EQ(walk("NextSelectedGeometry"), (std::vector<Geometry*>{c1, v, c2}));
  EXPECT_EQ(walk("NextSelectedContour"), (std::vector<Geometry*>{c1, c2, child}));
  int not_geometry = 0;
  EXPECT_EQ(Op(&not_geometry, "NextSelectedContour", nullptr), 0);
  EXPECT_EQ(Error(), "Illegal object type specified for 'NextSelectedContour' operation");
}

TEST_F(ObjectGeometryTest, SetValueKeysOnlyTheGivenVertexHandles) {
  Geometry* v = Make("vertex");
  ASSERT_TRUE(geometry::GeoVertexSetHandles(v, 0, 0.1f, 0.2f, 0.3f, 0.4f));
  struct OnlyWx {
    float wx;
  } proto{}, data{0.75f};
  TemplatePtr t(TemplateNew(reinterpret_cast<uintptr_t>(&proto)));
  ASSERT_EQ(TemplateAddField(*t, "wx", "float", reinterpret_cast<uintptr_t>(&proto.wx), 1), "");
  EXPECT_EQ(V_ObjectSetValue(&ctx_, v, t.get(), &data), 1);
  float h[4];
  geometry::GeoVertexHandles(v, 0, &h[0], &h[1], &h[2], &h[3]);
  EXPECT_NEAR(h[0], 0.1f, 1e-6);
  EXPECT_NEAR(h[1], 0.2f, 1e-6);
  EXPECT_NEAR(h[2], 0.75f, 1e-6);
  EXPECT_NEAR(h[3], 0.4f, 1e-6);
  // Not a vertex: nothing changes, still 1.
  EXPECT_EQ(V_ObjectSetValue(&ctx_, Make("contour"), t.get(), &data), 1);
}

}  // namespace
}  // namespace lumetra::project::testing
