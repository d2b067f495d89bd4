// A project for the host function tests: two tracks, a registered effect whose clip data
// a template describes, a clip on the first track, a recording script UI and the effect's
// own memory that scripts read and write.
#pragma once

#include <gtest/gtest.h>

#include <cinttypes>
#include <cstdio>
#include <cstring>
#include <memory>
#include <string>
#include <vector>

#include "clipdata/template.h"
#include "geometry/geo_ops.h"
#include "model/clip.h"
#include "model/project.h"
#include "model/render_lock.h"
#include "model/track.h"
#include "platform/ui_host.h"
#include "projectfile/project_file_processes.h"
#include "script/script_function.h"
#include "script/script_host.h"
#include "script/script_memory.h"
#include "script/script_message.h"
#include "script/script_run.h"

namespace lumetra::script::test {

class StatusUi final : public platform::UiHost {
 public:
  void ErrorBox(std::string_view) override {}
  void InfoBox(std::string_view) override {}
  platform::Answer AskYesNo(std::string_view) override { return platform::Answer::No; }
  platform::Answer AskYesNoCancel(std::string_view) override { return platform::Answer::Cancel; }
  void SetStatus(std::string_view text) override { statuses.emplace_back(text); }
  std::optional<std::string> FileDialog(const platform::FileDialogRequest&) override {
    return std::nullopt;
  }
  platform::Answer RunDialog(std::string_view, std::string_view) override {
    return platform::Answer::Cancel;
  }
  std::vector<std::string> statuses;
};

// Records every call; answers as told.
class FakeScriptUi final : public platform::ScriptUi {
 public:
  bool ChooseColour(uintptr_t owner, uint8_t bgra[4], const ColourChanged& changed) override {
    calls.push_back("ChooseColour " + std::to_string(owner));
    if (changed) changed(kDialogWindow, bgra);
    if (!colour_ok) return false;
    std::memcpy(bgra, colour, 4);
    return true;
  }
  uintptr_t ChooseGeometry(uintptr_t owner, std::span<const platform::GeometryChoice> list,
                           uintptr_t current, std::string_view title) override {
    calls.push_back("ChooseGeometry " + std::to_string(owner) + " " + std::string(title));
    choice_names.clear();
    for (const auto& c : list) choice_names.push_back(c.name);
    return geometry_answer != 0 ? geometry_answer : current;
  }
  uintptr_t CreateCheckbox(const platform::CheckboxRequest& request) override {
    calls.push_back("CreateCheckbox");
    checkbox = request;
    return kCheckboxWindow;
  }
  uintptr_t FindCurveEditor(uintptr_t dialog, int32_t control) override {
    calls.push_back("FindCurveEditor " + std::to_string(dialog) + " " + std::to_string(control));
    return control == kEditorControl ? kEditorWindow : 0;
  }
  bool SetCurveEditorItemType(uintptr_t editor, uint64_t item, int32_t a, int32_t v) override {
    calls.push_back("ItemType " + std::to_string(editor) + " " + std::to_string(item) + " " +
                    std::to_string(a) + " " + std::to_string(v));
    return true;
  }

  static constexpr uintptr_t kDialogWindow = 0x5151;
  static constexpr uintptr_t kCheckboxWindow = 0xC0B0;
  static constexpr int32_t kEditorControl = 1001;
  static constexpr uintptr_t kEditorWindow = 0xED17;
  std::vector<std::string> calls;
  std::vector<std::string> choice_names;
  bool colour_ok = true;
  uint8_t colour[4] = {1, 2, 3, 4};
  uintptr_t geometry_answer = 0;
  platform::CheckboxRequest checkbox;
};

struct HostEffectData {
  int32_t dw = 0;
  float f = 0.0f;
  KeyfloatKey* curve = nullptr;
  void* gf = nullptr;
  void* gpair[3] = {};
};

// The effect's own variables and buffers.
struct HostMemory {
  int32_t i = 0;
  float f = 0.0f;
  uint64_t u = 0;
  uint64_t u2 = 0;
  uint8_t colour[4] = {10, 20, 30, 40};
  int32_t rect[4] = {5, 6, 105, 26};
  char text[32] = "Invert";
  char descriptor[64] = "BYRECT,COLRGB,TEXT,STYLE";
  char source[kFileNameMax + 16] = {};
  char dest[kFileNameMax + 16] = {};
};

inline std::string Hex(const void* p) {
  char hex[32];
  std::snprintf(hex, sizeof hex, "0x%" PRIXPTR, reinterpret_cast<uintptr_t>(p));
  return hex;
}

class HostTest : public ::testing::Test {
 protected:
  void SetUp() override {
    auto ui = std::make_unique<StatusUi>();
    ui_ = ui.get();
    old_ui_ = platform::SetUi(std::move(ui));
    auto controls = std::make_unique<FakeScriptUi>();
    controls_ = controls.get();
    old_controls_ = platform::SetScriptControls(std::move(controls));
    auto policy = std::make_shared<AreaMemoryPolicy>();
    policy->AddArea(&mem_, sizeof mem_);
    old_policy_ = SetMemoryPolicy(policy);
    old_run_hooks_ = ScriptRunHooks();
    ScriptRunHooks().report_error = [](project::Clip*, const char* text) {
      reported_.emplace_back(text);
    };
    reported_.clear();
    old_host_hooks_ = HostFunctionHooks();
    HostFunctionHooks().home_directory = [] { return std::string("/opt/lumetra/"); };
    HostFunctionHooks().project_file_path = [](project::Project*) { return project_path_; };
    project_path_.clear();
    RegisterHostFunctions(ScriptFunctions());

    tmpl_.reset(project::TemplateNew(reinterpret_cast<uintptr_t>(&proto_), "HostEffectData"));
    Field("dw", "dword", &proto_.dw, 1);
    Field("f", "float", &proto_.f, 1);
    Field("curve", "keyfloat", &proto_.curve, 1);
    Field("gf", "geometry", &proto_.gf, 1);
    Field("gpair", "geometry", &proto_.gpair, 3);
    effect_.name = "Filters/Blur";
    effect_.signature = "Blur host test";
    effect_.data_template = tmpl_.get();
    project::ProcessRegistryPush(&effect_);

    project_ = project::ProjectCreate();
    project::ProjectSetDefaults(project_);
    project::ProjectMakeCurrent(project_);
    for (const char* name : {"A", "B"}) {
      project::Track* t = project::TrackCreate(project_);
      project::TrackSetName(t, name);
      ASSERT_TRUE(project::TrackAppend(project_, t));
    }
    clip_ = project::ClipCreate(nullptr, &effect_, 1.5f, 4.0f, project_->first_track);
    ASSERT_NE(clip_, nullptr);
  }

  void TearDown() override {
    while (project::ProjectListHead() != nullptr) project::ProjectFree(project::ProjectListHead());
    project::ProcessRegistryRemove(&effect_);
    for (const char* name :
         {"ClipCreate", "TrackInsertAfter", "ClipInputAdd", "ClipInputRemove", "KeyfloatKeyAdd",
          "KeyfloatDelete", "KeyfloatCopy", "KeyTime", "TranslateFileName", "DialogChooseColor",
          "DialogChooseGeometry", "CheckboxCreate", "PolydiaControl", "GeometryMpairCreate",
          "GeometryMpairAssign", "GeometryMpairGet", "GeometryMpairSwap", "GeometryMpairSteps",
          "GeoMpairGetSplitting", "GeometryDelete", "GeometryShow", "GeometryShowSubtree",
          "GeometryHide", "GeometryHideSubtree"})
      ScriptFunctions().Remove(name);
    HostFunctionHooks() = old_host_hooks_;
    ScriptRunHooks() = old_run_hooks_;
    SetMemoryPolicy(old_policy_);
    platform::SetScriptControls(std::move(old_controls_));
    platform::SetUi(std::move(old_ui_));
  }

  template <typename T>
  void Field(const char* name, const char* type, T* at, int count) {
    ASSERT_EQ(project::TemplateAddField(*tmpl_, name, type, reinterpret_cast<uintptr_t>(at), count),
              "");
  }

  HostEffectData& Data() { return *static_cast<HostEffectData*>(clip_->data); }

  // "$name" stands for the address of a variable of the effect's memory.
  std::string Expand(std::string text) const {
    const std::pair<const char*, const void*> names[] = {
        {"$U2", &mem_.u2},          {"$U", &mem_.u},         {"$I", &mem_.i},
        {"$F", &mem_.f},            {"$COLOUR", mem_.colour}, {"$RECT", mem_.rect},
        {"$TEXT", mem_.text},       {"$DESC", mem_.descriptor}, {"$SRC", mem_.source},
        {"$DST", mem_.dest}};
    for (auto [name, address] : names)
      for (std::size_t at; (at = text.find(name)) != std::string::npos;)
        text.replace(at, std::string_view(name).size(), Hex(address));
    return text;
  }

  int Run(const std::string& text) {
    ui_->statuses.clear();
    return ScriptRun(clip_, Expand(text).c_str());
  }
  std::string LastStatus() const { return ui_->statuses.empty() ? "" : ui_->statuses.back(); }
  bool SawStatus(const std::string& text) const {
    for (const std::string& s : ui_->statuses)
      if (s == text) return true;
    return false;
  }
  static std::string Prefixed(const std::string& text) { return kPrefix + text; }

  // A closed square contour of four vertices, side s at (x, y).
  geometry::Geometry* AddSquare(const std::string& name, float x, float y, float s) {
    std::lock_guard lock(geometry::GeoLock());
    auto& list = project_->geometry;
    geometry::Geometry* c =
        list.Append(geometry::GeoCreate(geometry::kGeoContour, name, 0.f, 0.f, 0, 0, 0.f));
    c->Contour()->flags = 1;
    const float pts[4][2] = {{x, y}, {x + s, y}, {x + s, y + s}, {x, y + s}};
    for (int i = 0; i < 4; ++i) {
      geometry::Geometry* v = list.Append(geometry::GeoCreate(
          geometry::kGeoVertex, name + "_v" + std::to_string(i), pts[i][0], pts[i][1], 0, 0, 0.f));
      EXPECT_EQ(geometry::GeoLink(c, v, 0.f), geometry::GeoLinkResult::kLinked);
      EXPECT_EQ(geometry::GeoAttach(c, v), geometry::GeoAttachResult::kAttached);
    }
    return c;
  }

  StatusUi* ui_ = nullptr;
  FakeScriptUi* controls_ = nullptr;
  std::unique_ptr<platform::UiHost> old_ui_;
  std::unique_ptr<platform::ScriptUi> old_controls_;
  std::shared_ptr<const MemoryPolicy> old_policy_;
  ScriptHooks old_run_hooks_;
  ScriptHostHooks old_host_hooks_;
  HostMemory mem_;
  HostEffectData proto_;
  project::TemplatePtr tmpl_;
  project::ProcessRecord effect_;
  project::Project* project_ = nullptr;
  project::Clip* clip_ = nullptr;
  static inline std::vector<std::string> reported_;
  static inline std::string project_path_;
};

}  // namespace lumetra::script::test
