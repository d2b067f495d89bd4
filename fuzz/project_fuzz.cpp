// libFuzzer target: the project file reader and the model load on arbitrary bytes.
#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string>

#include "project_harness.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, std::size_t size) {
  std::string fault = lumetra::fuzz::ProjectFuzzOne(data, size);
  if (!fault.empty()) {
    std::fprintf(stderr, "contract broken: %s\n", fault.c_str());
    std::abort();
  }
  return 0;
}
