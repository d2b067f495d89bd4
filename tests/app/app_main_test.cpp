// The whole program: start-up order, the offline chain, exit statuses, and the built binary.
#include <gtest/gtest.h>

#include "app/exit_status.h"
#include "app/startup.h"
#include "app_fixture.h"
#include "binary_runner.h"
#include "platform/error_text.h"
#include "platform/memory_log.h"

using namespace lumetra;
using namespace lumetra::app;
using namespace lumetra::app::testing;

namespace {

class AppMainTest : public AppTest {
 protected:
  int Run(const std::vector<std::string>& args) { return AppMain(args, ProgramPath()); }
  std::size_t IndexOf(const std::string& entry) const {
    for (std::size_t i = 0; i < calls_.log.size(); ++i)
      if (calls_.log[i] == entry) return i;
    ADD_FAILURE() << "missing call " << entry;
    return calls_.log.size();
  }
};

}  // namespace

TEST_F(AppMainTest, StartsInOrderAndEndsWhenNothingIsLeft) {
  EXPECT_EQ(Run({"/R"}), kExitOk);  // "/R" without a project: the normal program
  EXPECT_FALSE(State().offline);
  EXPECT_FALSE(State().recover);
  EXPECT_EQ(State().home_directory, dir_.string() + "/");
  EXPECT_EQ(State().temp_directory, dir_.string() + "/Temp");
  EXPECT_EQ(State().preset_file, dir_.string() + "/Presets.zp");
  EXPECT_GE(State().render_threads, 1);
  std::vector<std::string> order = {
      "host services",  "options load 16383",   "initial",         "main window shown",
      "superclip",      "libraries under home", "presets",         "undo store",
      "startup dialog", "render threads",       "delete snapshots"};
  for (std::size_t i = 1; i < order.size(); ++i)
    EXPECT_LT(IndexOf(order[i - 1]), IndexOf(order[i])) << order[i];
  EXPECT_FALSE(calls_.Has("offer recovery"));  // "/R" cleared the recover flag
  EXPECT_NE(platform::LogText().find(kIdleEndText), std::string::npos);
}

TEST_F(AppMainTest, SecondPassSwitchesLibrariesAndClipboards) {
  EXPECT_EQ(Run({"/F-", "/I+", "/O", "/L:\"/opt/x.ztl\"", "bin.ZTB", "/Q"}), kExitOk);
  EXPECT_EQ(State().fields_override, 0);
  EXPECT_EQ(State().field_order_override, 1);
  EXPECT_EQ(State().overwrite_override, 1);
  EXPECT_TRUE(calls_.Has("library /opt/x.ztl"));
  EXPECT_FALSE(calls_.Has("libraries under home"));  // a "/L" switch was given
  EXPECT_EQ(host_->LastStatus(), "Ready");
  EXPECT_NE(platform::LogText().find("Could not load /opt/x.ztl"), std::string::npos);
  EXPECT_TRUE(calls_.Has("clipboard bin.ZTB"));
  EXPECT_FALSE(calls_.Has("load bin.ZTB mask 4095"));
  EXPECT_FALSE(calls_.Has("offer recovery"));
}

TEST_F(AppMainTest, RecoveryIsOfferedByDefault) {
  hooks_->recovery = RecoveryResult::kRecovered;
  EXPECT_EQ(Run({}), kExitOk);
  EXPECT_TRUE(calls_.Has("offer recovery"));
  EXPECT_FALSE(calls_.Has("undo store"));
  EXPECT_FALSE(calls_.Has("startup dialog"));
}

TEST_F(AppMainTest, OfflineChainLoadsRendersAndExits) {
  std::string project = MakeFile("job.ZTP");
  hooks_->render_result = 1;
  // Changes made during the run: the offline Exit still asks nothing.
  hooks_->on_render = [] { project::SetChangeFlags(project::kChangedTracks); };
  EXPECT_EQ(Run({"/R", project, "/O-"}), kExitOk);
  EXPECT_TRUE(State().offline);
  EXPECT_EQ(State().overwrite_override, 0);
  EXPECT_TRUE(calls_.Has("main window hidden"));
  EXPECT_FALSE(calls_.Has("startup dialog"));
  EXPECT_FALSE(calls_.Has("reopen windows"));
  EXPECT_TRUE(questions_.empty());
  EXPECT_LT(IndexOf("load " + project + " mask 4095"), IndexOf("render last mode 1"));
  EXPECT_LT(IndexOf("render last mode 1"), IndexOf("options save " + std::to_string(0x1D20)));
  EXPECT_LT(IndexOf("options save " + std::to_string(0x1D20)), IndexOf("delete snapshots"));
}

TEST_F(AppMainTest, OfflineFailuresHaveTheirOwnStatus) {
  std::string project = MakeFile("job.ZTP");
  store_->load_status = LoadStatus::kFailed;
  EXPECT_EQ(Run({"/R", project}), kExitOfflineLoadFailed);
  EXPECT_FALSE(calls_.Has("render last mode 1"));
  EXPECT_TRUE(calls_.Has("delete snapshots"));  // the exit sequence still runs

  calls_.log.clear();
  store_->load_status = LoadStatus::kLoaded;
  hooks_->render_result = 0;
  EXPECT_EQ(Run({"/R", project}), kExitOfflineRenderFailed);
  EXPECT_TRUE(calls_.Has("render last mode 1"));
}

TEST_F(AppMainTest, StartUpFailures) {
  hooks_->undo_error = 11;
  EXPECT_EQ(Run({}), kExitUndoStoreFailed);
  EXPECT_NE(platform::LogText().find("Can't create mutex\n" + platform::SystemErrorText(11)), std::string::npos);
  hooks_->undo_error = 0;
  store_->initial_ok = false;
  EXPECT_EQ(Run({}), kExitStartupFailed);
  store_->initial_ok = true;
  options_->load_result = -3;
  EXPECT_EQ(Run({}), kExitNoTempDirectory);
  options_->load_result = 1;
  calls_.log.clear();
  EXPECT_EQ(Run({"--nope"}), kExitCommandLine);
  EXPECT_EQ(Run({"/?"}), kExitOk);
  EXPECT_FALSE(calls_.Has("initial"));
}

TEST_F(AppMainTest, BuiltProgramExitStatuses) {
  std::string d = dir_.string();
  Outcome usage = RunBinary("/?", d);
  EXPECT_EQ(usage.status, 0);
  EXPECT_NE(usage.output.find("Usage:   lumetra  [project_file]"), std::string::npos);

  Outcome interactive = RunBinary("/R", d);
  EXPECT_EQ(interactive.status, 0);
  EXPECT_NE(interactive.output.find(kIdleEndText), std::string::npos);

  Outcome missing = RunBinary("/R /home/a.ZTP", d);
  EXPECT_EQ(missing.status, kExitOfflineLoadFailed);
  EXPECT_NE(missing.output.find("Could not load project file:\n/home/a.ZTP"), std::string::npos);

  std::string project = MakeFile("job.ZTP");
  Outcome damaged = RunBinary("/R '" + project + "'", d);
  EXPECT_EQ(damaged.status, kExitOfflineLoadFailed);
  EXPECT_NE(damaged.output.find("Project file load error:\n" + project), std::string::npos);

  EXPECT_EQ(RunBinary("--x", d).status, kExitCommandLine);
  Outcome version = RunBinary("--version", d);
  EXPECT_EQ(version.status, 0);
  EXPECT_NE(version.output.find("1.0.2"), std::string::npos);
}
