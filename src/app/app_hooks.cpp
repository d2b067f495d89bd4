// Defaults of the subsystem steps that do something visible, and the hooks slot.
#include "app/app_hooks.h"

#include "host/typed_object.h"
#include "platform/ui_host.h"
#include "render/pic_error.h"

namespace lumetra::app {
namespace {
std::unique_ptr<AppHooks> g_hooks;
}

void AppHooks::InternObjectNames() {
  project::TypedObjectsInit();
}

void AppHooks::InitThreadErrorSlot() {
  render::PicInit();
}

std::string AppHooks::LoadLibrary(const std::string& path) {
  return "Could not load library '" + path + "': plug-in libraries are not supported yet";
}

int AppHooks::Render(bool, int) {
  platform::ShowError("Rendering is not available yet.");
  return 0;
}

AppHooks& Hooks() {
  if (!g_hooks) g_hooks = std::make_unique<AppHooks>();
  return *g_hooks;
}

std::unique_ptr<AppHooks> SetHooks(std::unique_ptr<AppHooks> hooks) {
  std::swap(g_hooks, hooks);
  return hooks;
}

}  // namespace lumetra::app
