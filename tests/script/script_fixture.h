// A small fixture for script runs: a recording status line, a confined memory area, a clip
// whose data block is described by a template, and stub host functions.
#pragma once

#include <gtest/gtest.h>

#include <cinttypes>
#include <cstdio>
#include <memory>
#include <string>
#include <vector>

#include "clipdata/template.h"
#include "model/model.h"
#include "platform/ui_host.h"
#include "script/script_function.h"
#include "script/script_memory.h"
#include "script/script_run.h"

namespace lumetra::script {

class RecordingUi final : public platform::UiHost {
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

// The effect's clip data as a library declares it.
struct EffectData {
  int8_t b = 0;
  int16_t w = 0;
  int32_t dw = 0;
  float f = 0.0f;
  KeyfloatKey* curve = nullptr;
  void* gf = nullptr;
  void* gpair[3] = {};
  char* text = nullptr;
};

// The effect's own variables that scripts write through pointer casts.
struct EffectMemory {
  int32_t i = 0;
  int32_t i2 = 0;
  float f = 0.0f;
  uint64_t u = 0;  // a pointer-sized variable: (unsigned *) stores all 64 bits
  int32_t guard = 0;
};

class ScriptTest : public ::testing::Test {
 protected:
  void SetUp() override {
    auto ui = std::make_unique<RecordingUi>();
    ui_ = ui.get();
    old_ui_ = platform::SetUi(std::move(ui));
    auto policy = std::make_shared<AreaMemoryPolicy>();
    policy->AddArea(&mem_, sizeof mem_);
    old_policy_ = SetMemoryPolicy(policy);

    tmpl_.reset(project::TemplateNew(reinterpret_cast<uintptr_t>(&proto_), "EffectData"));
    Field("b", "byte", &proto_.b, 1);
    Field("w", "word", &proto_.w, 1);
    Field("dw", "dword", &proto_.dw, 1);
    Field("f", "float", &proto_.f, 1);
    Field("curve", "keyfloat", &proto_.curve, 1);
    Field("gf", "geometry", &proto_.gf, 1);
    Field("gpair", "geometry", &proto_.gpair, 3);
    Field("text", "string", &proto_.text, 1);
    process_.name = "Blur";
    process_.data_template = tmpl_.get();
    clip_.process = &process_;
    clip_.start = 1.5f;
    clip_.end = 4.0f;
    clip_.data = &data_;

    old_hooks_ = ScriptRunHooks();
    ScriptRunHooks().report_error = [](project::Clip*, const char* text) {
      reported_.emplace_back(text);
    };
    reported_.clear();
    calls_.clear();
    ScriptFunctions().Add("Stub", [](ScriptCall& call) {
      std::string line = std::string(call.Name()) + "(";
      for (std::size_t i = 0; i < call.Count(); ++i)
        line += (i ? "," : "") + std::to_string(call.Arg(i).type);
      calls_.push_back(line + ")");
      call.Return(Value::Int(static_cast<int32_t>(call.Count())));
      return true;
    });
    ScriptFunctions().Add("GeoOne", [](ScriptCall& call) {
      calls_.emplace_back("GeoOne");
      call.Return(Value::Pointer(kTypeGeometry, 1));
      return true;
    });
    ScriptFunctions().Add("NeedsOne", [](ScriptCall& call) {
      if (call.Count() != 1) {
        call.ReportText("Script interpretator: NeedsOne() needs 1 parameter, exist " +
                        std::to_string(call.Count()) + " parameter(s)");
        return false;
      }
      call.Return(Value::Int(call.Int(0, "%sillegal parameter 1 for NeedsOne().")));
      return true;
    });
  }

  void TearDown() override {
    for (const char* name : {"Stub", "GeoOne", "NeedsOne"}) ScriptFunctions().Remove(name);
    ScriptRunHooks() = old_hooks_;
    SetMemoryPolicy(old_policy_);
    platform::SetUi(std::move(old_ui_));
  }

  template <typename T>
  void Field(const char* name, const char* type, T* at, int count) {
    ASSERT_EQ(project::TemplateAddField(*tmpl_, name, type, reinterpret_cast<uintptr_t>(at), count),
              "");
  }

  // "$I", "$I2", "$F", "$U", "$G" stand for the addresses of the effect's variables.
  std::string Expand(std::string text) const {
    const std::pair<const char*, const void*> names[] = {
        {"$I2", &mem_.i2}, {"$I", &mem_.i}, {"$F", &mem_.f}, {"$U", &mem_.u}, {"$G", &mem_.guard}};
    for (auto [name, address] : names) {
      char hex[32];
      std::snprintf(hex, sizeof hex, "0x%" PRIXPTR, reinterpret_cast<uintptr_t>(address));
      for (std::size_t at; (at = text.find(name)) != std::string::npos;)
        text.replace(at, std::string_view(name).size(), hex);
    }
    return text;
  }

  int Run(const std::string& text) { return ScriptRun(&clip_, Expand(text).c_str()); }
  std::string LastStatus() const { return ui_->statuses.empty() ? "" : ui_->statuses.back(); }

  RecordingUi* ui_ = nullptr;
  std::unique_ptr<platform::UiHost> old_ui_;
  std::shared_ptr<const MemoryPolicy> old_policy_;
  ScriptHooks old_hooks_;
  EffectMemory mem_;
  EffectData proto_;
  EffectData data_;
  project::TemplatePtr tmpl_;
  project::ProcessRecord process_;
  project::Clip clip_;
  static inline std::vector<std::string> reported_;
  static inline std::vector<std::string> calls_;
};

}  // namespace lumetra::script
