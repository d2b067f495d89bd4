// The headless project file tools: the JSON description of the shipped example, and
// --save-as through the Save flow.
#include "app/project_info_json.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>

#include "app/app_state.h"
#include "app/exit_status.h"
#include "app/settings.h"
#include "model/project.h"
#include "projectfile/project_file_io.h"
#include "projectfile/project_file_processes.h"
#include "temp_dir.h"

namespace lumetra::app {
namespace {

std::string Example() {
  const char* dir = std::getenv("LUMETRA_SOURCE_DIR");
  return std::string(dir != nullptr ? dir : ".") + "/examples/demo.ZTP";
}

TEST(ProjectInfoJson, DescribesTheExample) {
  project::ProjectPtr p(project::ProjectLoadFile(Example(), project::kLoadMaskLoad));
  ASSERT_NE(p, nullptr);
  ASSERT_EQ(p->status, project::kLoadOk);
  std::string json = ProjectInfoJson(p.get());
  for (const char* part :
       {"\"tracks\":[{\"number\":1,\"name\":\"Over the background\"",
        "\"signature\":\"Blur 1.0 ZOLT Standard\"", "\"inputs\":[4,3]",
        "\"kind\":\"contour\"", "\"vertices\":[\"Corner1\",\"Corner2\",\"Corner3\",\"Corner4\"]",
        "\"Geo\":\"Square\"", "\"time_base\":25"})
    EXPECT_NE(json.find(part), std::string::npos) << part;
  p.reset();
  project::VirtualProcessesClear();
}

TEST(ProjectInfoJson, ToolArguments) {
  // The tools read settings: never the user's own here.
  SettingsSetStorePath("/nonexistent/lumetra-test/settings.ini");
  EXPECT_EQ(RunProjectFileTool({"--info"}), kExitCommandLine);
  EXPECT_EQ(RunProjectFileTool({"--info", ""}), kExitCommandLine);
  EXPECT_EQ(RunProjectFileTool({"--save-as", "", Example()}), kExitCommandLine);
  EXPECT_EQ(RunProjectFileTool({"a.ZTP"}), std::nullopt);
  EXPECT_EQ(RunProjectFileTool({"--info", "/nonexistent/a.ZTP"}), kExitOfflineLoadFailed);
  namespace fs = std::filesystem;
  test_dir::TempDir scratch("lumetra-info-test");
  const fs::path& dir = scratch.path();
  std::string out = (dir / "copy.ZTP").string();
  EXPECT_EQ(RunProjectFileTool({"--save-as", out, Example()}), kExitOk);
  project::ProjectPtr q(project::ProjectLoadFile(out, project::kLoadMaskLoad));
  ASSERT_NE(q, nullptr);
  EXPECT_EQ(q->status, project::kLoadOk);
  EXPECT_EQ(State().current_file, out);
  q.reset();
  // The loaded project is still current and its clips name the virtual processes.
  while (project::ProjectListHead() != nullptr) project::ProjectFree(project::ProjectListHead());
  project::VirtualProcessesClear();
  SettingsSetReadOnly(false);
  SettingsSetStorePath({});
}

}  // namespace
}  // namespace lumetra::app
