// What the shell needs from the settings store: load and save by section mask, and options.
#pragma once

#include <cstdint>
#include <memory>
#include <string>

#include "app/settings.h"

namespace lumetra::app {

class OptionsStore {
 public:
  virtual ~OptionsStore() = default;
  // Puts every option back to its default for this machine (start-up, before Load).
  virtual void Reset(const SettingsMachine& /*machine*/) {}
  // Loads the sections into State() and the other modules; 1, or -3 when the temporary
  // directory it names cannot be set.
  virtual int Load(uint32_t section_mask) = 0;
  // Saves the sections (the recent lists live in "CurrentFiles", 0x20); failures are ignored.
  virtual void Save(uint32_t section_mask) = 0;
  // The "ZTP.BAK" option: keep a .BAK copy when saving over a project.
  virtual bool BackupOnSave() const = 0;
};

// Defaults only, nothing persisted: used until the settings store is wired in.
class DefaultOptionsStore final : public OptionsStore {
 public:
  int Load(uint32_t) override { return 1; }
  void Save(uint32_t) override {}
  bool BackupOnSave() const override { return true; }
};

// The store over the settings module (settings.h), persisted in the per-user INI file.
std::unique_ptr<OptionsStore> MakeSettingsOptionsStore();

// The installed store; the settings store unless another was set.
OptionsStore& Options();
std::unique_ptr<OptionsStore> SetOptions(std::unique_ptr<OptionsStore> options);

}  // namespace lumetra::app
