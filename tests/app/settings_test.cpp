#include "app/settings.h"

#include <gtest/gtest.h>
#include <stdlib.h>
#include <sys/stat.h>

#include <cstring>
#include <filesystem>
#include <fstream>
#include <functional>
#include <limits>

#include "platform/ini_store.h"
#include "platform/memory_log.h"
#include "platform/ui_host.h"

using namespace lumetra::app;
using lumetra::platform::IniStore;
namespace fs = std::filesystem;

namespace {

constexpr uint64_t kPhys = uint64_t{8} << 30;  // 8 GiB: the picture budget passes 32 bits

std::string K(std::string_view sub) {
  return "Software\\Telvane\\Fluxtar\\" + std::string(sub);
}

class SettingsTest : public ::testing::Test {
 protected:
  void SetUp() override {
    std::string tmpl = (fs::temp_directory_path() / "settings_test.XXXXXX").string();
    dir_ = ::mkdtemp(tmpl.data());
    fs::create_directories(dir_ / "home" / "Temp");
    machine_ = {dir_ / "home", dir_ / "systemp", 6, kPhys};
    file_ = dir_ / "config" / "lumetra" / "settings.ini";
    SettingsSetStorePath(file_);
    SettingsReset(machine_);
  }
  void TearDown() override {
    SettingsSetStorePath({});
    SettingsReset({});
    std::error_code ec;
    fs::permissions(dir_ / "home", fs::perms::owner_all, ec);
    fs::remove_all(dir_, ec);
  }
  // Loads a store built in code into a fresh default record.
  void LoadFrom(const IniStore& store, uint32_t mask = kSettingsMaskStartup) {
    ASSERT_TRUE(store.Save(file_));
    SettingsReset(machine_);
    ASSERT_EQ(SettingsLoad(mask), 1);
  }
  // A record with every value away from its default.
  Settings Changed() {
    Settings st = SettingsDefaults(machine_);
    st.bindings[0] = {true, true, true, 0x74};
    st.bindings[4] = {false, true, false, 'M'};
    st.bindings[5] = {};  // cleared binding
    st.accelerators = AcceleratorsBuild(st.bindings);
    fs::create_directories(dir_ / "elsewhere");
    st.temp_dir = (dir_ / "elsewhere").string();
    st.presets_file = "C:\\old\\Presets.zp";  // backslash paths are kept as stored
    st.ztp_bak = 0;
    st.undo_levels = 25;
    st.undo_levels_in_ram = 7;
    st.optimize_geo_import = 0;
    st.storyboard_auto_size = 0;
    st.recent_projects = {"/p/a.ZTP", "/p/b c.ZTP", "/p/\"q\".ZTP"};
    st.recent_clipboards = {"/p/x.ZTB"};
    st.colors[0].color = 0x123456;
    st.colors[10].line_style = 3;
    st.fonts[2].face = "DejaVu Serif";
    st.fonts[2].italic = 1;
    st.fonts[5].height = -20;
    st.choose_clip_pos = WindowPlacement{44, 0, 3, -1, -1, -1, -1, 10, 20, 300, 400};
    st.choose_clip_expanded = 1;
    st.render_threads = 3;
    st.memory_reserved = 64 * kMiB;
    st.memory_proxy = uint64_t{5} << 30;
    st.memory_preview = 100 * kMiB;
    st.render_progress_pos = WindowPlacement{44, 2, 1, 0, 0, 5, 5, 0, 0, 640, 480};
    st.create_text_ownshape = 1;
    st.new_project = {"Default", 1920, 1080, 1.0f, 50, 30, 60, 48000, 2, 2, 30 * 3600};
    st.project_presets = {{"PAL", 720, 576, 1.0667f, 45, 25, 50, 44100, 2, 2, 0},
                          {"Film", 2048, 1080, 1.0f, 100, 24, 24, 48000, 2, 3, 0}};
    st.startup_show = 0;
    st.startup_last_action = 4;
    st.safe_frame = {5, 6, 7, 8};
    return st;
  }

  fs::path dir_;
  fs::path file_;
  SettingsMachine machine_;
};

}  // namespace

TEST_F(SettingsTest, SavedDefaultsLoadAsTheDefaults) {
  // First run: empty store, every default; exit writes the sections back.
  ASSERT_EQ(SettingsLoad(kSettingsMaskStartup), 1);
  EXPECT_EQ(SettingsCurrent(), SettingsDefaults(machine_));
  ASSERT_EQ(SettingsSave(kSettingsMaskStartup), 1);
  // Second run.
  SettingsReset(machine_);
  SettingsCurrent().undo_levels = 99;  // must be replaced by the stored default
  ASSERT_EQ(SettingsLoad(kSettingsMaskStartup), 1);
  const Settings& st = SettingsCurrent();
  EXPECT_EQ(st, SettingsDefaults(machine_));

  // The defaults as listed for each section.
  EXPECT_EQ(st.temp_dir, (dir_ / "home" / "Temp").string());
  EXPECT_EQ(st.presets_file, (dir_ / "home" / "Presets.zp").string());
  EXPECT_EQ(st.ztp_bak, 1);
  EXPECT_EQ(st.undo_levels, 10);
  EXPECT_EQ(st.undo_levels_in_ram, 2);
  EXPECT_EQ(st.optimize_geo_import, 1);
  EXPECT_EQ(st.storyboard_auto_size, 1);
  EXPECT_EQ(st.choose_clip_expanded, 0);
  EXPECT_EQ(st.render_threads, 6);
  EXPECT_EQ(st.memory_reserved, 16 * kMiB);
  EXPECT_EQ(st.memory_proxy, (kPhys - 16 * kMiB) / 2);
  EXPECT_EQ(st.memory_preview, st.memory_proxy);
  EXPECT_EQ(st.create_text_ownshape, 0);
  EXPECT_EQ(st.startup_show, 1);
  EXPECT_EQ(st.startup_last_action, 1);
  EXPECT_EQ(st.new_project,
            (ProjectPreset{"Default", 720, 576, 1.0667f, 45, 25, 25, 22050, 1, 2, 0}));
  EXPECT_EQ(st.colors[0].name, "Storyboard Background");
  EXPECT_EQ(st.colors[1].name, "Track Name in Storyboard");
  EXPECT_EQ(std::string(BindableCommands()[0].name), "New Project");
  EXPECT_EQ(KeyBindingFormat(st.bindings[0]), "Ctrl+N");

  // What the file holds, by name and type.
  IniStore file;
  ASSERT_TRUE(file.Load(file_));
  EXPECT_EQ(file.GetDword(K("Options"), "UndoLevels"), 10u);
  EXPECT_EQ(file.GetDword(K("Options"), "ZTP.BAK"), 1u);
  EXPECT_EQ(file.GetString(K("Keyboard"), "New Project"), "Ctrl+N");
  EXPECT_EQ(file.GetDword(K("StartupDialogOptions"), "LastAction"), 1u);
  EXPECT_EQ(file.GetDword(K("ProjectPresets\\Default"), "Timebase"), 25u);
  EXPECT_TRUE(file.Find(K("Colors"), "Storyboard Background"));
  EXPECT_TRUE(file.Find(K("WorkWindowOptions"), "SafeFrame"));
}

TEST_F(SettingsTest, EveryValueRoundTrips) {
  const Settings changed = Changed();
  SettingsCurrent() = changed;
  ASSERT_EQ(SettingsSave(kSettingsMaskStartup), 1);
  const std::string first = IniStore().Load(file_) ? "" : "unreadable";
  EXPECT_EQ(first, "");
  SettingsReset(machine_);
  ASSERT_EQ(SettingsLoad(kSettingsMaskStartup), 1);
  EXPECT_EQ(SettingsCurrent(), changed);
  // Write, read, write again: the same file.
  IniStore a;
  ASSERT_TRUE(a.Load(file_));
  ASSERT_EQ(SettingsSave(kSettingsMaskStartup), 1);
  IniStore b;
  ASSERT_TRUE(b.Load(file_));
  EXPECT_EQ(a.Serialize(), b.Serialize());
}

TEST_F(SettingsTest, MasksLoadAndSaveOnlyTheirSections) {
  SettingsCurrent() = Changed();
  ASSERT_EQ(SettingsSave(kSettingsMaskRecent), 1);  // project Load / Save
  SettingsReset(machine_);
  ASSERT_EQ(SettingsLoad(kSettingsMaskStartup), 1);
  const Settings& st = SettingsCurrent();
  EXPECT_EQ(st.recent_projects, Changed().recent_projects);
  EXPECT_EQ(st.undo_levels, 10);                   // Options were not saved
  EXPECT_EQ(st.safe_frame, Changed().safe_frame);  // written with every save

  SettingsCurrent() = Changed();
  ASSERT_EQ(SettingsSave(kSettingsMaskStartup), 1);
  SettingsReset(machine_);
  ASSERT_EQ(SettingsLoad(kSettingsOptions), 1);
  EXPECT_EQ(SettingsCurrent().undo_levels, 25);
  EXPECT_EQ(SettingsCurrent().render_threads, 6);  // Rendering not in the mask
}

TEST_F(SettingsTest, DamagedValuesKeepTheirDefaults) {
  struct Case {
    const char* what;
    std::function<void(IniStore&)> damage;
    std::function<void(const Settings&)> check;
  };
  const auto bytes = [](std::size_t n, uint8_t fill = 0) { return std::vector<uint8_t>(n, fill); };
  const Settings d = SettingsDefaults(machine_);
  const Case cases[] = {
      {"integer stored as text", [](IniStore& s) { s.SetString(K("Options"), "UndoLevels", "20"); },
       [&](const Settings& st) { EXPECT_EQ(st.undo_levels, 10); }},
      {"integer stored as binary",
       [&](IniStore& s) { s.SetBinary(K("Options"), "UndoLevels", bytes(4, 1)); },
       [&](const Settings& st) { EXPECT_EQ(st.undo_levels, 10); }},
      {"zero undo steps", [](IniStore& s) { s.SetDword(K("Options"), "UndoLevels", 0); },
       [&](const Settings& st) { EXPECT_EQ(st.undo_levels, 10); }},
      {"negative undo steps",
       [](IniStore& s) { s.SetDword(K("Options"), "UndoLevels", 0xFFFFFFFF); },
       [&](const Settings& st) { EXPECT_EQ(st.undo_levels, 10); }},
      {"more steps in memory than kept",
       [](IniStore& s) {
         s.SetDword(K("Options"), "UndoLevels", 5);
         s.SetDword(K("Options"), "UndoLevelsInRAM", 6);
       },
       [&](const Settings& st) {
         EXPECT_EQ(st.undo_levels, 5);
         EXPECT_EQ(st.undo_levels_in_ram, 5);
       }},
      {"render threads above 32",
       [](IniStore& s) { s.SetDword(K("Rendering"), "RenderThreads", 1000); },
       [&](const Settings& st) { EXPECT_EQ(st.render_threads, 32); }},
      {"render threads negative",
       [](IniStore& s) { s.SetDword(K("Rendering"), "RenderThreads", 0x80000000u); },
       [&](const Settings& st) { EXPECT_EQ(st.render_threads, 1); }},
      {"memory above physical memory; old dword form",
       [](IniStore& s) {
         s.SetQword(K("Rendering"), "MemoryProxy", ~uint64_t{0});
         s.SetDword(K("Rendering"), "MemoryPreview", 12345);
         s.SetString(K("Rendering"), "MemoryReserved", "lots");
       },
       [&](const Settings& st) {
         EXPECT_EQ(st.memory_proxy, kPhys);
         EXPECT_EQ(st.memory_preview, 12345u);
         EXPECT_EQ(st.memory_reserved, 16 * kMiB);
       }},
      {"colour record one byte short, too long, bad style, name without NUL",
       [&](IniStore& s) {
         s.SetBinary(K("Colors"), "Storyboard Background", bytes(51));
         s.SetBinary(K("Colors"), "Track Name in Storyboard", bytes(1 << 16, 0xFF));
         ColorEntry bad = d.colors[2];
         bad.line_style = 9;
         s.SetBinary(K("Colors"), bad.name, ColorEncode(bad));
         auto unterminated = ColorEncode(d.colors[3]);
         std::memset(unterminated.data(), 'A', 40);
         s.SetBinary(K("Colors"), d.colors[3].name, unterminated);
       },
       [&](const Settings& st) { EXPECT_EQ(st.colors, d.colors); }},
      {"font without face or with bold beyond 1000",
       [&](IniStore& s) {
         FontEntry f = d.fonts[0];
         f.face = "";
         s.SetBinary(K("Fonts"), f.name, FontEncode(f));
         f = d.fonts[1];
         f.weight = 5000;
         s.SetBinary(K("Fonts"), f.name, FontEncode(f));
       },
       [&](const Settings& st) { EXPECT_EQ(st.fonts, d.fonts); }},
      {"window placement with a wrong length field or size",
       [&](IniStore& s) {
         WindowPlacement p;
         p.length = 40;
         s.SetBinary(K("ChooseClipOptions"), "WindowPos", PlacementEncode(p));
         s.SetBinary(K("RenderInProgressOptions"), "WindowPos", bytes(48));
         s.SetBinary(K("ChooseClipOptions"), "Expanded", bytes(8, 1));
       },
       [&](const Settings& st) {
         EXPECT_FALSE(st.choose_clip_pos);
         EXPECT_FALSE(st.render_progress_pos);
         EXPECT_EQ(st.choose_clip_expanded, 0);
       }},
      {"last action out of 1..5",
       [](IniStore& s) { s.SetDword(K("StartupDialogOptions"), "LastAction", 6); },
       [&](const Settings& st) { EXPECT_EQ(st.startup_last_action, 1); }},
      {"temporary directory path longer than any path",
       [](IniStore& s) { s.SetString(K("Paths"), "TempDir", std::string(5000, 'x')); },
       [&](const Settings& st) { EXPECT_EQ(st.temp_dir, d.temp_dir); }},
      {"path with a NUL",
       [](IniStore& s) { s.SetString(K("Paths"), "PresetsFile", std::string("/a\0b", 4)); },
       [&](const Settings& st) { EXPECT_EQ(st.presets_file, d.presets_file); }},
      {"unknown key name and a binding as a number",
       [](IniStore& s) {
         s.SetString(K("Keyboard"), "New Project", "Ctrl+Nope");
         s.SetDword(K("Keyboard"), "Undo", 5);
         s.SetString(K("Keyboard"), "Redo", "shift+ctrl+F12");
       },
       [&](const Settings& st) {
         EXPECT_EQ(st.bindings[0], d.bindings[0]);
         EXPECT_EQ(st.bindings[5], d.bindings[5]);
         EXPECT_EQ(KeyBindingFormat(st.bindings[6]), "Shift+Ctrl+F12");
       }},
      {"preset values out of range",
       [&](IniStore& s) {
         const std::string key = K("ProjectPresets\\Default");
         s.SetString(key, "Name", "Default");
         s.SetDword(key, "Width", 4097);
         s.SetDword(key, "Height", 0);
         const float nan = std::numeric_limits<float>::quiet_NaN();
         uint32_t bits;
         std::memcpy(&bits, &nan, 4);
         s.SetBinary(key, "Aspect", Le32Encode(bits));
         s.SetDword(key, "Detail", 101);
         s.SetDword(key, "Timebase", 30);
         s.SetDword(key, "Timesnap", 25);  // not a multiple of 30
         s.SetDword(key, "BPS", 5);
         s.SetBinary(key, "InitTC", Le32Encode(0xFFFFFFFF));
         s.SetDword(key, "Channels", 2);
       },
       [&](const Settings& st) {
         EXPECT_EQ(st.new_project,
                   (ProjectPreset{"Default", 720, 576, 1.0667f, 45, 30, 30, 22050, 2, 2, 0}));
       }},
      {"presets without a name are absent; a too long name too",
       [](IniStore& s) {
         s.SetDword(K("ProjectPresets\\Preset00"), "Width", 640);
         s.SetString(K("ProjectPresets\\Preset01"), "Name", std::string(128, 'n'));
         s.SetString(K("ProjectPresets\\Preset05"), "Name", "Five");
         s.SetString(K("ProjectPresets\\Preset64"), "Name", "Beyond");
       },
       [&](const Settings& st) {
         ASSERT_EQ(st.project_presets.size(), 1u);
         EXPECT_EQ(st.project_presets[0].name, "Five");
         EXPECT_EQ(st.new_project, d.new_project);
       }},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    IniStore store;
    store.SetDword(K("Options"), "OptimizeGeoImport", 0);  // an untouched good value
    c.damage(store);
    LoadFrom(store);
    c.check(SettingsCurrent());
    EXPECT_EQ(SettingsCurrent().optimize_geo_import, 0);
  }
}

TEST_F(SettingsTest, DamagedFilesNeverLoseTheGoodValues) {
  SettingsCurrent() = Changed();
  ASSERT_EQ(SettingsSave(kSettingsMaskStartup), 1);
  std::string text;
  {
    std::ifstream in(file_, std::ios::binary);
    text.assign(std::istreambuf_iterator<char>(in), {});
  }
  const auto write = [&](std::string_view t) {
    std::ofstream(file_, std::ios::binary | std::ios::trunc)
        .write(t.data(), static_cast<std::streamsize>(t.size()));
  };

  // Cut at every byte: loading never fails, and a value is either stored or default.
  const Settings changed = Changed();
  const Settings d = SettingsDefaults(machine_);
  for (std::size_t cut = 0; cut <= text.size(); cut += 11) {
    write(std::string_view(text).substr(0, cut));
    SettingsReset(machine_);
    ASSERT_EQ(SettingsLoad(kSettingsMaskStartup), 1);
    const Settings& st = SettingsCurrent();
    EXPECT_TRUE(st.undo_levels == d.undo_levels || st.undo_levels == changed.undo_levels);
    EXPECT_TRUE(st.memory_proxy == d.memory_proxy || st.memory_proxy == changed.memory_proxy);
    EXPECT_TRUE(st.new_project.timebase == 25 || st.new_project.timebase == 30);
    EXPECT_TRUE(st.recent_projects.size() <= 3);
  }

  // Garbage lines and a garbage header between good sections.
  std::string garbled = text;
  garbled.insert(0, "\x7f\x45LF binary junk\n[[[\n\"x\"=hex:zz\n");
  garbled.insert(garbled.find("[Software\\Telvane\\Fluxtar\\Options]"),
                 "[Software\\Telvane\\Fluxtar\\Broken\n\"UndoLevels\"=dword:00000063\n");
  garbled +=
      "\n\"Orphan\"=\"x\"\nno equals sign here\n\"Big\"=hex:" + std::string(300000, '0') + "\n";
  write(garbled);
  SettingsReset(machine_);
  ASSERT_EQ(SettingsLoad(kSettingsMaskStartup), 1);
  EXPECT_EQ(SettingsCurrent(), changed);

  // Binary zeros throughout, and a file far too large: defaults.
  write(std::string(4096, '\0'));
  SettingsReset(machine_);
  ASSERT_EQ(SettingsLoad(kSettingsMaskStartup), 1);
  EXPECT_EQ(SettingsCurrent(), d);
  write(std::string(lumetra::platform::kIniMaxFileBytes + 1, ';'));
  ASSERT_EQ(SettingsLoad(kSettingsMaskStartup), 1);
  EXPECT_EQ(SettingsCurrent(), d);
  // A save replaces the unreadable file with a good one.
  ASSERT_EQ(SettingsSave(kSettingsMaskStartup), 1);
  SettingsReset(machine_);
  ASSERT_EQ(SettingsLoad(kSettingsMaskStartup), 1);
  EXPECT_EQ(SettingsCurrent(), d);
}

TEST_F(SettingsTest, TemporaryDirectoryFallsBack) {
  auto host = std::make_unique<lumetra::platform::HeadlessUiHost>(false);
  auto old = lumetra::platform::SetUi(std::move(host));
  lumetra::platform::LogStart();

  // A stored directory that does not exist: the program directory's "Temp".
  IniStore store;
  store.SetString(K("Paths"), "TempDir", (dir_ / "gone").string());
  LoadFrom(store);
  EXPECT_EQ(SettingsCurrent().temp_dir, (dir_ / "home" / "Temp").string());

  // No "Temp" there: the system's temporary path.
  fs::remove_all(dir_ / "home" / "Temp");
  fs::create_directories(dir_ / "systemp");
  LoadFrom(store);
  EXPECT_EQ(SettingsCurrent().temp_dir, (dir_ / "systemp").string());

  // Neither: "Temp" is created.
  fs::remove_all(dir_ / "systemp");
  LoadFrom(store);
  EXPECT_EQ(SettingsCurrent().temp_dir, (dir_ / "home" / "Temp").string());
  EXPECT_TRUE(fs::is_directory(dir_ / "home" / "Temp"));

  // Nothing usable and nothing can be made: -3 with the message.
  ASSERT_TRUE(store.Save(file_));
  machine_.home_dir = dir_ / "not_a_dir";
  std::ofstream(machine_.home_dir) << "file";
  machine_.system_temp.clear();
  SettingsReset(machine_);
  EXPECT_EQ(SettingsLoad(kSettingsMaskStartup), kSettingsNoTempDir);
  EXPECT_NE(lumetra::platform::LogText().find("Could not set temp directory. Exiting."),
            std::string::npos);
  // Without "Paths" in the mask the directory is not looked at.
  EXPECT_EQ(SettingsLoad(kSettingsOptions), 1);
  lumetra::platform::SetUi(std::move(old));
}

TEST_F(SettingsTest, ReadOnlyTemporaryDirectoryFallsBack) {
  const fs::path ro = dir_ / "readonly";
  fs::create_directories(ro);
  fs::permissions(ro, fs::perms::owner_read | fs::perms::owner_exec);
  if (std::ofstream(ro / "probe")) GTEST_SKIP() << "permissions are not enforced (root)";
  IniStore store;
  store.SetString(K("Paths"), "TempDir", ro.string());
  LoadFrom(store);
  EXPECT_EQ(SettingsCurrent().temp_dir, (dir_ / "home" / "Temp").string());
  fs::permissions(ro, fs::perms::owner_all);
}

TEST_F(SettingsTest, RecentFilesAndPresetsAreRenumbered) {
  Settings& st = SettingsCurrent();
  st.recent_projects = {"/a", "/b", "/c"};
  st.project_presets = {{"One"}, {"Two"}, {"Three"}};
  ASSERT_EQ(SettingsSave(kSettingsMaskStartup), 1);
  st.recent_projects = {"/c"};
  st.project_presets.erase(st.project_presets.begin() + 1);
  ASSERT_EQ(SettingsSave(kSettingsMaskStartup), 1);

  IniStore file;
  ASSERT_TRUE(file.Load(file_));
  EXPECT_EQ(file.GetString(K("CurrentFiles"), "File0"), "/c");
  EXPECT_FALSE(file.Find(K("CurrentFiles"), "File1"));
  EXPECT_FALSE(file.Find(K("CurrentFiles"), "File2"));
  EXPECT_EQ(file.GetString(K("ProjectPresets\\Preset00"), "Name"), "One");
  EXPECT_EQ(file.GetString(K("ProjectPresets\\Preset01"), "Name"), "Three");
  EXPECT_FALSE(file.HasSection(K("ProjectPresets\\Preset02")));

  SettingsReset(machine_);
  ASSERT_EQ(SettingsLoad(kSettingsMaskStartup), 1);
  EXPECT_EQ(SettingsCurrent().recent_projects, std::vector<std::string>{"/c"});
  ASSERT_EQ(SettingsCurrent().project_presets.size(), 2u);
  EXPECT_EQ(SettingsCurrent().project_presets[1].name, "Three");
}

TEST_F(SettingsTest, SingleValues) {
  uint32_t n = 7;
  std::string text = "keep";
  std::array<uint8_t, 4> four = {9, 9, 9, 9};
  EXPECT_EQ(SettingsRead("", "Missing", n), 0);
  EXPECT_EQ(n, 7u);
  ASSERT_EQ(SettingsWrite("", "RootValue", 42u), 1);  // the root key
  ASSERT_EQ(SettingsWrite("Image Things", "Program", "blur.CF"), 1);
  const std::array<uint8_t, 4> data = {1, 2, 3, 4};
  ASSERT_EQ(SettingsWrite("Image Things", "Blob", data), 1);
  EXPECT_EQ(SettingsRead("", "RootValue", n), 1);
  EXPECT_EQ(n, 42u);
  EXPECT_EQ(SettingsRead("", "RootValue", text), 0);  // wrong type
  EXPECT_EQ(text, "keep");
  std::array<uint8_t, 3> three = {};
  EXPECT_EQ(SettingsRead("Image Things", "Blob", three), 0);  // wrong size
  EXPECT_EQ(SettingsRead("Image Things", "Blob", four), 1);
  EXPECT_EQ(four, data);
  EXPECT_EQ(SettingsDelete("Image Things", "Blob"), 1);
  EXPECT_EQ(SettingsDelete("Image Things", "Blob"), 0);

  // Written at once: a later load sees them, and a settings save keeps them.
  ASSERT_EQ(SettingsSave(kSettingsMaskExit), 1);
  ASSERT_EQ(SettingsLoad(kSettingsMaskStartup), 1);
  EXPECT_EQ(SettingsRead("Image Things", "Program", text), 1);
  EXPECT_EQ(text, "blur.CF");
}

TEST(SettingsChecks, PreferencePages) {
  ProjectPreset p;
  EXPECT_EQ(SettingsCheckProject(p), "");
  p.width = 4097;
  EXPECT_EQ(SettingsCheckProject(p), "Horizontal frame size is invalid.");
  p = {};
  p.height = 0;
  EXPECT_EQ(SettingsCheckProject(p), "Vertical frame size is invalid.");
  p = {};
  p.aspect = 1000.5f;
  EXPECT_EQ(SettingsCheckProject(p), "Pixel aspect ratio is invalid.");
  p = {};
  p.detail = 0;
  EXPECT_EQ(SettingsCheckProject(p), "Work resolution is invalid.");
  p = {};
  p.timebase = 0;
  EXPECT_EQ(SettingsCheckProject(p), "Time Base is invalid.");
  EXPECT_EQ(SettingsCheckStillLength(0.0f), "Still length should be positive.");
  EXPECT_EQ(SettingsCheckStillLength(0.04f), "");
  EXPECT_EQ(SettingsCheckUndo(0, 0), "Illegal Number of Undo Steps");
  EXPECT_EQ(SettingsCheckUndo(5, 6), "Undo Steps in RAM cannot be grater than total of Undo Steps");
  EXPECT_EQ(SettingsCheckUndo(5, -1), "Illegal Number of Undo Steps in RAM");
  EXPECT_EQ(SettingsCheckUndo(5, 5), "");
  EXPECT_EQ(SettingsCheckRenderThreads(33),
            "Render Threads quantity is invalid.\nValid range is [1..32]");
  EXPECT_EQ(SettingsCheckRenderThreads(32), "");
}

TEST(SettingsKeys, TextFormsAndConflicts) {
  struct Case {
    const char* text;
    bool ok;
    const char* canonical;
  };
  const Case cases[] = {
      {"Ctrl+N", true, "Ctrl+N"}, {"alt+ctrl+shift+f5", true, "Shift+Ctrl+Alt+F5"},
      {"Ctrl++", true, "Ctrl++"}, {"Ctrl+Num +", true, "Ctrl+Num +"},
      {"Del", true, "Del"},       {"", true, ""},
      {"Ctrl+", false, ""},       {"Hyper+X", false, ""},
      {"F25", false, ""},         {"Ctrl+NN", false, ""},
  };
  for (const Case& c : cases) {
    auto b = KeyBindingParse(c.text);
    ASSERT_EQ(b.has_value(), c.ok) << c.text;
    if (b) {
      EXPECT_EQ(KeyBindingFormat(*b), c.canonical);
    }
  }
  std::vector<KeyBinding> bindings = BuiltinBindings();
  EXPECT_EQ(KeyBindingCheck(bindings, 1, bindings[0]),
            "This hotkey is already used for 'New Project' action. Please choose another one.");
  EXPECT_EQ(KeyBindingCheck(bindings, 0, bindings[0]), "");
  bindings[1] = bindings[0];  // a stored duplicate: the key posts the first command only
  const auto table = AcceleratorsBuild(bindings);
  int hits = 0;
  for (const Accelerator& a : table) hits += a.key == 'N' && a.flags == Accelerator::kCtrl;
  EXPECT_EQ(hits, 1);
}

TEST(SettingsRecords, EncodedFieldByField) {
  const WindowPlacement p{44, 1, 3, -1, -2, 3, 4, 10, 20, 300, 400};
  const auto bytes = PlacementEncode(p);
  EXPECT_EQ(bytes[0], 44);
  EXPECT_EQ(bytes[12], 0xFF);  // min_x = -1, little-endian
  EXPECT_EQ(PlacementDecode(bytes), p);
  const ColorEntry c{"Clip", 2, 3, 0x00ABCDEF};
  const auto cb = ColorEncode(c);
  EXPECT_EQ(std::string(reinterpret_cast<const char*>(cb.data())), "Clip");
  EXPECT_EQ(cb[48], 0xEF);
  EXPECT_EQ(ColorDecode(cb, "Clip"), c);
  FontEntry f;
  f.name = "Storyboard";
  f.face = std::string(40, 'f');  // cut to 31 characters when stored
  const auto decoded = FontDecode(FontEncode(f), "Storyboard");
  ASSERT_TRUE(decoded);
  EXPECT_EQ(decoded->face, std::string(31, 'f'));
}

namespace {

std::string ReadAll(const fs::path& p) {
  std::ifstream in(p, std::ios::binary);
  return std::string(std::istreambuf_iterator<char>(in), {});
}

void WriteAll(const fs::path& p, const std::string& text) {
  fs::create_directories(p.parent_path());
  std::ofstream(p, std::ios::binary) << text;
}

std::vector<std::string> BadCopies(const fs::path& dir) {
  std::vector<std::string> out;
  for (const auto& e : fs::directory_iterator(dir))
    if (e.path().filename().string().starts_with("settings.ini.bad-"))
      out.push_back(e.path().string());
  return out;
}

// Captures what goes to stderr while it lives.
class StderrCapture {
 public:
  StderrCapture() { ::testing::internal::CaptureStderr(); }
  std::string Take() { return ::testing::internal::GetCapturedStderr(); }
};

TEST_F(SettingsTest, UnusableFilesAreToldOnceAndSetAsideBeforeANewOne) {
  struct Case {
    const char* why;
    std::string text;
  } cases[] = {
      {"unparseable", "this is\nnot settings\n"},
      {"binary", std::string("[S]\n\"A\"=dword:00000001\n\0\0\xff", 26)},
      {"too large", std::string(lumetra::platform::kIniMaxFileBytes + 1, 'x')},
  };
  for (const Case& c : cases) {
    SettingsSetStorePath(file_);  // forgets what the previous case told
    WriteAll(file_, c.text);
    SettingsReset(machine_);
    StderrCapture err;
    lumetra::platform::LogStart();
    ASSERT_EQ(SettingsLoad(kSettingsMaskStartup), 1) << c.why;
    EXPECT_EQ(SettingsCurrent(), SettingsDefaults(machine_)) << c.why;
    ASSERT_EQ(SettingsLoad(kSettingsMaskStartup), 1) << c.why;  // a second load tells nothing
    SettingsCurrent().undo_levels = 33;
    ASSERT_EQ(SettingsSave(kSettingsMaskStartup), 1) << c.why;
    ASSERT_EQ(SettingsSave(kSettingsMaskStartup), 1) << c.why;  // one copy aside, not two
    const std::string told = err.Take();
    const std::string first = "Settings file " + file_.string() + " is unusable";
    EXPECT_NE(told.find(first), std::string::npos) << c.why << told;
    EXPECT_EQ(told.find(first, told.find(first) + 1), std::string::npos) << c.why << told;
    EXPECT_NE(lumetra::platform::LogText().find(first), std::string::npos) << c.why;
    const std::vector<std::string> aside = BadCopies(file_.parent_path());
    ASSERT_EQ(aside.size(), 1u) << c.why;
    EXPECT_EQ(ReadAll(aside[0]), c.text) << c.why;  // the old file, byte for byte
    IniStore now;
    ASSERT_TRUE(now.Load(file_)) << c.why;
    EXPECT_EQ(now.GetDword(K("Options"), "UndoLevels"), 33u) << c.why;
    fs::remove(aside[0]);
  }
}

TEST_F(SettingsTest, AFileThatCannotBeReadIsNeverReplaced) {
  // A FIFO would block a plain open; a folder cannot be read as a file.
  for (const char* kind : {"fifo", "folder"}) {
    SettingsSetStorePath(file_);
    fs::create_directories(file_.parent_path());
    if (std::string(kind) == "fifo")
      ASSERT_EQ(::mkfifo(file_.c_str(), 0600), 0);
    else
      fs::create_directory(file_);
    StderrCapture err;
    ASSERT_EQ(SettingsLoad(kSettingsMaskStartup), 1) << kind;
    EXPECT_EQ(SettingsCurrent(), SettingsDefaults(machine_)) << kind;
    EXPECT_EQ(SettingsSave(kSettingsMaskStartup), 0) << kind;
    EXPECT_EQ(SettingsWrite("Options", "UndoLevels", uint32_t{5}), 0) << kind;
    EXPECT_NE(err.Take().find("cannot be read"), std::string::npos) << kind;
    EXPECT_EQ(fs::is_fifo(file_), std::string(kind) == "fifo") << kind;
    EXPECT_EQ(fs::is_directory(file_), std::string(kind) == "folder") << kind;
    EXPECT_TRUE(BadCopies(file_.parent_path()).empty()) << kind;
    fs::remove(file_);
  }
}

TEST_F(SettingsTest, CommentsUnknownLinesAndLinksSurviveSaves) {
  fs::create_directories(dir_ / "dotfiles");
  const fs::path real = dir_ / "dotfiles" / "lumetra.ini";
  WriteAll(real,
           "; my settings, kept in git\n[" + K("Options") +
               "]\n\"UndoLevels\"=dword:00000014\n\"FutureOption\"=float:2.5\n"
               "[Some\\Other\\Program]\n\"Mine\"=\"keep me\"\n");
  fs::create_directories(file_.parent_path());
  fs::create_symlink(real, file_);
  SettingsReset(machine_);
  ASSERT_EQ(SettingsLoad(kSettingsMaskStartup), 1);
  EXPECT_EQ(SettingsCurrent().undo_levels, 20);
  SettingsCurrent().undo_levels = 30;
  for (int i = 0; i < 2; ++i) ASSERT_EQ(SettingsSave(kSettingsMaskStartup), 1);
  EXPECT_TRUE(fs::is_symlink(file_));
  const std::string text = ReadAll(real);
  for (const char* kept : {"; my settings, kept in git\n", "\"FutureOption\"=float:2.5\n",
                           "\"Mine\"=\"keep me\"", "\"UndoLevels\"=dword:0000001e"})
    EXPECT_NE(text.find(kept), std::string::npos) << kept << "\n" << text;
  EXPECT_EQ(text.find("; my settings"), text.rfind("; my settings"));
}

TEST_F(SettingsTest, ReadOnlyReadsAndNeverWrites) {
  IniStore store;
  store.SetDword(K("Options"), "ZTP.BAK", 0);
  store.SetString(K("CurrentFiles"), "File0", "/p/a.ZTP");
  ASSERT_TRUE(store.Save(file_));
  const std::string before = ReadAll(file_);
  SettingsSetReadOnly(true);
  SettingsReset(machine_);
  ASSERT_EQ(SettingsLoad(kSettingsMaskStartup), 1);
  EXPECT_EQ(SettingsCurrent().ztp_bak, 0);
  SettingsCurrent().recent_projects.clear();
  EXPECT_EQ(SettingsSave(kSettingsMaskStartup), 0);
  EXPECT_EQ(SettingsWrite("Options", "ZTP.BAK", uint32_t{1}), 0);
  SettingsSetReadOnly(false);
  EXPECT_EQ(ReadAll(file_), before);
}

}  // namespace
