// Start-up steps in their fixed order, the loop, and the exit sequence with its status.
#include "app/startup.h"

#include <cerrno>
#include <cstdio>
#include <filesystem>

#include "app/app_hooks.h"
#include "app/app_render.h"
#include "app/app_state.h"
#include "app/command_line.h"
#include "app/exit_status.h"
#include "app/main_window.h"
#include "app/options_store.h"
#include "app/project_store.h"
#include "app/render_output.h"
#include "app/settings.h"
#include "app/stale_files.h"
#include "model/project.h"
#include "model/pseudo_track.h"
#include "model/render_lock.h"
#include "model/track.h"
#include "platform/error_text.h"
#include "platform/format.h"
#include "platform/memory_log.h"
#include "platform/system_info.h"
#include "platform/system_paths.h"
#include "platform/ui_host.h"
#include "script/script_function.h"
#include "script/script_host.h"

namespace lumetra::app {
namespace {

using platform::DebugLog;
using platform::Format;

constexpr float kInitialSegmentEnd = 4.0f;  // seconds

std::string AbsolutePath(const std::string& path) {
  std::error_code ec;
  std::filesystem::path absolute = std::filesystem::absolute(path, ec);
  return ec ? path : absolute.lexically_normal().string();
}

// What instances that died while writing left behind: the settings file's temporaries and
// the temporary directory's probes (snapshots are the undo store's).
void RemoveLeftovers(const std::string& temp_directory) {
  std::filesystem::path settings = SettingsStorePath();
  std::vector<std::string> removed = RemoveStaleTemporaries(
      settings.parent_path(), {settings.filename().string()}, kStaleAfter);
  for (const std::string& name : RemoveStaleTemporaries(temp_directory, {}, kStaleAfter))
    removed.push_back(name);
  for (const std::string& name : removed) DebugLog("Removed a stale temporary file " + name);
}

void SetMachineFacts(AppState& s) {
  s.render_threads = platform::ProcessorCount();
  s.memory_reserved = 16ull << 20;
  uint64_t total = platform::PhysicalMemory();
  uint64_t budget = total > s.memory_reserved ? (total - s.memory_reserved) / 2 : 0;
  s.picture_memory_budget = budget;
  s.preview_memory = budget;
  SettingsMachine facts;
  facts.home_dir = s.home_directory;
  facts.system_temp = platform::UserTempDirectory(platform::CurrentTempEnvironment()).value_or("");
  facts.processors = s.render_threads;
  facts.physical_memory = total;
  Options().Reset(facts);
}

// The initial project: made by the store when it makes one, else here; then its first
// track and the segments of a fresh time line, and the pseudo tracks its clips may name.
bool MakeInitialProject() {
  if (!Store().CreateInitialProject()) return false;
  project::Project* p = project::CurrentProject();
  if (p == nullptr) {
    p = project::ProjectCreate();
    project::ProjectSetDefaults(p);
    project::ProjectMakeCurrent(p);
  }
  {
    project::RenderLockGuard lock(project::RenderLock());
    p->active_start = p->preview_start = 0.0f;
    p->active_end = p->preview_end = kInitialSegmentEnd;
    p->view_range[0] = 0;
    p->view_range[1] = static_cast<int32_t>(kInitialSegmentEnd);
  }
  if (p->first_track == nullptr) project::TrackAppend(p, project::TrackCreate(p));
  for (auto which : {project::PseudoTrack::kPrevious, project::PseudoTrack::kInput0,
                     project::PseudoTrack::kInput1, project::PseudoTrack::kInput2})
    project::PseudoTrackGet(which);
  return p->first_track != nullptr;
}

void ApplySecondPass(const SecondPass& pass, AppState& s, AppHooks& hooks) {
  if (!pass.project.empty()) s.startup_project = pass.project;
  for (const std::string& clipboard : pass.clipboards) {
    if (hooks.OpenClipboardWindow(clipboard)) s.recent_clipboards.Add(clipboard);
  }
  if (pass.fields_override != -1) s.fields_override = pass.fields_override;
  if (pass.field_order_override != -1) s.field_order_override = pass.field_order_override;
  if (pass.overwrite_override != -1) s.overwrite_override = pass.overwrite_override;
  if (pass.clear_recover) s.recover = false;
  s.library_switch = pass.library_switch;
  for (const std::string& library : pass.libraries) {
    std::string message = hooks.LoadLibrary(library);
    if (message.empty()) continue;
    platform::Status(message);
    // The status line alone is lost on a run without windows.
    std::fprintf(stderr, "%s\n", message.c_str());
  }
}

// Runs after the message loop, whatever ended it.
void ExitSequence(AppHooks& hooks) {
  AppRenderStop();
  hooks.DeleteUndoSnapshots();
  hooks.ReleaseFontList();
  DebugLog("ZOLT -- Exiting...");
}

// The functions scripts call, with the program's home and the current project's file.
void ConnectScriptFunctions() {
  script::ScriptHostHooks& hooks = script::HostFunctionHooks();
  hooks.home_directory = [] { return State().home_directory; };
  hooks.project_file_path = [](project::Project*) { return State().current_file; };
  script::RegisterHostFunctions(script::ScriptFunctions());
}

int StatusForQuitCode(int quit_code, bool idle) {
  const AppState& s = State();
  if (s.offline_load_failed) return kExitOfflineLoadFailed;
  // Headless, nobody could see the failure but the shell.
  if (idle && s.startup_load_failed) return kExitOfflineLoadFailed;
  if (s.offline_render_interrupted) return kExitInterrupted;
  if (s.offline_render_failed) return kExitOfflineRenderFailed;
  return quit_code == 1 ? kExitOk : kExitStartupFailed;
}

}  // namespace

std::string ChooseTempDirectory(const std::string& home, std::vector<std::string>* refusals) {
  std::string home_temp = home + "Temp";
  if (platform::IsReadWriteDirectory(home_temp)) return home_temp;
  if (auto user = platform::UserTempDirectory(platform::CurrentTempEnvironment(), refusals))
    return *user;
  if (platform::MakeDirectory(home_temp, 0700) && platform::IsReadWriteDirectory(home_temp))
    return home_temp;
  if (refusals != nullptr)
    refusals->push_back("Temporary directory '" + home_temp + "' refused: it cannot be made");
  return {};
}

std::string VersionText() {
  return Format("lumetra %d.%d.%d", kVersionMajor, kVersionMinor, kVersionPatch);
}

int AppMain(const std::vector<std::string>& args, const std::string& program_path) {
  ResetState();
  AppState& s = State();
  AppHooks& hooks = Hooks();

  // Where the program lives, and the temporary directory; every candidate refused on the way
  // is named with its reason.
  platform::LogStart();
  platform::ProgramLocation where =
      platform::SplitProgramPath(program_path.empty() ? platform::ProgramPath() : program_path);
  s.home_directory = where.home;
  s.program_name = where.name.empty() ? "lumetra" : where.name;
  s.help_file = s.home_directory + "Lumetra.hlp";
  s.preset_file = s.home_directory + "Presets.zp";
  std::vector<std::string> refusals;
  s.temp_directory = ChooseTempDirectory(s.home_directory, &refusals);
  for (const std::string& refusal : refusals) platform::Notice(refusal);
  if (s.temp_directory.empty()) {
    platform::ShowError("Could not set temp directory. Exiting.");
    return kExitNoTempDirectory;
  }

  // The first pass: help, version, "/R"; anything it does not know ends the run.
  FirstPass first = ReadFirstPass(args);
  if (!first.unknown_options.empty() || !first.unknown_switches.empty()) {
    const std::string& what = !first.unknown_options.empty() ? first.unknown_options.front()
                                                              : first.unknown_switches.front();
    const char* kind = !first.unknown_options.empty() ? "option" : "switch";
    platform::ShowError(Format("Unknown %s '%s'. Try '%s --help'.", kind, what.c_str(),
                               s.program_name.c_str()));
    return kExitCommandLine;
  }
  if (first.version) {
    std::printf("%s\n", VersionText().c_str());
    return kExitOk;
  }
  if (first.usage) {
    // stdout and no prefix, so that the text can be paged or searched.
    std::printf("%s\n", UsageText(s.program_name).c_str());
    return kExitOk;
  }
  s.offline = first.offline;
  s.recover = first.recover;
  s.startup_project = first.project;

  // Host services, object names, tables, locks, window classes, geometry kinds, accelerators.
  hooks.FillHostServices();
  ConnectScriptFunctions();
  hooks.InternObjectNames();
  hooks.InitThreadErrorSlot();
  hooks.BuildCurveTables();
  hooks.CreateDrawingResources();
  if (!hooks.RegisterWindowClasses()) return kExitStartupFailed;
  DebugLog("After Logo()...");
  hooks.RegisterGeometryKinds();
  DebugLog("InitCommonControls");
  hooks.BuildAccelerators();

  // Machine facts, then the settings over them.
  SetMachineFacts(s);
  DebugLog("INI_LoadFile");
  if (Options().Load(kSettingsMaskStartup) == -3) {
    platform::ShowError("Could not set temp directory. Exiting.");
    return kExitNoTempDirectory;
  }
  hooks.CreatePensAndFonts();
  RemoveLeftovers(s.temp_directory);

  // The initial project, the threads and the windows.
  if (!MakeInitialProject()) {
    platform::ShowError("Can't allocate memory during Lumetra initialization.");
    return kExitStartupFailed;
  }
  if (!hooks.StartWorkThread()) platform::ShowInfo("Can't start Work thread");
  DebugLog("Create MAINwnd");
  if (!hooks.CreateMainWindow(!s.offline)) return kExitStartupFailed;
  DebugLog("MAINwnd created");
  ResetMainQueue();
  s.title = Format("@%s", kProductName);
  hooks.CreateStatusWindowAndEvents();
  if (!hooks.StartServiceThread()) platform::ShowInfo("Can't start Service thread");
  if (!hooks.DeclareSuperClip()) platform::ShowError("ProcessSuperClipDeclare returns ERROR");
  hooks.PrepareFontList();

  // The second pass: overrides, libraries, clipboard files.
  ApplySecondPass(ReadSecondPass(args), s, hooks);

  // Libraries and presets.
  DebugLog("Link libraries...");
  if (!s.library_switch) hooks.LoadLibrariesUnder(s.home_directory);
  DebugLog("Load presets...");
  hooks.LoadPresets();
  hooks.RebuildRecentMenu();

  // Undo store or recovery, the start-up dialog, render threads.
  DebugLog("check losted projects...");
  RecoveryResult recovery = s.recover ? hooks.OfferRecovery() : RecoveryResult::kNoneFound;
  if (recovery != RecoveryResult::kRecovered) {
    if (int error = hooks.StartUndoStore(); error != 0) {
      if (error == ETIMEDOUT) {
        platform::ShowError(
            Format("Another %s instance kept the start-up lock for too long; giving up.",
                   kProductName));
      } else {
        platform::ShowError(
            Format("Can't create mutex\n%s", platform::SystemErrorText(error).c_str()));
      }
      return kExitUndoStoreFailed;
    }
  }
  bool offered = s.recover && recovery != RecoveryResult::kNoneFound;
  if (!offered && !s.offline) hooks.ShowStartupDialog();
  hooks.StartRenderThreads(s.render_threads);

  // The start-up project goes through the recent-project command once the loop runs; it is
  // listed by its absolute path, and taken off again when it does not load.
  if (!s.startup_project.empty()) {
    s.startup_project = AbsolutePath(s.startup_project);
    s.startup_project_pending = true;
    s.startup_project_was_recent = s.recent_projects.Contains(s.startup_project);
    s.recent_projects.Add(s.startup_project);
    hooks.RebuildRecentMenu();
    PostCommand(kMenuRecentFirst);
  }
  platform::Status("Ready");

  platform::LoopEnd end = MainQueue().Run();
  int quit_code = end.quit_code;
  if (end.idle) {
    std::fprintf(stderr, "%s\n", kIdleEndText);
    platform::LogAppend(kIdleEndText);
    // Nobody is left to choose Exit: the settings are kept as Exit keeps them.
    Options().Save(kSettingsMaskExit);
    quit_code = 1;
  }
  ExitSequence(hooks);
  return StatusForQuitCode(quit_code, end.idle);
}

}  // namespace lumetra::app
