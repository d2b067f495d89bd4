// What the undo store needs from the program above it: the project's file path, the work
// windows around a project replacement, menus, the title and the recovery choice.
#pragma once

#include <cstddef>
#include <optional>
#include <string>
#include <vector>

#include "model/project.h"

namespace lumetra::undo {

struct LostSeries;

// Every default does what a program without windows can do; the application overrides them.
class UndoHost {
 public:
  virtual ~UndoHost() = default;
  // The current project's file path; empty for an untitled project.
  virtual std::string ProjectPath() { return {}; }
  virtual void SetProjectPath(const std::string& /*path*/) {}
  // Makes the project current; the old current project goes.
  virtual void InstallProject(project::Project* project) { project::ProjectMakeCurrent(project); }
  virtual void SetBusy(bool /*busy*/) {}
  // Around a project replacement: the work windows leave their tracks and come back.
  virtual void SaveWindowsConfig() {}
  virtual void RestoreWindowsConfig() {}
  // The Undo and Redo menu items.
  virtual void SetAvailability(bool /*undo*/, bool /*redo*/) {}
  virtual void UpdateMenus() {}
  virtual void SetTitle(const std::string& /*title*/) {}
  // Before the recovery list: every series found, with its path, time and steps, so that a
  // host without a list can show them another way.
  virtual void ReportLostSeries(const std::vector<LostSeries>& /*series*/) {}
  // The list titled "Select project to recover": the index chosen, or nothing.
  virtual std::optional<std::size_t> ChooseRecovery(const std::vector<std::string>& /*labels*/) {
    return std::nullopt;
  }
};

}  // namespace lumetra::undo
