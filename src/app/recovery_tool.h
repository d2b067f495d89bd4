// The shell user's side of crash recovery: "--recover [N]" saves lost project N as a new file
// beside its project file, "--discard-recovery [N]" removes lost projects.
#pragma once

#include <functional>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace lumetra::app {

// The exit status when the arguments name one of the recovery tools; nothing otherwise.
// `program_path` is where the program lives (its "Temp" is a temporary directory candidate);
// empty means /proc/self/exe.
std::optional<int> RunRecoveryTool(const std::vector<std::string>& args,
                                   const std::string& program_path = {});

// Where a recovered project goes: "<stem>.recovered<ext>" in the folder of `project_path`
// (the current directory for an untitled project or a folder that is gone), then
// "<stem>.recovered-2<ext>" and so on: the first name nothing exists at, never the original.
// `exists` says whether anything (a file, a link, a directory) is at a path.
std::string RecoveryTarget(std::string_view project_path, const std::string& current_directory,
                           const std::function<bool(const std::string&)>& exists,
                           const std::function<bool(const std::string&)>& is_directory);

}  // namespace lumetra::app
