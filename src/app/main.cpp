// Process entry of the lumetra program: installs the headless host and runs the application
// under the guard that turns every exception into a message and a failure status.
#include <memory>
#include <string>
#include <vector>

#include "app/command_line.h"
#include "app/farm_command.h"
#include "app/guarded_main.h"
#include "app/plugin_list.h"
#include "app/project_info_json.h"
#include "app/recovery_tool.h"
#include "app/render_output.h"
#include "app/startup.h"
#include "app/validate_project.h"
#include "platform/allocator_tuning.h"
#include "platform/ui_host.h"

int main(int argc, char** argv) {
  lumetra::platform::TuneAllocatorForPictures();
  std::vector<std::string> args(argv + 1, argv + argc);
  return lumetra::app::RunGuarded([&args] {
    if (auto status = lumetra::app::RunProjectFileTool(args)) return *status;
    if (auto status = lumetra::app::RunRecoveryTool(args)) return *status;
    if (auto status = lumetra::app::RunPluginList(args)) return *status;
    if (auto status = lumetra::app::RunRenderCommand(args)) return *status;
    if (auto status = lumetra::app::RunValidate(args)) return *status;
    if (auto status = lumetra::app::RunFarm(args)) return *status;
    // Offline runs ("/R" with a project) ask nothing; others answer like a user who cancels.
    bool offline = lumetra::app::ReadFirstPass(args).offline;
    lumetra::platform::SetUi(std::make_unique<lumetra::platform::HeadlessUiHost>(offline));
    return lumetra::app::AppMain(args);
  });
}
