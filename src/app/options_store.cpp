// The options slot.
#include "app/options_store.h"

namespace lumetra::app {
namespace {
std::unique_ptr<OptionsStore> g_options;
}

OptionsStore& Options() {
  if (!g_options) g_options = std::make_unique<DefaultOptionsStore>();
  return *g_options;
}

std::unique_ptr<OptionsStore> SetOptions(std::unique_ptr<OptionsStore> options) {
  std::swap(g_options, options);
  return options;
}

}  // namespace lumetra::app
