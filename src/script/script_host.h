// The host functions that effects call from scripts: clips and tracks, clip inputs, keys,
// file names, dialogs and controls, morph pairs, deletion, showing and hiding.
#pragma once

#include <cstddef>
#include <string>

#include "plugin/lumetra_plugin.h"

namespace lumetra::project {
struct Clip;
struct Project;
}  // namespace lumetra::project

namespace lumetra::script {

class FunctionTable;

// A clip never gets more input slots through ClipInputAdd than this.
inline constexpr std::size_t kClipInputsMax = 16384;
// TranslateFileName reads and writes names of at most this many bytes, the NUL included.
inline constexpr std::size_t kFileNameMax = LUMETRA_SCRIPT_FILE_NAME_MAX;
// Strings read from a library's memory (check box labels) are cut at this many bytes.
inline constexpr std::size_t kLabelMax = 1024;

// What the host functions ask of the modules above them. Unset hooks fall back as named.
struct ScriptHostHooks {
  // The program's home directory. Unset: the directory of the running program.
  std::string (*home_directory)() = nullptr;
  // The current project's file path; empty when it was never saved. Unset: never saved.
  std::string (*project_file_path)(project::Project* project) = nullptr;
  // A clip's data changed: refresh its render state and, with redraw, its edit window.
  // Unset: the clip's span is invalidated through the project hooks.
  void (*clip_changed)(project::Clip* clip, bool redraw) = nullptr;
};

ScriptHostHooks& HostFunctionHooks();

// Adds every host function to the table (replacing entries of the same names).
void RegisterHostFunctions(FunctionTable& table);

}  // namespace lumetra::script
