#include <gtest/gtest.h>

#include "anim/keyfloat.h"

using namespace lumetra::anim;

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
