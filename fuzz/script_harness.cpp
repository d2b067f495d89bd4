// The fuzz fixture: an arena behind an area memory policy, a clip with a template'd data
// block, and stub host functions.
#include "script_harness.h"

#include <cinttypes>
#include <cstdio>
#include <cstring>
#include <memory>

#include "clipdata/template.h"
#include "model/model.h"
#include "script/script_function.h"
#include "script/script_memory.h"
#include "script/script_run.h"

namespace lumetra::fuzz {
namespace {

struct FuzzData {
  int8_t b;
  int16_t w;
  int32_t dw;
  float f;
  KeyfloatKey* curve;
  void* gf;
  void* gpair[4];
  char* text;
};

struct Fixture {
  alignas(16) unsigned char arena[256] = {};
  FuzzData data{};
  project::ProcessRecord process;
  project::TemplatePtr tmpl;
  project::Clip clip;
  int errors = 0;

  std::shared_ptr<script::AreaMemoryPolicy> policy = std::make_shared<script::AreaMemoryPolicy>();

  Fixture() {
    policy->AddArea(arena, sizeof arena);

    tmpl.reset(project::TemplateNew(reinterpret_cast<uintptr_t>(&data), "FuzzData"));
    project::Template& t = *tmpl;
    project::TemplateAddField(t, "b", "byte", reinterpret_cast<uintptr_t>(&data.b), 1);
    project::TemplateAddField(t, "w", "word", reinterpret_cast<uintptr_t>(&data.w), 1);
    project::TemplateAddField(t, "dw", "dword", reinterpret_cast<uintptr_t>(&data.dw), 1);
    project::TemplateAddField(t, "f", "float", reinterpret_cast<uintptr_t>(&data.f), 1);
    project::TemplateAddField(t, "curve", "keyfloat", reinterpret_cast<uintptr_t>(&data.curve), 1);
    project::TemplateAddField(t, "gf", "geometry", reinterpret_cast<uintptr_t>(&data.gf), 1);
    project::TemplateAddField(t, "gpair", "geometry", reinterpret_cast<uintptr_t>(&data.gpair), 4);
    project::TemplateAddField(t, "text", "string", reinterpret_cast<uintptr_t>(&data.text), 1);
    process.name = "FuzzEffect";
    process.data_template = tmpl.get();
    clip.process = &process;
    clip.start = 1.0f;
    clip.end = 2.0f;
    clip.data = &data;

    // Stubs with the shapes of the host functions: they read their arguments through the
    // typed conversions and write only through the policy.
    script::FunctionTable& table = script::ScriptFunctions();
    table.Add("Stub", [](script::ScriptCall& call) {
      for (std::size_t i = 0; i < call.Count(); ++i) (void)call.String(i, "%sillegal parameter");
      call.Return(script::Value::Int(static_cast<int32_t>(call.Count())));
      return true;
    });
    table.Add("Poke", [](script::ScriptCall& call) {
      if (call.Count() != 2) return false;
      uint64_t at = call.Unsigned(0, "%sillegal parameter 1 for Poke().");
      int32_t v = call.Int(1, "%sillegal parameter 2 for Poke().");
      call.Return(script::Value::Int(call.WriteMemory(at, &v, sizeof v) ? 1 : 0));
      return true;
    });
    table.Add("Nested", [](script::ScriptCall& call) {
      std::string text = call.String(0, "%sillegal parameter 1 for Nested().");
      call.Return(script::Value::Int(script::ScriptRun(call.RunClip(), text.c_str())));
      return true;
    });
  }

  // Installed for every input: other users of the process may have replaced them.
  void Install() {
    script::SetMemoryPolicy(policy);
    script::ScriptRunHooks() = {};
    script::ScriptRunHooks().report_error = [](project::Clip*, const char* text) {
      // Nested runs (through the Nested stub) report for themselves while the outer run
      // still holds the lock; count only the outermost run's report.
      if (std::strcmp(text, "Script error") == 0 && script::ScriptRunDepth() == 0) ++Get().errors;
    };
  }

  static Fixture& Get() {
    static Fixture fixture;
    return fixture;
  }
};

}  // namespace

std::string ScriptFuzzOne(const uint8_t* bytes, std::size_t size) {
  Fixture& fx = Fixture::Get();
  fx.Install();
  char address[32];
  std::snprintf(address, sizeof address, "0x%" PRIXPTR, reinterpret_cast<uintptr_t>(fx.arena));
  std::string text;
  for (std::size_t i = 0; i < size && bytes[i] != 0; ++i) {
    if (bytes[i] == '$')
      text += address;
    else
      text += static_cast<char>(bytes[i]);
  }
  // Clip data holds no owned objects here: the fuzzer may store any bits in it.
  std::memset(&fx.data, 0, sizeof fx.data);
  int before = fx.errors;
  int result = script::ScriptRun(&fx.clip, text.c_str());
  std::memset(&fx.data, 0, sizeof fx.data);
  int reported = fx.errors - before;
  if (result != 0 && result != 1) return "result neither 0 nor 1";
  if (result == 0 && reported != 1) return "failed run without exactly one \"Script error\"";
  if (result == 1 && reported != 0) return "successful run reported \"Script error\"";
  return {};
}

}  // namespace lumetra::fuzz
