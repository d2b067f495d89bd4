#include <gtest/gtest.h>

#include <cstring>
#include <sstream>
#include <string>
#include <vector>

#include "effect_table.h"
#include "effects/expected_records.h"
#include "effects/fake_host.h"


namespace effects_test {
namespace {

std::string Text(intptr_t value) { return reinterpret_cast<const char*>(value); }

std::vector<FakeField> ParseFields(const char* text) {
  std::vector<FakeField> fields;
  std::istringstream in(text ? text : "");
  std::string token;
  while (in >> token) {
    const auto a = token.find(':');
    const auto b = token.rfind(':');
    fields.push_back({token.substr(0, a), token.substr(a + 1, b - a - 1), 0,
                      std::stoi(token.substr(b + 1))});
  }
  return fields;
}

std::vector<const FakeObject*> Records(const FakeHost& host) {
  std::vector<const FakeObject*> out;
  for (const FakeObject& o : host.objects) {
    if (o.kind == "effect" || o.kind == "InputFormat") out.push_back(&o);
  }
  return out;
}

TEST(EffectsRegistration, HostBelowVersion1000GetsNothing) {
  for (const bool answered : {true, false}) {
    FakeHost host;
    host.version = 999;
    host.answer_version = answered;
    EXPECT_EQ(ZOLT_GetLibInfo(&host.ctx, host.PublicTable()), 0);
    EXPECT_TRUE(host.objects.empty());
  }
}

TEST(EffectsRegistration, Version1000RegistersEveryRecordInOrderWithItsTexts) {
  FakeHost host;
  host.version = 1000;
  ASSERT_EQ(ZOLT_GetLibInfo(&host.ctx, host.PublicTable()), 1);
  const auto records = Records(host);
  ASSERT_EQ(records.size(), std::size(kExpectedRecords));
  ASSERT_EQ(host.completed.size(), records.size());
  for (size_t i = 0; i < records.size(); ++i) {
    const ExpectedRecord& want = kExpectedRecords[i];
    const FakeObject& got = *records[i];
    SCOPED_TRACE(want.signature);
    EXPECT_EQ(got.name, want.signature);
    EXPECT_EQ(host.completed[i], &got);
    if (want.kind == Kind::kFormat) {
      EXPECT_EQ(got.kind, "InputFormat");
      continue;
    }
    ASSERT_EQ(got.kind, "effect");
    bool found = false;
    EXPECT_EQ(Text(got.Value("Name")), want.name);
    EXPECT_EQ(Text(got.Value("Comments")), want.comments);
    EXPECT_EQ(got.Value("InputsNumber", &found), want.inputs);
    EXPECT_TRUE(found);
    EXPECT_NE(got.Value("InitFunction"), 0);
    EXPECT_NE(got.Value("EditFunction"), 0);
    EXPECT_EQ(got.Value("MakeFunction", &found) != 0, want.make);
    EXPECT_TRUE(found);
    EXPECT_EQ(got.Value("MakeSoundFunction") != 0, want.make_sound);
    EXPECT_EQ(got.Value("FormatFunction") != 0, want.format_function);
    got.Value("PreviousTrackInput", &found);
    EXPECT_EQ(found, want.previous_track_input);
    if (found) {
      EXPECT_EQ(got.Value("PreviousTrackInput"), 0);
    }
    const intptr_t version = got.Value("Version", &found);
    EXPECT_EQ(found ? version : kAbsent, want.version);
    const intptr_t display = got.Value("DisplayMode", &found);
    EXPECT_EQ(found ? display : kAbsent, want.display_mode);

    // The template: every field by name, type and count; stored under "Data" and let go.
    const std::vector<FakeField> fields = ParseFields(want.fields);
    const intptr_t data = got.Value("Data", &found);
    if (fields.empty()) {
      EXPECT_FALSE(found);
      continue;
    }
    ASSERT_TRUE(found);
    const auto* tmpl = reinterpret_cast<const FakeObject*>(data);
    EXPECT_EQ(tmpl->kind, "template");
    EXPECT_TRUE(tmpl->deleted);
    ASSERT_EQ(tmpl->fields.size(), fields.size());
    for (size_t f = 0; f < fields.size(); ++f) {
      EXPECT_EQ(tmpl->fields[f].name, fields[f].name);
      EXPECT_EQ(tmpl->fields[f].type, fields[f].type);
      EXPECT_EQ(tmpl->fields[f].count, fields[f].count);
    }
  }
}

// Element size in a native block, and whether the element is a pointer.
size_t ElementSize(std::string type) {
  for (char& c : type) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
  if (type == "byte") return 1;
  if (type == "int16" || type == "short") return 2;
  if (type == "long" || type == "int32" || type == "float") return 4;
  return sizeof(void*);
}

TEST(EffectsRegistration, TemplatesLayFieldsOutNativelyInOrderWithoutOverlap) {
  FakeHost host;
  ASSERT_EQ(ZOLT_GetLibInfo(&host.ctx, host.PublicTable()), 1);
  size_t effect = 0;
  for (const effects::LibraryRecord& record : effects::LibraryRecords()) {
    if (record.effect == nullptr) continue;
    ++effect;
    SCOPED_TRACE(record.effect->signature);
    uintptr_t end = 0;
    for (const effects::FieldDef& field : record.effect->fields) {
      const size_t size = ElementSize(field.type);
      EXPECT_EQ(field.offset % size, 0u) << field.name;  // pointers pointer-aligned
      EXPECT_GE(field.offset, end) << field.name;
      end = field.offset + size * field.count;
    }
    EXPECT_LE(end, record.effect->block_size);
  }
  EXPECT_EQ(effect, 37u);
}

TEST(EffectsRegistration, RecordTableKeepsIconsAndDialogs) {
  size_t i = 0;
  for (const effects::LibraryRecord& record : effects::LibraryRecords()) {
    ASSERT_LT(i, std::size(kExpectedRecords));
    const ExpectedRecord& want = kExpectedRecords[i++];
    if (want.kind == Kind::kFormat) {
      ASSERT_NE(record.format, nullptr);
      continue;
    }
    ASSERT_NE(record.effect, nullptr);
    EXPECT_EQ(record.effect->icon_id, want.icon) << want.signature;
    EXPECT_STREQ(record.effect->dialog, want.dialog);
  }
  EXPECT_EQ(i, std::size(kExpectedRecords));
}

TEST(EffectsRegistration, InputFormatsCarryTheirKeys) {
  FakeHost host;
  ASSERT_EQ(ZOLT_GetLibInfo(&host.ctx, host.PublicTable()), 1);
  std::vector<const FakeObject*> formats;
  for (const FakeObject& o : host.objects) {
    if (o.kind == "InputFormat") formats.push_back(&o);
  }
  ASSERT_EQ(formats.size(), 2u);
  const FakeObject& ip = *formats[0];
  EXPECT_EQ(ip.name, "Zolt Image Processor");
  EXPECT_EQ(Text(ip.Value("Description")), "Image Processor program  (*.CF)");
  EXPECT_EQ(Text(ip.Value("Ext0")), "CF");
  EXPECT_EQ(ip.Value("Version"), 1);
  EXPECT_EQ(ip.Value("Flags"), 16);
  EXPECT_NE(ip.Value("MetaBrowserFunction"), 0);
  const FakeObject& mesh = *formats[1];
  EXPECT_EQ(mesh.name, "Zolt Autodesk 3DStudio mesh loader");
  EXPECT_EQ(Text(mesh.Value("Description")), "Autodesk 3DStudio mesh  (*.3DS; *.PRJ)");
  EXPECT_EQ(Text(mesh.Value("Ext0")), "3DS");
  EXPECT_EQ(Text(mesh.Value("Ext1")), "PRJ");
  EXPECT_EQ(mesh.Value("Version"), 1);
  EXPECT_EQ(mesh.Value("Flags"), 2);
  EXPECT_NE(mesh.Value("GeometryBrowserFunction"), 0);
}

TEST(EffectsRegistration, FailedObjectCompleteAnswers0AndKeepsTheOthers) {
  FakeHost host;
  host.fail_complete_at = 5;  // the sixth effect: Paste
  EXPECT_EQ(ZOLT_GetLibInfo(&host.ctx, host.PublicTable()), 0);
  ASSERT_EQ(host.completed.size(), std::size(kExpectedRecords) - 1);
  for (int i = 0; i < 5; ++i) EXPECT_EQ(host.completed[i]->name, kExpectedRecords[i].signature);
  EXPECT_EQ(host.completed[5]->name, kExpectedRecords[6].signature);
}

TEST(EffectsRegistration, FormatsTheHostIgnoresDoNotFailTheLibrary) {
  FakeHost host;
  host.ignore_formats = true;
  EXPECT_EQ(ZOLT_GetLibInfo(&host.ctx, host.PublicTable()), 1);
  EXPECT_EQ(host.completed.size(), 37u);
}

TEST(EffectsRegistration, ZorEdezeKeepsItsTrailingBlank) {
  FakeHost host;
  ASSERT_EQ(ZOLT_GetLibInfo(&host.ctx, host.PublicTable()), 1);
  int found = 0;
  for (const FakeObject& o : host.objects) {
    if (o.name.rfind("ZorEdeze", 0) == 0) {
      EXPECT_EQ(o.name, "ZorEdeze, by Orvanta (D) ");
      ++found;
    }
  }
  EXPECT_EQ(found, 1);
}

}  // namespace
}  // namespace effects_test
