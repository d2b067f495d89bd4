// The settings options store: what start-up pushes from the settings into the app and the
// project model, what Save takes back, and the settings file the built program leaves.
#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>

#include "app/app_state.h"
#include "app/exit_status.h"
#include "app/options_store.h"
#include "app/settings.h"
#include "app/startup.h"
#include "app_fixture.h"
#include "binary_runner.h"
#include "model/project.h"
#include "model/pseudo_track.h"
#include "platform/parallel_rows.h"

using namespace lumetra;
using namespace lumetra::app;
using namespace lumetra::app::testing;

namespace {

class OptionsStoreSettingsTest : public AppTest {
 protected:
  void SetUp() override {
    AppTest::SetUp();
    ini_ = dir_ / "config" / "settings.ini";
    SettingsSetStorePath(ini_);
    threads_ = platform::ParallelRowsThreads();
    defaults_ = project::NewProjectDefaults();
  }
  void TearDown() override {
    SettingsSetStorePath({});
    SettingsReset({});
    platform::ParallelRowsSetThreads(threads_);
    project::SetNewProjectDefaults(defaults_);
    AppTest::TearDown();
  }
  SettingsMachine Machine() const { return {dir_.string(), "", 4, 1024ull << 20}; }
  void WriteIni(const std::string& text) {
    std::filesystem::create_directories(ini_.parent_path());
    std::ofstream(ini_) << text;
  }

  std::filesystem::path ini_;
  int32_t threads_ = 0;
  std::optional<project::ProjectSettings> defaults_;
};

TEST_F(OptionsStoreSettingsTest, LoadPushesValuesAndSaveTakesTheListsBack) {
  const std::string other_temp = (dir_ / "other").string();
  std::filesystem::create_directories(other_temp);
  WriteIni(
      "[Software\\Telvane\\Fluxtar\\Paths]\n"
      "\"TempDir\"=\"" +
      other_temp +
      "\"\n"
      "\"PresetsFile\"=\"/presets/mine.zp\"\n"
      "[Software\\Telvane\\Fluxtar\\Options]\n"
      "\"ZTP.BAK\"=dword:00000000\n"
      "[Software\\Telvane\\Fluxtar\\Rendering]\n"
      "\"RenderThreads\"=dword:00000003\n"
      "\"MemoryProxy\"=qword:0000000001000000\n"
      "[Software\\Telvane\\Fluxtar\\CurrentFiles]\n"
      "\"File0\"=\"/p/newest.ZTP\"\n"
      "\"File1\"=\"/p/older.ZTP\"\n"
      "\"CBFile0\"=\"/p/bin.ZTB\"\n"
      "[Software\\Telvane\\Fluxtar\\ProjectPresets\\Default]\n"
      "\"Name\"=\"Default\"\n"
      "\"Width\"=dword:00000280\n"
      "\"Timebase\"=dword:0000001e\n"
      "\"Timesnap\"=dword:0000003c\n");
  auto store = MakeSettingsOptionsStore();
  store->Reset(Machine());
  ASSERT_EQ(store->Load(kSettingsMaskStartup), 1);

  const AppState& s = State();
  EXPECT_EQ(s.temp_directory, other_temp);
  EXPECT_EQ(s.preset_file, "/presets/mine.zp");
  EXPECT_EQ(s.render_threads, 3);
  EXPECT_EQ(platform::ParallelRowsThreads(), 3);
  EXPECT_EQ(s.picture_memory_budget, 16ull << 20);
  EXPECT_EQ(s.preview_memory, (1024ull - 16) / 2 << 20);  // the default: not stored
  EXPECT_EQ(s.recent_projects.Items(), (std::vector<std::string>{"/p/newest.ZTP", "/p/older.ZTP"}));
  EXPECT_EQ(s.recent_clipboards.Items(), std::vector<std::string>{"/p/bin.ZTB"});
  EXPECT_FALSE(store->BackupOnSave());
  auto defaults = project::NewProjectDefaults();
  ASSERT_TRUE(defaults);
  EXPECT_EQ(defaults->width, 640);
  EXPECT_EQ(defaults->height, 576);
  EXPECT_EQ(defaults->time_base, 30);
  EXPECT_EQ(defaults->time_snap, 60);

  // The app changes its lists and the "New Project" defaults; Exit's sections carry them.
  State().recent_projects.Add("/p/third.ZTP");
  project::ProjectSettings changed = *defaults;
  changed.height = 480;
  project::SetNewProjectDefaults(changed);
  store->Save(kSettingsMaskExit);

  SettingsReset({});
  ResetState();
  auto reread = MakeSettingsOptionsStore();
  reread->Reset(Machine());
  ASSERT_EQ(reread->Load(kSettingsMaskStartup), 1);
  EXPECT_EQ(State().recent_projects.Items(),
            (std::vector<std::string>{"/p/third.ZTP", "/p/newest.ZTP", "/p/older.ZTP"}));
  EXPECT_EQ(SettingsCurrent().new_project.height, 480);
  EXPECT_EQ(SettingsCurrent().new_project.width, 640);
}

TEST_F(OptionsStoreSettingsTest, UnusableTemporaryDirectoryEndsStartUp) {
  // Neither the stored directory, the home "Temp" nor a system one can be used or made.
  WriteIni("[Software\\Telvane\\Fluxtar\\Paths]\n\"TempDir\"=\"/proc/none\"\n");
  auto store = MakeSettingsOptionsStore();
  store->Reset({"/proc/self/none", "", 1, 0});
  EXPECT_EQ(store->Load(kSettingsMaskStartup), kSettingsNoTempDir);
}

TEST_F(OptionsStoreSettingsTest, StartUpMakesTheInitialProjectAndKeepsTheSettings) {
  SetOptions(MakeSettingsOptionsStore());
  ASSERT_EQ(AppMain({}, ProgramPath()), kExitOk);
  project::Project* p = project::CurrentProject();
  ASSERT_NE(p, nullptr);
  ASSERT_NE(p->first_track, nullptr);
  EXPECT_EQ(p->first_track->next, nullptr);
  EXPECT_EQ(p->active_start, 0.0f);
  EXPECT_EQ(p->active_end, 4.0f);
  EXPECT_EQ(p->preview_end, 4.0f);
  EXPECT_EQ(p->view_range[1], 4);
  EXPECT_EQ(p->settings.width, 720);
  EXPECT_STREQ(project::PseudoTrackByNumber(-12)->name, "*Input2");
  EXPECT_EQ(State().temp_directory, dir_.string() + "/Temp");
  EXPECT_TRUE(std::filesystem::exists(ini_));
}

TEST_F(OptionsStoreSettingsTest, BuiltProgramWritesSettingsThatReadBackAsDefaults) {
  const std::string d = dir_.string();
  const auto file = std::filesystem::path(BinaryConfigHome(d)) / "lumetra" / "settings.ini";
  for (int run = 0; run < 2; ++run) {
    Outcome out = RunBinary("", d);
    ASSERT_EQ(out.status, 0) << out.output;
    ASSERT_TRUE(std::filesystem::exists(file)) << "run " << run;
  }
  // What the program wrote holds the defaults: loading it over them changes nothing.
  SettingsSetStorePath(file);
  const SettingsMachine machine{dir_, "", 3, 2048ull << 20};
  SettingsReset(machine);
  ASSERT_EQ(SettingsLoad(kSettingsMaskStartup), 1);
  const Settings loaded = SettingsCurrent();
  EXPECT_EQ(loaded.new_project, ProjectPreset{});
  EXPECT_EQ(loaded.startup_show, 1);
  EXPECT_EQ(loaded.render_threads, 3);
  EXPECT_TRUE(loaded.recent_projects.empty());
  EXPECT_TRUE(loaded == SettingsDefaults(machine));
}

}  // namespace
