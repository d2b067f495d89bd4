// Chunks, job scripts, scheduler arguments and the farm's state file.
#include "app/farm_plan.h"

#include <algorithm>
#include <charconv>
#include <cstdio>
#include <map>
#include <optional>

namespace lumetra::app {
namespace {

constexpr int kFarmStateVersion = 1;

std::string Directive(std::string_view option) {
  return "#SBATCH " + std::string(option) + "\n";
}

// Common directives: the job name, its log, the partition.
std::string Header(const FarmPlan& plan, std::string_view role, std::string_view log) {
  std::string text = "#!/bin/bash\n";
  text += Directive("--job-name=" + FarmJobName(plan, role));
  text += Directive("--output=" + FarmPath(plan, log));
  if (!plan.partition.empty()) text += Directive("--partition=" + plan.partition);
  return text;
}

std::optional<int32_t> Int(std::string_view text) {
  int32_t v = 0;
  auto [end, ec] = std::from_chars(text.data(), text.data() + text.size(), v);
  if (ec != std::errc() || end != text.data() + text.size()) return std::nullopt;
  return v;
}

}  // namespace

std::string FarmJobName(const FarmPlan& plan, std::string_view role) {
  uint32_t hash = 2166136261u;  // FNV-1a
  for (unsigned char c : plan.farm_dir) hash = (hash ^ c) * 16777619u;
  char key[9];
  std::snprintf(key, sizeof key, "%08x", static_cast<unsigned>(hash));
  return "lumetra-" + std::string(role) + "-" + key;
}

void FarmPlanChunks(FarmPlan& plan) {
  plan.chunks = SplitFrames(plan.frames, plan.chunk);
}

std::string FarmPath(const FarmPlan& plan, std::string_view name) {
  return plan.farm_dir + "/" + std::string(name);
}

std::string FarmPartManifest(const FarmPlan& plan, std::size_t chunk) {
  return FarmPath(plan, "part-" + std::to_string(chunk) + ".txt");
}

std::string FarmJoinedManifest(const FarmPlan& plan) {
  return FarmPath(plan, kFarmManifest);
}

std::string ShellQuote(std::string_view text) {
  std::string out = "'";
  for (char c : text) {
    if (c == '\'')
      out += "'\\''";
    else
      out += c;
  }
  return out + "'";
}

std::vector<std::string> FarmRenderCommand(const FarmPlan& plan, std::size_t chunk) {
  std::vector<std::string> args = {plan.program, "--render", plan.pattern, plan.project};
  if (plan.track >= 0) {
    args.push_back("--track");
    args.push_back(std::to_string(plan.track));
  }
  args.insert(args.end(), {"--frames", FrameRangeText(plan.chunks.at(chunk)), "--threads",
                           std::to_string(plan.cpus), "--manifest", FarmPartManifest(plan, chunk),
                           "--skip-existing"});
  return args;
}

std::string FarmRenderScript(const FarmPlan& plan) {
  std::string text = Header(plan, "render", "logs/render-%A_%a.out");
  text += Directive("--cpus-per-task=" + std::to_string(plan.cpus));
  text +=
      "# Task i renders chunk i; frames already on disk are skipped, so a task run again\n"
      "# (farm resume) goes on where the last attempt stopped.\n"
      "set -euo pipefail\n"
      "chunks=(";
  for (std::size_t i = 0; i < plan.chunks.size(); ++i) {
    if (i != 0) text += ' ';
    text += FrameRangeText(plan.chunks[i]);
  }
  text +=
      ")\n"
      "i=${SLURM_ARRAY_TASK_ID:?run this script as an array job (sbatch --array)}\n"
      "part=" +
      ShellQuote(plan.farm_dir) +
      "/part-$i.txt\n"
      "# An earlier attempt's manifest is kept beside it: its frames are not rendered again.\n"
      "if [ -e \"$part\" ]; then\n"
      "  n=1; while [ -e \"$part.$n\" ]; do n=$((n + 1)); done\n"
      "  mv \"$part\" \"$part.$n\"\n"
      "fi\n"
      "exec " +
      ShellQuote(plan.program) + " --render " + ShellQuote(plan.pattern) + " " +
      ShellQuote(plan.project);
  if (plan.track >= 0) text += " --track " + std::to_string(plan.track);
  text += " --frames \"${chunks[$i]}\" --threads " + std::to_string(plan.cpus) +
          " --manifest \"$part\" --skip-existing\n";
  return text;
}

std::string FarmJoinScript(const FarmPlan& plan) {
  std::string text = Header(plan, "join", "logs/join-%j.out");
  text +=
      "# Runs once every render task has succeeded: joins the part manifests and checks\n"
      "# that every frame is there with its hash.\n" +
      (plan.movie.empty() ? std::string()
                          : "# Then assembles the movie with the project's sound.\n") +
      "exec " +
      ShellQuote(plan.program) + " farm join " + ShellQuote(plan.farm_dir) + "\n";
  return text;
}

std::string ArrayIndices(const std::vector<std::size_t>& chunks) {
  std::string indices;
  for (std::size_t i = 0; i < chunks.size();) {
    std::size_t j = i;
    while (j + 1 < chunks.size() && chunks[j + 1] == chunks[j] + 1) ++j;
    if (!indices.empty()) indices += ',';
    indices += std::to_string(chunks[i]);
    if (j != i) indices += "-" + std::to_string(chunks[j]);
    i = j + 1;
  }
  return indices;
}

std::vector<std::string> FarmArraySubmit(const FarmPlan& plan,
                                         const std::vector<std::size_t>& chunks) {
  return {"--parsable", "--array=" + ArrayIndices(chunks), FarmPath(plan, kFarmRenderScript)};
}

std::vector<std::string> FarmJoinSubmit(const FarmPlan& plan, const std::string& array_job,
                                        const std::vector<std::string>& still_running) {
  std::string dependency;
  if (!array_job.empty()) dependency = "afterok:" + array_job;
  for (std::size_t i = 0; i < still_running.size(); ++i) {
    if (i == 0) dependency += dependency.empty() ? "afterany" : ",afterany";
    dependency += ":" + still_running[i];
  }
  std::vector<std::string> args = {"--parsable"};
  if (!dependency.empty()) args.push_back("--dependency=" + dependency);
  args.push_back(FarmPath(plan, kFarmJoinScript));
  return args;
}

bool PatternIsSequence(std::string_view pattern) {
  const std::size_t slash = pattern.rfind('/');
  return pattern.find('#', slash == std::string_view::npos ? 0 : slash + 1) !=
         std::string_view::npos;
}

std::string FrameFileName(std::string_view pattern, int32_t frame) {
  const std::size_t slash = pattern.rfind('/');
  const std::size_t name = slash == std::string_view::npos ? 0 : slash + 1;
  std::string out(pattern.substr(0, name));
  for (std::size_t i = name; i < pattern.size();) {
    if (pattern[i] != '#') {
      out += pattern[i++];
      continue;
    }
    std::size_t run = 0;
    while (i + run < pattern.size() && pattern[i + run] == '#') ++run;
    const int width = static_cast<int>(std::min<std::size_t>(run, 31));
    char number[48];
    std::snprintf(number, sizeof number, "%0*d", width, frame);
    out += number;
    i += run;
  }
  return out;
}

std::string IntermediatePattern(std::string_view farm_dir, std::string_view movie,
                                const FrameRange& frames) {
  const std::size_t slash = movie.rfind('/');
  std::string_view name = slash == std::string_view::npos ? movie : movie.substr(slash + 1);
  if (const std::size_t dot = name.rfind('.'); dot != std::string_view::npos && dot != 0)
    name = name.substr(0, dot);
  int32_t widest = std::max(frames.first, frames.last);
  std::size_t digits = 1;
  while (widest >= 10) {
    widest /= 10;
    ++digits;
  }
  return std::string(farm_dir) + "/" + kFarmFramesFolder + "/" + std::string(name) + "." +
         std::string(std::max<std::size_t>(digits, 4), '#') + "." + kFarmFrameExtension;
}

std::string FarmStateText(const FarmPlan& plan, const std::vector<std::string>& array_jobs,
                          const std::string& join_job) {
  std::string jobs;
  for (const std::string& j : array_jobs) jobs += (jobs.empty() ? "" : " ") + j;
  std::string text =
      "# Lumetra farm render: written by 'lumetra farm submit', read by status,\n"
      "# resume and join.\n";
  const std::pair<const char*, std::string> rows[] = {
      {"version", std::to_string(kFarmStateVersion)},
      {"program", plan.program},
      {"project", plan.project},
      {"pattern", plan.pattern},
      {"movie", plan.movie},
      {"frames", FrameRangeText(plan.frames)},
      {"chunk", std::to_string(plan.chunk)},
      {"cpus", std::to_string(plan.cpus)},
      {"track", std::to_string(plan.track)},
      {"partition", plan.partition},
      {"array_jobs", jobs},
      {"join_job", join_job},
  };
  for (const auto& [key, value] : rows) text += std::string(key) + "=" + value + "\n";
  return text;
}

bool ParseFarmState(std::string_view text, FarmState& state, std::string* error) {
  std::map<std::string, std::string, std::less<>> values;
  while (!text.empty()) {
    const std::size_t end = text.find('\n');
    std::string_view line = text.substr(0, end);
    text = end == std::string_view::npos ? std::string_view() : text.substr(end + 1);
    if (line.empty() || line[0] == '#') continue;
    const std::size_t eq = line.find('=');
    if (eq == std::string_view::npos) continue;
    values[std::string(line.substr(0, eq))] = std::string(line.substr(eq + 1));
  }
  auto fail = [error](const std::string& why) {
    if (error != nullptr) *error = why;
    return false;
  };
  for (const char* key : {"version", "program", "project", "pattern", "frames", "chunk", "cpus"})
    if (values.find(key) == values.end()) return fail(std::string("no '") + key + "' line");
  if (Int(values["version"]) != kFarmStateVersion)
    return fail("unknown version " + values["version"]);
  FarmPlan& p = state.plan;
  p.program = values["program"];
  p.project = values["project"];
  p.pattern = values["pattern"];
  p.movie = values["movie"];  // absent before movies were farmed: none
  auto frames = ParseFrameRange(values["frames"]);
  auto chunk = Int(values["chunk"]), cpus = Int(values["cpus"]);
  auto track = Int(values.count("track") ? values["track"] : "-1");
  if (!frames || frames->Empty()) return fail("bad frame range '" + values["frames"] + "'");
  if (!chunk || *chunk < 1 || !cpus || *cpus < 1 || !track) return fail("bad chunk, cpus or track");
  p.frames = *frames;
  p.chunk = *chunk;
  p.cpus = *cpus;
  p.track = *track;
  p.partition = values["partition"];
  FarmPlanChunks(p);
  if (p.chunks.size() > static_cast<std::size_t>(kFarmMaxChunks)) return fail("too many chunks");
  state.array_jobs.clear();
  std::string_view jobs = values["array_jobs"];
  while (!jobs.empty()) {
    const std::size_t sp = jobs.find(' ');
    if (sp != 0) state.array_jobs.emplace_back(jobs.substr(0, sp));
    jobs = sp == std::string_view::npos ? std::string_view() : jobs.substr(sp + 1);
  }
  state.join_job = values["join_job"];
  return true;
}

}  // namespace lumetra::app
