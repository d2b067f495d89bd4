// "farm submit | status | resume | join": rendering a project on a SLURM cluster through job
// arrays. The cluster is driven by its command-line tools (sbatch, squeue, scontrol,
// scancel), never linked, so any SLURM version a site runs will do.
#pragma once

#include <optional>
#include <string>
#include <vector>

namespace lumetra::app {

inline constexpr const char* kFarmUsage =
    "farm submit PROJECT.ZTP OUT_PATTERN [--frames A-B[:STEP]] [--chunk N] [--partition P]\n"
    "                   [--cpus-per-task N] [--track N] [--farm-dir DIR] [--dry-run] "
    "[/L:<path>...]\n"
    "       farm status FARMDIR [--json]\n"
    "       farm resume FARMDIR [--dry-run]\n"
    "       farm join FARMDIR";

// The exit status when the arguments ask for "farm"; nothing otherwise.
std::optional<int> RunFarm(const std::vector<std::string>& args);

}  // namespace lumetra::app
