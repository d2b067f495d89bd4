// ScriptRun speed for the statements effect dialogs send and for a longer script.
#include "script/script_run.h"

#include <benchmark/benchmark.h>

#include <cinttypes>
#include <cstdio>
#include <memory>
#include <string>

#include "platform/ui_host.h"
#include "script/script_function.h"

using namespace lumetra::script;

namespace {

int32_t g_target = 0;

std::string Address(const void* p) {
  char hex[32];
  std::snprintf(hex, sizeof hex, "0x%" PRIXPTR, reinterpret_cast<uintptr_t>(p));
  return hex;
}

void Setup() {
  ScriptFunctions().Add("BenchSteps", [](ScriptCall& call) {
    call.Return(Value::Int(call.Int(0, "%sbad") + call.Int(1, "%sbad")));
    return true;
  });
}

// One protocol statement: a call with hexadecimal arguments stored through a cast.
void BM_ProtocolStatement(benchmark::State& state) {
  Setup();
  std::string text = "*(int *)" + Address(&g_target) + " = BenchSteps( 0x1A2B3C4D5E, 7 );";
  for (auto _ : state) benchmark::DoNotOptimize(ScriptRun(nullptr, text.c_str()));
}
BENCHMARK(BM_ProtocolStatement);

// A longer script: variables, arithmetic and branches over many statements.
void BM_LongScript(benchmark::State& state) {
  Setup();
  std::string text = "x = 1; y = 2.5;";
  for (int i = 0; i < 200; ++i)
    text += "if (x == " + std::to_string(i) + ") { y = y * 1.5 + x; } else x = x + 1;";
  text += "*(int *)" + Address(&g_target) + " = x;";
  for (auto _ : state) benchmark::DoNotOptimize(ScriptRun(nullptr, text.c_str()));
  state.SetBytesProcessed(int64_t(state.iterations()) * int64_t(text.size()));
}
BENCHMARK(BM_LongScript);

}  // namespace
