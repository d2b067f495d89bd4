// A farm render laid out before anything runs: the chunks of frames, the job scripts and the
// scheduler commands that submit them. Pure text, so every piece can be shown (--dry-run)
// and tested without a cluster.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "app/frame_range.h"

namespace lumetra::app {

inline constexpr int32_t kFarmDefaultChunk = 10;
inline constexpr int32_t kFarmDefaultCpus = 1;
inline constexpr int32_t kFarmMaxChunks = 100'000;  // far below any site's MaxArraySize limit
inline constexpr const char* kFarmStateFile = "farm.ini";
inline constexpr const char* kFarmRenderScript = "render.sh";
inline constexpr const char* kFarmJoinScript = "join.sh";
inline constexpr const char* kFarmManifest = "manifest.txt";
// A movie's frames, rendered into the farm folder and read back by the join.
inline constexpr const char* kFarmFramesFolder = "frames";
inline constexpr const char* kFarmFrameExtension = "png";
// What the join's movie assembly ended with (status reads it).
inline constexpr const char* kFarmAssemblyFile = "assembly.txt";
// The frames the last join found damaged ("NAME  PROBLEM" lines); resume renders them again.
inline constexpr const char* kFarmBadFramesFile = "bad-frames.txt";

struct FarmPlan {
  std::string program;   // absolute path of lumetra on the nodes
  std::string project;   // absolute
  std::string pattern;   // absolute output pattern the tasks render
  std::string movie;     // absolute; the movie the join assembles from `pattern`, or none
  std::string farm_dir;  // absolute
  FrameRange frames;
  int32_t chunk = kFarmDefaultChunk;
  int32_t cpus = kFarmDefaultCpus;
  int32_t track = -1;              // -1: the render's default track
  std::string partition;           // empty: the cluster's default
  std::vector<FrameRange> chunks;  // filled by FarmPlanChunks
};

// Splits the plan's frames into its chunks.
void FarmPlanChunks(FarmPlan& plan);

// The job names of a farm folder: "lumetra-render-<key>", "lumetra-join-<key>", the key a
// hash of the folder's path, so that the queue can be asked about this farm's tasks by
// name (the scheduler forgets finished job ids).
std::string FarmJobName(const FarmPlan& plan, std::string_view role);

// The file of part manifest i, and the joined manifest.
std::string FarmPartManifest(const FarmPlan& plan, std::size_t chunk);
std::string FarmJoinedManifest(const FarmPlan& plan);
std::string FarmPath(const FarmPlan& plan, std::string_view name);

// Single quotes for the shell: 'it'\''s'.
std::string ShellQuote(std::string_view text);

// The render command of one chunk, as the array task runs it.
std::vector<std::string> FarmRenderCommand(const FarmPlan& plan, std::size_t chunk);

// The array job's script: task i renders chunk i with its own part manifest (an earlier
// attempt's manifest is kept beside it, numbered), frames already on disk skipped.
std::string FarmRenderScript(const FarmPlan& plan);
// The final job's script: "lumetra farm join FARMDIR".
std::string FarmJoinScript(const FarmPlan& plan);

// "0-3", or "1,4,7" for the chunks a resume submits again.
std::string ArrayIndices(const std::vector<std::size_t>& chunks);

// sbatch arguments for the array over the given chunks, and for the join: after every task
// of `array_job` succeeded (none: no such condition) and after the tasks of earlier arrays
// that still run have ended, however they end.
std::vector<std::string> FarmArraySubmit(const FarmPlan& plan,
                                         const std::vector<std::size_t>& chunks);
std::vector<std::string> FarmJoinSubmit(const FarmPlan& plan, const std::string& array_job,
                                        const std::vector<std::string>& still_running = {});

// The frame's file name: each run of '#' becomes the frame number zero-filled to the run's
// length (frame####.png, 7 -> frame0007.png). A pattern without '#' names one file.
std::string FrameFileName(std::string_view pattern, int32_t frame);
bool PatternIsSequence(std::string_view pattern);

// The frames of a movie farm: "<farm dir>/frames/<movie's name>.<digits>.png", lossless so
// that the join can check each frame's pixels against its hash. Digits: at least 4, enough
// for the range's last frame.
std::string IntermediatePattern(std::string_view farm_dir, std::string_view movie,
                                const FrameRange& frames);

// The farm's state file (key=value lines) and back; false when a key is missing or wrong.
std::string FarmStateText(const FarmPlan& plan, const std::vector<std::string>& array_jobs,
                          const std::string& join_job);
struct FarmState {
  FarmPlan plan;
  std::vector<std::string> array_jobs;  // every array job submitted, oldest first
  std::string join_job;
};
bool ParseFarmState(std::string_view text, FarmState& state, std::string* error);

}  // namespace lumetra::app
