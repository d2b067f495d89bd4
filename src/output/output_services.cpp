// ClipGetValue with the output keys of a session's context in front of the clip's.
#include "output/output_services.h"

#include <cstring>

#include "host/clip_get_value.h"
#include "host/host_services.h"
#include "host/service_guard.h"
#include "output/output_get_value.h"

namespace lumetra::output {
namespace {

constexpr int32_t kClipGetValueSlot = 79;

int32_t SvcGetValue(HostCallContext* ctx, const char* key, int32_t index, intptr_t* value,
                    int32_t* word, float* fvalue, char* text, int32_t text_size) {
  return project::ServiceGuard<int32_t>(ctx, [&]() -> int32_t {
    if (ctx != nullptr && key != nullptr && ctx->word[HCC_WORD_KIND] == HCC_KIND_OUTPUT &&
        ctx->word[HCC_WORD_OUTPUT] != 0 && std::strncmp(key, "Output", 6) == 0) {
      int32_t v = 0, v2 = 0;
      float real = 0;
      if (OutputGetValue(ctx, key, index, &v, &v2, &real, text,
                         text_size > 0 ? static_cast<std::size_t>(text_size) : 0) == 1) {
        if (value != nullptr) *value = v;
        if (word != nullptr) *word = v2;
        // Numbers read as a float too (the frame rate is asked for as one).
        if (fvalue != nullptr) *fvalue = real != 0 ? real : static_cast<float>(v);
        return 1;
      }
    }
    return project::ClipGetValue(ctx, key, index, value, word, fvalue, text, text_size);
  });
}

}  // namespace

void OutputServicesInstall() {
  project::HostServiceInstall(kClipGetValueSlot, SvcGetValue);
}

}  // namespace lumetra::output
