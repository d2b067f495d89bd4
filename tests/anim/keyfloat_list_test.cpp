// List operations: copy, insert, nearest key, access, remove, move, sort and merge, search.
#include <gtest/gtest.h>

#include <limits>

#include "anim/curve_fixture.h"
#include "anim/keyfloat.h"

using namespace lumetra::anim;
using lumetra::anim::test::Curve;
using lumetra::anim::test::LinksConsistent;
using Times = std::vector<float>;

TEST(KeyfloatList, CopyIsIndependent) {
  KeyfloatKey* a = new KeyfloatKey{};
  KeyfloatKey* b = new KeyfloatKey{};
  a->time = 0.f;
  b->time = 1.f;
  b->x = 5.f;
  a->next = b;
  b->prev = a;
  KeyfloatKey* copy = KeyfloatCopy(a);
  KeyfloatFree(a);
  ASSERT_NE(copy, nullptr);
  ASSERT_NE(copy->next, nullptr);
  EXPECT_EQ(copy->next->prev, copy);
  EXPECT_EQ(copy->next->x, 5.f);
  EXPECT_EQ(copy->next->next, nullptr);
  KeyfloatFree(copy);
  EXPECT_EQ(KeyfloatCopy(nullptr), nullptr);
}

TEST(KeyfloatKeySet, InsertsInOrderAndUpdatesWithinEpsilon) {
  Curve c;
  KeyfloatKey* k2 = c.Add(2.f, 20.f);
  KeyfloatKey* k0 = c.Add(0.f, 0.f);
  c.Add(1.f, 10.f);
  c.Add(3.f, 30.f);
  EXPECT_EQ(c.Times(), (Times{0.f, 1.f, 2.f, 3.f}));
  EXPECT_EQ(c.head, k0);
  EXPECT_TRUE(LinksConsistent(c.head));
  EXPECT_EQ(k0->tension, 0.f);
  EXPECT_EQ(k0->flags, 0);

  EXPECT_EQ(c.Add(2.f + 5e-7f, 21.f, 1.f, 2.f), k2);
  EXPECT_EQ(k2->x, 21.f);
  EXPECT_EQ(k2->z, 2.f);
  EXPECT_EQ(c.Keys().size(), 4u);
  EXPECT_NE(c.Add(2.f + 3e-6f, 22.f), k2);
  EXPECT_EQ(c.Keys().size(), 5u);

  // Component counts are kept to 1..3.
  EXPECT_EQ(c.Add(7.f, 0.f, 0.f, 0.f, 0)->components, 1);
  EXPECT_EQ(c.Add(8.f, 0.f, 0.f, 0.f, 9)->components, 3);
}

TEST(KeyfloatKeySet, RefusesTimesThatAreNotKeyTimes) {
  Curve c{{0.f, 1.f}};
  for (float t : {std::numeric_limits<float>::quiet_NaN(), std::numeric_limits<float>::infinity(),
                  -2e6f, 3e7f}) {
    EXPECT_EQ(c.Add(t, 5.f), nullptr) << t;
  }
  EXPECT_EQ(c.Keys().size(), 1u);
  EXPECT_EQ(KeyfloatKeySet(nullptr, 0.f, 1, 0.f, 0.f, 0.f), nullptr);
}

TEST(KeyfloatKeySet, LoopKeyAndTimesBeyondTheLoop) {
  Curve c{{0.f, 0.f}, {1.f, 10.f}, {2.f, 99.f}};
  KeyfloatKey* loop = c.Keys()[2];
  loop->flags = KEYFLOAT_FLAG_LOOP;
  // At the loop key: the first key takes the values.
  EXPECT_EQ(c.Add(2.f, 5.f), c.head);
  EXPECT_EQ(c.head->x, 5.f);
  EXPECT_EQ(loop->x, 99.f);
  // Beyond the loop: folded into the first period.
  EXPECT_EQ(c.Add(3.f, 11.f), c.Keys()[1]);
  EXPECT_EQ(c.Keys()[1]->x, 11.f);
  KeyfloatKey* folded = c.Add(4.5f, 7.f);
  ASSERT_NE(folded, nullptr);
  EXPECT_EQ(folded->time, 0.5f);
  EXPECT_EQ(c.Times(), (Times{0.f, 0.5f, 1.f, 2.f}));
  // A time that folds onto the loop key updates the first key.
  EXPECT_EQ(c.Add(4.f, 6.f), c.head);
  EXPECT_EQ(c.head->x, 6.f);
  EXPECT_EQ(c.At(2.5f), 7.f);
}

TEST(KeyfloatKeySet, LoopOfNoLengthUpdatesTheFirstKey) {
  Curve c{{1.f, 1.f}, {2.f, 2.f}};
  KeyfloatKey* loop = c.Keys()[1];
  loop->flags = KEYFLOAT_FLAG_LOOP;
  loop->time = 1.f + 1e-7f;
  EXPECT_EQ(c.Add(5.f, 8.f), c.head);
  EXPECT_EQ(c.head->x, 8.f);
  EXPECT_EQ(c.Keys().size(), 2u);
}

TEST(KeyfloatNearestKey, NearestWithTiesToTheEarlier) {
  Curve c{{0.f, 0.f}, {1.f, 1.f}, {2.f, 2.f}};
  std::vector<KeyfloatKey*> k = c.Keys();
  struct Case {
    float t;
    int key;
  } cases[] = {{-3.f, 0}, {0.4f, 0}, {0.5f, 0}, {0.6f, 1}, {1.5f, 1}, {1.51f, 2}, {9.f, 2}};
  for (const Case& tc : cases) EXPECT_EQ(KeyfloatNearestKey(c.head, tc.t), k[tc.key]) << tc.t;
  EXPECT_EQ(KeyfloatNearestKey(nullptr, 1.f), nullptr);
}

TEST(KeyfloatKeyAccess, ReadsWritesAndNullKey) {
  Curve c;
  KeyfloatKey* k = c.Add(1.5f, 1.f, 2.f, 3.f, 3);
  float tension = 0.25f, bias = -0.5f, x = 0.f, z = 0.f;
  EXPECT_EQ(KeyfloatKeyAccess(k, 1, nullptr, nullptr, nullptr, &tension, nullptr, &bias), 1.5f);
  EXPECT_EQ(k->tension, 0.25f);
  EXPECT_EQ(k->bias, -0.5f);
  EXPECT_EQ(k->continuity, 0.f);
  EXPECT_EQ(k->x, 1.f);
  EXPECT_EQ(KeyfloatKeyAccess(k, 0, &x, nullptr, &z, nullptr, nullptr, nullptr), 1.5f);
  EXPECT_EQ(x, 1.f);
  EXPECT_EQ(z, 3.f);
  float values[6] = {9, 9, 9, 9, 9, 9};
  EXPECT_EQ(KeyfloatKeyAccess(nullptr, 0, &values[0], &values[1], &values[2], &values[3],
                              &values[4], &values[5]),
            0.f);
  for (float v : values) EXPECT_EQ(v, 0.f);
  EXPECT_EQ(KeyfloatKeyAccess(nullptr, 1, &x, nullptr, nullptr, nullptr, nullptr, nullptr), 0.f);
}

TEST(KeyfloatKeyRemove, FirstMiddleLastAndForeignKeys) {
  Curve c{{0.f, 0.f}, {1.f, 1.f}, {2.f, 2.f}, {3.f, 3.f}};
  std::vector<KeyfloatKey*> k = c.Keys();
  c.head = KeyfloatKeyRemove(c.head, k[0]);
  EXPECT_EQ(c.head, k[1]);
  c.head = KeyfloatKeyRemove(c.head, k[2]);
  c.head = KeyfloatKeyRemove(c.head, k[3]);
  EXPECT_EQ(c.Times(), (Times{1.f}));
  EXPECT_TRUE(LinksConsistent(c.head));
  Curve other{{5.f, 5.f}};
  EXPECT_EQ(KeyfloatKeyRemove(c.head, other.head), c.head);  // head of another list
  EXPECT_EQ(other.Keys().size(), 1u);
  c.head = KeyfloatKeyRemove(c.head, c.head);
  EXPECT_EQ(c.head, nullptr);
}

TEST(KeyfloatKeyMove, RepositionsAndReplaces) {
  Curve c{{0.f, 0.f}, {1.f, 1.f}, {2.f, 2.f}, {3.f, 3.f}};
  std::vector<KeyfloatKey*> k = c.Keys();
  EXPECT_EQ(KeyfloatKeyMove(&c.head, k[0], 2.5f, 0), 1);
  EXPECT_EQ(c.Times(), (Times{1.f, 2.f, 2.5f, 3.f}));
  EXPECT_EQ(c.head, k[1]);
  // Without replace a key of equal time stays, after the moved key.
  KeyfloatKeyMove(&c.head, k[3], 2.f, 0);
  EXPECT_EQ(c.Keys(), (std::vector<KeyfloatKey*>{k[1], k[3], k[2], k[0]}));
  // With replace every key in [t, t + 0.0001) goes.
  KeyfloatKeyMove(&c.head, k[1], 2.f, 1);
  EXPECT_EQ(c.Keys(), (std::vector<KeyfloatKey*>{k[1], k[0]}));
  EXPECT_TRUE(LinksConsistent(c.head));
  EXPECT_EQ(KeyfloatKeyMove(&c.head, k[0], std::numeric_limits<float>::quiet_NaN(), 0), 0);
  KeyfloatKeyMove(&c.head, k[1], 9.f, 1);
  KeyfloatKeyMove(&c.head, k[0], 9.f, 1);  // replaces every other key: the only key left
  EXPECT_EQ(c.Keys(), (std::vector<KeyfloatKey*>{k[0]}));
  KeyfloatKeyMove(&c.head, k[0], -4.f, 0);
  EXPECT_EQ(c.Times(), (Times{-4.f}));
}

TEST(KeyfloatSortMerge, StableSortThenMergeRules) {
  Curve c{{0.f, 0.f}, {1.f, 1.f}, {2.f, 2.f}, {3.f, 3.f}, {4.f, 4.f}, {5.f, 5.f}};
  std::vector<KeyfloatKey*> k = c.Keys();
  // Scramble the times directly, as an editor dragging keys does.
  const float times[] = {5.f, 1.f, 3.f, 1.f, 0.f, 3.000001f};
  for (int i = 0; i < 6; ++i) k[i]->time = times[i];
  KeyfloatSortMerge(&c.head, 0.f, 0);
  EXPECT_EQ(c.Keys(), (std::vector<KeyfloatKey*>{k[4], k[1], k[3], k[2], k[5], k[0]}));
  EXPECT_TRUE(LinksConsistent(c.head));

  // Mask 4: the selected key wins over its unselected neighbour on either side.
  k[3]->flags = KEYFLOAT_FLAG_SELECTED;
  k[2]->flags = KEYFLOAT_FLAG_X_SELECTED;
  KeyfloatSortMerge(&c.head, 1e-5f, KEYFLOAT_FLAG_SELECTED);
  EXPECT_EQ(c.Keys(), (std::vector<KeyfloatKey*>{k[4], k[3], k[2], k[5], k[0]}));
  // Neither selected: both stay.
  EXPECT_EQ(c.Keys()[2]->time, 3.f);
  EXPECT_EQ(c.Keys()[3]->time, 3.000001f);
  // Mask 0: a successor without flags goes, one with flags stays.
  KeyfloatSortMerge(&c.head, 1e-5f, 0);
  EXPECT_EQ(c.Keys(), (std::vector<KeyfloatKey*>{k[4], k[3], k[2], k[0]}));
}

TEST(KeyfloatSortMerge, ManyUnsortedKeys) {
  Curve c;
  KeyfloatKey* tail = nullptr;
  for (int i = 0; i < 20000; ++i) {
    auto* k = new KeyfloatKey{};
    k->time = float((i * 7919) % 20000);
    k->prev = tail;
    (tail ? tail->next : c.head) = k;
    tail = k;
  }
  KeyfloatSortMerge(&c.head, 0.f, 0);
  Times times = c.Times();
  ASSERT_EQ(times.size(), 20000u);
  for (std::size_t j = 0; j < times.size(); ++j) ASSERT_EQ(times[j], float(j));
  EXPECT_TRUE(LinksConsistent(c.head));
}

TEST(KeyfloatFindInRange, HalfOpenRange) {
  Curve c{{0.f, 0.f}, {1.f, 1.f}, {2.f, 2.f}};
  EXPECT_EQ(KeyfloatFindInRange(c.head, 0.5f, 1.f), nullptr);
  EXPECT_EQ(KeyfloatFindInRange(c.head, 0.5f, 1.5f), c.Keys()[1]);
  EXPECT_EQ(KeyfloatFindInRange(c.head, -1.f, 3.f), c.head);
  EXPECT_EQ(KeyfloatFindInRange(nullptr, -1.f, 3.f), nullptr);
}
