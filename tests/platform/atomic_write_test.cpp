// The atomic-write helper and the safe whole-file reader: links written through, planted
// links never followed, non-regular files refused untouched, modes kept, backups.
#include "platform/atomic_write.h"

#include <gtest/gtest.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/un.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <set>
#include <sstream>
#include <string>
#include <vector>

#include "platform/error_text.h"
#include "platform/file_read.h"

namespace lumetra::platform {
namespace {

namespace fs = std::filesystem;

class AtomicWriteTest : public ::testing::Test {
 protected:
  void SetUp() override {
    std::string tmpl = (fs::temp_directory_path() / "lumetra-atomic-XXXXXX").string();
    ASSERT_NE(::mkdtemp(tmpl.data()), nullptr);
    dir_ = tmpl;
  }
  void TearDown() override {
    std::error_code ec;
    fs::remove_all(dir_, ec);
  }
  std::string Path(const std::string& name) const { return (dir_ / name).string(); }
  void Put(const std::string& name, const std::string& text) const {
    std::ofstream(Path(name), std::ios::binary) << text;
  }
  std::string Get(const std::string& path) const {
    std::ifstream in(path, std::ios::binary);
    std::stringstream s;
    s << in.rdbuf();
    return s.str();
  }
  std::set<std::string> Names() const {
    std::set<std::string> out;
    for (const auto& e : fs::directory_iterator(dir_)) out.insert(e.path().filename().string());
    return out;
  }
  static unsigned Mode(const std::string& path) {
    struct stat st {};
    return ::lstat(path.c_str(), &st) == 0 ? st.st_mode & 07777 : 0;
  }
  fs::path dir_;
};

TEST_F(AtomicWriteTest, WritesNewAndExistingFilesAndLeavesNoTemporary) {
  ASSERT_TRUE(AtomicWriteFile(Path("new.txt"), std::string_view("one")).ok());
  EXPECT_EQ(Get(Path("new.txt")), "one");
  ASSERT_TRUE(AtomicWriteFile(Path("new.txt"), std::string_view("two, longer")).ok());
  EXPECT_EQ(Get(Path("new.txt")), "two, longer");
  ASSERT_TRUE(AtomicWriteFile(Path("new.txt"), std::string_view("")).ok());
  EXPECT_EQ(Get(Path("new.txt")), "");
  EXPECT_EQ(Names(), std::set<std::string>{"new.txt"});
}

TEST_F(AtomicWriteTest, AFileWrittenInPiecesAppearsOnlyWhenCommitted) {
  Put("w.bin", "old");
  ASSERT_EQ(::chmod(Path("w.bin").c_str(), 0640), 0);
  const auto bytes = [](std::string_view text) {
    return std::span<const uint8_t>(reinterpret_cast<const uint8_t*>(text.data()), text.size());
  };
  {
    AtomicFile file;
    ASSERT_TRUE(file.Open(Path("w.bin")).ok());
    ASSERT_TRUE(file.Write(bytes("HEAD----body")).ok());
    EXPECT_EQ(Get(Path("w.bin")), "old");  // untouched while written
    EXPECT_EQ(Names().size(), 2u);
  }  // never committed: the temporary goes, the target stays
  EXPECT_EQ(Get(Path("w.bin")), "old");
  EXPECT_EQ(Names(), std::set<std::string>{"w.bin"});

  AtomicFile file;
  ASSERT_TRUE(file.Open(Path("w.bin")).ok());
  ASSERT_TRUE(file.Write(bytes("HEAD----")).ok());
  ASSERT_TRUE(file.Write(bytes("body")).ok());
  ASSERT_TRUE(file.WriteAt(4, bytes("1234")).ok());
  ASSERT_TRUE(file.Commit().ok());
  EXPECT_FALSE(file.IsOpen());
  EXPECT_EQ(Get(Path("w.bin")), "HEAD1234body");
  EXPECT_EQ(Mode(Path("w.bin")), 0640u);
  EXPECT_EQ(Names(), std::set<std::string>{"w.bin"});
  EXPECT_FALSE(file.Write(bytes("late")).ok());

  // A folder at the target is refused before anything is created.
  ASSERT_TRUE(fs::create_directory(dir_ / "folder"));
  AtomicFile refused;
  const FileResult r = refused.Open(Path("folder"));
  EXPECT_FALSE(r.ok());
  EXPECT_TRUE(r.create_failed);
  EXPECT_EQ(Names(), (std::set<std::string>{"folder", "w.bin"}));
}

TEST_F(AtomicWriteTest, KeepsTheModeOfTheTarget) {
  for (unsigned mode : {0600u, 0640u, 0444u, 0755u}) {
    Put("m.txt", "old");
    ASSERT_EQ(::chmod(Path("m.txt").c_str(), mode), 0);
    ASSERT_TRUE(AtomicWriteFile(Path("m.txt"), std::string_view("new")).ok()) << std::oct << mode;
    EXPECT_EQ(Mode(Path("m.txt")), mode) << std::oct << mode;
    EXPECT_EQ(Get(Path("m.txt")), "new");
  }
  // A new file gets the requested mode (the umask can only take bits away).
  ASSERT_TRUE(AtomicWriteFile(Path("private.txt"), std::string_view("x"), {0600}).ok());
  EXPECT_EQ(Mode(Path("private.txt")), 0600u);
}

TEST_F(AtomicWriteTest, WritesThroughLinksAndKeepsThem) {
  fs::create_directory(dir_ / "real");
  Put("real/target.txt", "old");
  fs::create_symlink("real/target.txt", dir_ / "relative.lnk");
  fs::create_symlink(dir_ / "relative.lnk", dir_ / "chain.lnk");  // link to a link
  ASSERT_TRUE(AtomicWriteFile(Path("chain.lnk"), std::string_view("through")).ok());
  EXPECT_TRUE(fs::is_symlink(dir_ / "chain.lnk"));
  EXPECT_TRUE(fs::is_symlink(dir_ / "relative.lnk"));
  EXPECT_EQ(Get(Path("real/target.txt")), "through");
  // A dangling link is written through too: its target is created.
  fs::create_symlink("real/later.txt", dir_ / "dangling.lnk");
  ASSERT_TRUE(AtomicWriteFile(Path("dangling.lnk"), std::string_view("made")).ok());
  EXPECT_TRUE(fs::is_symlink(dir_ / "dangling.lnk"));
  EXPECT_EQ(Get(Path("real/later.txt")), "made");
  // A loop of links is refused.
  fs::create_symlink("loop2.lnk", dir_ / "loop1.lnk");
  fs::create_symlink("loop1.lnk", dir_ / "loop2.lnk");
  EXPECT_EQ(AtomicWriteFile(Path("loop1.lnk"), std::string_view("x")).error, ELOOP);
}

TEST_F(AtomicWriteTest, NeverFollowsALinkPlantedAtATemporaryName) {
  Put("victim.txt", "precious");
  Put("out.txt", "old");
  // The names an older fixed-name writer used, and some guesses of the pattern.
  for (const char* planted : {"out.txt.tmp", "out.txt.XXXXXX", "out.txt.tmp-000000"})
    fs::create_symlink(dir_ / "victim.txt", dir_ / planted);
  for (int i = 0; i < 20; ++i)
    ASSERT_TRUE(AtomicWriteFile(Path("out.txt"), std::string_view("fresh")).ok());
  EXPECT_EQ(Get(Path("victim.txt")), "precious");
  EXPECT_EQ(Get(Path("out.txt")), "fresh");
  EXPECT_EQ(Names().size(), 5u);  // victim, out and the three planted links, nothing else
}

TEST_F(AtomicWriteTest, RefusesEveryTargetThatIsNoRegularFileTouchingNothing) {
  fs::create_directory(dir_ / "folder");
  Put("folder/inside.txt", "keep");
  ASSERT_EQ(::mkfifo(Path("pipe").c_str(), 0600), 0);
  const int sock = ::socket(AF_UNIX, SOCK_STREAM, 0);
  ASSERT_GE(sock, 0);
  sockaddr_un addr{};
  addr.sun_family = AF_UNIX;
  const std::string sock_path = Path("sock");
  ASSERT_LT(sock_path.size(), sizeof addr.sun_path);
  std::copy(sock_path.begin(), sock_path.end(), addr.sun_path);
  ASSERT_EQ(::bind(sock, reinterpret_cast<sockaddr*>(&addr), sizeof addr), 0);
  fs::create_symlink(dir_ / "folder", dir_ / "folder.lnk");
  fs::create_symlink("/dev/null", dir_ / "device.lnk");
  struct Case {
    std::string path;
    std::string text;
  } cases[] = {
      {Path("folder"), SystemErrorText(EISDIR)},
      {Path("folder.lnk"), SystemErrorText(EISDIR)},
      {Path("pipe"), "Is a named pipe (FIFO), not a regular file"},
      {sock_path, "Is a socket, not a regular file"},
      {Path("device.lnk"), "Is a device, not a regular file"},
  };
  const std::set<std::string> before = Names();
  for (const Case& c : cases) {
    bool exists = true;
    FileResult check = CheckWriteTarget(c.path, &exists);
    EXPECT_FALSE(check.ok()) << c.path;
    EXPECT_EQ(check.message, c.text) << c.path;
    FileResult write = AtomicWriteFile(c.path, std::string_view("x"));
    EXPECT_FALSE(write.ok()) << c.path;
    EXPECT_EQ(write.message, c.text) << c.path;
    EXPECT_FALSE(KeepBackup(c.path, Path("backup")).ok()) << c.path;
  }
  ::close(sock);
  EXPECT_EQ(Names(), before);
  EXPECT_TRUE(fs::is_fifo(dir_ / "pipe"));
  EXPECT_EQ(Get(Path("folder/inside.txt")), "keep");
  EXPECT_TRUE(fs::is_character_file("/dev/null"));
}

TEST_F(AtomicWriteTest, AFailedWriteLeavesTheTargetAndNoTemporary) {
  Put("plain", "file");
  // A folder that cannot exist (below a regular file) fails for every user, root included.
  FileResult r = AtomicWriteFile(Path("plain/below.txt"), std::string_view("x"));
  EXPECT_EQ(r.error, ENOTDIR);
  EXPECT_TRUE(r.create_failed);
  EXPECT_EQ(r.message, SystemErrorText(ENOTDIR));
  EXPECT_EQ(Names(), std::set<std::string>{"plain"});
  EXPECT_EQ(Get(Path("plain")), "file");
}

TEST_F(AtomicWriteTest, BackupKeepsTheOldContentsAndTheSameNameKeepsNone) {
  Put("p.ZTP", "old");
  ASSERT_EQ(::chmod(Path("p.ZTP").c_str(), 0640), 0);
  Put("p.BAK", "older");
  ASSERT_TRUE(KeepBackup(Path("p.ZTP"), Path("p.BAK")).ok());
  EXPECT_EQ(Get(Path("p.BAK")), "old");
  EXPECT_EQ(Get(Path("p.ZTP")), "old");  // the target stays in place until it is replaced
  ASSERT_TRUE(AtomicWriteFile(Path("p.ZTP"), std::string_view("new")).ok());
  EXPECT_EQ(Get(Path("p.ZTP")), "new");
  EXPECT_EQ(Get(Path("p.BAK")), "old");
  EXPECT_EQ(Mode(Path("p.BAK")), 0640u);
  // The backup name is the target itself, directly or through a link: nothing to keep.
  fs::create_symlink("p.ZTP", dir_ / "same.lnk");
  for (const std::string& backup : {Path("p.ZTP"), Path("same.lnk")}) {
    ASSERT_TRUE(KeepBackup(Path("p.ZTP"), backup).ok()) << backup;
    EXPECT_EQ(Get(Path("p.ZTP")), "new");
  }
  // Nothing to keep for a missing target; a backup name that is a folder is refused.
  EXPECT_TRUE(KeepBackup(Path("missing.ZTP"), Path("missing.BAK")).ok());
  fs::create_directory(dir_ / "d.BAK");
  EXPECT_EQ(KeepBackup(Path("p.ZTP"), Path("d.BAK")).message, SystemErrorText(EISDIR));
  EXPECT_EQ(Names(), (std::set<std::string>{"p.ZTP", "p.BAK", "same.lnk", "d.BAK"}));
}

TEST(AtomicTempName, MatchesOnlyTheHelpersTemporaries) {
  struct Case {
    const char* name;
    bool temp;
  } cases[] = {{"settings.ini.tmp-a1B2c3", true}, {"x.sav.tmp-ZZZZZZ", true},
               {"settings.ini.tmp-a1B2c", false}, {"settings.ini.tmp-a1B2c!", false},
               {".tmp-abcdef", false},            {"settings.ini", false},
               {"x.tmp-abcdefg", false}};
  for (const Case& c : cases) EXPECT_EQ(IsAtomicTempName(c.name), c.temp) << c.name;
}

TEST_F(AtomicWriteTest, ProbeLeavesNothingAndFailsWhereNothingCanBeMade) {
  EXPECT_TRUE(ProbeWritableDirectory(dir_.string()));
  EXPECT_TRUE(Names().empty());
  Put("plain", "file");
  EXPECT_FALSE(ProbeWritableDirectory(Path("plain")));
  EXPECT_FALSE(ProbeWritableDirectory(Path("missing")));
}

TEST_F(AtomicWriteTest, ReadsOnlyRegularFilesAndNeverMoreThanTheirSize) {
  Put("small", "abc");
  fs::create_directory(dir_ / "folder");
  ASSERT_EQ(::mkfifo(Path("pipe").c_str(), 0600), 0);
  struct Case {
    std::string path;
    std::size_t limit;
    int error;
    std::string text;
  } cases[] = {
      {Path("small"), 3, 0, ""},
      {Path("small"), 2, EFBIG, SystemErrorText(EFBIG)},
      {Path("missing"), 100, ENOENT, SystemErrorText(ENOENT)},
      {Path("folder"), 100, EISDIR, SystemErrorText(EISDIR)},
      // Neither hangs nor reads forever: refused before any read.
      {Path("pipe"), 100, EINVAL, "Is a named pipe (FIFO), not a regular file"},
      {"/dev/zero", SIZE_MAX, EINVAL, "Is a device, not a regular file"},
      {"", 100, ENOENT, SystemErrorText(ENOENT)},
  };
  for (const Case& c : cases) {
    std::vector<uint8_t> bytes{1, 2};
    FileResult r = ReadRegularFile(c.path, c.limit, bytes);
    EXPECT_EQ(r.error, c.error) << c.path;
    EXPECT_EQ(r.message, c.text) << c.path;
    EXPECT_EQ(CheckRegularFile(c.path).error, c.error == EFBIG ? 0 : c.error) << c.path;
    if (c.error == 0) {
      EXPECT_EQ(std::string(bytes.begin(), bytes.end()), "abc");
    } else {
      EXPECT_TRUE(bytes.empty()) << c.path;
    }
  }
  std::string text;
  ASSERT_TRUE(ReadRegularFile(Path("small"), 100, text).ok());
  EXPECT_EQ(text, "abc");
}

TEST(NotRegularFileText, NamesEachKind) {
  EXPECT_EQ(NotRegularFileText(S_IFREG | 0644), "");
  EXPECT_EQ(NotRegularFileText(S_IFDIR), SystemErrorText(EISDIR));
  EXPECT_EQ(NotRegularFileText(S_IFBLK), "Is a device, not a regular file");
  EXPECT_EQ(NotRegularFileText(S_IFCHR), "Is a device, not a regular file");
  EXPECT_EQ(NotRegularFileText(S_IFSOCK), "Is a socket, not a regular file");
  EXPECT_EQ(NotRegularFileText(S_IFIFO), "Is a named pipe (FIFO), not a regular file");
}

}  // namespace
}  // namespace lumetra::platform
