// Error texts on a host call context.
#include "host/object_error.h"

#include <cstdlib>
#include <cstring>

namespace lumetra::project {

void ObjectReportError(HostCallContext* ctx, std::string_view text) {
  if (ctx == nullptr) return;
  ObjectClearError(ctx);
  // Plain C memory: the text crosses the plug-in boundary inside the context.
  auto* copy = static_cast<char*>(std::malloc(text.size() + 1));
  if (copy == nullptr) return;
  std::memcpy(copy, text.data(), text.size());
  copy[text.size()] = '\0';
  ctx->word[HCC_WORD_ERROR_TEXT] = reinterpret_cast<uintptr_t>(copy);
}

std::string_view ObjectErrorText(const HostCallContext* ctx) {
  if (ctx == nullptr || ctx->word[HCC_WORD_ERROR_TEXT] == 0) return {};
  return reinterpret_cast<const char*>(ctx->word[HCC_WORD_ERROR_TEXT]);
}

void ObjectClearError(HostCallContext* ctx) {
  if (ctx == nullptr) return;
  std::free(reinterpret_cast<char*>(ctx->word[HCC_WORD_ERROR_TEXT]));
  ctx->word[HCC_WORD_ERROR_TEXT] = 0;
}

}  // namespace lumetra::project
