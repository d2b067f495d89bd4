// libFuzzer target: ScriptRun on arbitrary text in a confined fixture.
#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string>

#include "script_harness.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, std::size_t size) {
  std::string fault = lumetra::fuzz::ScriptFuzzOne(data, size);
  if (!fault.empty()) {
    std::fprintf(stderr, "contract broken: %s\n", fault.c_str());
    std::abort();
  }
  return 0;
}
