// Fakes of the project store, options and subsystem hooks, and a fixture that installs them
// with a headless host whose answers each test scripts.
#pragma once

#include <gtest/gtest.h>

#include <deque>
#include <filesystem>
#include <fstream>
#include <functional>
#include <map>
#include <optional>
#include <string>
#include <vector>

#include "app/app_hooks.h"
#include "app/app_state.h"
#include "app/main_window.h"
#include "app/options_store.h"
#include "app/project_store.h"
#include "model/change_flags.h"
#include "platform/ui_host.h"
#include "projectfile/project_file_io.h"
#include "projectfile/project_reader.h"
#include "temp_dir.h"

namespace lumetra::app::testing {

// Shared record of what the fakes were asked, in order.
struct Calls {
  std::vector<std::string> log;
  bool Has(const std::string& entry) const {
    for (const std::string& e : log)
      if (e == entry) return true;
    return false;
  }
};

class FakeStore final : public ProjectStore {
 public:
  explicit FakeStore(Calls* calls) : calls_(calls) {}
  LoadStatus load_status = LoadStatus::kLoaded;
  SaveStatus save_status = SaveStatus::kSaved;
  std::map<std::string, int> versions;  // path -> version; others -1
  bool initial_ok = true;

  bool CreateInitialProject() override { return Log("initial"), initial_ok; }
  bool BeginNewProject() override { return Log("begin new"), true; }
  void CommitNewProject() override { Log("commit new"); }
  void DiscardNewProject() override { Log("discard new"); }
  LoadResult Load(const std::string& path, uint32_t mask) override {
    Log("load " + path + " mask " + std::to_string(mask));
    return {load_status, load_status == LoadStatus::kLoaded ? "" : ReaderReason(path)};
  }
  LoadResult Merge(const std::string& path) override {
    Log("merge " + path);
    return {load_status, load_status == LoadStatus::kLoaded ? "" : ReaderReason(path)};
  }
  SaveResult Save(const std::string& path) override {
    Log("save " + path);
    return {save_status, save_status == SaveStatus::kSaved ? "" : "No space left on device"};
  }
  // A failed load's reason is the one the real reader gives for the file's bytes.
  static std::string ReaderReason(const std::string& path) {
    std::vector<uint8_t> bytes;
    std::string error;
    if (!project::ReadWholeFile(path, bytes, &error)) return error;
    return project::ReadProjectBytes(bytes, {}).error;
  }
  int ReadFileVersion(const std::string& path) override {
    auto it = versions.find(path);
    return it == versions.end() ? -1 : it->second;
  }
  void RemoveProjectPresets() override { Log("remove presets"); }
  void RecordUndoStep(std::string_view description) override {
    Log("undo " + std::string(description));
  }

 private:
  void Log(const std::string& s) { calls_->log.push_back(s); }
  Calls* calls_;
};

class FakeOptions final : public OptionsStore {
 public:
  explicit FakeOptions(Calls* calls) : calls_(calls) {}
  bool backup = true;
  int load_result = 1;
  int Load(uint32_t mask) override {
    calls_->log.push_back("options load " + std::to_string(mask));
    return load_result;
  }
  void Save(uint32_t mask) override {
    calls_->log.push_back("options save " + std::to_string(mask));
  }
  bool BackupOnSave() const override { return backup; }

 private:
  Calls* calls_;
};

class FakeHooks : public AppHooks {
 public:
  explicit FakeHooks(Calls* calls) : calls_(calls) {}
  int render_result = 0;
  std::function<void()> on_render;
  int undo_error = 0;
  RecoveryResult recovery = RecoveryResult::kNoneFound;

  void FillHostServices() override { Log("host services"); }
  bool CreateMainWindow(bool show) override {
    return Log(show ? "main window shown" : "main window hidden"), true;
  }
  bool DeclareSuperClip() override { return Log("superclip"), true; }
  std::string LoadLibrary(const std::string& path) override {
    Log("library " + path);
    return "Could not load " + path;
  }
  void LoadLibrariesUnder(const std::string&) override { Log("libraries under home"); }
  void LoadPresets() override { Log("presets"); }
  RecoveryResult OfferRecovery() override { return Log("offer recovery"), recovery; }
  int StartUndoStore() override { return Log("undo store"), undo_error; }
  void ShowStartupDialog() override { Log("startup dialog"); }
  void StartRenderThreads(int) override { Log("render threads"); }
  bool OpenClipboardWindow(const std::string& path) override {
    return Log("clipboard " + path), true;
  }
  void ReopenProjectWindows() override { Log("reopen windows"); }
  int Render(bool with_dialog, int mode) override {
    Log(std::string(with_dialog ? "render" : "render last") + " mode " + std::to_string(mode));
    if (on_render) on_render();
    return render_result;
  }
  void DeleteUndoSnapshots() override { Log("delete snapshots"); }

 private:
  void Log(const std::string& s) { calls_->log.push_back(s); }
  Calls* calls_;
};

class AppTest : public ::testing::Test {
 protected:
  void SetUp() override {
    dir_ = test_dir::MakeTempDir(
        "lumetra-app-test-" +
        std::string(::testing::UnitTest::GetInstance()->current_test_info()->name()));
    std::filesystem::create_directories(dir_ / "Temp");
    ResetState();
    ResetMainQueue();
    project::ClearChangeFlags();
    auto host = std::make_unique<platform::HeadlessUiHost>(false);
    host_ = host.get();
    host_->SetPolicy([this](std::string_view q, bool with_cancel) {
      questions_.emplace_back(q);
      if (answers_.empty()) return with_cancel ? platform::Answer::Cancel : platform::Answer::No;
      platform::Answer a = answers_.front();
      answers_.pop_front();
      return a;
    });
    host_->SetFilePolicy([this](const platform::FileDialogRequest& r) {
      dialogs_.push_back(r.title);
      return file_answer_;
    });
    host_->SetDialogPolicy([this](std::string_view, std::string_view) { return dialog_answer_; });
    previous_ui_ = platform::SetUi(std::move(host));
    auto store = std::make_unique<FakeStore>(&calls_);
    store_ = store.get();
    SetStore(std::move(store));
    auto options = std::make_unique<FakeOptions>(&calls_);
    options_ = options.get();
    SetOptions(std::move(options));
    auto hooks = std::make_unique<FakeHooks>(&calls_);
    hooks_ = hooks.get();
    SetHooks(std::move(hooks));
  }
  void TearDown() override {
    SetStore(nullptr);
    SetOptions(nullptr);
    SetHooks(nullptr);
    platform::SetUi(std::move(previous_ui_));
    project::ClearChangeFlags();
    std::filesystem::remove_all(dir_);
  }
  std::string MakeFile(const std::string& name, const std::string& content = "ZTP") {
    std::string path = (dir_ / name).string();
    std::ofstream(path) << content;
    return path;
  }
  std::string ProgramPath() const { return (dir_ / "lumetra").string(); }

  std::filesystem::path dir_;
  Calls calls_;
  platform::HeadlessUiHost* host_ = nullptr;
  FakeStore* store_ = nullptr;
  FakeOptions* options_ = nullptr;
  FakeHooks* hooks_ = nullptr;
  std::deque<platform::Answer> answers_;
  std::vector<std::string> questions_;
  std::vector<std::string> dialogs_;
  std::optional<std::string> file_answer_;
  platform::Answer dialog_answer_ = platform::Answer::Ok;
  std::unique_ptr<platform::UiHost> previous_ui_;
};

}  // namespace lumetra::app::testing
