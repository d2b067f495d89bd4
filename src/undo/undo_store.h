// One instance's undo store: its prefix and step counter, the history, snapshots written on
// every step, undo and redo, the depth settings, crash recovery and the clean-up at exit.
#pragma once

#include <chrono>
#include <functional>
#include <map>
#include <memory>
#include <optional>
#include <string>

#include "platform/named_lock.h"
#include "undo/recovery_scan.h"
#include "undo/snapshot_codec.h"
#include "undo/snapshot_name.h"
#include "undo/undo_history.h"
#include "undo/undo_host.h"

namespace lumetra::undo {

inline constexpr const char* kStartMutexName = "ZOLT_StartMutex";
// The lock an instance holds on its prefix for its whole life: "ZOLT_Undo_<prefix>.lock".
inline constexpr const char* kPrefixLockName = "ZOLT_Undo_";
// The deepest history whose files never reuse the current step's number.
inline constexpr int kUndoLevelsMax = kStepCount - 2;

struct UndoSettings {
  std::string temp_directory;  // no trailing "/"
  int levels = 10;             // "UndoLevels": steps kept behind the current state
  int levels_in_ram = 2;       // "UndoLevelsInRAM": entries with an in-memory copy (0: none)
  bool recording = true;       // off for the whole of an offline render
  // How long start-up waits for another instance that holds the start mutex before it
  // gives up; the user is told at once that it waits.
  std::chrono::milliseconds start_lock_wait{30000};
};

class UndoStore {
 public:
  // A null host gets the default one; a null codec the project file codec.
  explicit UndoStore(std::unique_ptr<UndoHost> host = nullptr,
                     std::unique_ptr<SnapshotCodec> codec = nullptr);
  ~UndoStore();
  UndoStore(const UndoStore&) = delete;
  UndoStore& operator=(const UndoStore&) = delete;

  // Start-up values; levels are clamped to 1..kUndoLevelsMax and the RAM levels to
  // 0..levels. No file changes.
  void Configure(const UndoSettings& settings);
  const UndoSettings& Settings() const { return settings_; }
  void SetLevelsInRam(int levels_in_ram);

  // UndoSave: records the current project as a new step.
  void Save(const std::string& description);
  // UndoGo: 1 when the state changed, 0 otherwise.
  int Go(long offset);
  // UndoDescription: "Unknown" for an entry without one; nothing when no entry is there.
  std::optional<std::string> Description(long offset) const;
  // UndoLevelsSet: returns the depth in force.
  int LevelsSet(int levels);
  // UndoClaimPrefix: 0, or the system's error number when the start mutex failed.
  int ClaimPrefix();
  // UndoRecoverScan.
  int RecoverScan(bool recover);
  // UndoCleanFiles: this instance's snapshots go and its prefix is given up.
  void CleanFiles();

  // For the command-line tools: runs `act` with the lost series (the same list the recovery
  // dialog shows, numbered from 1 there) under the start mutex, each series' prefix locked
  // meanwhile. 0, or the start mutex's error number (ETIMEDOUT after the bounded wait).
  int WithLostSeries(const std::function<void(std::vector<LostSeries>&)>& act);
  // The latest usable snapshot of a series as a project; null when it does not load whole.
  project::ProjectPtr ReadSeries(const LostSeries& series);
  // Removes every file of a lost series (only inside WithLostSeries).
  void DiscardSeries(const LostSeries& series);

  bool CanUndo() const { return history_.HasOlder() && !save_failed_; }
  bool CanRedo() const { return history_.HasNewer(); }
  const std::string& Prefix() const { return prefix_; }
  bool Claimed() const { return prefix_lock_.has_value(); }
  int Step() const { return step_; }
  const UndoHistory& History() const { return history_; }
  std::string FileName(int step) const;
  UndoHost& Host() { return *host_; }

 private:
  std::optional<platform::NamedLock> TakeStartMutex(int* error);
  std::optional<platform::NamedLock> TryPrefixLock(const std::string& prefix);
  void ReleasePrefixLock();
  void UpdateAvailability();
  // Half-written snapshots ("<snapshot>.sav" plus a suffix) of instances that are gone.
  void RemoveDeadTemporaries();
  void DeleteStep(int step);
  bool Recover(LostSeries& series, std::optional<platform::NamedLock> lock);

  std::unique_ptr<UndoHost> host_;
  std::unique_ptr<SnapshotCodec> codec_;
  UndoSettings settings_;
  std::string prefix_ = kFirstPrefix;
  std::optional<platform::NamedLock> prefix_lock_;
  int step_ = 0;
  UndoHistory history_;
  bool save_failed_ = false;
  // Once the bounded wait for the start mutex ran out, later takes fail at once: one wait
  // per run, not one per step.
  bool start_lock_timed_out_ = false;
};

}  // namespace lumetra::undo
