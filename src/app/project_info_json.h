// The headless project file tools of the command line: "--info PROJECT" prints a JSON
// description of a project, "--save-as OUT PROJECT" loads a project and saves it through
// the Save flow.
#pragma once

#include <optional>
#include <string>
#include <vector>

namespace lumetra::project {
struct Project;
}

namespace lumetra::app {

inline constexpr const char* kToolUsage = "--info PROJECT | --save-as OUT PROJECT";

// The exit status when the arguments name one of the tools; nothing otherwise.
std::optional<int> RunProjectFileTool(const std::vector<std::string>& args);

// False, with the reason on stderr, when what was written to stdout did not all get out
// (a full disk, a closed pipe): a tool's output that was lost is a failure.
bool StdoutWritten();

// The JSON description: settings, processes, tracks with clips (spans, inputs, clip data
// with curves), sub-projects, geometries.
std::string ProjectInfoJson(project::Project* project);

}  // namespace lumetra::app
