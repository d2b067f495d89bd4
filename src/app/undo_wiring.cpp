// The undo store's host in the program and the default start-up, command, project-store and
// exit steps that use it.
#include "app/undo_wiring.h"

#include <cstdlib>
#include <ctime>

#include "app/app_hooks.h"
#include "app/app_state.h"
#include "app/main_window.h"
#include "app/project_store.h"
#include "app/settings.h"
#include "platform/format.h"
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

void AppUndoHost::ReportLostSeries(const std::vector<undo::LostSeries>& series) {
  platform::Notice(platform::Format(
      "%s found %d project(s) left by an instance that did not exit normally:\n%s"
      "Save one as a new file beside its project with '%s --recover N', or remove them with "
      "'%s --discard-recovery'; '/Q' starts without this check.",
      platform::kProductName, static_cast<int>(series.size()), LostSeriesList(series).c_str(),
      State().program_name.c_str(), State().program_name.c_str()));
}

std::string LostSeriesList(const std::vector<undo::LostSeries>& series) {
  std::string out;
  for (std::size_t i = 0; i < series.size(); ++i) {
    const undo::LostSeries& s = series[i];
    std::time_t when = static_cast<std::time_t>(s.written);
    std::tm local {};
    char stamp[32] = "?";
    if (localtime_r(&when, &local) != nullptr)
      std::strftime(stamp, sizeof stamp, "%Y-%m-%d %H:%M:%S", &local);
    int steps = static_cast<int>(s.steps.size());
    out += platform::Format("  %d. %s  (written %s, %d step%s)\n", static_cast<int>(i + 1),
                            s.label.c_str(), stamp, steps, steps == 1 ? "" : "s");
  }
  return out;
}

std::chrono::milliseconds StartLockWait() {
  constexpr std::chrono::milliseconds kDefault{30000};
  const char* text = std::getenv("LUMETRA_START_LOCK_WAIT");
  if (text == nullptr || *text == '\0') return kDefault;
  char* end = nullptr;
  double seconds = std::strtod(text, &end);
  if (*end != '\0' || !(seconds >= 0.0 && seconds <= 3600.0)) return kDefault;
  return std::chrono::milliseconds(static_cast<int64_t>(seconds * 1000.0));
}

void PrepareUndoStore() {
  if (g_prepared) return;
  g_prepared = true;
  auto store = std::make_unique<undo::UndoStore>(std::make_unique<AppUndoHost>());
  const Settings& settings = SettingsCurrent();
  store->Configure({State().temp_directory, settings.undo_levels, settings.undo_levels_in_ram,
                    !State().offline, StartLockWait()});
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
