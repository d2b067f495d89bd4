// Error texts, numbered names, paths, machine facts, libraries, locks and the launcher.
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <filesystem>
#include <fstream>

#include "platform/dynamic_library.h"
#include "platform/error_text.h"
#include "platform/file_ops.h"
#include "platform/launcher.h"
#include "platform/named_lock.h"
#include "platform/numbered_name.h"
#include "platform/system_info.h"
#include "platform/system_paths.h"

using namespace lumetra::platform;
namespace fs = std::filesystem;

namespace {

// A fresh directory under the build's temporary area, removed afterwards.
class ScratchDir : public ::testing::Test {
 protected:
  void SetUp() override {
    dir_ = fs::temp_directory_path() /
           ("lumetra-platform-test-" + std::to_string(getpid()) + "-" +
            ::testing::UnitTest::GetInstance()->current_test_info()->name());
    fs::remove_all(dir_);
    fs::create_directories(dir_);
  }
  void TearDown() override { fs::remove_all(dir_); }
  fs::path dir_;
};

}  // namespace

TEST(ErrorText, ExpandsEveryNumberedErrorAndKeepsTheRest) {
  std::string enoent = std::strerror(ENOENT);
  std::string eacces = std::strerror(EACCES);
  struct Case {
    std::string in, out;
  } cases[] = {
      {"Open failed: &e2", "Open failed: " + enoent},
      {"&e2 / &e13.", enoent + " / " + eacces + "."},
      {"no code &e here", "no code &e here"},
      {"trailing &e", "trailing &e"},
      {"&", "&"},
      {"plain", "plain"},
  };
  for (const Case& c : cases) EXPECT_EQ(ExpandErrorCodes(c.in), c.out) << c.in;
  // A huge number must neither overflow nor leave digits behind: the first nine count.
  EXPECT_EQ(ExpandErrorCodes("x&e99999999999999999999y"), "x" + SystemErrorText(999999999) + "y");
}

TEST(NumberedName, ThreeDigitsThenPlainFrom1000) {
  EXPECT_EQ(NumberedName("Track", 0), "Track000");
  EXPECT_EQ(NumberedName("Track", 7), "Track007");
  EXPECT_EQ(NumberedName("Track", 999), "Track999");
  EXPECT_EQ(NumberedName("Track", 1000), "Track1000");
  EXPECT_EQ(NumberedName("Clip ", 12345), "Clip 12345");
}

TEST(SystemPaths, SplitsProgramPathIntoHomeAndName) {
  ProgramLocation a = SplitProgramPath("/opt/lumetra/bin/lumetra");
  EXPECT_EQ(a.home, "/opt/lumetra/bin/");
  EXPECT_EQ(a.name, "lumetra");
  ProgramLocation b = SplitProgramPath("/x.y/Lumetra.exe");
  EXPECT_EQ(b.home, "/x.y/");
  EXPECT_EQ(b.name, "Lumetra");
  EXPECT_EQ(SplitProgramPath("lumetra").home, "./");
  std::string self = ProgramPath();
  ASSERT_FALSE(self.empty());
  EXPECT_EQ(self.front(), '/');
}

TEST(SystemPaths, TempDirectoryNameFollowsTheEnvironment) {
  struct Case {
    TempEnvironment env;
    std::string name;
  } cases[] = {
      {{"/run/user/1000", "/var/tmp", 1000}, "/run/user/1000/lumetra"},
      {{"/run/user/1000/", "", 1000}, "/run/user/1000/lumetra"},
      {{"", "/var/tmp/", 42}, "/var/tmp/lumetra-42"},
      {{"", "", 42}, "/tmp/lumetra-42"},
      {{"relative", "also-relative", 7}, "/tmp/lumetra-7"},
      {{"", "/", 7}, "/lumetra-7"},
  };
  for (const Case& c : cases) EXPECT_EQ(UserTempDirectoryName(c.env), c.name);
}

TEST(SystemPaths, TempCandidatesFallBackToTmpdirThenTmp) {
  struct Case {
    TempEnvironment env;
    std::vector<std::string> candidates;
  } cases[] = {
      {{"/run/user/1000", "/var/tmp", 1000},
       {"/run/user/1000/lumetra", "/var/tmp/lumetra-1000", "/tmp/lumetra-1000"}},
      {{"/run/user/5", "", 5}, {"/run/user/5/lumetra", "/tmp/lumetra-5"}},
      {{"", "/tmp/", 5}, {"/tmp/lumetra-5"}},
      {{"relative", "also-relative", 7}, {"/tmp/lumetra-7"}},
  };
  for (const Case& c : cases) EXPECT_EQ(UserTempCandidates(c.env), c.candidates);
}

TEST_F(ScratchDir, TempDirectoryIsPrivateAndRefusesSymlinks) {
  TempEnvironment env{"", dir_.string(), static_cast<unsigned>(getuid())};
  auto made = UserTempDirectory(env);
  ASSERT_TRUE(made);
  struct stat st {};
  ASSERT_EQ(stat(made->c_str(), &st), 0);
  EXPECT_EQ(st.st_mode & 0777, 0700u);
  // A loosened directory is tightened again.
  chmod(made->c_str(), 0777);
  ASSERT_TRUE(UserTempDirectory(env));
  ASSERT_EQ(stat(made->c_str(), &st), 0);
  EXPECT_EQ(st.st_mode & 0777, 0700u);

  // A symlink in its place (someone else's directory) is not used.
  fs::remove_all(*made);
  fs::create_directory(dir_ / "elsewhere");
  fs::create_directory_symlink(dir_ / "elsewhere", *made);
  const unsigned uid = static_cast<unsigned>(getuid());
  EXPECT_EQ(CheckUserTempDirectory(*made, uid), "it is a symbolic link");
  // Nor is a directory owned by another user id, nor a file in its place.
  EXPECT_EQ(CheckUserTempDirectory((dir_ / "elsewhere").string(), uid + 1).rfind(
                "it belongs to another user", 0),
            0u);
  std::ofstream(dir_ / "plain") << "x";
  EXPECT_EQ(CheckUserTempDirectory((dir_ / "plain").string(), uid), "it is not a directory");
  EXPECT_EQ(CheckUserTempDirectory((dir_ / "plain" / "under").string(), uid), "Not a directory");
}

TEST_F(ScratchDir, RefusedRuntimeDirectoryFallsBackToTmpdirAndSaysWhy) {
  const unsigned uid = static_cast<unsigned>(getuid());
  // $XDG_RUNTIME_DIR/lumetra is a symlink: refused, and $TMPDIR/lumetra-<uid> is used.
  fs::create_directory(dir_ / "run");
  fs::create_directory(dir_ / "elsewhere");
  fs::create_directory_symlink(dir_ / "elsewhere", dir_ / "run" / "lumetra");
  fs::create_directory(dir_ / "tmp");
  TempEnvironment env{(dir_ / "run").string(), (dir_ / "tmp").string(), uid};
  std::vector<std::string> refusals;
  auto chosen = UserTempDirectory(env, &refusals);
  ASSERT_TRUE(chosen);
  EXPECT_EQ(*chosen, (dir_ / "tmp" / ("lumetra-" + std::to_string(uid))).string());
  EXPECT_EQ(refusals, std::vector<std::string>{"Temporary directory '" +
                                               (dir_ / "run" / "lumetra").string() +
                                               "' refused: it is a symbolic link"});
}

TEST_F(ScratchDir, FileOperationsReportErrno) {
  std::string a = (dir_ / "a.ZTP").string(), b = (dir_ / "a.BAK").string();
  EXPECT_FALSE(FileExists(a));
  EXPECT_EQ(CheckReadable(a), ENOENT);
  EXPECT_EQ(CheckReadable(dir_.string()), EISDIR);
  std::ofstream(a) << "x";
  EXPECT_TRUE(FileExists(a));
  EXPECT_EQ(CheckReadable(a), 0);
  EXPECT_EQ(RenameFile(a, b), 0);
  EXPECT_EQ(RenameFile(a, b), ENOENT);
  EXPECT_EQ(RemoveFile(b), 0);
  EXPECT_EQ(RemoveFile(b), ENOENT);
  EXPECT_TRUE(IsReadWriteDirectory(dir_.string()));
  EXPECT_FALSE(IsReadWriteDirectory(a));
  EXPECT_TRUE(MakeDirectory((dir_ / "new").string()));
  EXPECT_TRUE(MakeDirectory((dir_ / "new").string()));  // already there is fine
  EXPECT_FALSE(MakeDirectory((dir_ / "missing" / "new").string()));
}

TEST(SystemInfo, MachineFacts) {
  EXPECT_GE(ProcessorCount(), 1);
  EXPECT_GT(PhysicalMemory(), 16ull << 20);
  EXPECT_TRUE(FreeDiskSpace("/").has_value());
  EXPECT_FALSE(FreeDiskSpace("/no/such/directory/here").has_value());
}

TEST(DynamicLibrary, LoadsResolvesAndReportsDlerror) {
  DynamicLibrary libc = DynamicLibrary::Open("libc.so.6");
  ASSERT_TRUE(libc.Loaded()) << libc.Error();
  auto strlen_fn = reinterpret_cast<std::size_t (*)(const char*)>(libc.Symbol("strlen"));
  ASSERT_NE(strlen_fn, nullptr);
  EXPECT_EQ(strlen_fn("abcd"), 4u);
  EXPECT_EQ(libc.Symbol("no_such_symbol_anywhere"), nullptr);
  EXPECT_NE(libc.Error().find("no_such_symbol_anywhere"), std::string::npos);

  DynamicLibrary missing = DynamicLibrary::Open("/no/such/Effects.ztl");
  EXPECT_FALSE(missing.Loaded());
  EXPECT_NE(missing.Error().find("/no/such/Effects.ztl"), std::string::npos);
  EXPECT_EQ(missing.Symbol("x"), nullptr);

  DynamicLibrary moved = std::move(libc);
  EXPECT_TRUE(moved.Loaded());
  EXPECT_FALSE(libc.Loaded());  // NOLINT(bugprone-use-after-move): moved-from is empty
}

TEST_F(ScratchDir, NamedLockExcludesOtherHoldersUntilReleased) {
  std::string error;
  auto first = NamedLock::Acquire(dir_.string(), "ZOLT_StartMutex", false, &error);
  ASSERT_TRUE(first) << error;
  EXPECT_EQ(first->Path(), (dir_ / "ZOLT_StartMutex.lock").string());
  // flock belongs to the open file, so a second open in this process is another holder.
  EXPECT_FALSE(NamedLock::Acquire(dir_.string(), "ZOLT_StartMutex", false, &error));
  EXPECT_TRUE(NamedLock::Acquire(dir_.string(), "other", false));
  first.reset();
  EXPECT_TRUE(NamedLock::Acquire(dir_.string(), "ZOLT_StartMutex", true));
  EXPECT_FALSE(NamedLock::Acquire((dir_ / "missing").string(), "x", false, &error));
  EXPECT_EQ(error, std::strerror(ENOENT));
}

TEST_F(ScratchDir, LauncherRunsWithoutAShell) {
  std::string error;
  EXPECT_EQ(RunProgram("true", {}), 0);
  EXPECT_EQ(RunProgram("false", {}), 1);
  EXPECT_EQ(RunProgram("sh", {"-c", "exit 3"}), 3);
  // Shell metacharacters in a path are just bytes of one argument.
  std::string odd = (dir_ / "a b; touch pwned").string();
  EXPECT_EQ(RunProgram("touch", {odd}), 0);
  EXPECT_TRUE(FileExists(odd));
  EXPECT_FALSE(FileExists((dir_ / "pwned").string()));

  EXPECT_NE(RunProgram("no-such-program-lumetra", {}, &error), 0);
  EXPECT_FALSE(error.empty());
  EXPECT_TRUE(OpenWithViewer(odd, &error, "true"));
  error.clear();
  EXPECT_FALSE(OpenWithViewer(odd, &error, "false"));
  EXPECT_NE(error.find("false exited with status 1"), std::string::npos);
}

TEST_F(ScratchDir, BoundedLockWaitSaysItWaitsAndGivesUp) {
  std::string d = dir_.string();
  auto held = NamedLock::Acquire(d, "start", false);
  ASSERT_TRUE(held);
  std::vector<std::string> told;
  std::string error;
  auto second = NamedLock::AcquireWithin(
      d, "start", std::chrono::milliseconds(120),
      [&](const std::string& path) { told.push_back(path); }, &error);
  EXPECT_FALSE(second);
  EXPECT_EQ(errno, ETIMEDOUT);
  EXPECT_EQ(error, SystemErrorText(ETIMEDOUT));
  EXPECT_EQ(told, std::vector<std::string>{d + "/start.lock"});

  // Free: taken at once, and nobody is told about a wait.
  held.reset();
  told.clear();
  auto third = NamedLock::AcquireWithin(d, "start", std::chrono::milliseconds(0),
                                        [&](const std::string& path) { told.push_back(path); });
  EXPECT_TRUE(third);
  EXPECT_TRUE(told.empty());
}
