// The built program as a shell user meets it, in a private home: help and version, unknown
// switches, the recent list, start-up lock waits, temporary directory fallbacks, crash
// recovery from the shell and the removal of dead instances' leftovers.
#include <gtest/gtest.h>
#include <stdlib.h>
#include <unistd.h>

#include <filesystem>
#include <fstream>
#include <cctype>
#include <set>
#include <sstream>

#include "app/app_hooks.h"
#include "app/exit_status.h"
#include "app/recovery_tool.h"
#include "app/startup.h"
#include "binary_runner.h"
#include "model/project.h"
#include "model/track.h"
#include "platform/memory_log.h"
#include "platform/named_lock.h"
#include "platform/system_paths.h"
#include "projectfile/project_file_io.h"
#include "undo/undo_store.h"

using namespace lumetra;
using namespace lumetra::app;
using namespace lumetra::app::testing;
namespace fs = std::filesystem;

namespace {

std::string ReadText(const fs::path& path) {
  std::ifstream in(path, std::ios::binary);
  std::stringstream text;
  text << in.rdbuf();
  return text.str();
}

// The snapshots' host of a killed instance: it only knows its project's path.
class PathHost final : public undo::UndoHost {
 public:
  explicit PathHost(std::string path) : path_(std::move(path)) {}
  std::string ProjectPath() override { return path_; }

 private:
  std::string path_;
};

class ShellTest : public ::testing::Test {
 protected:
  void SetUp() override {
    std::string pattern = (fs::temp_directory_path() / "lumetra-shell-XXXXXX").string();
    ASSERT_NE(mkdtemp(pattern.data()), nullptr);
    dir_ = pattern;
    fs::create_directories(dir_ / "tmp");
    fs::create_directories(dir_ / "home");
    fs::create_directories(dir_ / "films");
    temp_ = (dir_ / "tmp" / ("lumetra-" + std::to_string(getuid()))).string();
    env_ = "HOME='" + (dir_ / "home").string() + "' TMPDIR='" + (dir_ / "tmp").string() +
           "' XDG_RUNTIME_DIR= LUMETRA_START_LOCK_WAIT=0.3";
  }
  void TearDown() override {
    while (project::ProjectListHead() != nullptr) project::ProjectFree(project::ProjectListHead());
    fs::remove_all(dir_);
  }

  SplitOutcome Run(const std::string& args) { return RunBinarySplit(args, dir_.string(), env_); }

  // A project file whose first track is called `track`.
  std::string WriteProject(const fs::path& path, const std::string& track) {
    project::Project* p = project::ProjectCreate();
    project::ProjectSetDefaults(p);
    project::TrackAppend(p, project::TrackCreate(p));
    project::TrackSetName(p->first_track, track);
    EXPECT_EQ(project::ProjectSaveFile(p, path.string(), {}), project::kSaveOk);
    project::ProjectFree(p);
    return path.string();
  }

  std::string FirstTrackName(const std::string& path) {
    project::Project* p = project::ProjectLoadFile(path, 0x0FFF);
    if (p == nullptr) return "(no file)";
    std::string name = p->status == project::kLoadOk && p->first_track != nullptr
                           ? std::string(p->first_track->name)
                           : "(damaged)";
    project::ProjectFree(p);
    return name;
  }

  // What a killed instance leaves: steps "New project" (track "Before") and "Rename" (track
  // "After") of a project at `project_path`; the store goes without cleaning up.
  void LeaveSeries(const std::string& project_path) {
    ASSERT_TRUE(platform::UserTempDirectory({"", (dir_ / "tmp").string(),
                                             static_cast<unsigned>(getuid())}));
    project::Project* p = project::ProjectCreate();
    project::ProjectSetDefaults(p);
    project::TrackAppend(p, project::TrackCreate(p));
    project::TrackSetName(p->first_track, "Before");
    project::ProjectMakeCurrent(p);
    undo::UndoStore store(std::make_unique<PathHost>(project_path));
    undo::UndoSettings settings;
    settings.temp_directory = temp_;
    store.Configure(settings);
    ASSERT_EQ(store.ClaimPrefix(), 0);
    project::TrackSetName(p->first_track, "After");
    store.Save("Rename");
  }

  std::set<std::string> TempFiles() const {
    std::set<std::string> names;
    if (!fs::exists(temp_)) return names;
    for (const auto& e : fs::directory_iterator(temp_))
      if (!e.path().filename().string().ends_with(".lock")) names.insert(e.path().filename());
    return names;
  }

  fs::path dir_;
  std::string temp_;
  std::string env_;
};

TEST_F(ShellTest, HelpGoesToStdoutAndListsEveryReadmeOption) {
  SplitOutcome help = Run("--help");
  EXPECT_EQ(help.status, 0);
  EXPECT_EQ(help.out.rfind("Usage:   lumetra  [project_file]", 0), 0u) << help.out;
  EXPECT_EQ(help.err, "");
  EXPECT_EQ(help.out.find("info:"), std::string::npos);
  EXPECT_EQ(Run("/?").out, help.out);

  // Every option and switch in the README's command-line table is in the usage text.
  std::string readme = ReadText(fs::path(LUMETRA_SOURCE_DIR) / "README.md");
  std::size_t section = readme.find("## Command line");
  ASSERT_NE(section, std::string::npos);
  std::string table = readme.substr(section, readme.find("\n## ", section + 1) - section);
  // Rows are "| `<option> <argument>`, `<option>` | ...": every backticked word of the first
  // column that starts with "/" or "--".
  int seen = 0;
  std::istringstream rows(table);
  for (std::string row; std::getline(rows, row);) {
    if (!row.starts_with("| `")) continue;
    std::string first = row.substr(2, row.find(" |", 2) - 2);
    for (std::size_t open = first.find('`'); open != std::string::npos;
         open = first.find('`', first.find('`', open + 1) + 1)) {
      std::size_t close = first.find('`', open + 1);
      std::string word = first.substr(open + 1, close - open - 1);
      word = word.substr(0, word.find_first_of(" [<"));
      if (!word.starts_with("/") && !word.starts_with("--")) continue;
      ++seen;
      EXPECT_NE(help.out.find(word), std::string::npos) << word;
      if (close == std::string::npos) break;
    }
  }
  EXPECT_GE(seen, 14);

  SplitOutcome version = Run("--version");
  EXPECT_EQ(version.status, 0);
  EXPECT_EQ(version.out, "lumetra 1.0.2\n");
}

TEST_F(ShellTest, UnknownSwitchesAreErrorsWithAHint) {
  for (const char* arg : {"/X", "-v", "-V", "-help", "/?  -k"}) {
    SCOPED_TRACE(arg);
    SplitOutcome run = Run(arg);
    EXPECT_EQ(run.status, kExitCommandLine);
    EXPECT_NE(run.err.find("Unknown switch '"), std::string::npos) << run.err;
    EXPECT_NE(run.err.find("Try 'lumetra --help'."), std::string::npos) << run.err;
  }
  // Nothing started, so nothing was written.
  EXPECT_FALSE(fs::exists(fs::path(BinaryConfigHome(dir_.string())) / "lumetra" / "settings.ini"));
}

TEST_F(ShellTest, RecentListKeepsAbsolutePathsOfProjectsThatLoaded) {
  WriteProject(dir_ / "films" / "good.ZTP", "Good");
  SplitOutcome good = RunBinarySplit("films/../films/good.ZTP", dir_.string(), env_);
  EXPECT_EQ(good.status, 0) << good.err;
  std::string ini = ReadText(fs::path(BinaryConfigHome(dir_.string())) / "lumetra" / "settings.ini");
  EXPECT_NE(ini.find((dir_ / "films" / "good.ZTP").string()), std::string::npos) << ini;
  EXPECT_EQ(ini.find("films/../films"), std::string::npos) << ini;

  // A project that does not load: the headless run fails with the load status and the list
  // does not take it.
  std::ofstream(dir_ / "films" / "bad.ZTP") << "not a project";
  for (const char* name : {"films/bad.ZTP", "films/missing.ZTP"}) {
    SCOPED_TRACE(name);
    SplitOutcome bad = RunBinarySplit(name, dir_.string(), env_);
    EXPECT_EQ(bad.status, kExitOfflineLoadFailed) << bad.err;
    ini = ReadText(fs::path(BinaryConfigHome(dir_.string())) / "lumetra" / "settings.ini");
    EXPECT_EQ(ini.find(fs::path(name).filename().string()), std::string::npos) << ini;
    EXPECT_NE(ini.find("good.ZTP"), std::string::npos) << ini;
  }
}

TEST_F(ShellTest, LibrariesAndClipboardsThatCannotOpenSaySo) {
  SplitOutcome run = Run("/L:/opt/lumetra/x.ztl bin.ZTB");
  EXPECT_EQ(run.status, 0) << run.err;
  EXPECT_NE(run.err.find("Can't load plug-in library:\n/opt/lumetra/x.ztl\n"), std::string::npos)
      << run.err;
  EXPECT_NE(run.err.find("Clipboard file 'bin.ZTB' was not opened"), std::string::npos) << run.err;

  // And the log has it too.
  platform::LogStart();
  AppHooks defaults;
  EXPECT_FALSE(defaults.OpenClipboardWindow("x.ZTB"));
  EXPECT_NE(platform::LogText().find("Clipboard file 'x.ZTB' was not opened"), std::string::npos);
}

TEST_F(ShellTest, HeldStartLockIsReportedAndGivenUpOn) {
  ASSERT_TRUE(
      platform::UserTempDirectory({"", (dir_ / "tmp").string(), static_cast<unsigned>(getuid())}));
  auto held = platform::NamedLock::Acquire(temp_, undo::kStartMutexName, false);
  ASSERT_TRUE(held);
  for (const char* args : {"", "--recover", "--discard-recovery"}) {
    SCOPED_TRACE(args);
    SplitOutcome run = Run(args);
    EXPECT_EQ(run.status, kExitUndoStoreFailed);
    EXPECT_NE(run.err.find("Waiting for another Lumetra instance, which holds the start-up lock " +
                           temp_ + "/ZOLT_StartMutex.lock..."),
              std::string::npos)
        << run.err;
    EXPECT_NE(run.err.find("giving up"), std::string::npos) << run.err;
    // Said once per run, not once per try.
    std::size_t first = run.err.find("Waiting for");
    EXPECT_EQ(run.err.find("Waiting for", first + 1), std::string::npos) << run.err;
  }
  held.reset();
  EXPECT_EQ(Run("").status, 0);
}

TEST_F(ShellTest, RefusedRuntimeDirectoryFallsBackToTmpdirWithAReason) {
  fs::create_directories(dir_ / "run");
  fs::create_directories(dir_ / "elsewhere");
  fs::create_directory_symlink(dir_ / "elsewhere", dir_ / "run" / "lumetra");
  SplitOutcome run = RunBinarySplit(
      "", dir_.string(),
      env_ + " XDG_RUNTIME_DIR='" + (dir_ / "run").string() + "'");
  EXPECT_EQ(run.status, 0) << run.err;
  EXPECT_NE(run.err.find("Temporary directory '" + (dir_ / "run" / "lumetra").string() +
                         "' refused: it is a symbolic link"),
            std::string::npos)
      << run.err;
  EXPECT_TRUE(fs::is_directory(temp_));
  EXPECT_TRUE(fs::is_empty(dir_ / "elsewhere"));
}

TEST_F(ShellTest, CrashRecoveryFromTheShell) {
  std::string film = WriteProject(dir_ / "films" / "film.ZTP", "Saved");
  const std::string original = ReadText(film);
  LeaveSeries(film);
  ASSERT_EQ(TempFiles(), (std::set<std::string>{"Orcr0001.sav", "Orcr0002.sav"}));

  // A plain start lists the series with its path, time and steps, and what to type.
  SplitOutcome start = Run("");
  EXPECT_EQ(start.status, 0) << start.err;
  const std::string head = "  1. " + film + "  (written ";
  std::size_t at = start.err.find(head);
  ASSERT_NE(at, std::string::npos) << start.err;
  std::string stamp = start.err.substr(at + head.size(), 19);  // "YYYY-MM-DD HH:MM:SS"
  for (std::size_t i = 0; i < stamp.size(); ++i) {
    char want = i == 4 || i == 7 ? '-' : i == 10 ? ' ' : i == 13 || i == 16 ? ':' : '0';
    if (want == '0') {
      EXPECT_TRUE(std::isdigit(static_cast<unsigned char>(stamp[i]))) << stamp;
    } else {
      EXPECT_EQ(stamp[i], want) << stamp;
    }
  }
  EXPECT_EQ(start.err.substr(at + head.size() + 19, 11), ", 2 steps)\n") << start.err;
  EXPECT_NE(start.err.find("lumetra --recover N"), std::string::npos);
  EXPECT_NE(start.err.find("lumetra --discard-recovery"), std::string::npos);
  EXPECT_EQ(TempFiles(), (std::set<std::string>{"Orcr0001.sav", "Orcr0002.sav"}));

  EXPECT_EQ(Run("--recover 2").status, kExitCommandLine);  // there is one series
  EXPECT_EQ(Run("--recover x").status, kExitCommandLine);

  // Recovered beside the project as a new file; the original is untouched; the series goes.
  SplitOutcome recovered = Run("--recover");
  EXPECT_EQ(recovered.status, 0) << recovered.err;
  const std::string target = (dir_ / "films" / "film.recovered.ZTP").string();
  EXPECT_EQ(recovered.out, target + "\n");
  EXPECT_EQ(FirstTrackName(target), "After");
  EXPECT_EQ(ReadText(film), original);
  EXPECT_TRUE(TempFiles().empty());
  EXPECT_EQ(Run("--recover").status, kExitNothingToRecover);

  // A second crash of the same project: the earlier recovered file is not written over.
  LeaveSeries(film);
  recovered = Run("--recover 1");
  EXPECT_EQ(recovered.status, 0) << recovered.err;
  EXPECT_EQ(recovered.out, (dir_ / "films" / "film.recovered-2.ZTP").string() + "\n");
  EXPECT_EQ(FirstTrackName(target), "After");

  // Discarded: the files go and nothing is written.
  LeaveSeries(film);
  SplitOutcome discarded = Run("--discard-recovery");
  EXPECT_EQ(discarded.status, 0) << discarded.err;
  EXPECT_NE(discarded.err.find("Removed lost project 1: " + film), std::string::npos);
  EXPECT_TRUE(TempFiles().empty());
  EXPECT_FALSE(fs::exists(dir_ / "films" / "film.recovered-3.ZTP"));
}

TEST_F(ShellTest, LeftoversOfDeadInstancesGoAtStart) {
  LeaveSeries((dir_ / "films" / "film.ZTP").string());
  const fs::path config = fs::path(BinaryConfigHome(dir_.string())) / "lumetra";
  fs::create_directories(config);
  const auto old = fs::file_time_type::clock::now() - std::chrono::hours(1);
  // Half-written files: a dead prefix's snapshot, the settings writer's, a probe.
  for (const fs::path& p : {fs::path(temp_) / "Orcs0004.sav.tmp", fs::path(temp_) / "Orcr0003.sav.tmp",
                            config / "settings.ini.Ab12Cd", config / "settings.ini.tmp",
                            fs::path(temp_) / "lumetra_probe_0.tmp"}) {
    std::ofstream(p) << "half";
    fs::last_write_time(p, old);
  }
  // Not leftovers: a fresh settings temporary (its writer may be alive) and other files.
  std::ofstream(config / "settings.ini.Zz99Yy") << "being written";
  std::ofstream(config / "notes.txt.Ab12Cd") << "someone else's";
  fs::last_write_time(config / "notes.txt.Ab12Cd", old);

  SplitOutcome run = Run("/Q");
  EXPECT_EQ(run.status, 0) << run.err;
  // The lost series itself stays for recovery; only the half-written files went.
  EXPECT_EQ(TempFiles(), (std::set<std::string>{"Orcr0001.sav", "Orcr0002.sav"}));
  EXPECT_FALSE(fs::exists(config / "settings.ini.Ab12Cd"));
  EXPECT_FALSE(fs::exists(config / "settings.ini.tmp"));
  EXPECT_TRUE(fs::exists(config / "settings.ini.Zz99Yy"));
  EXPECT_TRUE(fs::exists(config / "notes.txt.Ab12Cd"));
}

TEST_F(ShellTest, InfoPrintsProjectTextsAsUtf8) {
  project::Project* p = project::ProjectCreate();
  project::ProjectSetDefaults(p);
  project::TrackAppend(p, project::TrackCreate(p));
  project::TrackSetName(p->first_track, "Caf\xE9");          // written by a Windows-1252 system
  p->description = "Sc\xC3\xA8ne \xE2\x82\xAC";             // UTF-8
  std::string path = (dir_ / "texts.ZTP").string();
  ASSERT_EQ(project::ProjectSaveFile(p, path, {}), project::kSaveOk);
  project::ProjectFree(p);
  SplitOutcome info = Run("--info '" + path + "'");
  ASSERT_EQ(info.status, 0) << info.err;
  EXPECT_NE(info.out.find("\"description\":\"Sc\xC3\xA8ne \xE2\x82\xAC\""), std::string::npos)
      << info.out;
  EXPECT_NE(info.out.find("\"name\":\"Caf\xC3\xA9\""), std::string::npos) << info.out;
  EXPECT_EQ(info.out.find("\\u00"), std::string::npos) << info.out;
}

TEST(RecoveryTarget, BesideTheProjectNeverOverAnything) {
  std::set<std::string> taken = {"/films/a.recovered.ZTP", "/films/b.ZTP",
                                 "/films/c.recovered.ZTP", "/films/c.recovered-2.ZTP"};
  std::set<std::string> dirs = {"/films", "/home/me", "/"};
  auto exists = [&](const std::string& p) { return taken.count(p) != 0; };
  auto is_dir = [&](const std::string& p) { return dirs.count(p) != 0; };
  struct Case {
    std::string project, target;
  } cases[] = {
      {"/films/a.ZTP", "/films/a.recovered-2.ZTP"},
      {"/films/b.ZTP", "/films/b.recovered.ZTP"},
      {"/films/c.ZTP", "/films/c.recovered-3.ZTP"},
      {"/films/film", "/films/film.recovered.ZTP"},        // no extension
      {"/gone/d.ztp", "/home/me/d.recovered.ztp"},            // the folder is gone
      {"", "/home/me/Untitled.recovered.ZTP"},                // untitled
      {"C:\\films\\e.ZTP", "/home/me/e.recovered.ZTP"},       // a path from another system
      {"/e.ZTP", "/e.recovered.ZTP"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.project);
    EXPECT_EQ(RecoveryTarget(c.project, "/home/me", exists, is_dir), c.target);
  }
}

}  // namespace
