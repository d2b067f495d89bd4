// The undo store's host in the program and the default start-up, command, project-store and
// exit steps that use it.
#include "app/undo_wiring.h"

#include "app/app_hooks.h"
#include "app/app_state.h"
#include "app/main_window.h"
#include "app/project_store.h"
#include "app/settings.h"
#include "platform/memory_log.h"
#include "platform/ui_host.h"
#include "undo/undo.h"

namespace lumetra::app {
namespace {
bool g_prepared = false;
}

std::string AppUndoHost::ProjectPath() {
  return State().current_file;
}
void AppUndoHost::SetProjectPath(const std::string& path) {
  State().current_file = path;
}
void AppUndoHost::SetTitle(const std::string& title) {
  State().title = title;
}

std::optional<std::size_t> AppUndoHost::ChooseRecovery(const std::vector<std::string>& labels) {
  for (const std::string& label : labels) platform::DebugLog("Lost project: " + label);
  if (labels.empty()) return std::nullopt;
  std::optional<std::size_t> chosen =
      platform::Ui().ChooseFromList("RECOVERDLG", "Select project to recover", labels);
  if (chosen && *chosen >= labels.size()) return std::nullopt;
  return chosen;
}

void PrepareUndoStore() {
  if (g_prepared) return;
  g_prepared = true;
  auto store = std::make_unique<undo::UndoStore>(std::make_unique<AppUndoHost>());
  const Settings& settings = SettingsCurrent();
  store->Configure({State().temp_directory, settings.undo_levels, settings.undo_levels_in_ram,
                    !State().offline});
  undo::SetStore(std::move(store));
}

RecoveryResult AppHooks::OfferRecovery() {
  if (State().offline) return RecoveryResult::kNoneFound;
  PrepareUndoStore();
  if (undo::UndoRecoverScan(false) == 0) return RecoveryResult::kNoneFound;
  return undo::UndoRecoverScan(true) == 1 ? RecoveryResult::kRecovered : RecoveryResult::kDeclined;
}

int AppHooks::StartUndoStore() {
  PrepareUndoStore();
  return undo::UndoClaimPrefix();
}

void AppHooks::DeleteUndoSnapshots() {
  if (!g_prepared) return;
  undo::UndoCleanFiles();
  g_prepared = false;
}

int AppHooks::OtherCommand(int index) {
  if (index == kCmdUndo) return undo::UndoGo(-1);
  if (index == kCmdRedo) return undo::UndoGo(1);
  return 0;
}

void ProjectStore::RecordUndoStep(std::string_view description) {
  undo::UndoSave("%.*s", static_cast<int>(description.size()), description.data());
}

}  // namespace lumetra::app
