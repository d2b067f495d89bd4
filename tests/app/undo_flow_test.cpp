// The real start-up, file commands and undo store together: the steps start-up, Load and Merge
// record, recovery of an instance killed after a load, and a save whose write fails.
#include <gtest/gtest.h>
#include <signal.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <csignal>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <functional>
#include <list>
#include <set>

#include "app/app_hooks.h"
#include "app/app_state.h"
#include "app/exit_status.h"
#include "app/file_commands.h"
#include "app/main_window.h"
#include "app/options_store.h"
#include "app/project_store.h"
#include "app/startup.h"
#include "binary_runner.h"
#include "model/change_flags.h"
#include "model/project.h"
#include "model/track.h"
#include "platform/ui_host.h"
#include "projectfile/project_file_io.h"
#include "undo/undo.h"

using namespace lumetra;
using namespace lumetra::app;

namespace {

// The default hooks (so the real undo wiring runs) with two probes: when start-up is done, and
// when a file command redraws after it finished.
class ProbeHooks final : public AppHooks {
 public:
  std::function<void()> on_ready;
  std::function<void()> on_redraw;
  void StartRenderThreads(int) override {
    if (on_ready) on_ready();
  }
  void Redraw() override {
    if (on_redraw) on_redraw();
  }
};

// An environment variable set for one test and put back after it.
class ScopedEnv {
 public:
  ScopedEnv(const char* name, const char* value) : name_(name) {
    if (const char* old = std::getenv(name)) old_ = old;
    if (value != nullptr) {
      setenv(name, value, 1);
    } else {
      unsetenv(name);
    }
  }
  ScopedEnv(const ScopedEnv&) = delete;
  ScopedEnv& operator=(const ScopedEnv&) = delete;
  ~ScopedEnv() {
    if (old_) {
      setenv(name_, old_->c_str(), 1);
    } else {
      unsetenv(name_);
    }
  }

 private:
  const char* name_;
  std::optional<std::string> old_;
};

class UndoFlowTest : public ::testing::Test {
 protected:
  void SetUp() override {
    dir_ = std::filesystem::temp_directory_path() /
           ("lumetra-undo-flow-" +
            std::string(::testing::UnitTest::GetInstance()->current_test_info()->name()));
    std::filesystem::remove_all(dir_);
    std::filesystem::create_directories(dir_ / "bin");
    env_.emplace_back("TMPDIR", dir_.c_str());
    env_.emplace_back("XDG_RUNTIME_DIR", nullptr);
    env_.emplace_back("XDG_CONFIG_HOME", (dir_ / "config").c_str());
    env_.emplace_back("LUMETRA_DEBUG_LOG", nullptr);
    // No "Temp" beside the program: the per-user directory under TMPDIR is used, as the built
    // program run from the same environment does.
    temp_ = dir_ / ("lumetra-" + std::to_string(getuid()));
    ResetState();
    ResetMainQueue();
    project::ClearChangeFlags();
    SetStore(nullptr);
    SetOptions(nullptr);
    auto ui = std::make_unique<platform::HeadlessUiHost>(false);
    ui->SetDialogPolicy([this](std::string_view dialog, std::string_view) {
      dialogs_.emplace_back(dialog);
      return dialog == "RECOVERDLG" && accept_recovery_ ? platform::Answer::Ok
                                                        : platform::Answer::Cancel;
    });
    ui->SetFilePolicy([this](const platform::FileDialogRequest&) { return file_answer_; });
    ui_ = ui.get();
    previous_ui_ = platform::SetUi(std::move(ui));
    auto hooks = std::make_unique<ProbeHooks>();
    hooks_ = hooks.get();
    SetHooks(std::move(hooks));
  }
  void TearDown() override {
    SetHooks(nullptr);
    SetStore(nullptr);
    SetOptions(nullptr);
    platform::SetUi(std::move(previous_ui_));
    while (project::ProjectListHead() != nullptr) project::ProjectFree(project::ProjectListHead());
    project::ClearChangeFlags();
    env_.clear();
    std::filesystem::remove_all(dir_);
  }

  int Start(const std::vector<std::string>& args) {
    return AppMain(args, (dir_ / "bin" / "lumetra").string());
  }

  // A project file whose first track carries `name`.
  std::string WriteProject(const std::string& file, const std::string& name) {
    project::Project* p = project::ProjectCreate();
    project::ProjectSetDefaults(p);
    project::TrackAppend(p, project::TrackCreate(p));
    project::TrackSetName(p->first_track, name);
    p->description = name + " project";
    std::string path = (dir_ / file).string();
    EXPECT_EQ(project::ProjectSaveFile(p, path, {}), project::kSaveOk);
    project::ProjectFree(p);
    return path;
  }

  // The snapshot files in the program's temporary directory.
  std::set<std::string> Snapshots() const {
    std::set<std::string> names;
    if (!std::filesystem::exists(temp_)) return names;
    for (const auto& e : std::filesystem::directory_iterator(temp_)) {
      std::string name = e.path().filename().string();
      if (name.size() == 12 && name.ends_with(".sav")) names.insert(name);
    }
    return names;
  }

  static std::vector<uint8_t> CurrentBytes() {
    return project::ProjectSaveBytes(project::CurrentProject());
  }

  std::filesystem::path dir_, temp_;
  std::list<ScopedEnv> env_;
  ProbeHooks* hooks_ = nullptr;
  std::vector<std::string> dialogs_;
  std::optional<std::string> file_answer_;
  bool accept_recovery_ = false;
  platform::HeadlessUiHost* ui_ = nullptr;
  std::unique_ptr<platform::UiHost> previous_ui_;
};

std::string ReadText(const std::filesystem::path& path) {
  std::ifstream in(path, std::ios::binary);
  return std::string((std::istreambuf_iterator<char>(in)), {});
}

TEST_F(UndoFlowTest, StartLoadAndMergeRecordStepsAndExitRemovesThem) {
  std::string film = WriteProject("film.ZTP", "Loaded");
  file_answer_ = WriteProject("part.ZTP", "Merged");
  std::set<std::string> at_ready;
  std::vector<std::set<std::string>> at_redraw;
  std::vector<std::string> descriptions;
  std::vector<uint32_t> flags;
  hooks_->on_ready = [&] {
    at_ready = Snapshots();
    descriptions.push_back(undo::UndoDescription(0).value_or("-"));
  };
  hooks_->on_redraw = [&] {
    at_redraw.push_back(Snapshots());
    descriptions.push_back(undo::UndoDescription(0).value_or("-"));
    flags.push_back(project::ChangeFlags());
    if (at_redraw.size() == 1) PostCommand(kMenuMerge);
  };

  EXPECT_EQ(Start({film}), kExitOk);
  EXPECT_EQ(at_ready, (std::set<std::string>{"Orcr0001.sav"}));
  ASSERT_EQ(at_redraw.size(), 2u);
  EXPECT_EQ(at_redraw[0], (std::set<std::string>{"Orcr0001.sav", "Orcr0002.sav"}));
  EXPECT_EQ(at_redraw[1], (std::set<std::string>{"Orcr0001.sav", "Orcr0002.sav", "Orcr0003.sav"}));
  EXPECT_EQ(descriptions,
            (std::vector<std::string>{"New project", "Load project", "Merge project"}));
  EXPECT_EQ(flags,
            (std::vector<uint32_t>{0u, project::kChangedTracks | project::kChangedGeometries}));
  // The exit sequence took this instance's snapshots with it.
  EXPECT_TRUE(Snapshots().empty());
}

TEST_F(UndoFlowTest, InstanceKilledAfterLoadIsRecoveredUnlessSlashQ) {
  std::string film = WriteProject("film.ZTP", "Loaded");
  const std::filesystem::path expected = dir_ / "expected.bin";
  int up[2];
  ASSERT_EQ(pipe(up), 0);
  pid_t pid = fork();
  ASSERT_GE(pid, 0);
  if (pid == 0) {
    alarm(60);  // a failing parent never leaves the child behind
    close(up[0]);
    hooks_->on_redraw = [&] {
      std::vector<uint8_t> bytes = CurrentBytes();
      std::ofstream(expected, std::ios::binary)
          .write(reinterpret_cast<const char*>(bytes.data()),
                 static_cast<std::streamsize>(bytes.size()));
      if (write(up[1], "R", 1) != 1) _exit(3);
      for (;;) pause();
    };
    Start({film});
    _exit(2);
  }
  close(up[1]);
  char ready = 0;
  ASSERT_EQ(read(up[0], &ready, 1), 1);
  close(up[0]);
  kill(pid, SIGKILL);
  int status = 0;
  waitpid(pid, &status, 0);
  ASSERT_TRUE(WIFSIGNALED(status));
  EXPECT_EQ(Snapshots(), (std::set<std::string>{"Orcr0001.sav", "Orcr0002.sav"}));

  // The built program finds exactly the one lost project and offers it; with "/Q" it does not.
  {
    ScopedEnv log("LUMETRA_DEBUG_LOG", "-");
    app::testing::Outcome offered = app::testing::RunBinary("", dir_.string());
    EXPECT_EQ(offered.status, 0) << offered.output;
    EXPECT_NE(offered.output.find("Select project to recover"), std::string::npos)
        << offered.output;
    std::size_t first = offered.output.find("Lost project: " + film + "\n");
    EXPECT_NE(first, std::string::npos) << offered.output;
    EXPECT_EQ(offered.output.find("Lost project: ", first + 1), std::string::npos)
        << offered.output;
    app::testing::Outcome skipped = app::testing::RunBinary("/Q", dir_.string());
    EXPECT_EQ(skipped.status, 0) << skipped.output;
    EXPECT_EQ(skipped.output.find("Select project to recover"), std::string::npos)
        << skipped.output;
    EXPECT_EQ(skipped.output.find("Lost project: "), std::string::npos) << skipped.output;
  }
  // Declined and skipped: the series is still there, and those runs removed their own files.
  EXPECT_EQ(Snapshots(), (std::set<std::string>{"Orcr0001.sav", "Orcr0002.sav"}));

  // Accepted: the project is the one the killed instance had loaded, named by its file.
  accept_recovery_ = true;
  std::vector<uint8_t> recovered;
  std::string description;
  hooks_->on_ready = [&] {
    recovered = CurrentBytes();
    description = undo::UndoDescription(0).value_or("-");
  };
  EXPECT_EQ(Start({}), kExitOk);
  EXPECT_EQ(dialogs_, std::vector<std::string>{"RECOVERDLG"});
  std::string want = ReadText(expected);
  ASSERT_FALSE(want.empty());
  EXPECT_EQ(std::string(recovered.begin(), recovered.end()), want);
  EXPECT_EQ(State().current_file, film);
  EXPECT_EQ(description, "Load project");
  // The recovering instance continued the series and removed it at its normal exit.
  EXPECT_TRUE(Snapshots().empty());
}

// Lowers the file size limit of the process while it lives; writes past it fail with EFBIG
// instead of raising SIGXFSZ.
class FileSizeLimit {
 public:
  explicit FileSizeLimit(rlim_t bytes) {
    ::getrlimit(RLIMIT_FSIZE, &old_);
    old_handler_ = std::signal(SIGXFSZ, SIG_IGN);
    rlimit lower = old_;
    lower.rlim_cur = bytes;
    ::setrlimit(RLIMIT_FSIZE, &lower);
  }
  ~FileSizeLimit() {
    ::setrlimit(RLIMIT_FSIZE, &old_);
    std::signal(SIGXFSZ, old_handler_);
  }

 private:
  rlimit old_{};
  void (*old_handler_)(int) = nullptr;
};

TEST_F(UndoFlowTest, FailedSaveLeavesThePreviousFileAtItsPath) {
  ASSERT_TRUE(Store().CreateInitialProject());
  std::string path = WriteProject("work.ZTP", "Before");
  std::string before = ReadText(path);
  State().current_file = path;
  project::SetChangeFlags(project::kChangedTracks);
  {
    // A file size limit below the project's size: the write fails, even for root.
    FileSizeLimit limit(16);
    EXPECT_EQ(CommandSave(), SaveOutcome::kFailed);
  }
  EXPECT_EQ(ReadText(path), before);
  EXPECT_EQ(project::ChangeFlags(), project::kChangedTracks);
  // The backup was kept and no temporary file was left behind.
  std::set<std::string> names;
  for (const auto& e : std::filesystem::directory_iterator(dir_))
    if (e.path().filename().string().starts_with("work.")) names.insert(e.path().filename().string());
  EXPECT_EQ(names, (std::set<std::string>{"work.ZTP", "work.BAK"}));

  // Once the writer can write, the same save makes the backup and the new file.
  EXPECT_EQ(CommandSave(), SaveOutcome::kSaved);
  EXPECT_EQ(ReadText(dir_ / "work.BAK"), before);
  std::vector<uint8_t> now = CurrentBytes();
  EXPECT_EQ(ReadText(path), std::string(now.begin(), now.end()));
  EXPECT_EQ(project::ChangeFlags(), 0u);
}

}  // namespace

namespace {

// Starts an instance in a child process that loads `film`, writes the project it holds to
// `expected` once the load is done, and is killed there: its snapshot series is left behind.
void CrashAfterLoad(ProbeHooks* hooks, const std::vector<std::string>& args,
                    const std::filesystem::path& expected) {
  int up[2];
  ASSERT_EQ(pipe(up), 0);
  pid_t pid = fork();
  ASSERT_GE(pid, 0);
  if (pid == 0) {
    alarm(60);  // a failing parent never leaves the child behind
    close(up[0]);
    hooks->on_redraw = [&] {
      std::vector<uint8_t> bytes = project::ProjectSaveBytes(project::CurrentProject());
      std::ofstream(expected, std::ios::binary)
          .write(reinterpret_cast<const char*>(bytes.data()),
                 static_cast<std::streamsize>(bytes.size()));
      if (write(up[1], "R", 1) != 1) _exit(3);
      for (;;) pause();
    };
    AppMain(args, (expected.parent_path() / "bin" / "lumetra").string());
    _exit(2);
  }
  close(up[1]);
  char ready = 0;
  ASSERT_EQ(read(up[0], &ready, 1), 1);
  close(up[0]);
  kill(pid, SIGKILL);
  int status = 0;
  waitpid(pid, &status, 0);
  ASSERT_TRUE(WIFSIGNALED(status));
}

}  // namespace

TEST_F(UndoFlowTest, TheChosenOfTwoLostProjectsIsRecovered) {
  const std::string films[2] = {WriteProject("first.ZTP", "First"),
                                WriteProject("second.ZTP", "Second")};
  const std::filesystem::path expected[2] = {dir_ / "first.bin", dir_ / "second.bin"};
  // "/Q": the second instance does not offer the first one's series, it starts its own.
  ASSERT_NO_FATAL_FAILURE(CrashAfterLoad(hooks_, {films[0]}, expected[0]));
  ASSERT_NO_FATAL_FAILURE(CrashAfterLoad(hooks_, {"/Q", films[1]}, expected[1]));
  ASSERT_EQ(Snapshots().size(), 4u);

  // Both are listed; the user picks the second entry.
  std::vector<std::string> listed;
  ui_->SetListPolicy([&](std::string_view dialog, std::string_view title,
                         const std::vector<std::string>& items) -> std::optional<std::size_t> {
    dialogs_.emplace_back(dialog);
    EXPECT_EQ(title, "Select project to recover");
    listed = items;
    return 1;
  });
  std::vector<uint8_t> recovered;
  hooks_->on_ready = [&] { recovered = CurrentBytes(); };
  EXPECT_EQ(Start({}), kExitOk);
  EXPECT_EQ(dialogs_, std::vector<std::string>{"RECOVERDLG"});
  ASSERT_EQ(listed.size(), 2u);
  EXPECT_NE(listed[0], listed[1]);
  const int picked = listed[1] == films[0] ? 0 : 1;
  EXPECT_EQ(listed[1], films[picked]);
  EXPECT_EQ(State().current_file, films[picked]);
  const std::string want = ReadText(expected[picked]);
  ASSERT_FALSE(want.empty());
  EXPECT_EQ(std::string(recovered.begin(), recovered.end()), want);
  // The other series is still there to be recovered later; the chosen one ended with the run.
  EXPECT_EQ(Snapshots().size(), 2u);
}
