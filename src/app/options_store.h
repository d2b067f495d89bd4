// What the shell needs from the settings store: load and save by section mask, and options.
#pragma once

#include <cstdint>
#include <memory>

namespace lumetra::app {

inline constexpr uint32_t kSectionsAll = 0x3FFF;
inline constexpr uint32_t kSectionsCurrentFiles = 0x20;
inline constexpr uint32_t kSectionsOnExit = 0x1D20;

class OptionsStore {
 public:
  virtual ~OptionsStore() = default;
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

OptionsStore& Options();
std::unique_ptr<OptionsStore> SetOptions(std::unique_ptr<OptionsStore> options);

}  // namespace lumetra::app
