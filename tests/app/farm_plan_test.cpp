// The farm's pieces without a cluster: frame ranges and chunks, frame file names, the job
// scripts and sbatch arguments, the state file, manifests checked against the files, and the
// commands run as a program (dry run, no scheduler installed, join).
#include "app/farm_plan.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <span>
#include <string>

#include "app/binary_runner.h"
#include "app/exit_status.h"
#include "app/farm_manifest.h"
#include "app/frame_range.h"
#include "output/sha256.h"
#include "temp_dir.h"

namespace {

namespace fs = std::filesystem;
using namespace lumetra::app;
using lumetra::app::testing::RunBinarySplit;
using lumetra::app::testing::SplitOutcome;

const std::string kHash(64, 'a');

TEST(FrameRangeTest, ParsesRangesAndRefusesTheRest) {
  struct Case {
    const char* text;
    std::optional<FrameRange> range;
  };
  const Case cases[] = {
      {"0-19", FrameRange{0, 19, 1}},
      {"10-20:5", FrameRange{10, 20, 5}},
      {"7", FrameRange{7, 7, 1}},
      {"5-4", FrameRange{5, 4, 1}},  // parses, and is empty
      {"1-9:0", std::nullopt},
      {"-3-4", std::nullopt},
      {"1-", std::nullopt},
      {"a-b", std::nullopt},
      {"0-10000000", std::nullopt},  // beyond any project
      {"0-99999999999", std::nullopt},
      {"", std::nullopt},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.text);
    EXPECT_EQ(ParseFrameRange(c.text), c.range);
  }
  EXPECT_TRUE(ParseFrameRange("5-4")->Empty());
  EXPECT_EQ(FrameRangeText({10, 20, 5}), "10-20:5");
  EXPECT_EQ(FrameRangeText({0, 4, 1}), "0-4");
}

TEST(FrameRangeTest, ChunksCoverEveryFrameOnce) {
  struct Case {
    FrameRange range;
    int32_t chunk;
    std::vector<FrameRange> chunks;
  };
  const Case cases[] = {
      {{0, 19, 1}, 5, {{0, 4, 1}, {5, 9, 1}, {10, 14, 1}, {15, 19, 1}}},
      {{0, 11, 1}, 5, {{0, 4, 1}, {5, 9, 1}, {10, 11, 1}}},
      {{0, 20, 3}, 3, {{0, 6, 3}, {9, 15, 3}, {18, 18, 3}}},
      {{3, 3, 1}, 10, {{3, 3, 1}}},
      {{5, 4, 1}, 5, {}},
      {{0, 2, 1}, 0, {{0, 0, 1}, {1, 1, 1}, {2, 2, 1}}},  // a chunk holds at least one frame
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(FrameRangeText(c.range) + " by " + std::to_string(c.chunk));
    const std::vector<FrameRange> chunks = SplitFrames(c.range, c.chunk);
    EXPECT_EQ(chunks, c.chunks);
    std::vector<int32_t> joined;
    for (const FrameRange& r : chunks)
      for (int32_t f : FrameNumbers(r)) joined.push_back(f);
    EXPECT_EQ(joined, FrameNumbers(c.range));
  }
}

TEST(FarmPlanTest, FrameFileNames) {
  EXPECT_EQ(FrameFileName("out/frame####.png", 7), "out/frame0007.png");
  EXPECT_EQ(FrameFileName("out/f#.png", 123), "out/f123.png");
  EXPECT_EQ(FrameFileName("a#b/x##_##.tga", 5), "a#b/x05_05.tga");  // folders keep their '#'
  EXPECT_TRUE(PatternIsSequence("out/frame####.png"));
  EXPECT_FALSE(PatternIsSequence("take#1/movie.mp4"));
}

TEST(FarmPlanTest, AMoviesFramesAreALosslessSequenceInTheFarmFolder) {
  struct Case {
    const char* movie;
    FrameRange frames;
    const char* pattern;
  };
  const Case cases[] = {
      {"films/out/film.mp4", {0, 249, 1}, "farm/frames/film.####.png"},
      {"film.mkv", {100, 123456, 1}, "farm/frames/film.######.png"},
      {"films/my.cut.mov", {7, 7, 1}, "farm/frames/my.cut.####.png"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.movie);
    const std::string pattern = IntermediatePattern("farm", c.movie, c.frames);
    EXPECT_EQ(pattern, c.pattern);
    EXPECT_TRUE(PatternIsSequence(pattern));
    // Every frame of the range gets a name of its own.
    EXPECT_NE(FrameFileName(pattern, c.frames.last), FrameFileName(pattern, c.frames.last - 1));
  }
}

FarmPlan Plan(const std::string& farm_dir) {
  FarmPlan plan;
  plan.program = "/opt/lumetra/bin/lumetra";
  plan.project = "films/it's.ZTP";
  plan.pattern = "films/out/frame####.png";
  plan.farm_dir = farm_dir;
  plan.frames = {0, 11, 1};
  plan.chunk = 5;
  plan.cpus = 4;
  plan.partition = "render";
  FarmPlanChunks(plan);
  return plan;
}

TEST(FarmPlanTest, TaskCommandsScriptsAndSubmissions) {
  const FarmPlan plan = Plan("films/job");
  ASSERT_EQ(plan.chunks.size(), 3u);
  EXPECT_EQ(
      FarmRenderCommand(plan, 2),
      (std::vector<std::string>{"/opt/lumetra/bin/lumetra", "--render", "films/out/frame####.png",
                                "films/it's.ZTP", "--frames", "10-11", "--threads", "4",
                                "--manifest", "films/job/part-2.txt", "--skip-existing"}));
  const std::string script = FarmRenderScript(plan);
  for (const char* line :
       {"#SBATCH --cpus-per-task=4\n", "#SBATCH --partition=render\n",
        "#SBATCH --output=films/job/logs/render-%A_%a.out\n", "chunks=(0-4 5-9 10-11)\n",
        "exec '/opt/lumetra/bin/lumetra' --render 'films/out/frame####.png' "
        "'films/it'\\''s.ZTP' --frames \"${chunks[$i]}\" --threads 4 --manifest \"$part\" --skip-existing\n"}) {
    EXPECT_NE(script.find(line), std::string::npos) << line << "\n" << script;
  }
  // The queue is asked by job name: one per farm folder.
  const std::string name = FarmJobName(plan, "render");
  EXPECT_NE(script.find("#SBATCH --job-name=" + name + "\n"), std::string::npos) << script;
  EXPECT_EQ(name.rfind("lumetra-render-", 0), 0u);
  EXPECT_NE(name, FarmJobName(Plan("films/job2"), "render"));
  EXPECT_NE(FarmJoinScript(plan).find("exec '/opt/lumetra/bin/lumetra' farm join 'films/job'\n"),
            std::string::npos);
  EXPECT_EQ(FarmArraySubmit(plan, {0, 1, 2}),
            (std::vector<std::string>{"--parsable", "--array=0-2", "films/job/render.sh"}));
  EXPECT_EQ(
      FarmJoinSubmit(plan, "41"),
      (std::vector<std::string>{"--parsable", "--dependency=afterok:41", "films/job/join.sh"}));
  // A resume: the new array must succeed; an earlier array's running tasks must only end.
  EXPECT_EQ(FarmJoinSubmit(plan, "60", {"41", "52"})[1], "--dependency=afterok:60,afterany:41:52");
  EXPECT_EQ(FarmJoinSubmit(plan, "", {"41"})[1], "--dependency=afterany:41");
  EXPECT_EQ(FarmJoinSubmit(plan, ""),
            (std::vector<std::string>{"--parsable", "films/job/join.sh"}));
  EXPECT_EQ(ArrayIndices({1, 2, 3, 7, 9, 10}), "1-3,7,9-10");
  EXPECT_EQ(ShellQuote("a'b"), "'a'\\''b'");
}

TEST(FarmPlanTest, StateFileRoundTrip) {
  const FarmPlan plan = Plan("films/job");
  const std::string text = FarmStateText(plan, {"40", "52"}, "53");
  FarmState back;
  std::string error;
  ASSERT_TRUE(ParseFarmState(text, back, &error)) << error;
  EXPECT_EQ(back.plan.program, plan.program);
  EXPECT_EQ(back.plan.project, plan.project);
  EXPECT_EQ(back.plan.pattern, plan.pattern);
  EXPECT_EQ(back.plan.frames, plan.frames);
  EXPECT_EQ(back.plan.chunks, plan.chunks);
  EXPECT_EQ(back.plan.partition, "render");
  EXPECT_EQ(back.array_jobs, (std::vector<std::string>{"40", "52"}));
  EXPECT_EQ(back.join_job, "53");
  EXPECT_EQ(back.plan.movie, "");
  EXPECT_EQ(FarmStateText(back.plan, back.array_jobs, back.join_job), text);
  FarmPlan movie = plan;
  movie.movie = "films/out/film.mp4";
  ASSERT_TRUE(ParseFarmState(FarmStateText(movie, {}, ""), back, &error)) << error;
  EXPECT_EQ(back.plan.movie, movie.movie);
  for (const char* broken : {"", "version=2\n", "frames=x\n"}) {
    std::string damaged = broken[0] == '\0' ? "" : text + broken;
    EXPECT_FALSE(ParseFarmState(damaged, back, &error)) << broken;
  }
}

TEST(FarmManifestTest, LinesNeedANameAndAFullHash) {
  const std::string text = "out/f0.png " + kHash + "\n\n  out/a b.png\t" + kHash +
                           "  \nout/f2.png abc\nout/f3.png " + kHash + "zz\n" + kHash + "\n";
  const std::vector<ManifestEntry> entries = ParseManifest(text);
  ASSERT_EQ(entries.size(), 2u);
  EXPECT_EQ(entries[0].name, "out/f0.png");
  EXPECT_EQ(entries[1].name, "out/a b.png");
  EXPECT_EQ(entries[1].hash, kHash);
}

TEST(FarmManifestTest, FramesAreDoneOnlyOnDiskAndInAManifest) {
  lumetra::test_dir::TempDir dir("lumetra-farm-manifest");
  const fs::path root = dir.path();
  fs::create_directories(root / "out");
  FarmPlan plan = Plan(root.string());
  plan.pattern = (root / "out" / "f##.png").string();
  FarmPlanChunks(plan);  // 0-4, 5-9, 10-11
  auto frame = [&](int f) { return FrameFileName(plan.pattern, f); };
  for (int f : {0, 1, 2, 3, 4, 5, 6, 10, 11}) std::ofstream(frame(f)) << f;
  // Chunk 0 whole; chunk 1 killed after frame 5 (its manifest kept by the rerun as part-1.txt.1),
  // frame 6 written but never recorded; chunk 2 names its files without the folder.
  std::ofstream(root / "part-0.txt") << [&] {
    std::string s;
    for (int f = 0; f < 5; ++f) s += frame(f) + " " + kHash + "\n";
    return s;
  }();
  std::ofstream(root / "part-1.txt.1") << frame(5) + " " + kHash + "\n";
  std::ofstream(root / "part-2.txt") << "f10.png " + kHash + "\nf11.png " + kHash + "\n";
  const FarmFrames frames = CheckFarmFrames(plan);
  ASSERT_EQ(frames.frames.size(), 12u);
  EXPECT_EQ(frames.Count(FrameState::kDone), 8u);
  EXPECT_EQ(frames.Count(FrameState::kNoEntry), 1u);  // frame 6
  EXPECT_EQ(frames.Count(FrameState::kMissing), 3u);  // 7, 8, 9
  EXPECT_EQ(frames.frames[6].state, FrameState::kNoEntry);
  EXPECT_EQ(frames.ChunksToRender(), (std::vector<std::size_t>{1}));
  const std::string joined = JoinedManifestText(frames);
  EXPECT_EQ(joined.find(frame(5)),
            joined.find(frame(4) + " " + kHash + "\n") + frame(4).size() + 66);
  EXPECT_NE(joined.find("f11.png " + kHash + "\n"), std::string::npos);
}

std::string FileHash(const std::string& file, std::string* error) {
  std::ifstream in(file, std::ios::binary);
  if (!in) return *error = "cannot open", std::string();
  const std::string bytes((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
  if (bytes.empty()) return *error = "empty", std::string();
  return lumetra::output::Sha256Hex(
      std::span<const uint8_t>(reinterpret_cast<const uint8_t*>(bytes.data()), bytes.size()));
}

TEST(FarmManifestTest, FramesThatDoNotMatchTheirHashAreBad) {
  lumetra::test_dir::TempDir dir("lumetra-farm-verify");
  FarmPlan plan = Plan(dir.path().string());
  plan.pattern = (dir.path() / "f#.png").string();
  plan.frames = {0, 3, 1};
  plan.chunk = 2;
  FarmPlanChunks(plan);
  std::string part;
  for (int f = 0; f < 4; ++f) {
    const std::string file = FrameFileName(plan.pattern, f);
    std::ofstream(file) << "frame " << f;
    std::string error;
    part += file + "  " + FileHash(file, &error) + "\n";
  }
  std::ofstream(dir.path() / "part-0.txt") << part;
  // Frame 1 cut short, frame 3 emptied (does not read); 0 and 2 intact.
  std::ofstream(FrameFileName(plan.pattern, 1)) << "fram";
  std::ofstream(FrameFileName(plan.pattern, 3)).flush();
  FarmFrames frames = CheckFarmFrames(plan);
  ASSERT_EQ(frames.Count(FrameState::kDone), 4u);
  EXPECT_EQ(VerifyFrameHashes(frames, FileHash), 2u);
  EXPECT_EQ(frames.frames[0].state, FrameState::kDone);
  EXPECT_EQ(frames.frames[2].state, FrameState::kDone);
  EXPECT_EQ(frames.frames[1].state, FrameState::kBadFile);
  EXPECT_NE(frames.frames[1].problem.find("other pixels"), std::string::npos);
  EXPECT_EQ(frames.frames[3].state, FrameState::kBadFile);
  EXPECT_EQ(frames.frames[3].problem, "does not read back: empty");
  EXPECT_EQ(frames.ChunksToRender(), (std::vector<std::size_t>{0, 1}));
  // A format that does not keep pixels: only frames that do not read are bad.
  frames = CheckFarmFrames(plan);
  EXPECT_EQ(VerifyFrameHashes(frames, FileHash, false), 1u);
  EXPECT_EQ(frames.frames[3].state, FrameState::kBadFile);
}

class FarmCommandTest : public ::testing::Test {
 protected:
  lumetra::test_dir::TempDir dir_{"lumetra-farm-command"};
  const std::string example_ = std::string(LUMETRA_SOURCE_DIR) + "/examples/demo.ZTP";
  // Real frames and their manifest lines: a plain render of the example.
  void Render(const std::string& pattern, const std::string& frames, const std::string& part) {
    SplitOutcome o = RunBinarySplit("--render '" + pattern + "' '" + example_ + "' --frames " +
                                        frames + " --manifest '" + part + "' --quiet",
                                    dir_.path().string());
    ASSERT_EQ(o.status, kExitOk) << o.out << o.err;
  }
};

TEST_F(FarmCommandTest, DryRunPrintsTheScriptsAndCommands) {
  fs::create_directories(dir_.path() / "out");
  const std::string out = (dir_.path() / "out").string();
  SplitOutcome o = RunBinarySplit(
      "farm submit '" + example_ + "' '" + out + "/f####.png' --frames 0-19 --chunk 5 " +
          "--cpus-per-task 2 --partition short --dry-run",
      dir_.path().string(), "PATH=/nonexistent");  // no scheduler needed to look
  EXPECT_EQ(o.status, kExitOk) << o.err;
  const std::string farm = out + "/farm-0-19";
  for (const std::string& text :
       {std::string("chunks=(0-4 5-9 10-14 15-19)\n"), std::string("#SBATCH --partition=short\n"),
        std::string("--threads 2 --manifest \"$part\" --skip-existing\n"),
        "sbatch '--parsable' '--array=0-3' '" + farm + "/render.sh'\n",
        "sbatch '--parsable' '--dependency=afterok:ARRAY_JOB' '" + farm + "/join.sh'\n"}) {
    EXPECT_NE(o.out.find(text), std::string::npos) << text << "\n" << o.out;
  }
  EXPECT_FALSE(fs::exists(farm));  // a dry run writes nothing
}

TEST_F(FarmCommandTest, RefusalsSayWhy) {
  fs::create_directories(dir_.path() / "out");
  const std::string out = (dir_.path() / "out").string();
  struct Case {
    std::string args;
    std::string env;
    int status;
    std::string message;
  };
  const Case cases[] = {
      {"farm submit '" + example_ + "' '" + out + "/f####.png'", "PATH=/nonexistent",
       kExitFarmNoScheduler, "the SLURM command 'sbatch' is not installed"},
      {"farm submit '" + example_ + "' '" + out + "/f.png' --dry-run", "", kExitCommandLine,
       "names one file"},
      {"farm submit '" + example_ + "' '" + out + "/film##.mp4' --dry-run", "", kExitCommandLine,
       "no '#' in its name"},
      {"farm submit '" + example_ + "' '" + out + "/film.mp4' --frames 0-9:2 --dry-run", "",
       kExitCommandLine, "no STEP"},
      {"farm submit '" + example_ + "' '" + out + "/f####.png' --frames 9-3 --dry-run", "",
       kExitValidateFrameRange, "holds no frame"},
      {"farm submit '" + example_ + "' '" + out + "/f####.png' --chunk 0", "", kExitCommandLine,
       "--chunk needs a number"},
      {"farm status '" + out + "'", "", kExitFarmSubmitFailed, "is no farm folder"},
      {"farm bogus", "", kExitCommandLine, "Usage: farm submit"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.args);
    SplitOutcome o = RunBinarySplit(c.args, dir_.path().string(), c.env);
    EXPECT_EQ(o.status, c.status) << o.out << o.err;
    EXPECT_NE(o.err.find(c.message), std::string::npos) << o.err;
  }
}

std::string ReadText(const fs::path& file) {
  std::ifstream in(file);
  return std::string((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
}

TEST_F(FarmCommandTest, JoinChecksEveryFrameAgainstItsHash) {
  const fs::path farm = dir_.path() / "farm";
  fs::create_directories(farm);
  FarmPlan plan = Plan(farm.string());
  plan.pattern = (dir_.path() / "f#.png").string();
  plan.frames = {0, 3, 1};
  plan.chunk = 2;
  FarmPlanChunks(plan);
  std::ofstream(farm / "farm.ini") << FarmStateText(plan, {}, "");
  Render(plan.pattern, "0-1", (farm / "part-0.txt").string());
  Render(plan.pattern, "2-3", (farm / "part-1.txt").string());
  const std::string part0 = ReadText(farm / "part-0.txt"), part1 = ReadText(farm / "part-1.txt");
  // Frame 3 on disk but its line lost: not done.
  std::ofstream(farm / "part-1.txt") << part1.substr(0, part1.find('\n') + 1);
  const std::string join = "farm join '" + farm.string() + "'";
  SplitOutcome o = RunBinarySplit(join, dir_.path().string());
  EXPECT_EQ(o.status, kExitFarmIncomplete) << o.out << o.err;
  EXPECT_NE(
      o.err.find("frame 3 (chunk 1): " + FrameFileName(plan.pattern, 3) + " has no manifest entry"),
      std::string::npos)
      << o.err;
  EXPECT_FALSE(fs::exists(farm / "manifest.txt"));
  std::ofstream(farm / "part-1.txt") << part1;
  o = RunBinarySplit(join, dir_.path().string());
  EXPECT_EQ(o.status, kExitOk) << o.out << o.err;
  EXPECT_EQ(ReadText(farm / "manifest.txt"), part0 + part1);
  // Frame 2 cut short, frame 3 replaced by frame 0: both fail, and resume renders them again.
  const std::string f2 = FrameFileName(plan.pattern, 2), f3 = FrameFileName(plan.pattern, 3);
  fs::resize_file(f2, fs::file_size(f2) / 2);
  fs::copy_file(FrameFileName(plan.pattern, 0), f3, fs::copy_options::overwrite_existing);
  o = RunBinarySplit(join, dir_.path().string());
  EXPECT_EQ(o.status, kExitFarmIncomplete) << o.out << o.err;
  EXPECT_NE(o.err.find("frame 2 (chunk 1): " + f2 + " does not read back"), std::string::npos)
      << o.err;
  EXPECT_NE(o.err.find("frame 3 (chunk 1): " + f3 + " has other pixels"), std::string::npos)
      << o.err;
  o = RunBinarySplit("farm status '" + farm.string() + "' --json", dir_.path().string(),
                     "PATH=/nonexistent");
  EXPECT_NE(o.out.find("\"done\":2,\"failed\":2,"), std::string::npos) << o.out << o.err;
  o = RunBinarySplit("farm resume '" + farm.string() + "' --dry-run", dir_.path().string(),
                     "PATH=/nonexistent");
  EXPECT_EQ(o.status, kExitOk) << o.out << o.err;
  EXPECT_NE(o.out.find("Frame(s) to render again:\n  frame 2: " + f2 + " does not read back"),
            std::string::npos)
      << o.out;
  EXPECT_NE(o.out.find("sbatch '--parsable' '--array=1' "), std::string::npos) << o.out;
}

TEST_F(FarmCommandTest, JoinAssemblesAMovieWithTheProjectsSound) {
  const fs::path farm = dir_.path() / "farm";
  fs::create_directories(farm);
  FarmPlan plan = Plan(farm.string());
  plan.project = example_;
  fs::create_directories(dir_.path() / "out");
  plan.movie = (dir_.path() / "out" / "film.mp4").string();
  plan.frames = {0, 5, 1};
  plan.chunk = 3;
  plan.pattern = IntermediatePattern(farm.string(), plan.movie, plan.frames);
  FarmPlanChunks(plan);
  std::ofstream(farm / "farm.ini") << FarmStateText(plan, {}, "");
  Render(plan.pattern, "0-2", (farm / "part-0.txt").string());
  Render(plan.pattern, "3-5", (farm / "part-1.txt").string());
  SplitOutcome o = RunBinarySplit("farm join '" + farm.string() + "'", dir_.path().string());
  ASSERT_EQ(o.status, kExitOk) << o.out << o.err;
  EXPECT_NE(o.out.find("Movie " + plan.movie + ": 6 frame(s) "), std::string::npos) << o.out;
  // Read back by the movie reader: every frame, the frames' size, a sound track.
  o = RunBinarySplit("farm status '" + farm.string() + "' --json", dir_.path().string(),
                     "PATH=/nonexistent");
  for (const char* text : {"\"movie\":", "\"assembly\":\"assembled\"", "\"movie_frames\":6,",
                           "\"movie_sample_rate\":", "\"movie_channels\":"})
    EXPECT_NE(o.out.find(text), std::string::npos) << text << "\n" << o.out;
  EXPECT_EQ(o.out.find("\"movie_sample_rate\":0,"), std::string::npos) << o.out;
  // Written beside its name and renamed: nothing else is left in the folder.
  std::vector<std::string> names;
  for (const auto& e : fs::directory_iterator(dir_.path() / "out"))
    names.push_back(e.path().filename().string());
  EXPECT_EQ(names, (std::vector<std::string>{"film.mp4"}));
}

TEST_F(FarmCommandTest, AMovieFarmRendersItsFramesIntoTheFarmFolder) {
  const std::string out = (dir_.path() / "out").string();
  fs::create_directories(out);
  SplitOutcome o = RunBinarySplit("farm submit '" + example_ + "' '" + out +
                                      "/film.mp4' --frames 0-19 --chunk 5 --dry-run",
                                  dir_.path().string(), "PATH=/nonexistent");
  EXPECT_EQ(o.status, kExitOk) << o.err;
  const std::string farm = out + "/farm-0-19";
  EXPECT_NE(o.out.find("--render '" + farm + "/frames/film.####.png' "), std::string::npos)
      << o.out;
  EXPECT_NE(o.out.find("farm join '" + farm + "'"), std::string::npos) << o.out;
}

}  // namespace
