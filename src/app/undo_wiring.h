// The undo store inside the program: its host (file path, title, recovery choice) and the
// start-up, command and exit steps that reach it.
#pragma once

#include "undo/undo_host.h"

namespace lumetra::app {

class AppUndoHost final : public undo::UndoHost {
 public:
  std::string ProjectPath() override;
  void SetProjectPath(const std::string& path) override;
  void SetTitle(const std::string& title) override;
  // The headless host has no list: an accepted "Select project to recover" dialog takes the
  // first series.
  std::optional<std::size_t> ChooseRecovery(const std::vector<std::string>& labels) override;
};

// A fresh store for this run with the temporary directory, the settings' depths, and
// recording off in offline runs. Runs once per start-up.
void PrepareUndoStore();

}  // namespace lumetra::app
