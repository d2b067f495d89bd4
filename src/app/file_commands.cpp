// File command flows. A save that fails or is cancelled keeps the change flags and stops the
// command that asked for it; a load that fails changes nothing.
#include "app/file_commands.h"

#include <optional>

#include "app/app_hooks.h"
#include "app/app_state.h"
#include "app/main_window.h"
#include "app/options_store.h"
#include "app/project_store.h"
#include "model/change_flags.h"
#include "platform/atomic_write.h"
#include "platform/error_text.h"
#include "platform/file_read.h"
#include "platform/format.h"
#include "platform/memory_log.h"
#include "platform/ui_host.h"

namespace lumetra::app {
namespace {

using platform::Answer;
using platform::Format;
using platform::Ui;

constexpr const char* kProjectFilter =
    "%s Project   (*.ZTP),%s Backup file   (*.SAV),All files   (*.*)";
constexpr const char* kProjectPatterns = "*.ZTP,*.SAV,*.*";

std::string BaseName(const std::string& path) {
  std::size_t slash = path.find_last_of("/\\");
  return slash == std::string::npos ? path : path.substr(slash + 1);
}

void SetTitleNew() {
  State().title = Format("@%s", kProductName);
}

void SetTitleNamed(const std::string& path) {
  State().title = Format("@%s  -  ", kProductName) + BaseName(path);
}

std::optional<std::string> AskProjectFile(const char* title) {
  platform::FileDialogRequest request;
  request.title = title;
  request.filter = Format(kProjectFilter, kProductName, kProductName);
  request.patterns = kProjectPatterns;
  return Ui().FileDialog(request);
}

void ReportLoadFailure(const std::string& path, const LoadResult& result) {
  if (result.status == LoadStatus::kNoRecord) {
    platform::ShowError(Format("%s\n%s\n\nMemory allocation error\n",
                               "Could not load project file:", path.c_str()));
  } else {
    platform::ShowError(Format("%s\n%s\n\n", "Project file load error:", path.c_str()) +
                        result.error);
  }
  platform::Status("Project was not loaded");
}

SaveOutcome SaveTo(const std::string& path, bool save_as) {
  ProjectStore& store = Store();
  // Only a missing or regular file (links followed) is written: a directory, device, FIFO or
  // socket is refused before anything is read, moved or written.
  bool exists = false;
  if (platform::FileResult target = platform::CheckWriteTarget(path, &exists); !target.ok()) {
    platform::ShowError(
        Format("%s:\n%s\n\n%s", "Could not save project", path.c_str(), target.message.c_str()));
    platform::Status("Could not save project");
    return SaveOutcome::kFailed;
  }
  if (exists) {
    int version = store.ReadFileVersion(path);
    if (version >= 0 && version < 1000) {
      std::string q = Format(
          "Project file you are saving to has early version:\n\n    '%s'\n\nBy overwriting this "
          "file you probably will make it not loadable\nfor previous versions of %s.\nIf you "
          "plan to use this file with your previous %s version,\nit is recommended to save "
          "current project to another file.\n\nDo you want to overwrite this project file ?",
          path.c_str(), kProductName, kProductName);
      if (Ui().AskYesNo(q) != Answer::Yes) return SaveOutcome::kCancelled;
    }
  }
  // The previous file stays under the backup name while the project is still at the path
  // (the save replaces it atomically), so a failed write loses nothing. Saving to the
  // backup name itself keeps no backup.
  if (exists && Options().BackupOnSave()) {
    std::string backup = BackupName(path);
    if (platform::FileResult kept = platform::KeepBackup(path, backup); !kept.ok()) {
      platform::DebugLog(Format("Backup '%s': ", backup.c_str()) + kept.message);
      std::string q = Format(
          "Could not rename existing\n'%s'\nto\n'%s'\n while creating .BAK file\n\nContinue "
          "with Saving over ?",
          path.c_str(), backup.c_str());
      if (Ui().AskYesNo(q) != Answer::Yes) return SaveOutcome::kCancelled;
    }
  }
  platform::Status(Format("%s '%s'...", "Saving project", path.c_str()));
  SaveResult result = store.Save(path);
  switch (result.status) {
    case SaveStatus::kWriteFailed:
      platform::ShowError(
          Format("%s:\n%s\n\n%s", "Could not save project", path.c_str(), result.error.c_str()));
      platform::Status("Could not save project");
      return SaveOutcome::kFailed;
    case SaveStatus::kSaved:
      break;
  }
  State().current_file = path;
  SetTitleNamed(path);
  platform::Status("Project saved successfully");
  if (save_as) {
    State().recent_projects.Add(path);
    Hooks().RebuildRecentMenu();
  }
  Options().Save(kSettingsMaskRecent);
  project::ClearChangeFlags();
  return SaveOutcome::kSaved;
}

}  // namespace

std::string ChangedCategories(uint32_t flags) {
  static constexpr struct {
    uint32_t bit;
    const char* text;
  } kOrder[] = {{project::kChangedTracks, "Tracks data"},
                {project::kChangedClipParameters, "Clip(s) parameters"},
                {project::kChangedGeometries, "Geometries"},
                {project::kChangedProjectSettings, "Project settings"}};
  std::string out;
  for (const auto& entry : kOrder) {
    if ((flags & entry.bit) != 0) out += Format("\t%s\n", entry.text);
  }
  return out;
}

std::string UnsavedChangesQuestion(QuestionKind kind, uint32_t flags) {
  std::string list = ChangedCategories(flags);
  switch (kind) {
    case QuestionKind::kNew:
      return Format(
          "New Project.\nThe following data changed in current project:\n\n%s\nSave "
          "changes in project before New ?",
          list.c_str());
    case QuestionKind::kLoad:
      return Format(
          "Load Project.\nThe following data changed in current project:\n\n%s\nSave "
          "changes in project before Loading another one ?",
          list.c_str());
    case QuestionKind::kQuit:
      break;
  }
  return Format(
      "Quit.\nThe following data changed in current project:\n\n%s\nSave changes in "
      "project before Quit ?",
      list.c_str());
}

bool ConfirmUnsavedChanges(QuestionKind kind) {
  uint32_t flags = project::ChangeFlags();
  if (flags == 0) return true;
  switch (Ui().AskYesNoCancel(UnsavedChangesQuestion(kind, flags))) {
    case Answer::Yes:
      return CommandSave() == SaveOutcome::kSaved;
    case Answer::No:
      return true;
    default:
      return false;
  }
}

std::string BackupName(std::string_view path) {
  std::size_t sep = path.find_last_of("\\/:");
  std::size_t dot = path.rfind('.');
  std::string_view stem = path;
  if (dot != std::string_view::npos && (sep == std::string_view::npos || dot > sep))
    stem = path.substr(0, dot);
  return std::string(stem) + ".BAK";
}

int CommandNew() {
  if (!ConfirmUnsavedChanges(QuestionKind::kNew)) return 0;
  ProjectStore& store = Store();
  if (!store.BeginNewProject()) {
    platform::ShowError("Can't allocate memory for the new project.");
    return 0;
  }
  if (Ui().RunDialog("PROJECTOPTIONSDLG", "New Project Settings") != Answer::Ok) {
    store.DiscardNewProject();
    return 0;
  }
  store.CommitNewProject();
  store.RemoveProjectPresets();
  store.RecordUndoStep("New project");
  project::ClearChangeFlags();
  State().current_file.clear();
  SetTitleNew();
  Hooks().Redraw();
  return 1;
}

int CommandLoad() {
  if (!ConfirmUnsavedChanges(QuestionKind::kLoad)) return 0;
  std::optional<std::string> path = AskProjectFile("Select project file to load");
  if (!path) return 0;
  return OpenProject(*path, false);
}

int CommandMerge() {
  std::optional<std::string> path = AskProjectFile("Select project file to merge");
  if (!path) return 0;
  return OpenProject(*path, true);
}

int CommandRecentProject(int index) {
  if (index < 0 || static_cast<std::size_t>(index) >= State().recent_projects.Items().size())
    return 0;
  if (!ConfirmUnsavedChanges(QuestionKind::kLoad)) return 0;
  std::optional<std::string> path = State().recent_projects.Select(static_cast<std::size_t>(index));
  Hooks().RebuildRecentMenu();
  AppState& s = State();
  bool startup = s.startup_project_pending && index == 0 && *path == s.startup_project;
  s.startup_project_pending = false;
  int result = OpenProject(*path, false);
  if (result != 1 && startup) {
    // The list keeps projects that loaded, not whatever the command line named.
    s.startup_load_failed = true;
    if (!s.startup_project_was_recent) {
      s.recent_projects.Remove(*path);
      Hooks().RebuildRecentMenu();
    }
  }
  return result;
}

int CommandRecentClipboard(int index) {
  if (index < 0) return 0;
  std::optional<std::string> path =
      State().recent_clipboards.Select(static_cast<std::size_t>(index));
  if (!path) return 0;
  Hooks().RebuildRecentMenu();
  return Hooks().OpenClipboardWindow(*path) ? 1 : 0;
}

int OpenProject(const std::string& path, bool merge) {
  // Checked without blocking: a FIFO or device named as a project never hangs the program.
  if (platform::FileResult r = platform::CheckRegularFile(path); !r.ok()) {
    platform::ShowError(Format("%s\n%s\n\n%s", "Could not load project file:", path.c_str(),
                               r.message.c_str()));
    return 0;
  }
  ProjectStore& store = Store();
  int version = store.ReadFileVersion(path);
  if (version > project::kFileVersion) {
    std::string q = Format(
        "Load Project?\n\n%s\n\nThe project has more recent version (%d.%d.%d) than %s "
        "(%d.%d.%d).\n%s may load this project incorrectly or crush after loading.\n\nLoad "
        "project anyway?",
        path.c_str(), version / 1000, (version % 1000) / 10, version % 10, kProductName,
        kVersionMajor, kVersionMinor, kVersionPatch, kProductName);
    if (Ui().AskYesNo(q) != Answer::Yes) return 0;
  }
  if (merge) {
    platform::Status(Format("Merging project '%s'...", path.c_str()));
    LoadResult result = store.Merge(path);
    if (result.status != LoadStatus::kLoaded) {
      ReportLoadFailure(path, result);
      return 0;
    }
    Hooks().RebuildStoryboard();
    platform::Status("Project merged successfully");
    project::SetChangeFlags(project::kChangedTracks | project::kChangedGeometries);
    store.RecordUndoStep("Merge project");
    Hooks().Redraw();
    return 1;
  }
  platform::Status(Format("%s '%s'...", "Loading project", path.c_str()));
  LoadResult result = store.Load(path, project::kLoadMaskLoad);
  if (result.status != LoadStatus::kLoaded) {
    ReportLoadFailure(path, result);
    return 0;
  }
  // A successful load has replaced the previous project's render settings with the file's
  // own (or none): dropping them now would lose what "/R" renders with.
  if (!State().offline) Hooks().ReopenProjectWindows();
  State().current_file = path;
  SetTitleNamed(path);
  State().recent_projects.Add(path);
  Hooks().RebuildRecentMenu();
  Options().Save(kSettingsMaskRecent);
  platform::Status("Project loaded successfully");
  store.RecordUndoStep("Load project");
  project::ClearChangeFlags();
  Hooks().Redraw();
  return 1;
}

SaveOutcome CommandSave() {
  if (State().current_file.empty()) return CommandSaveAs();
  return SaveTo(State().current_file, false);
}

SaveOutcome CommandSaveAs() {
  platform::FileDialogRequest request;
  request.title = "Select project file to save";
  request.filter = Format("%s Project   (*.ZTP)", kProductName);
  request.patterns = "*.ZTP";
  request.initial = State().current_file;
  request.save = true;
  std::optional<std::string> path = Ui().FileDialog(request);
  if (!path || path->empty()) return SaveOutcome::kCancelled;
  return SaveTo(*path, true);
}

int CommandExit() {
  if (!Hooks().ExitClipboardWindows()) return 0;
  if (!State().offline && !ConfirmUnsavedChanges(QuestionKind::kQuit)) return 0;
  project::ClearChangeFlags();
  Hooks().CloseTrackWindows();
  Options().Save(kSettingsMaskExit);
  MainQueue().PostQuit(1);
  return 1;
}

}  // namespace lumetra::app
