// The typed-object calls: error texts, templates through the context, registered kinds and
// operations, template properties.
#include <gtest/gtest.h>

#include <cstddef>
#include <cstring>
#include <new>
#include <set>
#include <vector>

#include "clipdata/clip_data_memory.h"
#include "host/object_error.h"
#include "host/object_kind.h"
#include "host/typed_object.h"

namespace lumetra::project {
namespace {

// Context words hold pointers: sixteen pointer-sized words, numbered as before.
static_assert(sizeof(HostCallContext) == 16 * sizeof(void*));
static_assert(offsetof(HostCallContext, word[HCC_WORD_CLIP]) == 6 * sizeof(uintptr_t));
static_assert(sizeof(intptr_t) == sizeof(void*));

class ObjectTest : public ::testing::Test {
 protected:
  void SetUp() override { TypedObjectsInit(); }
  void TearDown() override { ObjectClearError(&ctx_); }
  std::string Error() const { return std::string(ObjectErrorText(&ctx_)); }

  HostCallContext ctx_{};
};

struct Proto {
  int32_t flags;
  float x;
  char* text;
  KeyfloatKey* curve;
  int16_t small;
  uint8_t b;
};

TEST_F(ObjectTest, TemplateIsCreatedAndFilledThroughTheContext) {
  Proto proto{};
  void* t = ObjectCreate(&ctx_, "TEMPLATE", "proto", nullptr, &proto);
  ASSERT_NE(t, nullptr);
  EXPECT_EQ(ObjectKindOf(t), OBJECT_KIND_TEMPLATE);
  auto* tmpl = static_cast<Template*>(t);
  EXPECT_EQ(tmpl->base, reinterpret_cast<uintptr_t>(&proto));
  EXPECT_EQ(tmpl->name, AtomFind("PROTO"));
  EXPECT_EQ(ObjectAddField(&ctx_, t, "flags", "LONG", &proto.flags, 1), 1);
  EXPECT_EQ(ObjectAddField(&ctx_, t, "x", "float", &proto.x, 0), 1);
  EXPECT_EQ(tmpl->fields[1].count, 1u);  // a count of 0 is stored as 1
  EXPECT_EQ(tmpl->fields[0].type, FIELD_TYPE_DWORD);
  EXPECT_EQ(tmpl->fields[1].offset, offsetof(Proto, x));
  TemplateDelete(tmpl);
  EXPECT_EQ(ObjectKindOf(t), 0);  // gone, and recognised as such without reading it
  EXPECT_EQ(ObjectAddField(&ctx_, t, "b", "byte", &proto.b, 1), 0);
  EXPECT_EQ(Error(), "No template specified");
}

TEST_F(ObjectTest, DeleteLeavesTemplatesAlive) {
  // Records point at templates: "delete" frees data descriptors only.
  Proto proto{};
  void* t = ObjectCreate(&ctx_, "template", "kept", nullptr, &proto);
  ASSERT_NE(t, nullptr);
  ASSERT_EQ(ObjectAddField(&ctx_, t, "x", "float", &proto.x, 1), 1);
  for (const char* name : {"delete", "Delete", "DELETE"})
    EXPECT_EQ(ObjectOperation(&ctx_, t, name, nullptr), 0) << name;
  EXPECT_EQ(ObjectKindOf(t), OBJECT_KIND_TEMPLATE);
  EXPECT_EQ(ObjectAddField(&ctx_, t, "flags", "long", &proto.flags, 1), 1);
  EXPECT_EQ(static_cast<Template*>(t)->fields.size(), 2u);
  TemplateDelete(static_cast<Template*>(t));
}

TEST_F(ObjectTest, AddFieldRefusesBadInputWithItsText) {
  Proto proto{};
  TemplatePtr tmpl(TemplateNew(reinterpret_cast<uintptr_t>(&proto)));
  int not_a_template = 15;
  const auto* base = reinterpret_cast<const unsigned char*>(&proto);
  const auto* below = reinterpret_cast<const void*>(reinterpret_cast<uintptr_t>(&proto) - 4);
  const struct {
    void* tmpl;
    const char* name;
    const char* type;
    const void* address;
    int32_t count;
    const char* error;
  } cases[] = {
      {nullptr, "a", "byte", base, 1, "No template specified"},
      {&not_a_template, "a", "byte", base, 1, "No template specified"},
      {tmpl.get(), nullptr, "byte", base, 1, "No field name specified"},
      {tmpl.get(), "", "byte", base, 1, "No field name specified"},
      {tmpl.get(), "a", nullptr, base, 1, "No field type specified"},
      {tmpl.get(), "a", "double", base, 1, "Unknown field type specified"},
      {tmpl.get(), "a", "long", below, 1, "Illegal field address specified"},
      {tmpl.get(), "a", "string", base + 4, 1, "Illegal field address specified"},  // misaligned
      {tmpl.get(), "a", "byte", base + kMaxDataSize + 1, 1, "Illegal field address specified"},
      {tmpl.get(), "a", "long", base, -1, "Illegal field count specified"},
      {tmpl.get(), "a", "long", base, INT32_MAX, "Illegal field count specified"},
  };
  for (const auto& c : cases) {
    EXPECT_EQ(ObjectAddField(&ctx_, c.tmpl, c.name, c.type, c.address, c.count), 0) << c.error;
    EXPECT_EQ(Error(), c.error);
  }
  EXPECT_TRUE(tmpl->fields.empty());
  // Owned pointers may not share memory with another field (double free on release).
  EXPECT_EQ(ObjectAddField(&ctx_, tmpl.get(), "t", "string", &proto.text, 1), 1);
  EXPECT_EQ(ObjectAddField(&ctx_, tmpl.get(), "alias", "dword", &proto.text, 1), 0);
  EXPECT_EQ(Error(), "Illegal field address specified");
  EXPECT_EQ(ObjectAddField(&ctx_, tmpl.get(), "lo", "word", &proto.small, 1), 1);
  EXPECT_EQ(ObjectAddField(&ctx_, tmpl.get(), "lo8", "byte", &proto.small, 1), 1);
}

TEST_F(ObjectTest, CallsWithoutTheirObjectReportTheirTexts) {
  int unknown = 0;
  TemplatePtr tmpl(TemplateNew(0x1000));
  EXPECT_EQ(ObjectCreate(&ctx_, "widget", "w", nullptr, nullptr), nullptr);
  EXPECT_EQ(Error(), "Unknown object type 'widget'");
  EXPECT_EQ(ObjectCreate(&ctx_, nullptr, "w", nullptr, nullptr), nullptr);
  EXPECT_EQ(ObjectSetValue(&ctx_, nullptr, "Name", 0, 0), 0);
  EXPECT_EQ(Error(), "ObjectSetValue: No object specified.");
  EXPECT_EQ(ObjectSetValue(&ctx_, tmpl.get(), nullptr, 0, 0), 0);
  EXPECT_EQ(Error(), "ObjectSetValue: No property specified.");
  ObjectClearError(&ctx_);
  EXPECT_EQ(ObjectSetValue(&ctx_, &unknown, "Name", 1, 0), 0);  // a kind without keys
  EXPECT_EQ(Error(), "");
  EXPECT_EQ(ObjectComplete(&ctx_, nullptr), 0);
  EXPECT_EQ(Error(), "ObjectComplete: No object specified.");
  EXPECT_EQ(ObjectComplete(&ctx_, tmpl.get()), 0);
  EXPECT_EQ(Error(), "ObjectComplete: Unsupported object type.");
  EXPECT_EQ(V_ObjectSetValue(&ctx_, nullptr, tmpl.get(), &unknown), 0);
  EXPECT_EQ(Error(), "V_ObjectSetValue: No object specified");
  EXPECT_EQ(V_ObjectSetValue(&ctx_, &unknown, &unknown, &unknown), 0);
  EXPECT_EQ(Error(), "V_ObjectSetValue: No template specified");
  EXPECT_EQ(V_ObjectSetValue(&ctx_, &unknown, tmpl.get(), nullptr), 0);
  EXPECT_EQ(Error(), "V_ObjectSetValue: Base address is incorrect");
  EXPECT_EQ(V_ObjectSetValue(&ctx_, &unknown, tmpl.get(), &unknown), 1);  // not a vertex
  EXPECT_EQ(ObjectOperation(&ctx_, tmpl.get(), "no-such-operation-anywhere", nullptr), 0);
  EXPECT_EQ(Error(), "Unknown operation");
  EXPECT_EQ(ObjectOperation(&ctx_, nullptr, "delete", nullptr), 0);
  EXPECT_EQ(Error(), "No object specified");
  ObjectClearError(&ctx_);
  EXPECT_EQ(ObjectOperation(&ctx_, tmpl.get(), "vx", nullptr), 0);  // an atom, no operation
  EXPECT_EQ(Error(), "");
  // Reporting on a null context is harmless.
  EXPECT_EQ(ObjectSetValue(nullptr, nullptr, "Name", 0, 0), 0);
}

TEST_F(ObjectTest, DeleteFreesDescriptorsButNotOnesARecordHolds) {
  TemplatePtr tmpl(TemplateNew(0x1000));
  DescriptorPtr held = DescriptorCompile(*tmpl);
  held->pinned = true;
  EXPECT_EQ(ObjectKindOf(held.get()), OBJECT_KIND_DATA_DESCRIPTOR);
  EXPECT_EQ(ObjectOperation(&ctx_, held.get(), "delete", nullptr), 0);
  EXPECT_EQ(Error(), "Data descriptor is in use");
  DataDescriptor* loose = DescriptorCompile(*tmpl).release();
  EXPECT_EQ(ObjectOperation(&ctx_, loose, "DELETE", nullptr), 1);
  EXPECT_EQ(ObjectKindOf(loose), 0);
}

// A stand-in for a kind another module registers (effects use kind 19).
struct FakeRecord {
  int32_t kind = OBJECT_KIND_EFFECT;
  std::vector<std::pair<std::string, intptr_t>> keys;
  bool completed = false;
};

class FakeKindTest : public ObjectTest {
 protected:
  void SetUp() override {
    ObjectTest::SetUp();
    ObjectKindHandler h;
    h.kind = OBJECT_KIND_EFFECT;
    h.create_names = {"effect"};
    h.create = [this](HostCallContext*, std::string_view, const char* name, const Template*,
                      const void*) -> void* {
      if (name == nullptr) return nullptr;
      records_.push_back(std::make_unique<FakeRecord>());
      return records_.back().get();
    };
    h.owns = [this](const void* p) {
      for (const auto& r : records_)
        if (r.get() == p) return true;
      return false;
    };
    h.set_value = [](HostCallContext*, void* o, const char* key, intptr_t v, int32_t) -> intptr_t {
      if (std::string_view(key) == "Boom") throw std::bad_alloc();
      static_cast<FakeRecord*>(o)->keys.emplace_back(key, v);
      return 1;
    };
    h.complete = [this](HostCallContext*, void* o) -> intptr_t {
      static_cast<FakeRecord*>(o)->completed = true;
      return refuse_ ? 0 : 1;
    };
    h.set_from_template = [](HostCallContext*, void* o, const Template& t, const void* data) {
      float x = 0;
      if (TemplateFieldFloat(t, "X", data, &x))
        static_cast<FakeRecord*>(o)->keys.emplace_back("x", static_cast<intptr_t>(x * 10));
      return 1;
    };
    h.discard = [this](void* o) {
      std::erase_if(records_, [&](const auto& r) { return r.get() == o; });
    };
    ObjectKindRegister(std::move(h));
  }
  void TearDown() override {
    ObjectKindUnregister(OBJECT_KIND_EFFECT);
    ObjectTest::TearDown();
  }

  std::vector<std::unique_ptr<FakeRecord>> records_;
  bool refuse_ = false;
};

TEST_F(FakeKindTest, TemplateAndDataApplyEveryFieldThenComplete) {
  Proto proto{};
  proto.flags = -2;
  proto.x = 1.0f;
  char label[] = "lbl";
  proto.text = label;
  proto.small = -1;
  proto.b = 200;
  TemplatePtr tmpl(TemplateNew(reinterpret_cast<uintptr_t>(&proto)));
  ASSERT_EQ(ObjectAddField(&ctx_, tmpl.get(), "Flags", "long", &proto.flags, 1), 1);
  ASSERT_EQ(ObjectAddField(&ctx_, tmpl.get(), "X", "float", &proto.x, 1), 1);
  ASSERT_EQ(ObjectAddField(&ctx_, tmpl.get(), "Text", "string", &proto.text, 1), 1);
  ASSERT_EQ(ObjectAddField(&ctx_, tmpl.get(), "Small", "short", &proto.small, 1), 1);
  ASSERT_EQ(ObjectAddField(&ctx_, tmpl.get(), "B", "byte", &proto.b, 1), 1);

  auto* rec = static_cast<FakeRecord*>(ObjectCreate(&ctx_, "Effect", "sig", tmpl.get(), &proto));
  ASSERT_NE(rec, nullptr);
  EXPECT_EQ(ObjectKindOf(rec), OBJECT_KIND_EFFECT);
  EXPECT_TRUE(rec->completed);
  uint32_t one_bits;
  std::memcpy(&one_bits, &proto.x, 4);
  const std::vector<std::pair<std::string, intptr_t>> expected = {
      {"Flags", -2},
      {"X", static_cast<intptr_t>(one_bits)},
      {"Text", reinterpret_cast<intptr_t>(label)},
      {"Small", 0xFFFF},
      {"B", 200}};
  EXPECT_EQ(rec->keys, expected);

  // Without template and data the caller sets keys and completes.
  auto* plain = static_cast<FakeRecord*>(ObjectCreate(&ctx_, "effect", "sig2", nullptr, nullptr));
  ASSERT_NE(plain, nullptr);
  EXPECT_FALSE(plain->completed);
  EXPECT_EQ(ObjectSetValue(&ctx_, plain, "Name", 42, 0), 1);
  EXPECT_EQ(ObjectComplete(&ctx_, plain), 1);
  EXPECT_EQ(V_ObjectSetValue(&ctx_, plain, tmpl.get(), &proto), 1);
  EXPECT_EQ(plain->keys.back(), (std::pair<std::string, intptr_t>("x", 10)));
  // A dword field holding float bits reads the same; a byte field does not count.
  struct {
    uint32_t bits;
    uint8_t b;
  } raw{one_bits, 1};
  TemplatePtr as_dword(TemplateNew(reinterpret_cast<uintptr_t>(&raw)));
  ASSERT_EQ(ObjectAddField(&ctx_, as_dword.get(), "x", "dword", &raw.bits, 1), 1);
  ASSERT_EQ(ObjectAddField(&ctx_, as_dword.get(), "y", "byte", &raw.b, 1), 1);
  float got = 0;
  EXPECT_TRUE(TemplateFieldFloat(*as_dword, "X", &raw, &got));
  EXPECT_EQ(got, 1.0f);
  EXPECT_FALSE(TemplateFieldFloat(*as_dword, "y", &raw, &got));

  refuse_ = true;
  EXPECT_EQ(ObjectCreate(&ctx_, "effect", "sig3", tmpl.get(), &proto), nullptr);
}

TEST_F(FakeKindTest, FailuresInsideAHandlerBecomeReportedTexts) {
  void* rec = ObjectCreate(&ctx_, "effect", "s", nullptr, nullptr);
  EXPECT_EQ(ObjectSetValue(&ctx_, rec, "Boom", 1, 0), 0);
  EXPECT_EQ(Error(), "Memory allocation fails");
  // A failure while a template's values are applied discards the new object.
  struct {
    int32_t boom;
  } proto{1};
  TemplatePtr tmpl(TemplateNew(reinterpret_cast<uintptr_t>(&proto)));
  ASSERT_EQ(ObjectAddField(&ctx_, tmpl.get(), "Boom", "long", &proto.boom, 1), 1);
  EXPECT_EQ(ObjectCreate(&ctx_, "effect", "s2", tmpl.get(), &proto), nullptr);
  EXPECT_EQ(Error(), "Memory allocation fails");
  EXPECT_EQ(records_.size(), 1u);
  ObjectOperationRegister("FakeThrow",
                          [](HostCallContext*, void*, int32_t, void*) -> intptr_t { throw 1; });
  EXPECT_EQ(ObjectOperation(&ctx_, rec, "FakeThrow", nullptr), 0);
  EXPECT_EQ(Error(), "Internal error");
  ObjectOperationUnregister("FakeThrow");
}

TEST_F(FakeKindTest, RegisteredOperationsSeeTheKind) {
  std::vector<int32_t> seen;
  ObjectOperationRegister("FakeOp", [&](HostCallContext*, void*, int32_t kind, void* arg) {
    seen.push_back(kind);
    return reinterpret_cast<intptr_t>(arg);
  });
  auto* rec = ObjectCreate(&ctx_, "effect", "s", nullptr, nullptr);
  int arg = 0;
  EXPECT_EQ(ObjectOperation(&ctx_, rec, "fakeop", &arg), reinterpret_cast<intptr_t>(&arg));
  EXPECT_EQ(ObjectOperation(&ctx_, nullptr, "FAKEOP", nullptr), 0);
  EXPECT_EQ(seen, (std::vector<int32_t>{OBJECT_KIND_EFFECT, 0}));
  ObjectOperationUnregister("FakeOp");
  EXPECT_EQ(ObjectOperation(&ctx_, rec, "fakeop", &arg), 0);
}

TEST_F(ObjectTest, TemplatePropertiesReadAndWriteThePrototype) {
  Proto proto{};
  proto.flags = 77;
  char library_text[] = "library text";
  proto.text = library_text;
  TemplatePtr tmpl(TemplateNew(reinterpret_cast<uintptr_t>(&proto)));
  ASSERT_EQ(ObjectAddField(&ctx_, tmpl.get(), "Flags", "int32", &proto.flags, 1), 1);
  ASSERT_EQ(ObjectAddField(&ctx_, tmpl.get(), "Caption", "string", &proto.text, 1), 1);

  uint32_t value = 0;
  EXPECT_EQ(TemplateGetProperty(tmpl.get(), "flags", FIELD_TYPE_DWORD, &value, 4), 1);
  EXPECT_EQ(value, 77u);
  EXPECT_EQ(TemplateGetProperty(tmpl.get(), "flags", FIELD_TYPE_DWORD, &value, 2), 0);
  EXPECT_EQ(TemplateGetProperty(tmpl.get(), "Caption", FIELD_TYPE_DWORD, &value, 4), 0);
  char out[8];
  EXPECT_EQ(TemplateGetProperty(tmpl.get(), "caption", FIELD_TYPE_STRING, out, sizeof out), 1);
  EXPECT_STREQ(out, "library");  // cut to size - 1
  EXPECT_EQ(TemplateGetProperty(tmpl.get(), "missing", FIELD_TYPE_STRING, out, sizeof out), 0);

  EXPECT_EQ(TemplateSetProperty(tmpl.get(), "Flags", FIELD_TYPE_DWORD, 0x12345678), 1);
  EXPECT_EQ(proto.flags, 0x12345678);
  // Replacing the library's own text must not free it; replacing host text frees the old.
  EXPECT_EQ(TemplateSetProperty(tmpl.get(), "Caption", FIELD_TYPE_STRING,
                                reinterpret_cast<intptr_t>("first")),
            1);
  EXPECT_STREQ(library_text, "library text");
  char* first = proto.text;
  EXPECT_EQ(ClipDataAllocSize(first), 6u);
  EXPECT_EQ(TemplateSetProperty(tmpl.get(), "Caption", FIELD_TYPE_STRING,
                                reinterpret_cast<intptr_t>("second")),
            1);
  EXPECT_EQ(ClipDataAllocSize(first), 0u);
  EXPECT_STREQ(proto.text, "second");
  EXPECT_TRUE(ClipDataRelease(proto.text));
  int not_a_template = 0;
  EXPECT_EQ(TemplateSetProperty(&not_a_template, "Flags", FIELD_TYPE_DWORD, 1), 0);
}

}  // namespace
}  // namespace lumetra::project
