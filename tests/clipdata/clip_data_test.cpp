// Clip data blocks: zeroed creation, deep copies independent of their source, lying
// buffers and foreign pointers refused.
#include "clipdata/clip_data.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <sstream>

#include "anim/keyfloat.h"
#include "clipdata/clip_data_memory.h"

namespace lumetra::project {
namespace {

struct Params {
  KeyfloatKey* curve;
  int32_t flags;
  uint8_t bytes[3];
  float gain;
  void* geo;
  char* label;
  void* buffer;
  KeyfloatKey* none;
};

KeyfloatKey* TwoKeys() {
  auto* a = new KeyfloatKey{};
  auto* b = new KeyfloatKey{};
  a->time = 0.0f;
  a->x = 1.5f;
  a->components = 1;
  b->time = 1.0f;
  b->x = -2.0f;
  a->next = b;
  b->prev = a;
  return a;
}

void* Buffer(uint32_t size, uint32_t size_word) {
  auto* p = static_cast<unsigned char*>(ClipDataAlloc(size));
  std::memcpy(p, &size_word, 4);
  for (uint32_t i = 4; i < size; ++i) p[i] = static_cast<unsigned char>(i * 7);
  return p;
}

class ClipDataTest : public ::testing::Test {
 protected:
  void SetUp() override {
    Params proto{};
    tmpl_.reset(TemplateNew(reinterpret_cast<uintptr_t>(&proto)));
    auto add = [&](const char* name, const char* type, const void* at, int32_t count) {
      ASSERT_EQ(TemplateAddField(*tmpl_, name, type, reinterpret_cast<uintptr_t>(at), count), "");
    };
    add("curve", "keyfloat", &proto.curve, 1);
    add("flags", "long", &proto.flags, 1);
    add("bytes", "byte", &proto.bytes, 3);
    add("gain", "float", &proto.gain, 1);
    add("geo", "geometry", &proto.geo, 1);
    add("label", "string", &proto.label, 1);
    add("buffer", "ALLOCBUF", &proto.buffer, 1);
    add("none", "anifloat", &proto.none, 1);
    descriptor_ = DescriptorCompile(*tmpl_);
  }

  Params* Filled() {
    auto* p = static_cast<Params*>(DataCreate(descriptor_.get()));
    p->curve = TwoKeys();
    p->flags = -7;
    p->bytes[2] = 9;
    p->gain = 0.25f;
    p->geo = &geometry_;
    p->label = ClipDataStringDup("Hello");
    p->buffer = Buffer(12, 12);
    return p;
  }

  TemplatePtr tmpl_;
  DescriptorPtr descriptor_;
  int geometry_ = 0;
};

TEST_F(ClipDataTest, CreateGivesAZeroedBlockOfTheDataSize) {
  EXPECT_EQ(descriptor_->data_size, sizeof(Params));
  auto* block = static_cast<unsigned char*>(DataCreate(descriptor_.get()));
  ASSERT_NE(block, nullptr);
  EXPECT_EQ(ClipDataAllocSize(block), sizeof(Params));
  for (size_t i = 0; i < sizeof(Params); ++i) EXPECT_EQ(block[i], 0) << i;
  DataFree(descriptor_.get(), block);
  auto empty = TemplatePtr(TemplateNew(0x1000));
  EXPECT_EQ(ClipDataCreate(empty.get()), nullptr);
  EXPECT_EQ(ClipDataCreate(nullptr), nullptr);
}

TEST_F(ClipDataTest, CopyIsDeepAndOutlivesItsSource) {
  for (bool by_template : {false, true}) {
    Params* original = Filled();
    auto* copy = static_cast<Params*>(by_template ? ClipDataCopy(tmpl_.get(), original)
                                                  : DataCopy(descriptor_.get(), original));
    ASSERT_NE(copy, nullptr);
    EXPECT_NE(copy->curve, original->curve);
    EXPECT_NE(copy->label, original->label);
    EXPECT_NE(copy->buffer, original->buffer);
    EXPECT_EQ(copy->geo, &geometry_);  // the project's geometry is shared, not copied
    EXPECT_EQ(copy->none, nullptr);
    // Freeing the source must leave the copy whole (ASan reports any shared memory).
    if (by_template) {
      ClipDataFree(tmpl_.get(), original);
    } else {
      DataFree(descriptor_.get(), original);
    }
    EXPECT_EQ(copy->flags, -7);
    EXPECT_EQ(copy->bytes[2], 9);
    EXPECT_EQ(copy->gain, 0.25f);
    ASSERT_NE(copy->curve->next, nullptr);
    EXPECT_EQ(copy->curve->next->x, -2.0f);
    EXPECT_EQ(copy->curve->next->prev, copy->curve);
    EXPECT_STREQ(copy->label, "Hello");
    EXPECT_EQ(ClipDataAllocSize(copy->buffer), 12u);
    EXPECT_EQ(static_cast<unsigned char*>(copy->buffer)[11], static_cast<unsigned char>(77));
    DataFree(descriptor_.get(), copy);
  }
  EXPECT_EQ(DataCopy(descriptor_.get(), nullptr), nullptr);
}

// Reads what the debug log received during a test.
class DebugLogCapture {
 public:
  // One file per test: ctest runs tests as parallel processes.
  DebugLogCapture()
      : path_(::testing::TempDir() + "clip_data_log_" +
              ::testing::UnitTest::GetInstance()->current_test_info()->name() + ".txt") {
    std::remove(path_.c_str());
    setenv("LUMETRA_DEBUG_LOG", path_.c_str(), 1);
  }
  ~DebugLogCapture() { unsetenv("LUMETRA_DEBUG_LOG"); }
  std::string Text() const {
    std::ifstream in(path_);
    std::stringstream s;
    s << in.rdbuf();
    return s.str();
  }

 private:
  std::string path_;
};

TEST_F(ClipDataTest, LyingOrForeignElementsFailTheCopyAndLeaveTheSourceIntact) {
  const struct {
    const char* what;
    void (*spoil)(Params*);
    const char* log;
  } cases[] = {
      {"size word beyond its block", [](Params* p) { std::memcpy(p->buffer, "\x40\0\0\0", 4); },
       "copy_data: Copy error. Field type 14. Field 6."},
      {"size word below itself", [](Params* p) { std::memset(p->buffer, 0, 4); },
       "copy_data: Copy error. Field type 14. Field 6."},
      {"buffer the host never allocated",
       [](Params* p) {
         ClipDataRelease(p->buffer);
         static uint32_t foreign[4] = {16, 1, 2, 3};
         p->buffer = foreign;
       },
       "copy_data: Copy error. Field type 14. Field 6."},
      {"string without its terminator",
       [](Params* p) { std::memset(p->label, 'x', ClipDataAllocSize(p->label)); },
       "copy_data: Copy error. Field type 11. Field 5."},
  };
  for (const auto& c : cases) {
    DebugLogCapture log;
    Params* original = Filled();
    c.spoil(original);
    EXPECT_EQ(DataCopy(descriptor_.get(), original), nullptr) << c.what;
    EXPECT_NE(log.Text().find(c.log), std::string::npos) << c.what << ": " << log.Text();
    // The source still holds its own curve and text.
    EXPECT_EQ(original->curve->x, 1.5f);
    DataFree(descriptor_.get(), original);
  }
}

TEST_F(ClipDataTest, FreeLeavesMemoryItDoesNotOwnAlone) {
  DebugLogCapture log;
  Params* block = Filled();
  ClipDataRelease(block->label);
  block->label = const_cast<char*>("a library constant");
  DataFree(descriptor_.get(), block);  // ASan: no invalid free of the constant
  EXPECT_NE(log.Text().find("field 5 holds memory the host did not allocate"), std::string::npos);
  Params on_stack{};
  DataFree(descriptor_.get(), &on_stack);
  EXPECT_NE(log.Text().find("the block was not allocated by the host"), std::string::npos);
  EXPECT_FALSE(ClipDataRelease(&on_stack));
}

TEST(ClipDataStoredTemplateTest, UnknownTypesAreSkippedAndType13Fails) {
  DebugLogCapture log;
  std::vector<FileField> fields = {
      {0, FIELD_TYPE_DWORD, "a", 1}, {4, 5, "odd", 1}, {8, FIELD_TYPE_STRING, "s", 1}};
  DescriptorPtr d = DescriptorFromFile(fields);
  auto* block = static_cast<unsigned char*>(DataCreate(d.get()));
  const uint32_t a = 0xA1B2C3D4u, odd = 0x55u;
  std::memcpy(block + d->fields[0].offset, &a, 4);
  std::memcpy(block + d->fields[1].offset, &odd, 4);
  char* text = ClipDataStringDup("kept");
  std::memcpy(block + d->fields[2].offset, &text, sizeof text);
  auto* copy = static_cast<unsigned char*>(DataCopy(d.get(), block));
  ASSERT_NE(copy, nullptr);
  uint32_t got;
  std::memcpy(&got, copy + d->fields[0].offset, 4);
  EXPECT_EQ(got, a);
  std::memcpy(&got, copy + d->fields[1].offset, 4);
  EXPECT_EQ(got, 0u);  // skipped
  char* copied;
  std::memcpy(&copied, copy + d->fields[2].offset, sizeof copied);
  EXPECT_STREQ(copied, "kept");
  EXPECT_NE(log.Text().find("copy_data: Unknown data field type 5 (field 1)"), std::string::npos);
  DataFree(d.get(), copy);

  fields[1].type = 13;
  DescriptorPtr d13 = DescriptorFromFile(fields);
  EXPECT_EQ(DataCopy(d13.get(), block), nullptr);
  EXPECT_NE(log.Text().find("copy_data: Copy error. Field type 13. Field 1."), std::string::npos);
  DataFree(d.get(), block);
}

TEST(ClipDataStoredTemplateTest, BlockSmallerThanItsLayoutIsNotCopied) {
  std::vector<FileField> fields = {{0, FIELD_TYPE_DWORD, "a", 64}};
  DescriptorPtr d = DescriptorFromFile(fields);
  void* small = ClipDataAlloc(16);
  EXPECT_EQ(DataCopy(d.get(), small), nullptr);
  ClipDataRelease(small);
}

}  // namespace
}  // namespace lumetra::project
