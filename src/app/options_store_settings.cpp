// The options store over the settings module: loads push values into the app state and the
// modules that use them, saves pull the lists and defaults the app changed back first.
#include <algorithm>

#include "app/app_render.h"
#include "app/app_state.h"
#include "app/options_store.h"
#include "app/settings.h"
#include "model/project.h"
#include "platform/parallel_rows.h"

namespace lumetra::app {
namespace {

project::ProjectSettings ToProjectSettings(const ProjectPreset& p) {
  project::ProjectSettings s;
  s.width = p.width;
  s.height = p.height;
  s.pixel_aspect = p.aspect;
  s.detail = p.detail;
  s.time_base = p.timebase;
  s.time_snap = p.timesnap;
  s.initial_time_code = p.init_tc;
  s.sampling_rate = p.sampling;
  s.channels = p.channels;
  s.bytes_per_sample = p.bps;
  return s;
}

// Keeps the preset's name: the project model has none.
void FromProjectSettings(const project::ProjectSettings& s, ProjectPreset& p) {
  p.width = s.width;
  p.height = s.height;
  p.aspect = s.pixel_aspect;
  p.detail = s.detail;
  p.timebase = s.time_base;
  p.timesnap = s.time_snap;
  p.init_tc = s.initial_time_code;
  p.sampling = s.sampling_rate;
  p.channels = s.channels;
  p.bps = s.bytes_per_sample;
}

// The recent lists are kept most recent first in both places; the app's list holds at most
// kRecentFilesMax, so the stored order is its order.
std::vector<std::string> ListEntries(const RecentList& list) {
  std::vector<std::string> out = list.Items();
  if (out.size() > static_cast<std::size_t>(kRecentFilesMax)) out.resize(kRecentFilesMax);
  return out;
}

void FillList(RecentList& list, const std::vector<std::string>& entries) {
  list.Clear();
  // Adding moves an entry to the top: add the oldest first.
  for (auto it = entries.rbegin(); it != entries.rend(); ++it) list.Add(*it);
}

class SettingsOptionsStore final : public OptionsStore {
 public:
  void Reset(const SettingsMachine& m) override { SettingsReset(m); }

  int Load(uint32_t mask) override {
    if (SettingsLoad(mask) == kSettingsNoTempDir) return kSettingsNoTempDir;
    const Settings& st = SettingsCurrent();
    AppState& s = State();
    if (mask & kSettingsPaths) {
      s.temp_directory = st.temp_dir;
      s.preset_file = st.presets_file;
    }
    if (mask & kSettingsRendering) {
      s.render_threads = std::clamp(st.render_threads, 1, kRenderThreadsMax);
      platform::ParallelRowsSetThreads(s.render_threads);
      s.memory_reserved = st.memory_reserved;
      s.picture_memory_budget = st.memory_proxy;
      s.preview_memory = st.memory_preview;
      // Changed while the program runs: the engine follows.
      if (AppRenderEngineMade()) {
        AppRenderSetThreads(s.render_threads);
        AppRenderSetMemory(s.picture_memory_budget);
      }
    }
    if (mask & kSettingsProjectPresets)
      project::SetNewProjectDefaults(ToProjectSettings(st.new_project));
    if (mask & kSettingsCurrentFiles) {
      FillList(s.recent_projects, st.recent_projects);
      FillList(s.recent_clipboards, st.recent_clipboards);
    }
    return 1;
  }

  void Save(uint32_t mask) override {
    Settings& st = SettingsCurrent();
    const AppState& s = State();
    if (mask & kSettingsCurrentFiles) {
      st.recent_projects = ListEntries(s.recent_projects);
      st.recent_clipboards = ListEntries(s.recent_clipboards);
    }
    if (mask & kSettingsProjectPresets) {
      if (auto defaults = project::NewProjectDefaults())
        FromProjectSettings(*defaults, st.new_project);
    }
    SettingsSave(mask);
  }

  bool BackupOnSave() const override { return SettingsCurrent().ztp_bak != 0; }
};

}  // namespace

std::unique_ptr<OptionsStore> MakeSettingsOptionsStore() {
  return std::make_unique<SettingsOptionsStore>();
}

}  // namespace lumetra::app
