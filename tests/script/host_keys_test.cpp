// Host functions for keyframe curves.
#include "anim/keyfloat.h"
#include "script/host_fixture.h"

namespace lumetra::script::test {
namespace {

struct Components {
  int8_t count;
  float x, y, z;
};

Components KeyOf(const KeyfloatKey* k) {
  return {k->components, k->x, k->y, k->z};
}

TEST_F(HostTest, KeyfloatKeyAddComponentsFollowTheArguments) {
  struct Case {
    const char* script;
    int8_t components;
    float x, y, z;
  } cases[] = {
      {"KeyfloatKeyAdd(CurrentClip.d.curve, 0.5, 7.0);", 1, 7.f, 0.f, 0.f},
      {"KeyfloatKeyAdd(CurrentClip.d.curve, 0.5, 7.0, 8.0);", 2, 7.f, 8.f, 0.f},
      {"KeyfloatKeyAdd(CurrentClip.d.curve, 0.5, 7.0, 8.0, 9.0);", 3, 7.f, 8.f, 9.f},
      // At most three components: a sixth argument is ignored.
      {"KeyfloatKeyAdd(CurrentClip.d.curve, 0.5, 7.0, 8.0, 9.0, 10.0);", 3, 7.f, 8.f, 9.f},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.script);
    anim::KeyfloatFree(Data().curve);
    Data().curve = nullptr;
    EXPECT_EQ(Run(std::string("*(unsigned *)$U = ") + c.script), 1);
    ASSERT_NE(Data().curve, nullptr);
    EXPECT_EQ(mem_.u, reinterpret_cast<uintptr_t>(Data().curve));
    Components k = KeyOf(Data().curve);
    EXPECT_EQ(k.count, c.components);
    EXPECT_FLOAT_EQ(Data().curve->time, 0.5f);
    EXPECT_EQ(k.x, c.x);
    EXPECT_EQ(k.y, c.y);
    EXPECT_EQ(k.z, c.z);
  }
}

TEST_F(HostTest, KeyfloatKeyAddRefusesAPlainAddress) {
  mem_.u = 5;
  EXPECT_EQ(Run("*(unsigned *)$U = KeyfloatKeyAdd($U2, 0.5, 7.0);"), 1);
  EXPECT_EQ(LastStatus(), Prefixed("sillegal parameter 1 for KeyfloatKeyAdd()."));
  EXPECT_EQ(mem_.u, 0u);
  EXPECT_EQ(mem_.u2, 0u);
  EXPECT_EQ(Data().curve, nullptr);
}

TEST_F(HostTest, KeyfloatKeyAddRefreshesTheClip) {
  static std::vector<std::pair<project::Clip*, bool>> changed;
  changed.clear();
  HostFunctionHooks().clip_changed = [](project::Clip* c, bool redraw) { changed.emplace_back(c, redraw); };
  ScriptRunHooks().current_time = [](project::Clip*) { return 2.0f; };
  EXPECT_EQ(Run("KeyfloatKeyAdd(CurrentClip.d.curve, 0.0, 1.0);"), 1);
  ScriptRunHooks().current_time = [](project::Clip*) { return 9.0f; };
  EXPECT_EQ(Run("KeyfloatKeyAdd(CurrentClip.d.curve, 1.0, 1.0);"), 1);
  EXPECT_EQ(changed, (std::vector<std::pair<project::Clip*, bool>>{{clip_, true}, {clip_, false}}));
}

TEST_F(HostTest, CopyTimeAndDeleteOfCurves) {
  ASSERT_EQ(Run("KeyfloatKeyAdd(CurrentClip.d.curve, 0.75, 1.0); KeyfloatKeyAdd(CurrentClip.d.curve, 2.0, 3.0);"), 1);
  // A copy the library owns, its first key's time, then the copy freed.
  ASSERT_EQ(Run("*(unsigned *)$U = KeyfloatCopy(CurrentClip.d.curve);"), 1);
  auto* copy = reinterpret_cast<KeyfloatKey*>(mem_.u);
  ASSERT_NE(copy, nullptr);
  EXPECT_NE(copy, Data().curve);
  ASSERT_NE(copy->next, nullptr);
  EXPECT_EQ(copy->next->x, 3.f);
  const std::string hex = Hex(copy);
  ASSERT_EQ(Run("*(float *)$F = KeyTime(" + hex + ");"), 1);
  EXPECT_FLOAT_EQ(mem_.f, 0.75f);
  ASSERT_EQ(Run("*(int *)$I = KeyfloatDelete(" + hex + ");"), 1);  // under ASan: freed once
  EXPECT_EQ(mem_.i, 1);
  // Null curves, and an address that can never be a curve.
  for (const char* script : {"*(int *)$I = KeyTime(0) == 0.0;", "*(int *)$I = KeyfloatDelete(0) == 0;",
                             "*(int *)$I = KeyfloatCopy(0) == 0;", "*(int *)$I = KeyfloatDelete(4660) == 0;"}) {
    SCOPED_TRACE(script);
    mem_.i = 5;
    EXPECT_EQ(Run(script), 1);
    EXPECT_EQ(mem_.i, 1);
  }
  // The clip's own curve: freed and its field cleared.
  ASSERT_EQ(Run("*(int *)$I = KeyfloatDelete(CurrentClip.d.curve);"), 1);
  EXPECT_EQ(mem_.i, 1);
  EXPECT_EQ(Data().curve, nullptr);
}

}  // namespace
}  // namespace lumetra::script::test
