// End to end against the built program in a private home: saving never loses or clobbers a
// file, the tools leave the settings alone, special files fail fast with their cause, and
// output that cannot be written is a failure.
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <functional>
#include <new>
#include <set>
#include <sstream>
#include <stdexcept>
#include <string>

#include "app/exit_status.h"
#include "app/guarded_main.h"
#include "platform/error_text.h"
#include "platform/ini_store.h"
#include "platform/launcher.h"
#include "platform/memory_log.h"
#include "model/project.h"
#include "projectfile/project_file_io.h"
#include "projectfile/project_file_processes.h"

namespace lumetra::app {
namespace {

namespace fs = std::filesystem;

constexpr int kTimedOut = 124;  // timeout(1): the program hung
constexpr int kAnyStatus = -100;
constexpr const char* kOptionsKey = "Software\\Telvane\\Fluxtar\\Options";
constexpr const char* kFilesKey = "Software\\Telvane\\Fluxtar\\CurrentFiles";

std::string Example() {
  const char* dir = std::getenv("LUMETRA_SOURCE_DIR");
  return std::string(dir != nullptr ? dir : ".") + "/examples/demo.ZTP";
}

std::string ReadAll(const fs::path& p) {
  std::ifstream in(p, std::ios::binary);
  std::stringstream s;
  s << in.rdbuf();
  return s.str();
}

struct RunResult {
  int status;
  std::string out;
  std::string err;
};

class FileSafetyTest : public ::testing::Test {
 protected:
  void SetUp() override {
    std::string tmpl = (fs::temp_directory_path() / "lumetra-files-XXXXXX").string();
    ASSERT_NE(::mkdtemp(tmpl.data()), nullptr);
    dir_ = tmpl;
    fs::create_directories(dir_ / "work");
  }
  void TearDown() override {
    std::error_code ec;
    fs::remove_all(dir_, ec);
  }
  std::string Work(const std::string& name) const { return (dir_ / "work" / name).string(); }
  fs::path Settings() const { return dir_ / "config" / "lumetra" / "settings.ini"; }
  void Put(const std::string& name, const std::string& text) const {
    std::ofstream(Work(name), std::ios::binary) << text;
  }
  std::set<std::string> Names() const {
    std::set<std::string> out;
    for (const auto& e : fs::directory_iterator(dir_ / "work"))
      out.insert(e.path().filename().string());
    return out;
  }
  // The program in the work folder with a private home and settings; bounded in time, so
  // a program that hangs fails the test instead of blocking it. stdout goes to `out_to`
  // when given.
  RunResult Lumetra(const std::string& args, const std::string& out_to = "") const {
    const std::string out = (dir_ / "stdout.txt").string(), err = (dir_ / "stderr.txt").string();
    const std::string command = "cd '" + (dir_ / "work").string() + "' && HOME='" + dir_.string() +
                                "' XDG_CONFIG_HOME='" + (dir_ / "config").string() +
                                "' timeout 120 '" + LUMETRA_BINARY + "' " + args + " >'" +
                                (out_to.empty() ? out : out_to) + "' 2>'" + err + "'";
    RunResult r{platform::RunProgram("sh", {"-c", command}), "", ""};
    if (out_to.empty()) r.out = ReadAll(out);
    r.err = ReadAll(err);
    return r;
  }
  static bool Loads(const std::string& path) {
    project::ProjectPtr p(project::ProjectLoadFile(path, project::kLoadMaskLoad));
    const bool ok = p != nullptr && p->status == project::kLoadOk;
    p.reset();
    while (project::ProjectListHead() != nullptr) project::ProjectFree(project::ProjectListHead());
    project::VirtualProcessesClear();
    return ok;
  }
  void WriteSettings(uint32_t ztp_bak) const {
    platform::IniStore s;
    s.SetDword(kOptionsKey, "ZTP.BAK", ztp_bak);
    s.SetString(kFilesKey, "File0", "/projects/kept.ZTP");
    ASSERT_TRUE(s.Save(Settings()));
  }
  fs::path dir_;
};

TEST_F(FileSafetyTest, SavingOverTheBackupNameKeepsNoBackupAndReplacesIt) {
  Put("x.BAK", "an older project");
  RunResult r = Lumetra("--save-as x.BAK '" + Example() + "'");
  EXPECT_EQ(r.status, kExitOk) << r.err;
  EXPECT_TRUE(Loads(Work("x.BAK")));
  EXPECT_EQ(Names(), std::set<std::string>{"x.BAK"});
}

TEST_F(FileSafetyTest, APlantedLinkAtTheOldTemporaryNameIsNeverFollowed) {
  Put("victim.txt", "precious");
  fs::create_symlink(Work("victim.txt"), Work("OUT.ZTP.tmp"));
  RunResult r = Lumetra("--save-as OUT.ZTP '" + Example() + "'");
  EXPECT_EQ(r.status, kExitOk) << r.err;
  EXPECT_EQ(ReadAll(Work("victim.txt")), "precious");
  EXPECT_TRUE(Loads(Work("OUT.ZTP")));
  EXPECT_EQ(Names(), (std::set<std::string>{"victim.txt", "OUT.ZTP.tmp", "OUT.ZTP"}));
}

TEST_F(FileSafetyTest, ALinkIsSavedThroughAndKept) {
  fs::create_directories(dir_ / "work" / "real");
  Put("real/target.ZTP", "old contents");
  fs::create_symlink("real/target.ZTP", Work("link.ZTP"));
  RunResult r = Lumetra("--save-as link.ZTP '" + Example() + "'");
  EXPECT_EQ(r.status, kExitOk) << r.err;
  EXPECT_TRUE(fs::is_symlink(Work("link.ZTP")));
  EXPECT_TRUE(Loads(Work("real/target.ZTP")));
  EXPECT_EQ(ReadAll(Work("link.BAK")), "old contents");  // "ZTP.BAK" is on by default
}

TEST_F(FileSafetyTest, TargetsThatAreNoRegularFileAreRefusedUntouched) {
  fs::create_directory(Work("folder.ZTP"));
  ASSERT_EQ(::mkfifo(Work("pipe.ZTP").c_str(), 0600), 0);
  struct Case {
    std::string out;
    std::string text;
  } cases[] = {
      {"folder.ZTP", platform::SystemErrorText(EISDIR)},
      {"pipe.ZTP", "Is a named pipe (FIFO), not a regular file"},
      {"/dev/null", "Is a device, not a regular file"},
  };
  for (const Case& c : cases) {
    RunResult r = Lumetra("--save-as '" + c.out + "' '" + Example() + "'");
    EXPECT_EQ(r.status, kExitSaveFailed) << c.out;
    EXPECT_NE(r.err.find("Could not save project:\n" + c.out + "\n\n" + c.text), std::string::npos)
        << c.out << "\n" << r.err;
  }
  EXPECT_EQ(Names(), (std::set<std::string>{"folder.ZTP", "pipe.ZTP"}));
  EXPECT_TRUE(fs::is_directory(Work("folder.ZTP")));
  EXPECT_TRUE(fs::is_fifo(Work("pipe.ZTP")));
  EXPECT_TRUE(fs::is_character_file("/dev/null"));
  EXPECT_FALSE(fs::exists("/dev/null.BAK"));
}

TEST_F(FileSafetyTest, ASavedFileKeepsItsMode) {
  for (unsigned mode : {0600u, 0640u}) {
    Put("mine.ZTP", "old");
    ASSERT_EQ(::chmod(Work("mine.ZTP").c_str(), mode), 0);
    RunResult r = Lumetra("--save-as mine.ZTP '" + Example() + "'");
    EXPECT_EQ(r.status, kExitOk) << r.err;
    struct stat st {};
    ASSERT_EQ(::stat(Work("mine.ZTP").c_str(), &st), 0);
    EXPECT_EQ(st.st_mode & 07777, mode);
    EXPECT_TRUE(Loads(Work("mine.ZTP")));
  }
}

TEST_F(FileSafetyTest, ToolsReadTheSettingsAndNeverWriteThem) {
  // No settings at all: none are made.
  EXPECT_EQ(Lumetra("--info '" + Example() + "'").status, kExitOk);
  EXPECT_EQ(Lumetra("--save-as a.ZTP '" + Example() + "'").status, kExitOk);
  EXPECT_FALSE(fs::exists(dir_ / "config"));
  // "ZTP.BAK" = 0: no backup; = 1: a backup. The file and its recent list stay as they are.
  struct Case {
    uint32_t ztp_bak;
    bool backup;
  } cases[] = {{0, false}, {1, true}};
  for (const Case& c : cases) {
    WriteSettings(c.ztp_bak);
    const std::string before = ReadAll(Settings());
    Put("b.ZTP", "old");
    fs::remove(Work("b.BAK"));
    RunResult r = Lumetra("--save-as b.ZTP '" + Example() + "'");
    EXPECT_EQ(r.status, kExitOk) << r.err;
    EXPECT_EQ(fs::exists(Work("b.BAK")), c.backup) << c.ztp_bak;
    EXPECT_EQ(Lumetra("--info b.ZTP").status, kExitOk);
    EXPECT_EQ(ReadAll(Settings()), before) << c.ztp_bak;
    EXPECT_NE(before.find("/projects/kept.ZTP"), std::string::npos);
  }
}

TEST_F(FileSafetyTest, SpecialFilesFailFastWithTheirCause) {
  fs::create_directory(Work("folder.ZTP"));
  ASSERT_EQ(::mkfifo(Work("pipe.ZTP").c_str(), 0600), 0);
  const std::string dir_text = platform::SystemErrorText(EISDIR);
  const std::string fifo_text = "Is a named pipe (FIFO), not a regular file";
  struct Case {
    std::string args;
    int status;
    std::string text;
  } cases[] = {
      {"--info folder.ZTP", kExitOfflineLoadFailed, "folder.ZTP\n\n" + dir_text},
      {"--info pipe.ZTP", kExitOfflineLoadFailed, "pipe.ZTP\n\n" + fifo_text},
      {"--info /dev/zero", kExitOfflineLoadFailed, "/dev/zero\n\nIs a device, not a regular file"},
      {"/R pipe.ZTP", kExitOfflineLoadFailed, "pipe.ZTP\n\n" + fifo_text},
      {"/R folder.ZTP", kExitOfflineLoadFailed, "folder.ZTP\n\n" + dir_text},
      {"pipe.ZTP", kAnyStatus, "pipe.ZTP\n\n" + fifo_text},  // plain start: told, not hung
      {"--save-as folder.ZTP '" + Example() + "'", kExitSaveFailed, "folder.ZTP\n\n" + dir_text},
      {"--save-as '' '" + Example() + "'", kExitCommandLine,
       "--save-as: the output file name is empty"},
      {"--info ''", kExitCommandLine, "--info: the project file name is empty"},
  };
  for (const Case& c : cases) {
    RunResult r = Lumetra(c.args);
    if (c.status != kAnyStatus) {
      EXPECT_EQ(r.status, c.status) << c.args << "\n" << r.err;
    }
    EXPECT_NE(r.status, kTimedOut) << c.args;
    EXPECT_NE((r.out + r.err).find(c.text), std::string::npos) << c.args << "\n" << r.err;
  }
  EXPECT_EQ(Names(), (std::set<std::string>{"folder.ZTP", "pipe.ZTP"}));
}

TEST_F(FileSafetyTest, SettingsThatAreAFifoDoNotHangTheProgram) {
  fs::create_directories(Settings().parent_path());
  ASSERT_EQ(::mkfifo(Settings().c_str(), 0600), 0);
  for (const std::string& args : {"--info '" + Example() + "'", std::string("/R")}) {
    RunResult r = Lumetra(args);
    EXPECT_EQ(r.status, kExitOk) << args << "\n" << r.err;
    EXPECT_NE(r.err.find("Settings file " + Settings().string() + " cannot be read"),
              std::string::npos)
        << args << "\n" << r.err;
  }
  EXPECT_TRUE(fs::is_fifo(Settings()));
}

TEST_F(FileSafetyTest, UnusableSettingsAreSetAsideOnceAndReplaced) {
  const std::string binary("\x7f" "ELF\0\0\x01\x02 not settings", 22);
  fs::create_directories(Settings().parent_path());
  std::ofstream(Settings(), std::ios::binary) << binary;
  RunResult r = Lumetra("/R");  // an interactive run that ends by itself saves its settings
  EXPECT_EQ(r.status, kExitOk) << r.err;
  const std::string told = "Settings file " + Settings().string() + " is unusable";
  EXPECT_NE(r.err.find(told), std::string::npos) << r.err;
  EXPECT_EQ(r.err.find(told, r.err.find(told) + 1), std::string::npos) << r.err;
  std::vector<fs::path> aside;
  for (const auto& e : fs::directory_iterator(Settings().parent_path()))
    if (e.path().filename().string().starts_with("settings.ini.bad-")) aside.push_back(e.path());
  ASSERT_EQ(aside.size(), 1u);
  EXPECT_EQ(ReadAll(aside[0]), binary);
  platform::IniStore now;
  EXPECT_EQ(now.LoadFile(Settings()).status, platform::IniLoadStatus::kLoaded);
  EXPECT_TRUE(now.Find("Software\\Telvane\\Fluxtar\\WorkWindowOptions", "SafeFrame"));
}

TEST_F(FileSafetyTest, OutputThatCannotBeWrittenIsAFailure) {
  struct Case {
    std::string args;
  } cases[] = {{"--info '" + Example() + "'"}, {"--version"}};
  for (const Case& c : cases) {
    RunResult r = Lumetra(c.args, "/dev/full");
    EXPECT_EQ(r.status, kExitSaveFailed) << c.args;
    const std::string told = "Could not write the output: " + platform::SystemErrorText(ENOSPC);
    EXPECT_NE(r.err.find(told), std::string::npos) << c.args << "\n" << r.err;
    EXPECT_EQ(r.err.find("Could not write", r.err.find(told) + 1), std::string::npos) << r.err;
    EXPECT_EQ(Lumetra(c.args).status, kExitOk) << c.args;
  }
}

TEST(GuardedMain, NoExceptionEndsTheProgramWithoutAMessage) {
  struct Case {
    std::function<int()> body;
    int status;
    std::string text;
  } cases[] = {
      {[]() -> int { throw std::bad_alloc(); }, kExitStartupFailed, "No memory\n"},
      {[]() -> int { throw std::runtime_error("broken"); }, kExitStartupFailed,
       "Internal error: broken\n"},
      {[]() -> int { throw 7; }, kExitStartupFailed, "Internal error: unknown exception\n"},
      {[] { return 5; }, 5, ""},
  };
  for (const Case& c : cases) {
    platform::LogStart();
    ::testing::internal::CaptureStderr();
    EXPECT_EQ(RunGuarded(c.body), c.status) << c.text;
    EXPECT_EQ(::testing::internal::GetCapturedStderr(), c.text);
    if (!c.text.empty()) {
      EXPECT_NE(platform::LogText().find(c.text.substr(0, c.text.size() - 1)), std::string::npos);
    }
  }
}

}  // namespace
}  // namespace lumetra::app
