// Defaults of the subsystem steps that do something visible, and the hooks slot.
#include "app/app_hooks.h"

#include "app/app_render.h"
#include "app/app_state.h"
#include "app/options_store.h"
#include "app/render_output.h"
#include "app/settings.h"
#include "host/host_services.h"
#include "host/library_loader.h"
#include "host/typed_object.h"
#include "media/media_services.h"
#include "output/output_services.h"
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

void InstallHostServices() {
  project::HostServices();
  sound::SoundRegisterHostServices();
  media::MediaServicesInstall();
  output::OutputServicesInstall();
  render::RenderInstallHostServices();
}

void StartHeadlessTool() {
  static bool started = false;
  if (started) return;
  started = true;
  platform::SetUi(std::make_unique<platform::HeadlessUiHost>(true));
  State().offline = true;
  SettingsSetReadOnly(true);
  Options().Load(kSettingsMaskStartup & ~kSettingsPaths);
  InstallHostServices();
  project::TypedObjectsInit();
  render::PicInit();
}

void AppHooks::FillHostServices() {
  InstallHostServices();
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

int AppHooks::Render(bool with_dialog, int mode) {
  const bool offline = mode == 1;
  // The render options dialog must end with "go".
  if (with_dialog && !offline &&
      platform::Ui().RunDialog("RENDERMENU_", "Render") != platform::Answer::Ok)
    return 0;
  return RenderLastOffline(offline);
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
