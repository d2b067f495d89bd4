// The command line's renders: the pattern and frame arguments, the progress lines, and the
// built program rendering the example through the test formats (tests/plugins/fake_format.c).
#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <iterator>
#include <sstream>

#include "app/exit_status.h"
#include "app/render_output.h"
#include "binary_runner.h"
#include "render/pic.h"
#include "temp_dir.h"

namespace lumetra::app {
namespace {

namespace fs = std::filesystem;

TEST(RenderCommand, OutputPatterns) {
  auto p = ParseOutputPattern("out/frame####.png");
  ASSERT_TRUE(p);
  EXPECT_EQ(p->directory, "out");
  EXPECT_EQ(p->base_name, "frame");
  EXPECT_EQ(p->digits, 4);
  EXPECT_EQ(p->extension, "png");
  p = ParseOutputPattern("movie.mp4");
  ASSERT_TRUE(p);
  EXPECT_EQ(p->directory, ".");
  EXPECT_EQ(p->base_name, "movie");
  EXPECT_EQ(p->digits, 0);
  EXPECT_FALSE(ParseOutputPattern("out/noext"));
  EXPECT_FALSE(ParseOutputPattern("out/trailing."));
  EXPECT_FALSE(ParseOutputPattern("f" + std::string(32, '#') + ".png"));  // over 31 digits
  // One run of '#' right before the extension; a '#' elsewhere in the name is refused (a
  // folder may hold one).
  for (const char* refused : {"out/f##_v##.png", "out/f#x.png", "out/#f.png"}) {
    EXPECT_FALSE(ParseOutputPattern(refused)) << refused;
    EXPECT_NE(OutputPatternProblem(refused).find("'#'"), std::string::npos) << refused;
  }
  p = ParseOutputPattern("take#2/f###.png");
  ASSERT_TRUE(p);
  EXPECT_EQ(p->directory, "take#2");
  EXPECT_EQ(p->base_name, "f");
  EXPECT_EQ(p->digits, 3);
  EXPECT_EQ(OutputPatternProblem("take#2/f###.png"), "");
}

TEST(RenderCommand, FrameSpecs) {
  struct Case {
    const char* text;
    bool ok;
    int32_t first, last, step;
  } cases[] = {{"0-99", true, 0, 99, 1},  {"10-20:2", true, 10, 20, 2}, {"7", true, 7, 7, 1},
               {"5-1", false, 0, 0, 0},   {"1-5:0", false, 0, 0, 0},    {"a-b", false, 0, 0, 0},
               {"1-5:-1", true, 1, 5, -1}, {"", false, 0, 0, 0},         {"-3-4", false, 0, 0, 0},
               {"1-", false, 0, 0, 0},     {"NaN", false, 0, 0, 0},
               {"0-9999999", true, 0, 9999999, 1}, {"0-10000000", false, 0, 0, 0},
               {"0-2147483647", false, 0, 0, 0},   {"0-5:10000000", false, 0, 0, 0}};
  for (const Case& c : cases) {
    auto f = ParseFrameSpec(c.text);
    ASSERT_EQ(f.has_value(), c.ok) << c.text;
    if (!f) continue;
    EXPECT_EQ(f->first, c.first) << c.text;
    EXPECT_EQ(f->last, c.last) << c.text;
    EXPECT_EQ(f->step, c.step) << c.text;
  }
}

TEST(RenderCommand, ProgressLineIsJson) {
  output::SessionProgress p;
  p.done = 3;
  p.of = 250;
  p.fps = 41.5;
  p.eta_s = 5.9;
  EXPECT_EQ(ProgressJsonLine(p), "{\"frame\":3,\"of\":250,\"fps\":41.500,\"eta_s\":5.900}");
}

// The frames a manifest lists, and its lines.
std::vector<std::string> ReadLines(const fs::path& file) {
  std::ifstream in(file);
  std::vector<std::string> lines;
  for (std::string line; std::getline(in, line);) lines.push_back(line);
  return lines;
}

struct Ppm {
  int width = 0, height = 0;
  std::string pixels;
};
Ppm ReadPpm(const fs::path& file) {
  std::ifstream in(file, std::ios::binary);
  std::string magic;
  Ppm p;
  int max = 0;
  in >> magic >> p.width >> p.height >> max;
  in.get();
  std::stringstream rest;
  rest << in.rdbuf();
  p.pixels = rest.str();
  return p;
}

class RenderBinary : public ::testing::Test {
 protected:
  std::string Env() const {
    return std::string("LUMETRA_PLUGIN_PATH='") + LUMETRA_FAKE_FORMAT_DIR + "'";
  }
  std::string Example() const { return std::string(LUMETRA_SOURCE_DIR) + "/examples/demo.ZTP"; }
  // Whether the effects of this build make pictures at all (the picture services of the
  // host service table); the renders below need them, the refusals do not.
  bool EffectsMakePictures() const {
    auto probe = testing::RunBinarySplit("--render p/f####.null '" + Example() +
                                             "' --frames 0-0 --threads 1 --quiet",
                                         dir_.path().string(), Env());
    return probe.status == kExitOk;
  }
  test_dir::TempDir dir_{"lumetra-render"};
};

TEST_F(RenderBinary, RendersTheExampleAndTheThreadCountChangesNoByte) {
  if (!EffectsMakePictures()) GTEST_SKIP() << "the effects make no pictures in this build";
  const std::string d = dir_.path().string();
  auto one = testing::RunBinarySplit("--render a/f####.ppm '" + Example() +
                                         "' --frames 0-9 --threads 1 --manifest m1.txt",
                                     d, Env());
  ASSERT_EQ(one.status, kExitOk) << one.err;
  auto four = testing::RunBinarySplit("--render b/f####.ppm '" + Example() +
                                          "' --frames 0-9 --threads 4 --manifest m4.txt",
                                      d, Env());
  ASSERT_EQ(four.status, kExitOk) << four.err;
  const auto m1 = ReadLines(dir_.path() / "m1.txt"), m4 = ReadLines(dir_.path() / "m4.txt");
  ASSERT_EQ(m1.size(), 10u);
  ASSERT_EQ(m4.size(), 10u);
  for (std::size_t i = 0; i < m1.size(); ++i) {
    // Same digests; the names differ only by their folder.
    EXPECT_EQ(m1[i].substr(m1[i].find("  ")), m4[i].substr(m4[i].find("  ")));
    EXPECT_EQ(m1[i].substr(0, 2), "a/");
    EXPECT_EQ(m1[i].find("  ") + 2 + 64, m1[i].size());
  }
  for (int f = 0; f <= 9; ++f) {
    char name[32];
    std::snprintf(name, sizeof name, "a/f%04d.ppm", f);
    Ppm ppm = ReadPpm(dir_.path() / name);
    EXPECT_EQ(ppm.width, 720) << name;
    EXPECT_EQ(ppm.height, 576) << name;
    EXPECT_EQ(ppm.pixels.size(), 720u * 576 * 3) << name;
  }
  EXPECT_FALSE(fs::exists(dir_.path() / "a/f0010.ppm"));
  // Not a terminal: one JSON object per frame on stderr.
  std::istringstream lines(one.err);
  int count = 0;
  for (std::string line; std::getline(lines, line);) {
    if (line.rfind("{\"frame\":", 0) != 0) continue;
    ++count;
    EXPECT_NE(line.find("\"of\":10,"), std::string::npos) << line;
    EXPECT_NE(line.find("\"eta_s\":"), std::string::npos) << line;
    EXPECT_EQ(line.back(), '}');
  }
  EXPECT_EQ(count, 10);
}

TEST_F(RenderBinary, InterruptedRenderResumesWithSkipExisting) {
  if (!EffectsMakePictures()) GTEST_SKIP() << "the effects make no pictures in this build";
  const std::string d = dir_.path().string();
  const std::string args = "--render o/f####.ppm '" + Example() +
                           "' --frames 0-7 --threads 2 --skip-existing --quiet";
  auto cut = testing::RunBinarySplit(args, d, Env() + " LUMETRA_TEST_INTERRUPT_AT=3");
  EXPECT_EQ(cut.status, kExitInterrupted) << cut.err;
  std::vector<std::string> names;
  for (const auto& e : fs::directory_iterator(dir_.path() / "o"))
    names.push_back(e.path().filename().string());
  std::sort(names.begin(), names.end());
  // Complete frames only, at their final names, a run from the first through the one that
  // was saving (a writer may have finished the next one); no temporary left.
  ASSERT_GE(names.size(), 4u);
  ASSERT_LT(names.size(), 8u);
  for (std::size_t i = 0; i < names.size(); ++i) {
    char name[32];
    std::snprintf(name, sizeof name, "f%04d.ppm", static_cast<int>(i));
    EXPECT_EQ(names[i], name);
  }
  const auto before = fs::last_write_time(dir_.path() / "o/f0002.ppm");
  auto rest = testing::RunBinarySplit(args + " --manifest m.txt", d, Env());
  ASSERT_EQ(rest.status, kExitOk) << rest.err;
  const auto m = ReadLines(dir_.path() / "m.txt");
  ASSERT_EQ(m.size(), 8u - names.size());  // the rest only
  char next[32];
  std::snprintf(next, sizeof next, "o/f%04d.ppm", static_cast<int>(names.size()));
  EXPECT_EQ(m.front().substr(0, 11), next);
  EXPECT_EQ(fs::last_write_time(dir_.path() / "o/f0002.ppm"), before);
  EXPECT_TRUE(fs::exists(dir_.path() / "o/f0007.ppm"));
}

TEST_F(RenderBinary, FailuresHaveTheirStatus) {
  const std::string d = dir_.path().string();
  EXPECT_EQ(testing::RunBinarySplit("--render o/f.nosuchformat '" + Example() + "'", d, Env())
                .status,
            kExitCommandLine);
  EXPECT_EQ(testing::RunBinarySplit("--render o/f##.ppm missing.ZTP", d, Env()).status,
            kExitOfflineLoadFailed);
  // Two digits cannot name frame 100.
  auto digits = testing::RunBinarySplit(
      "--render o/f##.ppm '" + Example() + "' --frames 99-100 --quiet", d, Env());
  EXPECT_EQ(digits.status, kExitOfflineRenderFailed);
  EXPECT_NE(digits.err.find("Insufficient number of digits"), std::string::npos) << digits.err;
  // A render error fails at once (no retries for a farm's job).
  auto error = testing::RunBinarySplit(
      "--render r/f####.null '" + Example() + "' --frames 300-300 --quiet", d, Env());
  EXPECT_EQ(error.status, kExitOfflineRenderFailed) << error.err;
  if (!EffectsMakePictures()) return;
  // A frame that cannot be saved (its name is taken by a folder) fails the render.
  fs::create_directories(dir_.path() / "s/f0001.ppm");
  auto save = testing::RunBinarySplit(
      "--render s/f####.ppm '" + Example() + "' --frames 0-3 --quiet", d, Env());
  EXPECT_EQ(save.status, kExitOfflineRenderFailed) << save.err;
  EXPECT_NE(save.err.find("Frame #1 Save error:"), std::string::npos) << save.err;
  EXPECT_EQ(testing::RunBinarySplit("--render o/f.ppm", d, Env()).status, kExitCommandLine);
}

// Arguments and projects refused before any frame is rendered: the status, the reason on
// stderr, and no frame file.
TEST_F(RenderBinary, RefusalsComeBeforeTheRender) {
  const std::string d = dir_.path().string();
  // The example at a frame size no Project settings accept.
  std::string bytes;
  {
    std::ifstream in(Example(), std::ios::binary);
    bytes.assign(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
  }
  const std::string frame_size("\x09\xcf\x16\x00\x00\x00", 6);  // its chunk header
  const std::size_t at = bytes.find(frame_size);
  ASSERT_NE(at, std::string::npos);
  const char huge[8] = {'\xa0', '\x86', '\x01', 0, '\xa0', '\x86', '\x01', 0};  // 100000 x 100000
  bytes.replace(at + 6, 8, huge, 8);
  std::ofstream(dir_.path() / "huge.ZTP", std::ios::binary) << bytes;
  fs::create_directories(dir_.path() / "o");
  struct Case {
    std::string args;
    int status;
    const char* says;
  } cases[] = {
      {"--render o/f##_v##.ppm '" + Example() + "' --quiet", kExitCommandLine, "'#'"},
      {"--render o/f####.ppm '" + Example() + "' --frames 0-2147483647 --quiet", kExitCommandLine,
       "--frames"},
      {"--render o/f####.ppm '" + Example() + "' --frames 0-0 --manifest none/m.txt --quiet",
       kExitSaveFailed, "manifest 'none/m.txt'"},
      {"--render o/f####.ppm '" + Example() + "' --frames 0-0 --manifest o --quiet", kExitSaveFailed,
       "Is a directory"},
      {"--render o/f####.ppm huge.ZTP --frames 0-0 --quiet", kExitOfflineRenderFailed, "100000 x 100000"},
      {"validate '" + Example() + "' --output o/f#_#.png", kExitCommandLine, "'#'"},
      {"farm submit '" + Example() + "' o/f##_v##.ppm --dry-run", kExitCommandLine, "'#'"},
  };
  for (const Case& c : cases) {
    auto r = testing::RunBinarySplit(c.args, d, Env());
    EXPECT_EQ(r.status, c.status) << c.args << "\n" << r.err;
    EXPECT_NE(r.err.find(c.says), std::string::npos) << c.args << "\n" << r.err;
    EXPECT_TRUE(fs::is_empty(dir_.path() / "o")) << c.args;
  }
}

TEST_F(RenderBinary, OfflineRenderUsesTheProjectsStoredSettings) {
  const std::string d = dir_.path().string();
  // The default output folder is then the per-user temporary one, under the test's folder.
  auto r = testing::RunBinarySplit("/R '" + Example() + "'", d,
                                   Env() + " XDG_RUNTIME_DIR= TMPDIR='" + d + "'");
  EXPECT_EQ(r.err.find("Render settings are invalid."), std::string::npos) << r.err;
  if (r.status != kExitOk) {
    // Without a PNG format (or pictures) the stored settings are refused, with status 6.
    EXPECT_EQ(r.status, kExitOfflineRenderFailed) << r.err;
  }
}

}  // namespace
}  // namespace lumetra::app
