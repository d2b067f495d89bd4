// "--list-plugins" run as a program: the plug-in folders, "/L:" replacing the scan, and the
// JSON of what the libraries registered.
#include <gtest/gtest.h>

#include <stdlib.h>

#include <filesystem>
#include <fstream>
#include <sstream>

#include "platform/launcher.h"

namespace {

namespace fs = std::filesystem;

std::string Library(const std::string& name) {
  return std::string(LUMETRA_TEST_LIBRARY_DIR) + "/" + name + ".ztl";
}

class PluginListTest : public ::testing::Test {
 protected:
  void SetUp() override {
    char pattern[] = "/tmp/lumetra-plugin-list-XXXXXX";
    dir_ = mkdtemp(pattern);
    fs::create_directories(dir_ / "data" / "lumetra" / "plugins");
    fs::create_directories(dir_ / "extra");
  }
  void TearDown() override { fs::remove_all(dir_); }

  struct Outcome {
    int status;
    std::string out;
  };
  // Runs the program with the user's folders under the test directory.
  Outcome Run(const std::string& args, const std::string& plugin_path) {
    const std::string out = (dir_ / "out.json").string();
    const std::string command = "XDG_DATA_HOME='" + (dir_ / "data").string() + "' XDG_CONFIG_HOME='" +
                                (dir_ / "config").string() + "' LUMETRA_PLUGIN_PATH='" + plugin_path +
                                "' '" + LUMETRA_BINARY + "' --list-plugins " + args + " >'" + out +
                                "' 2>/dev/null";
    int status = lumetra::platform::RunProgram("sh", {"-c", command});
    std::ifstream in(out);
    std::stringstream text;
    text << in.rdbuf();
    return {status, text.str()};
  }

  fs::path dir_;
};

TEST_F(PluginListTest, FoldersAreScannedUnlessALibraryIsNamed) {
  const fs::path user = dir_ / "data" / "lumetra" / "plugins" / "mix.ztl";
  const fs::path extra = dir_ / "extra" / "alt.ztl";
  fs::copy_file(Library("mix_v2"), user);
  fs::copy_file(Library("alt_entry"), extra);
  struct Case {
    std::string args;
    std::vector<std::string> listed;
    std::vector<std::string> absent;
  };
  const Case cases[] = {
      {"", {user.string(), extra.string(), "\"signature\":\"Mix 1.0 ZOLT Standard\""}, {}},
      {"'/L:" + Library("no_entry") + "' '-l:" + extra.string() + "'",
       {extra.string(), "\"signature\":\"Alt 1.0 Test\""},
       {user.string(), "Mix 1.0", "no_entry"}},  // never called: not listed
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.args);
    Outcome o = Run(c.args, (dir_ / "extra").string());
    EXPECT_EQ(o.status, 0);
    for (const std::string& text : c.listed) EXPECT_NE(o.out.find(text), std::string::npos) << o.out;
    for (const std::string& text : c.absent) EXPECT_EQ(o.out.find(text), std::string::npos) << o.out;
  }
  // The user's folder comes before the colon list.
  Outcome o = Run("", (dir_ / "extra").string());
  EXPECT_LT(o.out.find(user.string()), o.out.find(extra.string()));
}

TEST_F(PluginListTest, EffectsCarryVersionInputsAndFields) {
  Outcome o = Run("'/L:" + Library("mix_layout2") + "'", "");
  EXPECT_EQ(o.status, 0);
  EXPECT_NE(o.out.find("\"signature\":\"Mix 1.0 ZOLT Standard\",\"name\":\"Compositing/Mix\","
                       "\"version\":1,\"flags\":0,\"inputs\":2,\"previous_track_input\":1,"
                       "\"fields\":[{\"name\":\"level\",\"type\":3,\"count\":1},"
                       "{\"name\":\"balance\",\"type\":9,\"count\":1}]"),
            std::string::npos)
      << o.out;
  EXPECT_EQ(Run("/X", "").status, 2);
}

#ifdef LUMETRA_EFFECTS_LIBRARY
// How often text occurs in s.
std::size_t Occurrences(const std::string& s, const std::string& text) {
  std::size_t n = 0;
  for (std::size_t at = s.find(text); at != std::string::npos; at = s.find(text, at + 1)) ++n;
  return n;
}

TEST_F(PluginListTest, TheStandardLibraryListsItsEffectsAndInputFormats) {
  Outcome o = Run(std::string("'/L:") + LUMETRA_EFFECTS_LIBRARY + "'", "");
  EXPECT_EQ(o.status, 0);
  EXPECT_EQ(Occurrences(o.out, "\"path\":"), 1u) << o.out;
  EXPECT_NE(o.out.find("\"result\":1"), std::string::npos) << o.out;
  EXPECT_EQ(Occurrences(o.out, "\"signature\":"), 37u) << o.out;
  const std::size_t inputs = o.out.find("\"input_formats\":");
  ASSERT_NE(inputs, std::string::npos);
  EXPECT_EQ(Occurrences(o.out.substr(inputs), "\"extensions\":"), 2u) << o.out;
}
#endif

#ifdef LUMETRA_FORMATS_LIBRARY
TEST_F(PluginListTest, TheFormatLibraryListsItsFormats) {
  Outcome o = Run(std::string("'/L:") + LUMETRA_FORMATS_LIBRARY + "'", "");
  EXPECT_EQ(o.status, 0);
  EXPECT_NE(o.out.find("\"result\":1"), std::string::npos) << o.out;
  for (const char* text : {"\"PNG image\"", "\"Movie\"", "\"Sound\"", "\"mp4\"", "\"exr\"", "\"flac\""}) {
    EXPECT_NE(o.out.find(text), std::string::npos) << text << "\n" << o.out;
  }
}
#endif

}  // namespace
