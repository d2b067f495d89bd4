// Defaults of the subsystem steps that do something visible, and the hooks slot.
#include "app/app_hooks.h"

#include "app/app_render.h"

#include "host/host_services.h"
#include "media/media_services.h"
#include "host/library_loader.h"
#include "host/typed_object.h"
#include "platform/ui_host.h"
#include "render/pic_error.h"
#include "render/render_services.h"
#include "sound/sound_services.h"

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

void AppHooks::FillHostServices() {
  sound::SoundRegisterHostServices();
  project::HostServices();
  media::MediaServicesInstall();
  // Before any library loads: each copies the table.
  render::RenderInstallHostServices();
}

void AppHooks::StartRenderThreads(int count) {
  AppRenderSetThreads(count);
}

std::string AppHooks::LoadLibrary(const std::string& path) {
  return project::LibraryLoad(path).message;
}

void AppHooks::LoadLibrariesUnder(const std::string& program_directory) {
  // A failing library is reported by the loader; start-up goes on.
  project::LibraryLoadFolders(project::LibraryFolders(program_directory));
}

bool AppHooks::OpenClipboardWindow(const std::string& path) {
  platform::Notice("Clipboard file '" + path +
                   "' was not opened: clipboard windows are not supported yet");
  return false;
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
