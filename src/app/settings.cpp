// The settings record and its load and save, section by section, through the INI store.
#include "app/settings.h"

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstring>
#include <ctime>
#include <mutex>
#include <system_error>

#include "platform/atomic_write.h"
#include "platform/file_ops.h"
#include "platform/format.h"
#include "platform/ini_store.h"
#include "platform/memory_log.h"
#include "platform/ui_host.h"
#include "timecode/time_base.h"

namespace lumetra::app {
namespace {

namespace fs = std::filesystem;
using platform::Format;
using platform::IniStore;

constexpr std::string_view kRoot = "Software\\Telvane\\Fluxtar";

std::mutex g_store_mutex;  // guards the store, its path and its state
IniStore g_store;
fs::path g_store_path;  // empty: the default location
// What the file was like when last read. A file that could not be read is never replaced;
// one that was unusable is set aside before a new one is written. Each is told once.
bool g_read_only = false;
bool g_file_unreadable = false;
bool g_file_unusable = false;
bool g_problem_told = false;
Settings g_settings = SettingsDefaults({});

std::string Key(std::string_view section) {
  std::string key(kRoot);
  if (!section.empty()) {
    key += '\\';
    key += section;
  }
  return key;
}

fs::path StorePathLocked() {
  return g_store_path.empty() ? platform::IniDefaultSettingsPath() : g_store_path;
}

void TellOnce(const std::string& text) {
  if (g_problem_told) return;
  g_problem_told = true;
  std::fprintf(stderr, "%s\n", text.c_str());
  platform::LogAppend(text);
}

// Loads the file into `store` and records what it was like.
platform::IniLoadStatus LoadStoreLocked(IniStore& store) {
  const fs::path path = StorePathLocked();
  const platform::IniLoadResult r = store.LoadFile(path);
  g_file_unreadable = r.status == platform::IniLoadStatus::kUnreadable;
  g_file_unusable = r.status == platform::IniLoadStatus::kUnusable;
  if (g_file_unreadable)
    TellOnce(Format("Settings file %s cannot be read (%s): starting with the defaults; the file "
                    "is left as it is and settings are not saved.",
                    path.c_str(), r.reason.c_str()));
  if (g_file_unusable)
    TellOnce(Format("Settings file %s is unusable (%s): starting with the defaults; it is kept as "
                    "%s.bad-<date> when settings are next saved.",
                    path.c_str(), r.reason.c_str(), path.c_str()));
  return r.status;
}

// Re-reads the file so values written by another instance are kept. A missing file
// empties the store; one that exists but cannot be used leaves the store as it was last
// loaded, so a save does not drop the values read earlier.
void RefreshLocked() {
  IniStore fresh;
  const platform::IniLoadStatus status = LoadStoreLocked(fresh);
  if (status == platform::IniLoadStatus::kLoaded || status == platform::IniLoadStatus::kMissing)
    g_store = std::move(fresh);
}

std::string BadFileName(const fs::path& path) {
  char stamp[32] = "unknown";
  const std::time_t now = std::time(nullptr);
  if (const std::tm* t = std::localtime(&now))  // under g_store_mutex
    std::strftime(stamp, sizeof stamp, "%Y%m%d-%H%M%S", t);
  std::string name = path.string() + ".bad-" + stamp;
  std::error_code ec;
  for (int n = 2; fs::symlink_status(name, ec).type() != fs::file_type::not_found; ++n)
    name = path.string() + ".bad-" + stamp + "-" + std::to_string(n);
  return name;
}

bool SaveLocked() {
  if (g_read_only) return false;
  const fs::path path = StorePathLocked();
  if (g_file_unreadable) {
    platform::DebugLog("Settings: the file could not be read; it is not replaced");
    return false;
  }
  if (g_file_unusable) {
    // The file a link names is set aside; the link then leads to the new file.
    std::string target;
    if (!platform::ResolveLinks(path.string(), target).ok()) return false;
    const std::string aside = BadFileName(target);
    if (platform::RenameFile(target, aside) != 0) {
      platform::DebugLog("Settings: could not set the unusable file aside; it is not replaced");
      return false;
    }
    platform::LogAppend(Format("Settings file set aside as %s", aside.c_str()));
    g_file_unusable = false;
  }
  std::string error;
  if (g_store.Save(path, &error)) return true;
  platform::DebugLog("Settings: could not write the store: " + error);
  return false;
}

// ---- typed reads with range checks; each leaves the destination alone on failure ----

// A text that is short enough and holds no NUL (paths, names).
bool ReadText(const IniStore& s, const std::string& key, std::string_view name, std::string& out,
              std::size_t max = kSettingsMaxPath) {
  auto v = s.GetString(key, name);
  if (!v || v->size() > max || v->find('\0') != std::string::npos) return false;
  out = std::move(*v);
  return true;
}

bool ReadInt(const IniStore& s, const std::string& key, std::string_view name, int32_t lo,
             int32_t hi, int32_t& out) {
  auto v = s.GetDword(key, name);
  if (!v) return false;
  const auto i = static_cast<int32_t>(*v);
  if (i < lo || i > hi) return false;
  out = i;
  return true;
}

// A 0/1 switch: any nonzero value is on.
void ReadFlag(const IniStore& s, const std::string& key, std::string_view name, int32_t& out) {
  if (auto v = s.GetDword(key, name)) out = *v != 0 ? 1 : 0;
}

bool ReadBytes4(const IniStore& s, const std::string& key, std::string_view name, uint32_t& out) {
  std::array<uint8_t, 4> b{};
  if (!s.GetBinary(key, name, b)) return false;
  out = Le32Decode(b);
  return true;
}

// Memory sizes are 64-bit here: a dword from an older file is taken as well.
void ReadMemory(const IniStore& s, const std::string& key, std::string_view name, uint64_t physical,
                uint64_t& out) {
  std::optional<uint64_t> v = s.GetQword(key, name);
  if (!v) {
    if (auto d = s.GetDword(key, name)) v = *d;
  }
  if (!v) return;
  out = physical != 0 ? std::min(*v, physical) : std::min<uint64_t>(*v, uint64_t{1} << 48);
}

template <typename Record>
std::optional<Record> ReadRecord(const IniStore& s, const std::string& key, std::string_view name,
                                 std::size_t size, auto decode) {
  const IniStore::Value* v = s.Find(key, name);
  if (v == nullptr || v->type != platform::IniType::kBinary || v->bytes.size() != size)
    return std::nullopt;
  std::vector<uint8_t> bytes(v->bytes.begin(), v->bytes.end());
  return decode(std::span<const uint8_t>(bytes));
}

// ---- temporary directory ----

// Readable and writable: a probe file can be made and removed, and the folder listed.
bool DirUsable(const fs::path& dir) {
  std::error_code ec;
  if (dir.empty() || !fs::is_directory(dir, ec)) return false;
  if (!platform::ProbeWritableDirectory(dir.string())) return false;
  fs::directory_iterator it(dir, ec);
  return !ec;
}

bool ResolveTempDir(Settings& st) {
  const fs::path home_temp = st.machine.home_dir / "Temp";
  if (DirUsable(st.temp_dir)) return true;
  for (const fs::path& candidate : {home_temp, st.machine.system_temp}) {
    if (DirUsable(candidate)) {
      st.temp_dir = candidate.string();
      return true;
    }
  }
  std::error_code ec;
  if (!st.machine.home_dir.empty() && fs::create_directories(home_temp, ec) &&
      DirUsable(home_temp)) {
    st.temp_dir = home_temp.string();
    return true;
  }
  return false;
}

// ---- sections ----

void LoadKeyboard(const IniStore& s, Settings& st) {
  const std::string key = Key("Keyboard");
  const auto commands = BindableCommands();
  st.bindings.resize(commands.size());
  for (std::size_t i = 0; i < commands.size(); ++i) {
    std::string text;
    if (!ReadText(s, key, commands[i].name, text, 64)) continue;
    if (auto b = KeyBindingParse(text)) st.bindings[i] = *b;
  }
  st.accelerators = AcceleratorsBuild(st.bindings);
}

void SaveKeyboard(IniStore& s, const Settings& st) {
  const std::string key = Key("Keyboard");
  const auto commands = BindableCommands();
  for (std::size_t i = 0; i < commands.size() && i < st.bindings.size(); ++i)
    s.SetString(key, commands[i].name, KeyBindingFormat(st.bindings[i]));
}

bool LoadPaths(const IniStore& s, Settings& st) {
  const std::string key = Key("Paths");
  ReadText(s, key, "TempDir", st.temp_dir);
  ReadText(s, key, "PresetsFile", st.presets_file);
  return ResolveTempDir(st);
}

void SavePaths(IniStore& s, const Settings& st) {
  const std::string key = Key("Paths");
  s.SetString(key, "TempDir", st.temp_dir);
  s.SetString(key, "PresetsFile", st.presets_file);
}

void LoadOptions(const IniStore& s, Settings& st) {
  const std::string key = Key("Options");
  ReadFlag(s, key, "ZTP.BAK", st.ztp_bak);
  ReadInt(s, key, "UndoLevels", 1, kUndoLevelsMax, st.undo_levels);
  ReadInt(s, key, "UndoLevelsInRAM", 0, kUndoLevelsMax, st.undo_levels_in_ram);
  // More steps in memory than steps kept is refused by the page; a stored one is cut.
  st.undo_levels_in_ram = std::min(st.undo_levels_in_ram, st.undo_levels);
  ReadFlag(s, key, "OptimizeGeoImport", st.optimize_geo_import);
  ReadFlag(s, key, "StoryboardAutoSize", st.storyboard_auto_size);
}

void SaveOptions(IniStore& s, const Settings& st) {
  const std::string key = Key("Options");
  s.SetDword(key, "ZTP.BAK", static_cast<uint32_t>(st.ztp_bak));
  s.SetDword(key, "UndoLevels", static_cast<uint32_t>(st.undo_levels));
  s.SetDword(key, "UndoLevelsInRAM", static_cast<uint32_t>(st.undo_levels_in_ram));
  s.SetDword(key, "OptimizeGeoImport", static_cast<uint32_t>(st.optimize_geo_import));
  s.SetDword(key, "StoryboardAutoSize", static_cast<uint32_t>(st.storyboard_auto_size));
}

std::string Numbered(const char* format, int i) {
  char name[32];
  std::snprintf(name, sizeof name, format, i);
  return name;
}

void LoadRecent(const IniStore& s, const std::string& key, const char* format,
                std::vector<std::string>& list) {
  std::vector<std::string> found;
  for (int i = 0; i < kRecentFilesMax; ++i) {
    std::string path;
    if (ReadText(s, key, Numbered(format, i), path) && !path.empty())
      found.push_back(std::move(path));
  }
  if (!found.empty()) list = std::move(found);
}

void SaveRecent(IniStore& s, const std::string& key, const char* format,
                const std::vector<std::string>& list) {
  for (int i = 0; i < kRecentFilesMax; ++i) {
    if (i < static_cast<int>(list.size()))
      s.SetString(key, Numbered(format, i), list[i]);
    else
      s.Delete(key, Numbered(format, i));
  }
}

void LoadColors(const IniStore& s, Settings& st) {
  const std::string key = Key("Colors");
  for (ColorEntry& e : st.colors) {
    const std::string name = e.name;
    auto decoded = ReadRecord<ColorEntry>(s, key, name, kColorRecordSize,
                                          [&](auto b) { return ColorDecode(b, name); });
    if (decoded) e = *decoded;
  }
}

void LoadFonts(const IniStore& s, Settings& st) {
  const std::string key = Key("Fonts");
  for (FontEntry& e : st.fonts) {
    const std::string name = e.name;
    auto decoded = ReadRecord<FontEntry>(s, key, name, kFontRecordSize,
                                         [&](auto b) { return FontDecode(b, name); });
    if (decoded) e = *decoded;
  }
}

void LoadPlacement(const IniStore& s, const std::string& key, std::optional<WindowPlacement>& out) {
  auto p = ReadRecord<WindowPlacement>(s, key, "WindowPos", kWindowPlacementSize,
                                       [](auto b) { return PlacementDecode(b); });
  if (p) out = *p;
}

void SavePlacement(IniStore& s, const std::string& key, const std::optional<WindowPlacement>& p) {
  if (p) s.SetBinary(key, "WindowPos", PlacementEncode(*p));
}

void LoadRendering(const IniStore& s, Settings& st) {
  const std::string key = Key("Rendering");
  if (auto v = s.GetDword(key, "RenderThreads"))
    st.render_threads = std::clamp(static_cast<int32_t>(*v), 1, kRenderThreadsMax);
  const uint64_t phys = st.machine.physical_memory;
  ReadMemory(s, key, "MemoryReserved", phys, st.memory_reserved);
  ReadMemory(s, key, "MemoryProxy", phys, st.memory_proxy);
  ReadMemory(s, key, "MemoryPreview", phys, st.memory_preview);
}

void SaveRendering(IniStore& s, const Settings& st) {
  const std::string key = Key("Rendering");
  s.SetDword(key, "RenderThreads", static_cast<uint32_t>(st.render_threads));
  s.SetQword(key, "MemoryReserved", st.memory_reserved);
  s.SetQword(key, "MemoryProxy", st.memory_proxy);
  s.SetQword(key, "MemoryPreview", st.memory_preview);
}

// Reads a preset's values over `p`; false when the sub-key has no usable "Name".
bool LoadPreset(const IniStore& s, const std::string& key, ProjectPreset& p) {
  std::string name;
  if (!ReadText(s, key, "Name", name, kPresetNameMax) || name.empty()) return false;
  p.name = std::move(name);
  ReadInt(s, key, "Width", 1, 4096, p.width);
  ReadInt(s, key, "Height", 1, 4096, p.height);
  uint32_t bits = 0;
  if (ReadBytes4(s, key, "Aspect", bits)) {
    float aspect = 0;
    static_assert(sizeof aspect == sizeof bits);
    std::memcpy(&aspect, &bits, sizeof aspect);
    if (std::isfinite(aspect) && aspect >= 0.001f && aspect <= 1000.0f) p.aspect = aspect;
  }
  ReadInt(s, key, "Detail", 1, 100, p.detail);
  ReadInt(s, key, "Timebase", project::kTimeBaseMin, project::kTimeBaseMax, p.timebase);
  ReadInt(s, key, "Timesnap", 1, 2 * project::kTimeBaseMax, p.timesnap);
  if (!project::TimeSnapValid(p.timesnap, p.timebase)) p.timesnap = p.timebase;
  ReadInt(s, key, "Sampling", 1, 768000, p.sampling);
  ReadInt(s, key, "Channels", 1, 8, p.channels);
  ReadInt(s, key, "BPS", 1, 4, p.bps);
  if (ReadBytes4(s, key, "InitTC", bits) &&
      project::InitialTimeCodeValid(static_cast<int32_t>(bits), p.timebase))
    p.init_tc = static_cast<int32_t>(bits);
  if (!project::InitialTimeCodeValid(p.init_tc, p.timebase)) p.init_tc = 0;
  return true;
}

constexpr const char* kPresetValues[] = {"Name",     "Width",    "Height",   "Aspect",
                                         "Detail",   "Timebase", "Timesnap", "Sampling",
                                         "Channels", "BPS",      "InitTC"};

void SavePreset(IniStore& s, const std::string& key, const ProjectPreset& p) {
  s.SetString(key, "Name", p.name.substr(0, kPresetNameMax));
  s.SetDword(key, "Width", static_cast<uint32_t>(p.width));
  s.SetDword(key, "Height", static_cast<uint32_t>(p.height));
  uint32_t bits = 0;
  std::memcpy(&bits, &p.aspect, sizeof bits);
  s.SetBinary(key, "Aspect", Le32Encode(bits));
  s.SetDword(key, "Detail", static_cast<uint32_t>(p.detail));
  s.SetDword(key, "Timebase", static_cast<uint32_t>(p.timebase));
  s.SetDword(key, "Timesnap", static_cast<uint32_t>(p.timesnap));
  s.SetDword(key, "Sampling", static_cast<uint32_t>(p.sampling));
  s.SetDword(key, "Channels", static_cast<uint32_t>(p.channels));
  s.SetDword(key, "BPS", static_cast<uint32_t>(p.bps));
  s.SetBinary(key, "InitTC", Le32Encode(static_cast<uint32_t>(p.init_tc)));
}

std::string PresetKey(int i) {
  return Key(Numbered("ProjectPresets\\Preset%0.2d", i));
}

void LoadProjectPresets(const IniStore& s, Settings& st) {
  ProjectPreset defaults = st.new_project;
  if (LoadPreset(s, Key("ProjectPresets\\Default"), defaults)) st.new_project = defaults;
  std::vector<ProjectPreset> list;
  for (int i = 0; i < kProjectPresetsMax; ++i) {
    ProjectPreset p;
    if (LoadPreset(s, PresetKey(i), p)) list.push_back(std::move(p));
  }
  st.project_presets = std::move(list);
}

void SaveProjectPresets(IniStore& s, const Settings& st) {
  SavePreset(s, Key("ProjectPresets\\Default"), st.new_project);
  const int n = std::min<int>(static_cast<int>(st.project_presets.size()), kProjectPresetsMax);
  for (int i = 0; i < n; ++i) SavePreset(s, PresetKey(i), st.project_presets[i]);
  for (int i = n; i < kProjectPresetsMax; ++i) {
    if (!s.Find(PresetKey(i), "Name")) continue;
    for (const char* value : kPresetValues) s.Delete(PresetKey(i), value);
  }
}

void LoadStartupDialog(const IniStore& s, Settings& st) {
  const std::string key = Key("StartupDialogOptions");
  ReadFlag(s, key, "Show", st.startup_show);
  ReadInt(s, key, "LastAction", 1, 5, st.startup_last_action);
}

void LoadSafeFrame(const IniStore& s, Settings& st) {
  auto f = ReadRecord<SafeFrame>(s, Key("WorkWindowOptions"), "SafeFrame", kSafeFrameSize,
                                 [](auto b) { return SafeFrameDecode(b); });
  if (f) st.safe_frame = *f;
}

}  // namespace

Settings& SettingsCurrent() {
  return g_settings;
}

Settings SettingsDefaults(const SettingsMachine& machine) {
  Settings st;
  st.machine = machine;
  st.bindings = BuiltinBindings();
  st.accelerators = AcceleratorsBuild(st.bindings);
  st.temp_dir = (machine.home_dir / "Temp").string();
  st.presets_file = (machine.home_dir / "Presets.zp").string();
  st.colors = DefaultColors();
  st.fonts = DefaultFonts();
  st.render_threads = std::clamp(machine.processors, 1, kRenderThreadsMax);
  st.memory_reserved = 16 * kMiB;
  const uint64_t usable =
      machine.physical_memory > 16 * kMiB ? machine.physical_memory - 16 * kMiB : 0;
  st.memory_proxy = usable / 2;
  st.memory_preview = usable / 2;
  return st;
}

void SettingsReset(const SettingsMachine& machine) {
  g_settings = SettingsDefaults(machine);
}

void SettingsSetStorePath(const std::filesystem::path& path) {
  std::lock_guard lock(g_store_mutex);
  g_store_path = path;
  g_store.Clear();
  g_file_unreadable = g_file_unusable = g_problem_told = false;
}

void SettingsSetReadOnly(bool read_only) {
  std::lock_guard lock(g_store_mutex);
  g_read_only = read_only;
}

std::filesystem::path SettingsStorePath() {
  std::lock_guard lock(g_store_mutex);
  return StorePathLocked();
}

int SettingsLoad(uint32_t mask) {
  std::lock_guard lock(g_store_mutex);
  platform::DebugLog("INI_LoadFile");
  if (LoadStoreLocked(g_store) != platform::IniLoadStatus::kLoaded)
    platform::DebugLog("Settings: no readable store, defaults kept");
  const IniStore& s = g_store;
  Settings& st = g_settings;
  if (mask & kSettingsKeyboard) LoadKeyboard(s, st);
  if ((mask & kSettingsPaths) && !LoadPaths(s, st)) {
    platform::Ui().ErrorBox("Could not set temp directory. Exiting.");
    return kSettingsNoTempDir;
  }
  if (mask & kSettingsOptions) LoadOptions(s, st);
  if (mask & kSettingsCurrentFiles) {
    LoadRecent(s, Key("CurrentFiles"), "File%d", st.recent_projects);
    LoadRecent(s, Key("CurrentFiles"), "CBFile%d", st.recent_clipboards);
  }
  if (mask & kSettingsColors) LoadColors(s, st);
  if (mask & kSettingsFonts) LoadFonts(s, st);
  if (mask & kSettingsChooseClip) {
    LoadPlacement(s, Key("ChooseClipOptions"), st.choose_clip_pos);
    uint32_t expanded = 0;
    if (ReadBytes4(s, Key("ChooseClipOptions"), "Expanded", expanded))
      st.choose_clip_expanded = expanded != 0 ? 1 : 0;
  }
  if (mask & kSettingsRendering) LoadRendering(s, st);
  if (mask & kSettingsRenderProgress)
    LoadPlacement(s, Key("RenderInProgressOptions"), st.render_progress_pos);
  if (mask & kSettingsCreateText) {
    uint32_t own = 0;
    if (ReadBytes4(s, Key("CreateTextOptions"), "Ownshape", own))
      st.create_text_ownshape = own != 0 ? 1 : 0;
  }
  if (mask & kSettingsProjectPresets) LoadProjectPresets(s, st);
  if (mask & kSettingsStartupDialog) LoadStartupDialog(s, st);
  if (mask != 0) LoadSafeFrame(s, st);
  return 1;
}

int SettingsSave(uint32_t mask) {
  std::lock_guard lock(g_store_mutex);
  if (g_read_only) return 0;
  RefreshLocked();
  IniStore& s = g_store;
  const Settings& st = g_settings;
  if (mask & kSettingsKeyboard) SaveKeyboard(s, st);
  if (mask & kSettingsPaths) SavePaths(s, st);
  if (mask & kSettingsOptions) SaveOptions(s, st);
  if (mask & kSettingsCurrentFiles) {
    SaveRecent(s, Key("CurrentFiles"), "File%d", st.recent_projects);
    SaveRecent(s, Key("CurrentFiles"), "CBFile%d", st.recent_clipboards);
  }
  if (mask & kSettingsColors)
    for (const ColorEntry& e : st.colors) s.SetBinary(Key("Colors"), e.name, ColorEncode(e));
  if (mask & kSettingsFonts)
    for (const FontEntry& e : st.fonts) s.SetBinary(Key("Fonts"), e.name, FontEncode(e));
  if (mask & kSettingsChooseClip) {
    SavePlacement(s, Key("ChooseClipOptions"), st.choose_clip_pos);
    s.SetBinary(Key("ChooseClipOptions"), "Expanded",
                Le32Encode(static_cast<uint32_t>(st.choose_clip_expanded)));
  }
  if (mask & kSettingsRendering) SaveRendering(s, st);
  if (mask & kSettingsRenderProgress)
    SavePlacement(s, Key("RenderInProgressOptions"), st.render_progress_pos);
  if (mask & kSettingsCreateText)
    s.SetBinary(Key("CreateTextOptions"), "Ownshape",
                Le32Encode(static_cast<uint32_t>(st.create_text_ownshape)));
  if (mask & kSettingsProjectPresets) SaveProjectPresets(s, st);
  if (mask & kSettingsStartupDialog) {
    s.SetDword(Key("StartupDialogOptions"), "Show", static_cast<uint32_t>(st.startup_show));
    s.SetDword(Key("StartupDialogOptions"), "LastAction",
               static_cast<uint32_t>(st.startup_last_action));
  }
  s.SetBinary(Key("WorkWindowOptions"), "SafeFrame", SafeFrameEncode(st.safe_frame));
  if (SaveLocked()) return 1;
  platform::DebugLog("Settings: could not write the store");
  return 0;
}

int SettingsRead(std::string_view section, std::string_view name, std::string& text) {
  std::lock_guard lock(g_store_mutex);
  auto v = g_store.GetString(Key(section), name);
  if (!v) return 0;
  text = std::move(*v);
  return 1;
}

int SettingsRead(std::string_view section, std::string_view name, uint32_t& value) {
  std::lock_guard lock(g_store_mutex);
  auto v = g_store.GetDword(Key(section), name);
  if (!v) return 0;
  value = *v;
  return 1;
}

int SettingsRead(std::string_view section, std::string_view name, std::span<uint8_t> data) {
  std::lock_guard lock(g_store_mutex);
  return g_store.GetBinary(Key(section), name, data) ? 1 : 0;
}

int SettingsWrite(std::string_view section, std::string_view name, std::string_view text) {
  std::lock_guard lock(g_store_mutex);
  RefreshLocked();
  return g_store.SetString(Key(section), name, text) && SaveLocked() ? 1 : 0;
}

int SettingsWrite(std::string_view section, std::string_view name, uint32_t value) {
  std::lock_guard lock(g_store_mutex);
  RefreshLocked();
  return g_store.SetDword(Key(section), name, value) && SaveLocked() ? 1 : 0;
}

int SettingsWrite(std::string_view section, std::string_view name, std::span<const uint8_t> data) {
  std::lock_guard lock(g_store_mutex);
  RefreshLocked();
  return g_store.SetBinary(Key(section), name, data) && SaveLocked() ? 1 : 0;
}

int SettingsDelete(std::string_view section, std::string_view name) {
  std::lock_guard lock(g_store_mutex);
  RefreshLocked();
  return g_store.Delete(Key(section), name) && SaveLocked() ? 1 : 0;
}

}  // namespace lumetra::app
