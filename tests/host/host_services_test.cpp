// The service table as a library receives it: the slot rows, the stub, the object protocol
// for effects and formats, the error text services and the edit session.
#include <gtest/gtest.h>

#include <cstring>
#include <string>
#include <vector>

#include "host/edit_session.h"
#include "host/host_services.h"
#include "host/object_error.h"
#include "host/plugin_fixture.h"

using namespace lumetra::project;
using namespace lumetra::project::testing;

namespace {

class HostServicesTest : public PluginTest {
 protected:
  void SetUp() override {
    PluginTest::SetUp();
    ctx_.word[HCC_WORD_TAG] = HCC_REGISTRATION_TAG;
    ctx_.word[HCC_WORD_KIND] = HCC_KIND_REGISTRATION;
  }
  void TearDown() override {
    ObjectClearError(&ctx_);
    PluginTest::TearDown();
  }
  std::string Error() { return std::string(ObjectErrorText(&ctx_)); }
  LumetraObject Effect(const char* signature) {
    return host_->ObjectCreate(&ctx_, "effect", signature, nullptr, nullptr);
  }
  LumetraTemplate NewTemplate(void* base) {
    return reinterpret_cast<LumetraTemplate>(host_->ObjectCreate(&ctx_, "template", "t", nullptr, base));
  }

  const HostServiceTable* host_ = HostServices();
  HostCallContext ctx_{};
};

TEST_F(HostServicesTest, EverySlotHasOneRowAndUnassignedSlotsReachTheStub) {
  auto rows = HostServiceRows();
  ASSERT_EQ(rows.size(), std::size_t{HOST_SERVICE_COUNT});
  const auto* slots = reinterpret_cast<const LumetraUnassignedFn*>(host_);
  for (std::size_t i = 0; i < rows.size(); ++i) {
    EXPECT_EQ(rows[i].slot, static_cast<int32_t>(i));
    if (i == 39) {
      EXPECT_EQ(slots[i], nullptr);
    } else {
      EXPECT_NE(slots[i], nullptr) << rows[i].name;
    }
  }
  struct Case {
    int32_t slot;
    std::string_view name;
  };
  for (const Case& c : {Case{90, "ObjectCreate"}, Case{101, "ObjectComplete"},
                        Case{20, "ClipReportError"}, Case{55, "ClipGetErrorText"}})
    EXPECT_EQ(rows[static_cast<std::size_t>(c.slot)].name, c.name);
  EXPECT_EQ(host_->unassigned_1(), 0);
  EXPECT_EQ(ui_->LastStatus(), kUnassignedServiceText);
  EXPECT_EQ(host_->unassigned_96(), 0);
}

TEST_F(HostServicesTest, ReportedErrorsAreReadBackCutToTheBuffer) {
  EXPECT_EQ(host_->ClipReportError(&ctx_, "Something failed"), 1);
  char buffer[8];
  EXPECT_EQ(host_->ClipGetErrorText(&ctx_, buffer, sizeof buffer), 16);
  EXPECT_STREQ(buffer, "Somethi");
  EXPECT_EQ(host_->ClipReportError(&ctx_, nullptr), 1);
  EXPECT_EQ(host_->ClipGetErrorText(&ctx_, buffer, sizeof buffer), 0);
  EXPECT_STREQ(buffer, "");
  EXPECT_EQ(host_->ClipReportError(nullptr, "x"), 0);
}

TEST_F(HostServicesTest, TemplateFieldsRefusedInOrderAndTypeNamesAnyCase) {
  struct Proto {
    int32_t a;
    float b;
  } proto{};
  LumetraTemplate t = NewTemplate(&proto.b);
  ASSERT_NE(t, nullptr);
  struct Case {
    LumetraTemplate tmpl;
    const char* name;
    const char* type;
    const void* address;
    int32_t result;
    const char* error;
  };
  const Case cases[] = {
      {nullptr, "x", "dword", &proto.b, 0, "No template specified"},
      {t, nullptr, "dword", &proto.b, 0, "No field name specified"},
      {t, "x", nullptr, &proto.b, 0, "No field type specified"},
      {t, "x", "double", &proto.b, 0, "Unknown field type specified"},
      {t, "a", "dword", &proto.a, 0, "Illegal field address specified"},  // below the base
      {t, "b", "LONG", &proto.b, 1, ""},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.error);
    ObjectClearError(&ctx_);
    EXPECT_EQ(host_->ObjectAddField(&ctx_, c.tmpl, c.name, c.type, c.address, 1), c.result);
    EXPECT_EQ(Error(), c.error);
  }
  const auto* tmpl = reinterpret_cast<const Template*>(t);
  ASSERT_EQ(tmpl->fields.size(), 1u);
  EXPECT_EQ(tmpl->fields[0].type, FIELD_TYPE_DWORD);
  EXPECT_EQ(tmpl->fields[0].offset, 0u);
  host_->ObjectOperation(&ctx_, reinterpret_cast<LumetraObject>(t), "Delete", nullptr);
}

TEST_F(HostServicesTest, EffectKeys) {
  EXPECT_EQ(Effect(nullptr), nullptr);
  EXPECT_EQ(Error(), "Signature is not specified for effect. Effect ignored.");
  LumetraObject e = Effect("Keys 1.0 Test");
  auto* r = reinterpret_cast<ProcessRecord*>(e);
  ASSERT_NE(r, nullptr);
  EXPECT_EQ(r->previous_track_input, -1);
  struct Case {
    const char* key;
    intptr_t value;
    uint32_t flags;
  };
  const Case cases[] = {
      {"SoundProcess", 0, kProcessSound},  // whatever the value
      {"SpecialFlag", 1, kProcessSound | kProcessHidden},
      {"SpecialFlag", 0, kProcessSound},
      {"specialflag", 1, kProcessSound},  // keys are exact: ignored, still 1
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.key);
    EXPECT_EQ(host_->ObjectSetValue(&ctx_, e, c.key, c.value, 0), 1);
    EXPECT_EQ(r->flags, c.flags);
  }
  EXPECT_EQ(host_->ObjectSetValue(&ctx_, nullptr, "Name", 0, 0), 0);
  EXPECT_EQ(Error(), "ObjectSetValue: No object specified.");
  EXPECT_EQ(host_->ObjectSetValue(&ctx_, e, nullptr, 0, 0), 0);
  EXPECT_EQ(Error(), "ObjectSetValue: No property specified.");
  EXPECT_EQ(host_->ObjectComplete(&ctx_, nullptr), 0);
  EXPECT_EQ(Error(), "ObjectComplete: No object specified.");
  int32_t not_an_object = 0;
  EXPECT_EQ(host_->ObjectComplete(&ctx_, reinterpret_cast<LumetraObject>(&not_an_object)), 0);
  EXPECT_EQ(Error(), "ObjectComplete: Unsupported object type.");
  EXPECT_EQ(host_->ObjectCreate(&ctx_, "gadget", "g", nullptr, nullptr), nullptr);
  EXPECT_EQ(Error(), "Unknown object type 'gadget'");
  EXPECT_NE(host_->ObjectComplete(&ctx_, e), 0);
  EXPECT_EQ(ProcessRegistryHead(), r);
}

TEST_F(HostServicesTest, EffectFieldsAddedByOffsetUntilRegistered) {
  LumetraEffect e = host_->EffectCreate("Fields 1.0 Test");
  ASSERT_NE(e, nullptr);
  struct Case {
    const char* name;
    const char* type;
    uint32_t offset;
    int32_t result;
    const char* error;
  };
  const Case cases[] = {
      {"level", "dword", 0, 1, ""},
      {"curve", "keyfloat", 8, 1, ""},
      {"bad", "double", 16, 0, "Unknown field type specified"},
      {"skew", "keyfloat", 12, 0, "Illegal field address specified"},  // not pointer-aligned
      {nullptr, "dword", 16, 0, "No field name specified"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.error);
    ObjectClearError(&ctx_);
    EXPECT_EQ(host_->EffectAddField(&ctx_, e, c.name, c.type, c.offset, 1), c.result);
    EXPECT_EQ(Error(), c.error);
  }
  const auto* r = reinterpret_cast<ProcessRecord*>(e);
  ASSERT_NE(r->data_template, nullptr);
  ASSERT_EQ(r->data_template->fields.size(), 2u);
  EXPECT_EQ(r->data_template->fields[1].type, FIELD_TYPE_KEYFLOAT);
  EXPECT_EQ(r->data_template->fields[1].offset, 8u);
  EXPECT_EQ(host_->EffectRegister(&ctx_, e), 1);
  EXPECT_EQ(host_->EffectAddField(&ctx_, e, "late", "dword", 24, 1), 0);  // laid out already
  int32_t foreign = 0;
  EXPECT_EQ(host_->EffectAddField(&ctx_, reinterpret_cast<LumetraEffect>(&foreign), "x", "dword", 0, 1), 0);
}

// The library's structure that ObjectCreate applies as keys when it gets a template.
struct EffectProto {
  int32_t Version;
  int32_t InputsNumber;
};

TEST_F(HostServicesTest, CreateWithTemplateAnswersTheRecordThatStands) {
  EffectProto proto{};
  LumetraTemplate t = NewTemplate(&proto);
  ASSERT_EQ(host_->ObjectAddField(&ctx_, t, "Version", "dword", &proto.Version, 1), 1);
  ASSERT_EQ(host_->ObjectAddField(&ctx_, t, "InputsNumber", "dword", &proto.InputsNumber, 1), 1);
  struct Case {
    int32_t version;
    int32_t standing_version;
    const char* message;
  };
  const Case cases[] = {
      {2, 2, "loaded"},
      {1, 2, "ignored"},  // the new record is freed: the older one is answered
      {2, 2, "ignored"},
      {3, 3, "updated"},
  };
  ProcessRecord* first = nullptr;
  for (const Case& c : cases) {
    SCOPED_TRACE(c.version);
    RegistryMessagesClear();
    proto = {c.version, 4};
    auto* r = reinterpret_cast<ProcessRecord*>(
        host_->ObjectCreate(&ctx_, "effect", "Made 1.0 Test", t, &proto));
    ASSERT_NE(r, nullptr);
    if (first == nullptr) first = r;
    EXPECT_EQ(r, first);
    EXPECT_EQ(r->version, c.standing_version);
    EXPECT_EQ(r->inputs_number, 4);
    ASSERT_EQ(RegistryMessages().size(), 1u);
    EXPECT_TRUE(RegistryMessages()[0].ends_with(c.message)) << RegistryMessages()[0];
  }
  host_->ObjectOperation(&ctx_, reinterpret_cast<LumetraObject>(t), "Delete", nullptr);
}

TEST_F(HostServicesTest, InputFormatKeysAndVersions) {
  LumetraObject f = host_->ObjectCreate(&ctx_, "InputFormat", "Targa", nullptr, nullptr);
  ASSERT_NE(f, nullptr);
  auto* rec = reinterpret_cast<InputFormat*>(f);
  const std::string long_ext(40, 'e');
  const std::string long_name(300, 'n');
  struct Case {
    const char* key;
    intptr_t value;
    int32_t index;
    intptr_t result;
  };
  const Case cases[] = {
      {"Ext0", reinterpret_cast<intptr_t>("tga"), 0, 1},
      {"Ext1", reinterpret_cast<intptr_t>("TGA"), 0, 1},
      {"Ext3", reinterpret_cast<intptr_t>(long_ext.c_str()), 0, 1},
      {"Ext4", reinterpret_cast<intptr_t>("bad"), 0, 0},
      {"Ext0", reinterpret_cast<intptr_t>("vda"), 9, 1},  // the index picks the slot
      {"Description", reinterpret_cast<intptr_t>(long_name.c_str()), 0, 1},
      {"Version", 2, 0, 1},
      {"Wobble", 1, 0, 0},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.key);
    EXPECT_EQ(host_->ObjectSetValue(&ctx_, f, c.key, c.value, c.index), c.result);
  }
  EXPECT_STREQ(rec->ext[0], "tga");
  EXPECT_STREQ(rec->ext[1], "TGA");
  EXPECT_EQ(std::string(rec->ext[3]), long_ext.substr(0, 15));
  EXPECT_STREQ(rec->ext[9], "vda");
  EXPECT_EQ(std::string(rec->description), long_name.substr(0, 127));
  EXPECT_STREQ(rec->name, "Targa");
  EXPECT_NE(host_->ObjectComplete(&ctx_, f), 0);

  // The same name again: an equal version is ignored (result 0), a newer one replaces it.
  LumetraObject same = host_->ObjectCreate(&ctx_, "InputFormat", "Targa", nullptr, nullptr);
  host_->ObjectSetValue(&ctx_, same, "Version", 2, 0);
  EXPECT_EQ(host_->ObjectComplete(&ctx_, same), 0);
  LumetraObject newer = host_->ObjectCreate(&ctx_, "InputFormat", "Targa", nullptr, nullptr);
  host_->ObjectSetValue(&ctx_, newer, "Version", 3, 0);
  EXPECT_NE(host_->ObjectComplete(&ctx_, newer), 0);
  EXPECT_EQ(InputFormatHead(), reinterpret_cast<InputFormat*>(newer));
  EXPECT_EQ(InputFormatHead()->next, nullptr);
  EXPECT_EQ(RegistryMessages(),
            (std::vector<std::string>{"Input format 'Targa [ver 2]' loaded",
                                      "Input format 'Targa [ver 2]' ignored",
                                      "Replacing old version of 'Targa [ver 2]'",
                                      "Input format 'Targa [ver 3]' loaded"}));
}

TEST_F(HostServicesTest, OutputFormatsAreKeyedByExtension) {
  struct Params {
    int32_t quality;
  } proto{};
  LumetraTemplate t = NewTemplate(&proto);
  ASSERT_EQ(host_->ObjectAddField(&ctx_, t, "quality", "dword", &proto.quality, 1), 1);
  auto make = [&](const char* name, const char* ext, int32_t version) {
    LumetraObject f = host_->ObjectCreate(&ctx_, "OutputFormat", name, nullptr, nullptr);
    EXPECT_EQ(host_->ObjectSetValue(&ctx_, f, "Ext", reinterpret_cast<intptr_t>(ext), 0), 1);
    EXPECT_EQ(host_->ObjectSetValue(&ctx_, f, "Version", version, 0), 1);
    EXPECT_EQ(host_->ObjectSetValue(&ctx_, f, "Parameters", reinterpret_cast<intptr_t>(t), 0), 1);
    EXPECT_EQ(host_->ObjectSetValue(&ctx_, f, "Index", 1, 0), 0);
    return host_->ObjectComplete(&ctx_, f);
  };
  EXPECT_NE(make("Targa", "tga", 1), 0);
  EXPECT_NE(make("Bitmap", "bmp", 1), 0);
  EXPECT_NE(make("Targa 2", "tga", 2), 0);
  EXPECT_EQ(make("Targa 0", "tga", 1), 0);
  std::vector<std::string> names;
  for (OutputFormat* f = OutputFormatHead(); f != nullptr; f = f->next) names.emplace_back(f->name);
  EXPECT_EQ(names, (std::vector<std::string>{"Targa 2", "Bitmap"}));
  ASSERT_NE(OutputFormatHead()->parameters, nullptr);
  EXPECT_EQ(OutputFormatHead()->parameters->fields.size(), 1u);
  host_->ObjectOperation(&ctx_, reinterpret_cast<LumetraObject>(t), "Delete", nullptr);
}

// A window host that records what the session asked of it and applies posted copies when
// the test flushes them, as the main window would.
class FakeWindows final : public EditWindows {
 public:
  void Focus(LumetraWindow w) override { calls.push_back("focus " + std::to_string(w)); }
  void Place(LumetraWindow, const int32_t*) override { calls.emplace_back("place"); }
  void Show(LumetraWindow) override { calls.emplace_back("show"); }
  void WindowRect(LumetraWindow, int32_t rect[4]) override {
    const int32_t r[4] = {10, 20, 210, 120};
    std::memcpy(rect, r, sizeof r);
  }
  void Destroy(LumetraWindow) override { calls.emplace_back("destroy"); }
  void PostApply(Clip* clip, Clip* copy) override { posted.emplace_back(clip, copy); }
  void Flush() {
    for (auto& [clip, copy] : posted) ClipApplyCopy(clip, copy);
    posted.clear();
  }
  std::vector<std::string> calls;
  std::vector<std::pair<Clip*, Clip*>> posted;
};

int32_t Level(const Clip* clip) {
  int32_t v = 0;
  std::memcpy(&v, clip->data, sizeof v);
  return v;
}

void SetLevel(Clip* clip, int32_t v) {
  std::memcpy(clip->data, &v, sizeof v);
}

TEST_F(HostServicesTest, EditSessionAppliesAndCancelsThroughTheWindow) {
  ASSERT_EQ(LibraryLoad(TestLibrary("mix_v1")).result, 1);
  Clip* clip = AddClip(AddTrack(), 0.0f, 1.0f, ProcessRegistryHead());
  ASSERT_NE(clip, nullptr);
  // Headless: no windows, no session.
  EXPECT_EQ(ClipEditOpen(clip), 0);
  EXPECT_EQ(clip->edit_copy, nullptr);

  FakeWindows windows;
  EditWindowsSet(&windows);
  struct Case {
    bool ok;
    int32_t expected_level;
  };
  for (const Case& c : {Case{true, 11}, Case{false, 11}}) {
    SCOPED_TRACE(c.ok);
    ASSERT_EQ(ClipEditOpen(clip), 1);
    EXPECT_EQ(ClipEditOpen(clip), 1);  // already open: focus only
    EXPECT_EQ(windows.calls.back(), "focus " + std::to_string(0x5EED));
    HostCallContext* session = ClipEditContext(clip);
    ASSERT_NE(session, nullptr);
    ASSERT_NE(clip->edit_copy, nullptr);
    EXPECT_EQ(session->word[HCC_WORD_CLIP], reinterpret_cast<uintptr_t>(clip->edit_copy));
    // The dialog changes the edit copy and tells the host.
    SetLevel(clip->edit_copy, c.ok ? 11 : 99);
    EXPECT_EQ(host_->ClipDataChanged(session), 1);
    windows.Flush();
    EXPECT_EQ(Level(clip), c.ok ? 11 : 99);
    EXPECT_EQ(c.ok ? host_->ClipEditOk(session) : host_->ClipEditCancel(session), 1);
    windows.Flush();
    EXPECT_EQ(Level(clip), c.expected_level);
    EXPECT_EQ(clip->edit_window, 0u);
    EXPECT_EQ(clip->edit_copy, nullptr);
    EXPECT_EQ(clip->backup_copy, nullptr);
    EXPECT_EQ(clip->edit_window_position[2], 210);
    EXPECT_EQ(ClipEditContext(clip), nullptr);
  }
  // A context that is not a session's changes nothing.
  EXPECT_EQ(host_->ClipDataChanged(&ctx_), 0);
  EXPECT_EQ(host_->ClipEditOk(&ctx_), 0);
  // A clip freed with its dialog open ends its session with the window (the key is only
  // compared, never read through).
  ASSERT_EQ(ClipEditOpen(clip), 1);
  ASSERT_NE(ClipEditContext(clip), nullptr);
  ClipFree(clip);
  EXPECT_EQ(windows.calls.back(), "destroy");
  EXPECT_EQ(ClipEditContext(clip), nullptr);
  EditWindowsSet(nullptr);
}

}  // namespace
