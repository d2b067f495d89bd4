// Key type presets, time-segment scaling and the curve clipboard.
#include "anim/keyfloat_edit.h"

#include <gtest/gtest.h>

#include <limits>

#include "anim/curve_fixture.h"
#include "anim/keyfloat_clipboard.h"

using namespace lumetra::anim;
using lumetra::anim::test::Curve;
using Times = std::vector<float>;

TEST(KeyfloatKeyType, AppliesToComponentSelectedKeysAndCountsChanges) {
  Curve c{{0.f, 0.f}, {1.f, 1.f}, {2.f, 2.f}};
  std::vector<KeyfloatKey*> k = c.Keys();
  k[0]->flags = KEYFLOAT_FLAG_Y_SELECTED;
  k[1]->flags = KEYFLOAT_FLAG_SELECTED;  // not a component selection
  k[2]->flags = KEYFLOAT_FLAG_Z_SELECTED;
  k[2]->tension = 0.5f;
  EXPECT_EQ(KeyfloatApplyKeyType(c.head, KeyType::CornerSmooth), 2);
  EXPECT_EQ(k[0]->bias, -1.f);
  EXPECT_EQ(k[2]->tension, 0.f);
  EXPECT_EQ(k[1]->bias, 0.f);
  EXPECT_EQ(KeyfloatApplyKeyType(c.head, KeyType::CornerSmooth), 0);
  EXPECT_EQ(KeyfloatApplyKeyType(c.head, KeyType::Corner), 2);
  EXPECT_EQ(k[0]->continuity, 1.f);
  EXPECT_EQ(k[0]->bias, 0.f);
  EXPECT_EQ(KeyTypePresetOf(KeyType::SmoothCorner).undo_description,
            "Apply 'Smooth-Corner' to selected keys");
}

TEST(KeyfloatScaleSelected, MapsSelectedKeysThenMerges) {
  Curve c{{0.f, 0.f}, {1.f, 1.f}, {2.f, 2.f}, {3.f, 3.f}, {4.f, 4.f}};
  std::vector<KeyfloatKey*> k = c.Keys();
  k[1]->flags = k[2]->flags = KEYFLOAT_FLAG_SELECTED;
  float from = 0.f, to = 0.f;
  bool found = false;
  KeyfloatSelectedSpan(c.head, &from, &to, &found);
  ASSERT_TRUE(found);
  EXPECT_EQ(from, 1.f);
  EXPECT_EQ(to, 2.f);
  // [1, 2] onto [2, 4]: key 1 lands on 2, key 2 lands on the unselected key at 4 and wins.
  EXPECT_EQ(KeyfloatScaleSelected(&c.head, 1.f, 2.f, 2.f, 4.f), 1);
  EXPECT_EQ(c.Keys(), (std::vector<KeyfloatKey*>{k[0], k[1], k[3], k[2]}));
  EXPECT_EQ(c.Times(), (Times{0.f, 2.f, 3.f, 4.f}));
  // A segment of no length sends every selected key to the new start, where the first
  // selected key wins.
  EXPECT_EQ(KeyfloatScaleSelected(&c.head, 5.f, 5.f, 3.f, 9.f), 1);
  EXPECT_EQ(c.Keys(), (std::vector<KeyfloatKey*>{k[0], k[1]}));
  EXPECT_EQ(c.Times(), (Times{0.f, 3.f}));
  EXPECT_EQ(KeyfloatScaleSelected(&c.head, 0.f, 1.f, std::numeric_limits<float>::quiet_NaN(), 1.f),
            0);
}

TEST(KeyfloatClipboard, CopyPasteAndFailure) {
  KeyfloatClipboardClear();
  Curve target{{0.f, 1.f}};
  EXPECT_EQ(KeyfloatClipboardPaste(&target.head), 0);  // nothing copied yet
  EXPECT_EQ(target.Keys().size(), 1u);
  {
    Curve source{{0.f, 4.f}, {1.f, 8.f}};
    EXPECT_EQ(KeyfloatClipboardCopy(source.head, CurveDisplay{2, -1.f, 5.f}), 1);
  }
  CurveDisplay shown;
  ASSERT_TRUE(KeyfloatClipboardHas(&shown));
  EXPECT_EQ(shown.type, 2);
  EXPECT_EQ(shown.range_max, 5.f);
  ASSERT_EQ(KeyfloatClipboardPaste(&target.head), 1);
  EXPECT_EQ(target.Times(), (Times{0.f, 1.f}));
  EXPECT_EQ(target.At(1.f), 8.f);
  Curve second;
  ASSERT_EQ(KeyfloatClipboardPaste(&second.head), 1);  // each paste is a fresh copy
  EXPECT_NE(second.head, target.head);
  EXPECT_EQ(KeyfloatPasteUndoText("Opacity"), "Paste 'Opacity' curve");
  EXPECT_EQ(KeyfloatPasteUndoText(""), "Paste curve");
  KeyfloatClipboardClear();
}
