// The built program at start-up: a dead instance's series is offered for recovery unless "/Q"
// says not to, and the program's own snapshots are gone after a normal exit.
#include <gtest/gtest.h>
#include <unistd.h>

#include <cstdlib>
#include <fstream>
#include <sstream>

#include "undo/undo_fixture.h"

namespace lumetra::undo::testing {
namespace {

class StartupRecoveryTest : public UndoTest {
 protected:
  // Runs the program with its per-user temporary directory inside the test directory; its
  // stderr (where the headless host shows dialogs) comes back.
  std::string RunProgram(const std::string& args) {
    std::string out = (dir_ / "out.txt").string();
    std::string cmd = "cd '" + dir_.string() + "' && env -u XDG_RUNTIME_DIR TMPDIR='" +
                      dir_.string() + "' XDG_CONFIG_HOME='" + dir_.string() + "' '" +
                      LUMETRA_BINARY + "' " + args + " >'" + out + "' 2>&1";
    int rc = std::system(cmd.c_str());
    EXPECT_EQ(rc, 0) << cmd;
    std::ifstream in(out);
    std::stringstream text;
    text << in.rdbuf();
    return text.str();
  }
};

TEST_F(StartupRecoveryTest, SlashQSkipsRecovery) {
  // The program's temporary directory, with a series left by a dead instance.
  std::filesystem::path temp = dir_ / ("lumetra-" + std::to_string(getuid()));
  std::filesystem::create_directories(temp);
  std::filesystem::permissions(temp, std::filesystem::perms::owner_all);
  {
    UndoStore store(std::make_unique<UndoHost>());
    store.Configure({temp.string(), 10, 2, true});
    ASSERT_EQ(store.ClaimPrefix(), 0);
  }
  ASSERT_TRUE(std::filesystem::exists(temp / "Orcr0001.sav"));

  std::string offered = RunProgram("");
  EXPECT_NE(offered.find("Select project to recover"), std::string::npos) << offered;
  std::string skipped = RunProgram("/Q");
  EXPECT_EQ(skipped.find("Select project to recover"), std::string::npos) << skipped;

  // Declined both times: the series stays, and each run cleaned its own prefix.
  EXPECT_TRUE(std::filesystem::exists(temp / "Orcr0001.sav"));
  for (const auto& e : std::filesystem::directory_iterator(temp))
    EXPECT_FALSE(e.path().filename().string().starts_with("Orcs")) << e.path();
}

}  // namespace
}  // namespace lumetra::undo::testing
