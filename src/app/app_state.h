// Process-wide state of the application shell, set up at start-up and read by other modules.
#pragma once

#include <cstdint>
#include <string>

#include "app/recent_files.h"
#include "platform/ui_host.h"

namespace lumetra::app {

// The program's version; files above project::kFileVersion are newer than this build.
inline constexpr int kVersionMajor = 1;
inline constexpr int kVersionMinor = 0;
inline constexpr int kVersionPatch = 2;
using platform::kProductName;

struct AppState {
  std::string home_directory;  // always ends in "/"
  std::string program_name;    // without extension: the usage text's "%s"
  std::string help_file;
  std::string preset_file;
  std::string temp_directory;  // no trailing "/"
  bool offline = false;
  bool recover = true;
  int32_t fields_override = -1;
  int32_t overwrite_override = -1;
  int32_t field_order_override = -1;
  bool library_switch = false;
  std::string startup_project;
  // Set while the start-up project's command is still to run; `was_recent` when the list
  // had it before this run.
  bool startup_project_pending = false;
  bool startup_project_was_recent = false;
  bool startup_load_failed = false;
  std::string current_file;
  std::string title;
  RecentList recent_projects;
  RecentList recent_clipboards;
  int render_threads = 2;
  uint64_t memory_reserved = 16ull << 20;
  uint64_t picture_memory_budget = 0;
  uint64_t preview_memory = 0;
  int language = 0;
  // Outcomes of the offline chain, turned into the exit status.
  bool offline_load_failed = false;
  bool offline_render_failed = false;
  bool offline_render_interrupted = false;  // a stop signal ended the render
};

AppState& State();
// Back to the defaults (tests, and the start of AppMain).
void ResetState();

}  // namespace lumetra::app
