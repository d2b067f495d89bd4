// The undo store inside the program: its host (file path, title, recovery choice) and the
// start-up, command and exit steps that reach it.
#pragma once

#include <chrono>
#include <string>
#include <vector>

#include "undo/recovery_scan.h"
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
  // A run without windows lists the series on stderr with the commands that act on them.
  void ReportLostSeries(const std::vector<undo::LostSeries>& series) override;
};

// The lost series as numbered lines: "  N. <label>  (written <local time>, <k> step(s))".
std::string LostSeriesList(const std::vector<undo::LostSeries>& series);

// How long start-up waits for the start-up lock: $LUMETRA_START_LOCK_WAIT seconds when it is
// a number from 0 to 3600, else 30 seconds.
std::chrono::milliseconds StartLockWait();

// A fresh store for this run with the temporary directory, the settings' depths, and
// recording off in offline runs. Runs once per start-up.
void PrepareUndoStore();

}  // namespace lumetra::app
