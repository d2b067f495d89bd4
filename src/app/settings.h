// The process-wide settings record, its sections and their load and save by section mask.
#pragma once

#include <array>
#include <cstdint>
#include <filesystem>
#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "app/settings_keys.h"
#include "app/settings_records.h"

namespace lumetra::app {

// Section mask bits.
enum SettingsSection : uint32_t {
  kSettingsKeyboard = 0x1,
  kSettingsPaths = 0x2,
  kSettingsOptions = 0x4,
  kSettingsCurrentFiles = 0x20,
  kSettingsColors = 0x40,
  kSettingsFonts = 0x80,
  kSettingsChooseClip = 0x100,
  kSettingsRendering = 0x200,
  kSettingsRenderProgress = 0x400,
  kSettingsCreateText = 0x800,
  kSettingsProjectPresets = 0x1000,
  kSettingsStartupDialog = 0x2000,
};

// The masks callers use.
inline constexpr uint32_t kSettingsMaskStartup = 0x3FFF;      // start-up loads every section
inline constexpr uint32_t kSettingsMaskPreferences = 0x22FF;  // system preferences OK
inline constexpr uint32_t kSettingsMaskPresets = 0x1000;      // project presets changed
inline constexpr uint32_t kSettingsMaskStartupDlg = 0x2000;   // start-up dialog closed
inline constexpr uint32_t kSettingsMaskRecent = 0x20;         // project Load and Save
inline constexpr uint32_t kSettingsMaskExit = 0x1D20;         // Exit

inline constexpr int kRecentFilesMax = 8;
inline constexpr int kProjectPresetsMax = 64;
inline constexpr int32_t kRenderThreadsMax = 32;
inline constexpr int32_t kUndoLevelsMax = 9999;  // snapshot numbers wrap at 10000
inline constexpr uint64_t kMiB = 1024 * 1024;
// Longest path or name taken from the store.
inline constexpr std::size_t kSettingsMaxPath = 4096;

// Load result when no temporary directory can be set (start-up ends the program).
inline constexpr int kSettingsNoTempDir = -3;

// Facts of the machine that the defaults depend on (start-up gathers them).
struct SettingsMachine {
  std::filesystem::path home_dir;     // the program directory
  std::filesystem::path system_temp;  // the per-user temporary directory; may be empty
  int32_t processors = 1;
  uint64_t physical_memory = 0;  // bytes; 0 when unknown
  bool operator==(const SettingsMachine&) const = default;
};

struct Settings {
  SettingsMachine machine;

  // 0x1 "Keyboard": one binding per entry of BindableCommands(), and the table built
  // from them.
  std::vector<KeyBinding> bindings;
  std::vector<Accelerator> accelerators;

  // 0x2 "Paths".
  std::string temp_dir;
  std::string presets_file;

  // 0x4 "Options".
  int32_t ztp_bak = 1;
  int32_t undo_levels = 10;
  int32_t undo_levels_in_ram = 2;
  int32_t optimize_geo_import = 1;
  int32_t storyboard_auto_size = 1;

  // 0x20 "CurrentFiles": most recent first.
  std::vector<std::string> recent_projects;
  std::vector<std::string> recent_clipboards;

  // 0x40 "Colors", 0x80 "Fonts".
  std::array<ColorEntry, kColorEntries> colors;
  std::array<FontEntry, kFontEntries> fonts;

  // 0x100 "ChooseClipOptions".
  std::optional<WindowPlacement> choose_clip_pos;
  int32_t choose_clip_expanded = 0;

  // 0x200 "Rendering".
  int32_t render_threads = 1;
  uint64_t memory_reserved = 16 * kMiB;
  uint64_t memory_proxy = 0;
  uint64_t memory_preview = 0;

  // 0x400 "RenderInProgressOptions".
  std::optional<WindowPlacement> render_progress_pos;

  // 0x800 "CreateTextOptions".
  int32_t create_text_ownshape = 0;

  // 0x1000 "ProjectPresets": the "New Project" defaults and the named presets in order.
  ProjectPreset new_project;
  std::vector<ProjectPreset> project_presets;

  // 0x2000 "StartupDialogOptions".
  int32_t startup_show = 1;
  int32_t startup_last_action = 1;

  // "WorkWindowOptions", written with every save and read with every load.
  SafeFrame safe_frame;

  bool operator==(const Settings&) const = default;
};

// The one settings record of the process. Read and changed on the user-interface thread;
// the app pushes values to the modules that use them.
Settings& SettingsCurrent();

// The defaults of every section for this machine: temporary directory home/"Temp",
// preset file home/"Presets.zp", render threads = processors (1 to 32), reserve 16 MiB,
// picture and preview memory (physical - 16 MiB) / 2.
Settings SettingsDefaults(const SettingsMachine& machine);
// Puts the defaults into the process-wide record (start-up, before SettingsLoad).
void SettingsReset(const SettingsMachine& machine);

// Where the store lives: the explicit path when one was set, else
// $XDG_CONFIG_HOME/lumetra/settings.ini (~/.config when unset). An empty path restores
// the default.
void SettingsSetStorePath(const std::filesystem::path& path);
std::filesystem::path SettingsStorePath();

// Tools read the settings and never write them: with read-only set, every save and write
// returns 0 and touches nothing.
void SettingsSetReadOnly(bool read_only);

// Reads the sections in the mask from the store over the record; a missing, damaged or
// out-of-range value leaves what the record holds. A file that cannot be read or used is
// reported once (stderr and the log) and the defaults stay; such a file is never
// overwritten: an unreadable one is left alone, an unusable one is renamed
// "settings.ini.bad-<date>" before the next save writes a new one. Returns 1, or kSettingsNoTempDir when
// "Paths" was loaded and no temporary directory is usable (the error box is shown).
int SettingsLoad(uint32_t mask);
// Writes the sections in the mask, and "WorkWindowOptions", in one atomic file write.
// 1 on success, 0 when the file could not be written (callers go on regardless).
int SettingsSave(uint32_t mask);

// Single values, section "" being the root key. A read returns 1 and fills the
// destination only when the value exists with that type (and, for binary values,
// exactly the destination's size); else 0 and the destination is untouched.
int SettingsRead(std::string_view section, std::string_view name, std::string& text);
int SettingsRead(std::string_view section, std::string_view name, uint32_t& value);
int SettingsRead(std::string_view section, std::string_view name, std::span<uint8_t> data);
// Writes one value and saves the store at once; 1 on success.
int SettingsWrite(std::string_view section, std::string_view name, std::string_view text);
int SettingsWrite(std::string_view section, std::string_view name, uint32_t value);
int SettingsWrite(std::string_view section, std::string_view name, std::span<const uint8_t> data);
int SettingsDelete(std::string_view section, std::string_view name);

// Checks of the preference pages: the error text, or empty when the value is taken.
std::string SettingsCheckProject(const ProjectPreset& preset);
std::string SettingsCheckStillLength(float seconds);
std::string SettingsCheckUndo(int32_t undo_levels, int32_t undo_levels_in_ram);
std::string SettingsCheckRenderThreads(int32_t threads);

}  // namespace lumetra::app
