// "--list-plugins [/L:<path>...]": loads the plug-in libraries as start-up would (only the
// named ones when "/L:" is given, else the plug-in folders) and prints them as JSON.
#pragma once

#include <optional>
#include <string>
#include <vector>

namespace lumetra::app {

// The exit status when the arguments ask for the list; nothing otherwise.
std::optional<int> RunPluginList(const std::vector<std::string>& args,
                                 const std::string& program_path = {});

// The JSON description of every loaded library: its path and load result, its effects
// (signature, name, version, flags, inputs, fields) and its input and output formats.
std::string PluginListJson();

}  // namespace lumetra::app
