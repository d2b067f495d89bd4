// Speed of reading and writing the settings file: start-up loads it, Exit saves it.
#include <benchmark/benchmark.h>

#include <filesystem>
#include <string>

#include "app/settings.h"
#include "platform/ini_store.h"

using namespace lumetra;

namespace {

std::string SettingsText() {
  app::SettingsReset({"/opt/lumetra", "/tmp", 8, uint64_t{16} << 30});
  const auto path = std::filesystem::temp_directory_path() / "bench_settings_store.ini";
  app::SettingsSetStorePath(path);
  app::SettingsCurrent().temp_dir = std::filesystem::temp_directory_path().string();
  for (int i = 0; i < 64; ++i) app::SettingsCurrent().project_presets.push_back({"Preset"});
  app::SettingsSave(app::kSettingsMaskStartup);
  platform::IniStore store;
  store.Load(path);
  return store.Serialize();
}

}  // namespace

static void BM_IniParseFullSettings(benchmark::State& state) {
  const std::string text = SettingsText();
  for (auto _ : state) {
    platform::IniStore store;
    store.Parse(text);
    benchmark::DoNotOptimize(store);
  }
  state.SetBytesProcessed(static_cast<int64_t>(state.iterations() * text.size()));
}
BENCHMARK(BM_IniParseFullSettings);

static void BM_SettingsLoadAll(benchmark::State& state) {
  SettingsText();
  for (auto _ : state) benchmark::DoNotOptimize(app::SettingsLoad(app::kSettingsMaskStartup));
}
BENCHMARK(BM_SettingsLoadAll);

static void BM_SettingsSaveExit(benchmark::State& state) {
  SettingsText();
  for (auto _ : state) benchmark::DoNotOptimize(app::SettingsSave(app::kSettingsMaskExit));
  std::filesystem::remove(app::SettingsStorePath());
}
BENCHMARK(BM_SettingsSaveExit);
