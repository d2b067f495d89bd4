// Templates and data descriptors: type names, field checks, sizes and offsets on 64-bit and
// in the stored layout.
#include "clipdata/template.h"

#include <gtest/gtest.h>

#include <cstddef>

namespace lumetra::project {
namespace {

TEST(FieldTypeTest, NamesMapToCodesWithoutRegardToCase) {
  const struct {
    const char* name;
    int32_t code;
  } cases[] = {
      {"byte", 1},      {"BYTE", 1},      {"word", 2},   {"uint16", 2},    {"short", 2},
      {"Int16", 2},     {"dword", 3},     {"uint32", 3}, {"LONG", 3},      {"Int32", 3},
      {"Keyfloat", 6},  {"anifloat", 6},  {"FLOAT", 9},  {"geometry", 10}, {"String", 11},
      {"ALLOCBUF", 14}, {"allocbuf", 14}, {"double", 0}, {"", 0},          {"int", 0},
      {"bytes", 0},     {"keyfloat ", 0},
  };
  for (const auto& c : cases) EXPECT_EQ(FieldTypeFromName(c.name), c.code) << c.name;
  EXPECT_EQ(FieldTypeNames().size(), 15u);
}

TEST(FieldTypeTest, ElementSizes) {
  EXPECT_EQ(FieldElementSize(FIELD_TYPE_BYTE), 1u);
  EXPECT_EQ(FieldElementSize(FIELD_TYPE_WORD), 2u);
  EXPECT_EQ(FieldElementSize(FIELD_TYPE_DWORD), 4u);
  EXPECT_EQ(FieldElementSize(FIELD_TYPE_FLOAT), 4u);
  for (int32_t t :
       {FIELD_TYPE_KEYFLOAT, FIELD_TYPE_GEOMETRY, FIELD_TYPE_STRING, FIELD_TYPE_ALLOCBUF}) {
    EXPECT_EQ(FieldElementSize(t), sizeof(void*));
    EXPECT_EQ(FieldFileElementSize(t), 4u);
  }
  EXPECT_EQ(FieldElementSize(5), 4u);
}

// Structures as libraries declare them, with the stored (32-bit) offsets their
// registrations are known by.
struct MotionBlurData {
  KeyfloatKey* f;
  KeyfloatKey* t;
  KeyfloatKey* opc;
  float steps;
  uint8_t alignment;
  int32_t flags;
};

struct KeyerData {
  int32_t Flags;
  KeyfloatKey* Hue;
  KeyfloatKey* Light;
  KeyfloatKey* Difference;
  KeyfloatKey* Color;
  KeyfloatKey* Edges;
  uint8_t CombineMode;
};

struct DottedData {
  void* Geo;
  KeyfloatKey* a;
  KeyfloatKey* size;
  KeyfloatKey* Offset;
  uint8_t place, orient, dtmode;
  int16_t loops, steps, dnum;
  int32_t flags;
  float fr, to, distance, angle;
  char* label;
  void* buffer;
};

struct FieldSpec {
  const char* name;
  const char* type;
  size_t offset;
  int32_t count;
  uint32_t file_offset;
};

TemplatePtr Build(const void* base, std::initializer_list<FieldSpec> specs) {
  TemplatePtr tmpl(TemplateNew(reinterpret_cast<uintptr_t>(base)));
  for (const FieldSpec& s : specs) {
    const auto address = reinterpret_cast<uintptr_t>(base) + s.offset;
    EXPECT_EQ(TemplateAddField(*tmpl, s.name, s.type, address, s.count), "") << s.name;
  }
  return tmpl;
}

void ExpectLayout(const Template& tmpl, std::initializer_list<FieldSpec> specs, size_t size,
                  uint32_t file_size) {
  DescriptorPtr d = DescriptorCompile(tmpl);
  EXPECT_EQ(d->data_size, size);
  EXPECT_EQ(TemplateDataSize(tmpl), size);
  EXPECT_EQ(d->file_data_size, file_size);
  ASSERT_EQ(d->fields.size(), specs.size());
  size_t i = 0;
  for (const FieldSpec& s : specs) {
    EXPECT_EQ(d->fields[i].offset, s.offset) << s.name;
    EXPECT_EQ(d->fields[i].file_offset, s.file_offset) << s.name;
    EXPECT_EQ(AtomCompare(d->fields[i].name, s.name), 0) << s.name;  // the atom's spelling
    ++i;
  }
  // A stored template read back lays the block out exactly like the library's struct.
  std::vector<FileField> file;
  for (const DescriptorField& f : d->fields)
    file.push_back({f.file_offset, f.type, f.name, f.count});
  DescriptorPtr back = DescriptorFromFile(file);
  ASSERT_NE(back, nullptr);
  EXPECT_EQ(back->data_size, size);
  EXPECT_TRUE(DescriptorSameLayout(*d, *back));
  for (size_t k = 0; k < d->fields.size(); ++k)
    EXPECT_EQ(back->fields[k].offset, d->fields[k].offset);
}

TEST(TemplateLayoutTest, MotionBlurStructMatchesSizeofAndStoredOffsets) {
  MotionBlurData proto{};
  const std::initializer_list<FieldSpec> specs = {
      {"f", "keyfloat", offsetof(MotionBlurData, f), 1, 0},
      {"t", "KEYFLOAT", offsetof(MotionBlurData, t), 1, 4},
      {"opc", "KEYFLOAT", offsetof(MotionBlurData, opc), 1, 8},
      {"steps", "FLOAT", offsetof(MotionBlurData, steps), 1, 12},
      {"alignment", "BYTE", offsetof(MotionBlurData, alignment), 1, 16},
      {"flags", "LONG", offsetof(MotionBlurData, flags), 1, 20}};
  auto tmpl = Build(&proto, specs);
  ExpectLayout(*tmpl, specs, sizeof(MotionBlurData), 24);
}

TEST(TemplateLayoutTest, KeyerStructWithPaddingBeforePointers) {
  KeyerData proto{};
  const std::initializer_list<FieldSpec> specs = {
      {"Flags", "long", offsetof(KeyerData, Flags), 1, 0},
      {"Hue", "KEYFLOAT", offsetof(KeyerData, Hue), 1, 4},
      {"Light", "KEYFLOAT", offsetof(KeyerData, Light), 1, 8},
      {"Difference", "KEYFLOAT", offsetof(KeyerData, Difference), 1, 12},
      {"Color", "keyfloat", offsetof(KeyerData, Color), 1, 16},
      {"Edges", "KEYFLOAT", offsetof(KeyerData, Edges), 1, 20},
      {"CombineMode", "byte", offsetof(KeyerData, CombineMode), 1, 24}};
  auto tmpl = Build(&proto, specs);
  ExpectLayout(*tmpl, specs, sizeof(KeyerData), 28);
}

TEST(TemplateLayoutTest, MixedStructWithShortsStringAndBuffer) {
  DottedData proto{};
  const std::initializer_list<FieldSpec> specs = {
      {"Geo", "geometry", offsetof(DottedData, Geo), 1, 0},
      {"a", "keyfloat", offsetof(DottedData, a), 1, 4},
      {"size", "keyfloat", offsetof(DottedData, size), 1, 8},
      {"Offset", "keyfloat", offsetof(DottedData, Offset), 1, 12},
      {"place", "byte", offsetof(DottedData, place), 1, 16},
      {"orient", "BYTE", offsetof(DottedData, orient), 1, 17},
      {"dtmode", "BYTE", offsetof(DottedData, dtmode), 1, 18},
      {"loops", "SHORT", offsetof(DottedData, loops), 1, 20},
      {"steps", "SHORT", offsetof(DottedData, steps), 1, 22},
      {"dnum", "SHORT", offsetof(DottedData, dnum), 1, 24},
      {"flags", "LONG", offsetof(DottedData, flags), 1, 28},
      {"fr", "FLOAT", offsetof(DottedData, fr), 1, 32},
      {"to", "FLOAT", offsetof(DottedData, to), 1, 36},
      {"distance", "FLOAT", offsetof(DottedData, distance), 1, 40},
      {"angle", "FLOAT", offsetof(DottedData, angle), 1, 44},
      {"label", "string", offsetof(DottedData, label), 1, 48},
      {"buffer", "ALLOCBUF", offsetof(DottedData, buffer), 1, 52}};
  auto tmpl = Build(&proto, specs);
  ExpectLayout(*tmpl, specs, sizeof(DottedData), 56);
}

TEST(TemplateLayoutTest, StoredSizeRuleAndCounts) {
  // One float at 0 and three bytes at 8: 12 in both layouts.
  std::vector<FileField> a = {{0, FIELD_TYPE_FLOAT, "f", 1}, {8, FIELD_TYPE_BYTE, "b", 3}};
  DescriptorPtr da = DescriptorFromFile(a);
  EXPECT_EQ(da->file_data_size, 12u);
  EXPECT_EQ(da->data_size, 12u);
  EXPECT_EQ(da->element_count, 4u);
  // A keyfloat at stored offset 4 (size 8) sits pointer-aligned in memory.
  std::vector<FileField> b = {{4, FIELD_TYPE_KEYFLOAT, "k", 1}};
  DescriptorPtr db = DescriptorFromFile(b);
  EXPECT_EQ(db->file_data_size, 8u);
  EXPECT_EQ(db->fields[0].offset % sizeof(void*), 0u);
  EXPECT_EQ(db->data_size, db->fields[0].offset + sizeof(void*));
  // No fields: no block.
  EXPECT_EQ(DescriptorFromFile({})->data_size, 0u);
  auto empty = TemplatePtr(TemplateNew(0x1000));
  EXPECT_EQ(TemplateDataSize(*empty), 0u);
  // Arrays count their elements.
  struct Morph {
    int32_t flags;
    void* gpair[20];
    void* gf;
  } proto{};
  auto tmpl = Build(&proto, {{"flags", "long", 0, 1, 0},
                             {"gpair", "GEOMETRY", offsetof(Morph, gpair), 20, 4},
                             {"gf", "GEOMETRY", offsetof(Morph, gf), 1, 84}});
  ExpectLayout(*tmpl,
               {{"flags", "long", 0, 1, 0},
                {"gpair", "GEOMETRY", offsetof(Morph, gpair), 20, 4},
                {"gf", "GEOMETRY", offsetof(Morph, gf), 1, 84}},
               sizeof(Morph), 88);
}

TEST(TemplateLayoutTest, StoredTemplateThatLiesIsLaidOutSafely) {
  // Overlapping stored fields never share memory; huge counts and offsets are refused.
  std::vector<FileField> overlap = {{0, FIELD_TYPE_STRING, "s", 1}, {0, FIELD_TYPE_STRING, "t", 1}};
  DescriptorPtr d = DescriptorFromFile(overlap);
  ASSERT_NE(d, nullptr);
  EXPECT_NE(d->fields[0].offset, d->fields[1].offset);
  EXPECT_EQ(d->data_size, 2 * sizeof(void*));
  std::string error;
  std::vector<FileField> huge = {{0, FIELD_TYPE_DWORD, "n", 0xFFFFFFFFu}};
  EXPECT_EQ(DescriptorFromFile(huge, &error), nullptr);
  EXPECT_EQ(error, "Data template field 'n' is out of range");
  std::vector<FileField> wide = {{kMaxDataSize, FIELD_TYPE_DWORD, "n", 1}};
  EXPECT_EQ(DescriptorFromFile(wide, &error), nullptr);
  EXPECT_EQ(error, "Data template is too large");
}

TEST(TemplateLayoutTest, SameLayoutComparesStoredImage) {
  std::vector<FileField> a = {{0, FIELD_TYPE_DWORD, "flags", 1}, {4, FIELD_TYPE_KEYFLOAT, "k", 1}};
  auto b = a;
  b[1].name = "K2";
  auto upper = a;
  upper[1].name = "K";
  auto c = a;
  c[1].count = 2;
  auto da = DescriptorFromFile(a);
  EXPECT_TRUE(DescriptorSameLayout(*da, *DescriptorFromFile(a)));
  EXPECT_FALSE(DescriptorSameLayout(*da, *DescriptorFromFile(b)));
  EXPECT_TRUE(DescriptorSameLayout(*da, *DescriptorFromFile(upper)));
  EXPECT_FALSE(DescriptorSameLayout(*da, *DescriptorFromFile(c)));
  EXPECT_FALSE(DescriptorSameLayout(*da, *DescriptorFromFile(std::span(a).first(1))));
}

}  // namespace
}  // namespace lumetra::project
