// The one AppState of the process.
#include "app/app_state.h"

namespace lumetra::app {
namespace {
AppState g_state;
}

AppState& State() {
  return g_state;
}
void ResetState() {
  g_state = AppState{};
}

}  // namespace lumetra::app
