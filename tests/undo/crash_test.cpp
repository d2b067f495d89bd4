// Real processes: an instance killed in the middle of its work is recovered by the next one, a
// live one never is, and instances starting together claim different prefixes.
#include <gtest/gtest.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <functional>

#include "undo/undo_fixture.h"

namespace lumetra::undo::testing {
namespace {

// A forked child running `body` with a pipe from the parent and one to it; it never returns
// into the test runner.
struct Child {
  pid_t pid = -1;
  int to_child = -1;
  int from_child = -1;
};

Child Spawn(const std::function<void(int in, int out)>& body) {
  int down[2], up[2];
  if (pipe(down) != 0 || pipe(up) != 0) return {};
  pid_t pid = fork();
  if (pid == 0) {
    alarm(60);  // a failing parent never leaves a child behind
    close(down[1]);
    close(up[0]);
    body(down[0], up[1]);
    _exit(0);
  }
  close(down[0]);
  close(up[1]);
  return {pid, down[1], up[0]};
}

std::string ReadSome(int fd, size_t n) {
  std::string out(n, '\0');
  size_t got = 0;
  while (got < n) {
    ssize_t r = read(fd, out.data() + got, n - got);
    if (r <= 0) break;
    got += static_cast<size_t>(r);
  }
  out.resize(got);
  return out;
}

void WaitForEof(int fd) {
  char c;
  while (read(fd, &c, 1) > 0) {
  }
}

// Later children inherit the pipe ends of earlier ones, so a child is told to finish by a byte,
// never by the end of its pipe.
void WaitForWord(int fd) {
  char c;
  while (read(fd, &c, 1) < 0 && errno == EINTR) {
  }
}
void Tell(const Child& c) {
  EXPECT_EQ(write(c.to_child, "X", 1), 1);
}

int ExitStatus(pid_t pid) {
  int status = 0;
  waitpid(pid, &status, 0);
  return status;
}

class CrashTest : public UndoTest {};

TEST_F(CrashTest, AKilledInstanceIsRecoveredAndALiveOneIsNot) {
  const std::string expected = (dir_ / "expected.bin").string();
  Child dying = Spawn([&](int, int out) {
    HostRecord record;
    record.path = "/home/user/film.ZTP";
    UndoStore& store = MakeStore(10, 2, &record);
    if (store.ClaimPrefix() != 0) _exit(2);
    for (int i = 1; i <= 5; ++i) {
      Edit(i);
      store.Save("Edit " + std::to_string(i));
    }
    store.Go(-1);
    store.Go(1);
    std::vector<uint8_t> bytes = CurrentBytes();
    std::ofstream(expected, std::ios::binary)
        .write(reinterpret_cast<const char*>(bytes.data()),
               static_cast<std::streamsize>(bytes.size()));
    if (write(out, "R", 1) != 1) _exit(3);
    for (;;) pause();
  });
  ASSERT_GT(dying.pid, 0);
  ASSERT_EQ(ReadSome(dying.from_child, 1), "R");

  Child live = Spawn([&](int in, int out) {
    UndoStore& store = MakeStore();
    if (store.ClaimPrefix() != 0) _exit(2);
    Edit(1);
    store.Save("Live edit");
    if (write(out, store.Prefix().c_str(), 4) != 4) _exit(3);
    WaitForWord(in);
    store.CleanFiles();
    _exit(0);
  });
  ASSERT_GT(live.pid, 0);
  EXPECT_EQ(ReadSome(live.from_child, 4), "Orcs");

  kill(dying.pid, SIGKILL);
  int status = ExitStatus(dying.pid);
  ASSERT_TRUE(WIFSIGNALED(status));
  EXPECT_EQ(StepsOnDisk("Orcr").size(), 6u);

  UndoStore& store = MakeStore();
  EXPECT_EQ(store.RecoverScan(false), 1);
  EXPECT_EQ(store.RecoverScan(true), 1);
  EXPECT_EQ(host_.labels, std::vector<std::string>{"/home/user/film.ZTP"});
  std::ifstream in(expected, std::ios::binary);
  std::vector<uint8_t> want((std::istreambuf_iterator<char>(in)), {});
  ASSERT_FALSE(want.empty());
  EXPECT_EQ(CurrentBytes(), want);
  EXPECT_EQ(host_.path, "/home/user/film.ZTP");
  EXPECT_EQ(store.Prefix(), "Orcr");
  EXPECT_EQ(store.Step(), 6);
  const char* history[] = {"New project", "Edit 1", "Edit 2", "Edit 3", "Edit 4", "Edit 5"};
  for (int i = 0; i < 6; ++i) EXPECT_EQ(store.Description(i - 5), history[i]);

  Tell(live);
  EXPECT_EQ(ExitStatus(live.pid), 0);
  close(live.to_child);
  EXPECT_TRUE(StepsOnDisk("Orcs").empty());
  close(dying.to_child);
  close(dying.from_child);
  close(live.from_child);
}

TEST_F(CrashTest, InstancesStartingTogetherGetDistinctPrefixes) {
  int go[2];
  ASSERT_EQ(pipe(go), 0);
  std::vector<Child> children;
  for (int i = 0; i < 3; ++i) {
    children.push_back(Spawn([&](int in, int out) {
      close(go[1]);
      WaitForEof(go[0]);  // every child starts claiming at the same moment
      UndoStore& store = MakeStore();
      if (store.ClaimPrefix() != 0) _exit(2);
      if (write(out, store.Prefix().c_str(), 4) != 4) _exit(3);
      WaitForWord(in);
      store.CleanFiles();
      _exit(0);
    }));
    ASSERT_GT(children.back().pid, 0);
  }
  close(go[0]);
  close(go[1]);
  std::set<std::string> prefixes;
  for (Child& c : children) prefixes.insert(ReadSome(c.from_child, 4));
  EXPECT_EQ(prefixes, (std::set<std::string>{"Orcr", "Orcs", "Orct"}));
  for (const std::string& p : prefixes) EXPECT_EQ(StepsOnDisk(p), std::set<int>{1}) << p;
  for (Child& c : children) {
    Tell(c);
    EXPECT_EQ(ExitStatus(c.pid), 0);
    close(c.to_child);
    close(c.from_child);
  }
  for (const std::string& p : prefixes) EXPECT_TRUE(StepsOnDisk(p).empty()) << p;
}

}  // namespace
}  // namespace lumetra::undo::testing
