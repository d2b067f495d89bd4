// The checks the preference pages apply before taking values.
#include <cmath>

#include "app/settings.h"

namespace lumetra::app {

std::string SettingsCheckProject(const ProjectPreset& p) {
  if (p.width < 1 || p.width > 4096) return "Horizontal frame size is invalid.";
  if (p.height < 1 || p.height > 4096) return "Vertical frame size is invalid.";
  if (!(p.aspect >= 0.001f && p.aspect <= 1000.0f)) return "Pixel aspect ratio is invalid.";
  if (p.detail < 1 || p.detail > 100) return "Work resolution is invalid.";
  if (p.timebase < 1 || p.timebase > 1000) return "Time Base is invalid.";
  return {};
}

std::string SettingsCheckStillLength(float seconds) {
  return seconds > 0.0f && std::isfinite(seconds) ? std::string()
                                                  : "Still length should be positive.";
}

std::string SettingsCheckUndo(int32_t undo_levels, int32_t undo_levels_in_ram) {
  if (undo_levels <= 0 || undo_levels > kUndoLevelsMax) return "Illegal Number of Undo Steps";
  if (undo_levels_in_ram < 0) return "Illegal Number of Undo Steps in RAM";
  if (undo_levels_in_ram > undo_levels)
    return "Undo Steps in RAM cannot be grater than total of Undo Steps";
  return {};
}

std::string SettingsCheckRenderThreads(int32_t threads) {
  if (threads < 1 || threads > kRenderThreadsMax)
    return "Render Threads quantity is invalid.\nValid range is [1..32]";
  return {};
}

}  // namespace lumetra::app
