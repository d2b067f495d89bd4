// The farm subcommands: submit validates and hands the scheduler an array job and a join job;
// status reads the manifests and the queue; resume submits again only what is missing; join
// (the final job) checks every frame and writes the joined manifest.
#include "app/farm_command.h"

#include <algorithm>
#include <cstdio>
#include <map>
#include <set>

#include "app/command_line.h"
#include "app/exit_status.h"
#include "app/farm_frames.h"
#include "app/farm_manifest.h"
#include "app/farm_plan.h"
#include "app/json_writer.h"
#include "app/project_info_json.h"
#include "app/render_output.h"
#include "app/validate_project.h"
#include "media/format_registry.h"
#include "output/output_settings.h"
#include "platform/atomic_write.h"
#include "platform/directory_walk.h"
#include "platform/file_ops.h"
#include "platform/file_read.h"
#include "platform/program_output.h"
#include "platform/system_paths.h"

namespace lumetra::app {
namespace {

constexpr const char* kFarmProgramVariable = "LUMETRA_FARM_PROGRAM";
constexpr std::size_t kMaxStateBytes = 1u << 20;
constexpr std::size_t kFramesListed = 20;  // missing frames named before "..."

void Say(const std::string& text) {
  std::fprintf(stderr, "%s\n", text.c_str());
}

int Usage() {
  std::fprintf(stderr, "Usage: %s\n", kFarmUsage);
  return kExitCommandLine;
}

std::optional<int32_t> PositiveInt(const std::string& text) {
  auto range = ParseFrameRange(text);  // a plain number parses as a one-frame range
  if (!range || range->first != range->last || range->step != 1 || range->first < 1)
    return std::nullopt;
  return range->first;
}

std::string FolderOf(const std::string& path) {
  const std::size_t slash = path.rfind('/');
  if (slash == std::string::npos) return ".";
  return slash == 0 ? "/" : path.substr(0, slash);
}

std::string NameOf(const std::string& path) {
  const std::size_t slash = path.rfind('/');
  return slash == std::string::npos ? path : path.substr(slash + 1);
}

// The cluster's tools; a missing one is named with the package that brings it.
bool SchedulerPresent(std::initializer_list<const char*> tools) {
  for (const char* tool : tools) {
    if (!platform::FindProgram(tool).empty()) continue;
    Say(std::string("farm: the SLURM command '") + tool +
        "' is not installed or not on PATH. Farm rendering needs a SLURM client "
        "(Debian: apt-get install slurm-client) configured for your cluster; see docs/farm.md.");
    return false;
  }
  return true;
}

std::string CommandText(const std::string& program, const std::vector<std::string>& args) {
  std::string text = program;
  for (const std::string& a : args) text += " " + ShellQuote(a);
  return text;
}

// "sbatch --parsable" prints "JOBID" or "JOBID;CLUSTER".
std::optional<std::string> Submit(const std::vector<std::string>& args) {
  platform::ProgramOutput out = platform::RunProgramOutput("sbatch", args);
  if (out.status != 0) {
    Say("farm: sbatch failed" +
        (out.status < 0 ? ": " + out.error : " with status " + std::to_string(out.status)) +
        "\n  " + CommandText("sbatch", args));
    return std::nullopt;
  }
  std::string id = out.out.substr(0, out.out.find_first_of(";\n"));
  if (id.empty() || id.find_first_not_of("0123456789") != std::string::npos) {
    Say("farm: sbatch gave no job id: '" + out.out + "'");
    return std::nullopt;
  }
  return id;
}

bool WriteFarmFile(const FarmPlan& plan, const char* name, const std::string& text) {
  platform::AtomicWriteOptions options;
  options.new_file_mode = 0755;
  platform::FileResult r = platform::AtomicWriteFile(FarmPath(plan, name), text, options);
  if (!r.ok()) Say("farm: could not write " + FarmPath(plan, name) + ": " + r.message);
  return r.ok();
}

bool WriteState(const FarmState& state) {
  return WriteFarmFile(state.plan, kFarmStateFile,
                       FarmStateText(state.plan, state.array_jobs, state.join_job));
}

std::optional<FarmState> ReadState(const std::string& dir) {
  const std::string canonical = platform::CanonicalPath(dir);
  const std::string path = (canonical.empty() ? dir : canonical) + "/" + kFarmStateFile;
  std::string text;
  platform::FileResult r = platform::ReadRegularFile(path, kMaxStateBytes, text);
  if (!r.ok()) {
    Say("farm: '" + dir + "' is no farm folder (" + path + ": " + r.message + ")");
    return std::nullopt;
  }
  FarmState state;
  std::string error;
  if (!ParseFarmState(text, state, &error)) {
    Say("farm: " + path + " is damaged: " + error);
    return std::nullopt;
  }
  state.plan.farm_dir = canonical;
  return state;
}

// The array tasks still in the queue, by chunk: their state (PENDING, RUNNING, ...); `jobs`
// gets the array jobs that still have tasks there.
std::map<std::size_t, std::string> QueuedChunks(const FarmState& state, bool* queried,
                                                std::set<std::string>* jobs_queued = nullptr) {
  std::map<std::size_t, std::string> queued;
  *queried = false;
  if (platform::FindProgram("squeue").empty()) return queued;
  platform::ProgramOutput out = platform::RunProgramOutput(
      "squeue", {"-h", "-r", "-n", FarmJobName(state.plan, "render"), "-o", "%i|%T"});
  if (out.status != 0) return queued;
  *queried = true;
  std::string_view text = out.out;
  while (!text.empty()) {
    const std::size_t end = text.find('\n');
    const std::string_view line = text.substr(0, end);
    text = end == std::string_view::npos ? std::string_view() : text.substr(end + 1);
    const std::size_t under = line.find('_'), bar = line.find('|');
    if (under == std::string_view::npos || bar == std::string_view::npos || bar < under) continue;
    const std::string task(line.substr(under + 1, bar - under - 1));
    if (task.empty() || task.find_first_not_of("0123456789") != std::string::npos) continue;
    queued[std::stoul(task)] = std::string(line.substr(bar + 1));
    if (jobs_queued != nullptr) jobs_queued->insert(std::string(line.substr(0, under)));
  }
  return queued;
}

// "JobState=COMPLETED" of one job, or empty when the scheduler no longer knows it.
std::string JobState(const std::string& job) {
  if (job.empty() || platform::FindProgram("scontrol").empty()) return {};
  platform::ProgramOutput out = platform::RunProgramOutput("scontrol", {"show", "job", "-o", job});
  if (out.status != 0) return {};
  const std::size_t at = out.out.find("JobState=");
  if (at == std::string::npos) return {};
  const std::size_t start = at + 9;
  return out.out.substr(start, out.out.find_first_of(" \n", start) - start);
}

// The missing frames, named up to a limit.
std::string MissingList(const FarmFrames& frames) {
  std::string text;
  std::size_t named = 0;
  for (const FrameCheck& f : frames.frames) {
    if (f.state == FrameState::kDone) continue;
    if (named++ == kFramesListed) {
      text += "  ...\n";
      break;
    }
    text += "  frame " + std::to_string(f.frame) + " (chunk " + std::to_string(f.chunk) +
            "): " + f.file +
            (f.state == FrameState::kMissing   ? " is missing"
             : f.state == FrameState::kBadFile ? " " + f.problem
                                               : " has no manifest entry") +
            "\n";
  }
  return text;
}

// The damaged frames a join found, kept for status and resume.
void WriteBadFrames(const FarmPlan& plan, const FarmFrames& frames) {
  std::string text;
  for (const FrameCheck& f : frames.frames)
    if (f.state == FrameState::kBadFile) text += f.file + "\t" + f.problem + "\n";
  if (text.empty())
    platform::RemoveFile(FarmPath(plan, kFarmBadFramesFile));
  else
    platform::AtomicWriteFile(FarmPath(plan, kFarmBadFramesFile), text);
}

// Status does not read every frame back: it shows what the last join found.
void MarkBadFrames(const FarmPlan& plan, FarmFrames& frames) {
  std::string text;
  if (!platform::FileExists(FarmPath(plan, kFarmBadFramesFile)) ||
      !platform::ReadRegularFile(FarmPath(plan, kFarmBadFramesFile), kMaxStateBytes, text).ok())
    return;
  std::map<std::string, std::string, std::less<>> bad;
  std::string_view rest = text;
  while (!rest.empty()) {
    const std::size_t end = rest.find('\n');
    const std::string_view line = rest.substr(0, end);
    rest = end == std::string_view::npos ? std::string_view() : rest.substr(end + 1);
    const std::size_t tab = line.find('\t');
    if (tab != std::string_view::npos)
      bad[std::string(line.substr(0, tab))] = std::string(line.substr(tab + 1));
  }
  for (FrameCheck& f : frames.frames) {
    auto it = bad.find(f.file);
    if (f.state != FrameState::kDone || it == bad.end()) continue;
    f.state = FrameState::kBadFile;
    f.problem = it->second;
  }
}

int SubmitJobs(FarmState& state, const std::vector<std::size_t>& chunks,
               const std::vector<std::string>& still_running, bool dry_run) {
  const FarmPlan& plan = state.plan;
  const std::vector<std::string> array_args = FarmArraySubmit(plan, chunks);
  if (dry_run) {
    std::printf("# %s\n%s\n# %s\n%s\n", FarmPath(plan, kFarmRenderScript).c_str(),
                FarmRenderScript(plan).c_str(), FarmPath(plan, kFarmJoinScript).c_str(),
                FarmJoinScript(plan).c_str());
    if (!chunks.empty()) std::printf("%s\n", CommandText("sbatch", array_args).c_str());
    const std::vector<std::string> join_args =
        FarmJoinSubmit(plan, chunks.empty() ? "" : "ARRAY_JOB", still_running);
    std::printf("%s\n", CommandText("sbatch", join_args).c_str());
    return StdoutWritten() ? kExitOk : kExitSaveFailed;
  }
  std::string array_job;
  if (!chunks.empty()) {
    auto id = Submit(array_args);
    if (!id) return kExitFarmSubmitFailed;
    array_job = *id;
    state.array_jobs.push_back(array_job);
  }
  const std::vector<std::string> join_args = FarmJoinSubmit(plan, array_job, still_running);
  auto join = Submit(join_args);
  if (!WriteState(state)) return kExitFarmSubmitFailed;
  if (!join) return kExitFarmSubmitFailed;
  state.join_job = *join;
  if (!WriteState(state)) return kExitFarmSubmitFailed;
  if (!array_job.empty())
    std::printf("Submitted array job %s (%zu task(s), array %s) and join job %s\n",
                array_job.c_str(), chunks.size(), ArrayIndices(chunks).c_str(), join->c_str());
  else
    std::printf("Submitted join job %s\n", join->c_str());
  std::printf("Farm folder: %s\nFollow it with: lumetra farm status %s\n", plan.farm_dir.c_str(),
              ShellQuote(plan.farm_dir).c_str());
  return StdoutWritten() ? kExitOk : kExitSaveFailed;
}

int FarmSubmit(const std::vector<std::string>& args) {
  std::vector<std::string> files;
  ValidateRequest request;
  FarmPlan plan;
  std::string farm_dir;
  bool dry_run = false;
  for (std::size_t i = 0; i < args.size(); ++i) {
    const std::string& a = args[i];
    const bool has_value = i + 1 < args.size();
    if (a == "--dry-run") {
      dry_run = true;
    } else if (a == "--frames" && has_value) {
      request.frames = ParseFrameRange(args[++i]);
      if (!request.frames) return Say("farm submit: '" + args[i] + "' is no frame range"), Usage();
    } else if ((a == "--chunk" || a == "--cpus-per-task" || a == "--track") && has_value) {
      std::optional<int32_t> n = PositiveInt(args[i + 1]);
      if (a == "--track" && args[i + 1] == "0") n = 0;
      ++i;
      if (!n || *n < 0)
        return Say("farm submit: " + a + " needs a number, not '" + args[i] + "'"), Usage();
      (a == "--chunk" ? plan.chunk : a == "--track" ? plan.track : plan.cpus) = *n;
    } else if (a == "--partition" && has_value) {
      plan.partition = args[++i];
      if (plan.partition.empty() || plan.partition.find_first_of(" \t\n'\"") != std::string::npos)
        return Say("farm submit: bad partition name '" + plan.partition + "'"), Usage();
    } else if (a == "--farm-dir" && has_value) {
      farm_dir = args[++i];
    } else if (ClassifyArgument(a) == ArgumentKind::kSwitch && a.size() > 3 && a[2] == ':' &&
               (a[1] == 'L' || a[1] == 'l')) {
      request.libraries.push_back(a.substr(3));
    } else if (ClassifyArgument(a) == ArgumentKind::kFile && !a.empty()) {
      files.push_back(a);
    } else {
      return Usage();
    }
  }
  if (files.size() != 2) return Usage();
  const std::string pattern = files[1];
  // The tasks render it with --render: the same patterns are refused here.
  if (std::string why = OutputPatternProblem(pattern); !why.empty()) {
    Say("farm submit: " + why);
    return kExitCommandLine;
  }
  // Absolute paths: the nodes start the tasks in another folder.
  const std::string project = platform::CanonicalPath(files[0]);
  if (!dry_run && !platform::IsReadWriteDirectory(FolderOf(pattern)))
    platform::MakeDirectory(FolderOf(pattern));
  const std::string out_folder = platform::CanonicalPath(FolderOf(pattern));
  request.project = project.empty() ? files[0] : project;
  request.output_pattern = out_folder.empty() ? pattern : out_folder + "/" + NameOf(pattern);
  const ValidateReport report = ValidateProject(request);
  if (!report.ok()) {
    std::fputs(ValidateReportText(report).c_str(), stderr);
    return ValidateExitStatus(report);
  }
  // The format decides (the libraries are loaded now): numbered frames, or one movie whose
  // frames the tasks render as a lossless sequence in the farm folder for the join.
  const project::OutputFormat* format =
      media::OutputFormatFind(media::FileExtension(request.output_pattern));
  if (format == nullptr || format->image_saver == nullptr) {
    Say("farm submit: no loaded library writes pictures as '." +
        std::string(media::FileExtension(pattern)) + "' (see lumetra --list-plugins)");
    return kExitCommandLine;
  }
  const bool movie = (format->flags & output::kFormatNumberedFiles) == 0;
  if (!movie && !PatternIsSequence(pattern)) {
    Say("farm submit: '" + pattern +
        "' names one file. Give a pattern with '#' for the frame number (out/frame####.png), "
        "or a movie (out/film.mp4).");
    return kExitCommandLine;
  }
  if (movie && (PatternIsSequence(pattern) || report.frames.step != 1)) {
    Say("farm submit: a movie is one file of every frame: no '#' in its name and no STEP in "
        "--frames");
    return kExitCommandLine;
  }
  if (movie && media::OutputFormatFind(kFarmFrameExtension) == nullptr) {
    Say(std::string("farm submit: a movie's frames are rendered as .") + kFarmFrameExtension +
        " first, and no loaded library writes them");
    return kExitCommandLine;
  }
  if (!dry_run && !SchedulerPresent({"sbatch", "squeue", "scontrol"})) return kExitFarmNoScheduler;
  // The nodes may see the program at another path than the submitting machine.
  plan.program = platform::EnvironmentValue(kFarmProgramVariable);
  if (plan.program.empty()) plan.program = platform::ProgramPath();
  plan.project = request.project;
  plan.pattern = request.output_pattern;
  plan.frames = report.frames;
  FarmPlanChunks(plan);
  if (plan.chunks.size() > static_cast<std::size_t>(kFarmMaxChunks)) {
    Say("farm submit: " + std::to_string(plan.chunks.size()) +
        " chunks are too many; raise --chunk");
    return kExitCommandLine;
  }
  if (farm_dir.empty())
    farm_dir = out_folder + "/farm-" + std::to_string(plan.frames.first) + "-" +
               std::to_string(plan.frames.last);
  if (!dry_run) {
    if (!platform::IsReadWriteDirectory(farm_dir) && !platform::MakeDirectory(farm_dir)) {
      Say("farm submit: could not create the farm folder '" + farm_dir + "'");
      return kExitFarmSubmitFailed;
    }
    farm_dir = platform::CanonicalPath(farm_dir);
  }
  plan.farm_dir = farm_dir;
  if (movie) {
    // The format's own extension names the file the assembly writes.
    const std::string name = NameOf(plan.pattern);
    plan.movie = out_folder + "/" + name.substr(0, name.rfind('.')) + "." + format->ext;
    plan.pattern = IntermediatePattern(plan.farm_dir, plan.movie, plan.frames);
  }
  if (platform::FileExists(FarmPath(plan, kFarmStateFile))) {
    Say("farm submit: '" + farm_dir +
        "' already holds a farm render; continue it with "
        "'lumetra farm resume " +
        farm_dir + "' or choose another --farm-dir");
    return kExitFarmSubmitFailed;
  }
  FarmState state{plan, {}, {}};
  std::vector<std::size_t> all(plan.chunks.size());
  for (std::size_t i = 0; i < all.size(); ++i) all[i] = i;
  if (!dry_run) {
    const std::string logs = FarmPath(plan, "logs");
    const std::string frames = FarmPath(plan, kFarmFramesFolder);
    if ((!platform::IsReadWriteDirectory(logs) && !platform::MakeDirectory(logs)) ||
        (movie && !platform::IsReadWriteDirectory(frames) && !platform::MakeDirectory(frames)) ||
        !WriteFarmFile(plan, kFarmRenderScript, FarmRenderScript(plan)) ||
        !WriteFarmFile(plan, kFarmJoinScript, FarmJoinScript(plan)) || !WriteState(state))
      return kExitFarmSubmitFailed;
  }
  return SubmitJobs(state, all, {}, dry_run);
}

// The assembly record: "key=value" lines, the same for people and for status.
std::string AssemblyText(const std::string& result, const std::string& movie,
                         const MovieFacts& facts, const std::string& message) {
  std::string text = "result=" + result + "\nmovie=" + movie + "\n";
  if (result == "assembled")
    text += "frames=" + std::to_string(facts.frames) + "\nwidth=" + std::to_string(facts.width) +
            "\nheight=" + std::to_string(facts.height) +
            "\nsample_rate=" + std::to_string(facts.sample_rate) +
            "\nchannels=" + std::to_string(facts.channels) + "\n";
  std::string line = message;
  for (char& c : line)
    if (c == '\n') c = ' ';
  if (!line.empty()) text += "message=" + line + "\n";
  return text;
}

std::map<std::string, std::string> ReadAssembly(const FarmPlan& plan) {
  std::map<std::string, std::string> values;
  std::string text;
  if (!platform::FileExists(FarmPath(plan, kFarmAssemblyFile)) ||
      !platform::ReadRegularFile(FarmPath(plan, kFarmAssemblyFile), kMaxStateBytes, text).ok())
    return values;
  std::string_view rest = text;
  while (!rest.empty()) {
    const std::size_t end = rest.find('\n');
    const std::string_view line = rest.substr(0, end);
    rest = end == std::string_view::npos ? std::string_view() : rest.substr(end + 1);
    if (const std::size_t eq = line.find('='); eq != std::string_view::npos)
      values[std::string(line.substr(0, eq))] = std::string(line.substr(eq + 1));
  }
  return values;
}

int FarmStatus(const std::vector<std::string>& args) {
  bool json = false;
  std::string dir;
  for (const std::string& a : args) {
    if (a == "--json")
      json = true;
    else if (dir.empty() && ClassifyArgument(a) == ArgumentKind::kFile && !a.empty())
      dir = a;
    else
      return Usage();
  }
  if (dir.empty()) return Usage();
  auto state = ReadState(dir);
  if (!state) return kExitFarmSubmitFailed;
  FarmFrames frames = CheckFarmFrames(state->plan);
  MarkBadFrames(state->plan, frames);
  bool queried = false;
  const std::map<std::size_t, std::string> queued = QueuedChunks(*state, &queried);
  std::size_t done = 0, failed = 0, pending = 0, running = 0;
  for (const FrameCheck& f : frames.frames) {
    if (f.state == FrameState::kDone) {
      ++done;
    } else if (auto it = queued.find(f.chunk); it != queued.end()) {
      ++pending;
      running += it->second == "RUNNING";
    } else {
      ++failed;
    }
  }
  const std::string join_state = JobState(state->join_job);
  const bool joined = platform::FileExists(FarmJoinedManifest(state->plan));
  // A movie farm's last step: the join's record, else what the join job is doing.
  const std::map<std::string, std::string> assembly = ReadAssembly(state->plan);
  std::string assembly_state;
  if (!state->plan.movie.empty()) {
    auto it = assembly.find("result");
    assembly_state = it != assembly.end()         ? it->second
                     : join_state == "RUNNING"    ? "running"
                     : join_state.empty() || join_state == "PENDING" ? "waiting"
                                                                     : "not done";
  }
  auto fact = [&assembly](const char* key) {
    auto it = assembly.find(key);
    return it == assembly.end() ? std::string() : it->second;
  };
  if (json) {
    Json j;
    j.Open('{');
    j.Key("farm_dir");
    j.String(state->plan.farm_dir);
    j.Key("frames");
    j.Int(static_cast<int64_t>(frames.frames.size()));
    j.Key("done");
    j.Int(static_cast<int64_t>(done));
    j.Key("failed");
    j.Int(static_cast<int64_t>(failed));
    j.Key("pending");
    j.Int(static_cast<int64_t>(pending));
    j.Key("running");
    j.Int(static_cast<int64_t>(running));
    j.Key("queue_read");
    j.Bool(queried);
    j.Key("join_job");
    j.String(state->join_job);
    j.Key("join_state");
    j.String(join_state);
    j.Key("joined");
    j.Bool(joined);
    if (!state->plan.movie.empty()) {
      j.Key("movie");
      j.String(state->plan.movie);
      j.Key("assembly");
      j.String(assembly_state);
      for (const char* key : {"frames", "width", "height", "sample_rate", "channels"}) {
        const std::optional<int32_t> n = PositiveInt(fact(key));
        if (!n && fact(key) != "0") continue;
        j.Key(std::string("movie_") + key);
        j.Int(n ? *n : 0);
      }
      if (!fact("message").empty()) {
        j.Key("assembly_message");
        j.String(fact("message"));
      }
    }
    j.Close('}');
    std::printf("%s\n", j.Out().c_str());
  } else {
    std::printf("Farm %s: frames %s, %zu chunk(s) of %d\n", state->plan.farm_dir.c_str(),
                FrameRangeText(state->plan.frames).c_str(), state->plan.chunks.size(),
                state->plan.chunk);
    std::printf("done %zu, failed %zu, pending %zu (running %zu) of %zu frame(s)\n", done, failed,
                pending, running, frames.frames.size());
    if (!queried) std::printf("(the queue could not be read: squeue missing or failing)\n");
    if (failed != 0)
      std::printf("%sResubmit what is missing with: lumetra farm resume %s\n",
                  MissingList(frames).c_str(), ShellQuote(state->plan.farm_dir).c_str());
    std::printf("join job %s: %s\n", state->join_job.empty() ? "-" : state->join_job.c_str(),
                joined               ? "joined manifest written"
                : join_state.empty() ? "not in the queue"
                                     : join_state.c_str());
    if (!state->plan.movie.empty()) {
      std::printf("movie %s: %s", state->plan.movie.c_str(), assembly_state.c_str());
      if (assembly_state == "assembled")
        std::printf(", %s frame(s) %sx%s, sound %s Hz, %s channel(s)", fact("frames").c_str(),
                    fact("width").c_str(), fact("height").c_str(), fact("sample_rate").c_str(),
                    fact("channels").c_str());
      if (!fact("message").empty()) std::printf(": %s", fact("message").c_str());
      std::printf("\n");
    }
  }
  return StdoutWritten() ? kExitOk : kExitSaveFailed;
}

int FarmResume(const std::vector<std::string>& args) {
  bool dry_run = false;
  std::string dir;
  for (const std::string& a : args) {
    if (a == "--dry-run")
      dry_run = true;
    else if (dir.empty() && ClassifyArgument(a) == ArgumentKind::kFile && !a.empty())
      dir = a;
    else
      return Usage();
  }
  if (dir.empty()) return Usage();
  if (!dry_run && !SchedulerPresent({"sbatch", "squeue", "scontrol"})) return kExitFarmNoScheduler;
  auto state = ReadState(dir);
  if (!state) return kExitFarmSubmitFailed;
  FarmFrames frames = CheckFarmFrames(state->plan);
  VerifyFarmFrames(state->plan, frames);
  bool queried = false;
  std::set<std::string> jobs_queued;
  const std::map<std::size_t, std::string> queued = QueuedChunks(*state, &queried, &jobs_queued);
  // A damaged frame, or one whose task died before it wrote its line, can never pass the join:
  // it goes, and its chunk renders it again (frames of tasks still running are theirs).
  std::string redo;
  for (const FrameCheck& f : frames.frames) {
    if ((f.state != FrameState::kBadFile && f.state != FrameState::kNoEntry) ||
        queued.count(f.chunk) != 0)
      continue;
    redo += "  frame " + std::to_string(f.frame) + ": " + f.file + " " +
            (f.state == FrameState::kBadFile ? f.problem : "has no manifest entry") + "\n";
    if (!dry_run) platform::RemoveFile(f.file);
  }
  if (!redo.empty()) {
    std::printf("Frame(s) to render again:\n%s", redo.c_str());
    if (!dry_run) platform::RemoveFile(FarmPath(state->plan, kFarmBadFramesFile));
  }
  if (!queried && !state->array_jobs.empty() && !dry_run) {
    Say("farm resume: the queue could not be read (squeue failed); nothing submitted, so that "
        "no chunk renders twice");
    return kExitFarmSubmitFailed;
  }
  std::vector<std::size_t> chunks;
  for (std::size_t c : frames.ChunksToRender())
    if (queued.find(c) == queued.end()) chunks.push_back(c);
  const bool assembled = state->plan.movie.empty() || ReadAssembly(state->plan)["result"] == "assembled";
  if (chunks.empty() && assembled && platform::FileExists(FarmJoinedManifest(state->plan))) {
    std::printf("Nothing to resume: every frame is done and joined in %s\n",
                FarmJoinedManifest(state->plan).c_str());
    return StdoutWritten() ? kExitOk : kExitSaveFailed;
  }
  if (chunks.empty() && !queued.empty()) {
    std::printf("Nothing to resume: the missing frames are still queued\n");
    return StdoutWritten() ? kExitOk : kExitSaveFailed;
  }
  // The old join waits on an array that can no longer succeed: it goes.
  const std::string old_join = state->join_job;
  if (!dry_run && !old_join.empty() && !JobState(old_join).empty() &&
      JobState(old_join) != "COMPLETED" && !platform::FindProgram("scancel").empty())
    platform::RunProgramOutput("scancel", {old_join});
  // Only jobs that still have queued tasks: the scheduler may have forgotten the others.
  std::vector<std::string> still_running;
  for (const std::string& job : state->array_jobs)
    if (jobs_queued.count(job) != 0) still_running.push_back(job);
  std::printf("Resubmitting %zu chunk(s) with missing frames: %s\n", chunks.size(),
              chunks.empty() ? "(none; only the join)" : ArrayIndices(chunks).c_str());
  return SubmitJobs(*state, chunks, still_running, dry_run);
}

// Assembles the movie of a joined farm and checks it through the movie reader.
int AssembleMovieStep(const FarmPlan& plan) {
  platform::RemoveFile(FarmPath(plan, kFarmAssemblyFile));
  std::printf("Assembling %s from %s with the project's sound\n", plan.movie.c_str(),
              plan.pattern.c_str());
  std::fflush(stdout);
  int32_t written = 0;
  std::string error = AssembleFarmMovie(plan, &written);
  MovieFacts facts;
  if (error.empty()) {
    facts = ReadMovieFacts(plan.movie);
    const int64_t frames = plan.frames.Count();
    if (!facts.error.empty())
      error = "the movie written does not open: " + facts.error;
    else if (facts.frames != frames)
      error = "the movie written reads back " + std::to_string(facts.frames) + " frame(s), not " +
              std::to_string(frames);
    else if (facts.sample_rate <= 0)
      error = "the movie written reads back without sound";
  }
  const std::string result = error.empty() ? "assembled" : "failed";
  platform::AtomicWriteFile(FarmPath(plan, kFarmAssemblyFile),
                            AssemblyText(result, plan.movie, facts, error));
  if (!error.empty()) {
    Say("farm join: the frames are complete but the movie failed: " + error +
        "\nAssemble it again with: lumetra farm join " + ShellQuote(plan.farm_dir));
    return kExitFarmAssemblyFailed;
  }
  std::printf("Movie %s: %d frame(s) %dx%d, sound %d Hz, %d channel(s)\n", plan.movie.c_str(),
              facts.frames, facts.width, facts.height, facts.sample_rate, facts.channels);
  return kExitOk;
}

int FarmJoin(const std::vector<std::string>& args) {
  if (args.size() != 1 || ClassifyArgument(args[0]) != ArgumentKind::kFile) return Usage();
  auto state = ReadState(args[0]);
  if (!state) return kExitFarmSubmitFailed;
  const FarmPlan& plan = state->plan;
  FarmFrames frames = CheckFarmFrames(plan);
  // Each frame is read back and its pixels hashed: a frame cut short or damaged on the way
  // fails here, not in the movie or in the next step of the pipeline.
  VerifyFarmFrames(plan, frames);
  WriteBadFrames(plan, frames);
  const std::size_t done = frames.Count(FrameState::kDone);
  if (done != frames.frames.size()) {
    Say("farm join: " + std::to_string(frames.frames.size() - done) + " of " +
        std::to_string(frames.frames.size()) + " frame(s) are not done:\n" + MissingList(frames) +
        "Resubmit them with: lumetra farm resume " + ShellQuote(plan.farm_dir));
    return kExitFarmIncomplete;
  }
  const std::string manifest = FarmJoinedManifest(plan);
  platform::FileResult r = platform::AtomicWriteFile(manifest, JoinedManifestText(frames));
  if (!r.ok()) {
    Say("farm join: could not write " + manifest + ": " + r.message);
    return kExitSaveFailed;
  }
  std::printf("All %zu frame(s) are done with their hashes; joined manifest: %s\n", done,
              manifest.c_str());
  if (!plan.movie.empty()) {
    if (int status = AssembleMovieStep(plan); status != kExitOk) return status;
  }
  return StdoutWritten() ? kExitOk : kExitSaveFailed;
}

}  // namespace

std::optional<int> RunFarm(const std::vector<std::string>& args) {
  if (args.empty() || args[0] != "farm") return std::nullopt;
  if (args.size() < 2) return Usage();
  const std::vector<std::string> rest(args.begin() + 2, args.end());
  if (args[1] == "submit") return FarmSubmit(rest);
  if (args[1] == "status") return FarmStatus(rest);
  if (args[1] == "resume") return FarmResume(rest);
  if (args[1] == "join") return FarmJoin(rest);
  return Usage();
}

}  // namespace lumetra::app
