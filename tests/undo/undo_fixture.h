// A fixture for the undo tests: a private temporary directory, a current project that each
// edit changes visibly, a host and a user interface that record what they were told.
#pragma once

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <set>
#include <string>
#include <vector>

#include "model/project.h"
#include "model/track.h"
#include "platform/ui_host.h"
#include "projectfile/project_file_io.h"
#include "undo/undo_store.h"
#include "temp_dir.h"

namespace lumetra::undo::testing {

// Texts shown to the user, by kind.
struct Shown {
  std::vector<std::string> errors, infos, statuses;
};

class RecordingUi final : public platform::UiHost {
 public:
  explicit RecordingUi(Shown* shown) : shown_(shown) {}
  void ErrorBox(std::string_view t) override { shown_->errors.emplace_back(t); }
  void InfoBox(std::string_view t) override { shown_->infos.emplace_back(t); }
  platform::Answer AskYesNo(std::string_view) override { return platform::Answer::No; }
  platform::Answer AskYesNoCancel(std::string_view) override { return platform::Answer::Cancel; }
  void SetStatus(std::string_view t) override { shown_->statuses.emplace_back(t); }
  std::optional<std::string> FileDialog(const platform::FileDialogRequest&) override {
    return std::nullopt;
  }
  platform::Answer RunDialog(std::string_view, std::string_view) override {
    return platform::Answer::Cancel;
  }

 private:
  Shown* shown_;
};

// What the host was told, shared with the test after the store owns the host.
struct HostRecord {
  std::string path;
  std::string title;
  std::vector<std::string> labels;  // of the last recovery list
  std::optional<std::size_t> choice = 0;
  bool undo = false, redo = false;
  int installs = 0;
};

class RecordingHost final : public UndoHost {
 public:
  explicit RecordingHost(HostRecord* r) : r_(r) {}
  std::string ProjectPath() override { return r_->path; }
  void SetProjectPath(const std::string& path) override { r_->path = path; }
  void InstallProject(project::Project* p) override {
    ++r_->installs;
    project::ProjectMakeCurrent(p);
  }
  void SetAvailability(bool undo, bool redo) override {
    r_->undo = undo;
    r_->redo = redo;
  }
  void SetTitle(const std::string& title) override { r_->title = title; }
  std::optional<std::size_t> ChooseRecovery(const std::vector<std::string>& labels) override {
    r_->labels = labels;
    return r_->choice;
  }

 private:
  HostRecord* r_;
};

class UndoTest : public ::testing::Test {
 protected:
  void SetUp() override {
    dir_ = test_dir::MakeTempDir(
        "lumetra-undo-test-" +
        std::string(::testing::UnitTest::GetInstance()->current_test_info()->name()));
    previous_ui_ = platform::SetUi(std::make_unique<RecordingUi>(&shown_));
    NewCurrentProject();
  }
  void TearDown() override {
    store_.reset();
    while (project::ProjectListHead() != nullptr) project::ProjectFree(project::ProjectListHead());
    platform::SetUi(std::move(previous_ui_));
    std::filesystem::remove_all(dir_);
  }

  static void NewCurrentProject() {
    project::Project* p = project::ProjectCreate();
    project::ProjectSetDefaults(p);
    project::TrackAppend(p, project::TrackCreate(p));
    project::ProjectMakeCurrent(p);
  }

  // A store over the test directory with its own host record.
  UndoStore& MakeStore(int levels = 10, int in_ram = 2, HostRecord* record = nullptr) {
    store_ = std::make_unique<UndoStore>(
        std::make_unique<RecordingHost>(record != nullptr ? record : &host_));
    store_->Configure({dir_.string(), levels, in_ram, true});
    return *store_;
  }

  // Changes the current project visibly: a track name, the description, every third edit a
  // new track.
  static void Edit(int i) {
    project::Project* p = project::CurrentProject();
    project::TrackSetName(p->first_track, "Edit " + std::to_string(i));
    p->description = "state " + std::to_string(i);
    if (i % 3 == 0) project::TrackAppend(p, project::TrackCreate(p));
  }
  static std::vector<uint8_t> CurrentBytes() {
    return project::ProjectSaveBytes(project::CurrentProject());
  }

  // The step numbers of the snapshot files of a prefix in the directory.
  std::set<int> StepsOnDisk(const std::string& prefix = "Orcr") const {
    std::set<int> steps;
    for (const auto& e : std::filesystem::directory_iterator(dir_)) {
      std::string name = e.path().filename().string();
      if (name.size() == 12 && name.starts_with(prefix) && name.ends_with(".sav"))
        steps.insert(std::stoi(name.substr(4, 4)));
    }
    return steps;
  }
  std::string SnapshotPath(int step, const std::string& prefix = "Orcr") const {
    char buf[16];
    std::snprintf(buf, sizeof buf, "%.4d", step);
    return (dir_ / (prefix + buf + ".sav")).string();
  }
  static void Damage(const std::string& path) {
    std::filesystem::resize_file(path, std::filesystem::file_size(path) / 2);
  }

  std::filesystem::path dir_;
  Shown shown_;
  HostRecord host_;
  std::unique_ptr<UndoStore> store_;
  std::unique_ptr<platform::UiHost> previous_ui_;
};

}  // namespace lumetra::undo::testing
