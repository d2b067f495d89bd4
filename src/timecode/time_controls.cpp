// Registered time fields, refreshed when the display mode changes.
#include "timecode/time_controls.h"

#include <atomic>
#include <map>
#include <memory>
#include <mutex>
#include <vector>

#include "timecode/time_base.h"

namespace lumetra::project {
namespace {

using Refresh = std::shared_ptr<const std::function<void()>>;

std::atomic<int32_t> g_mode{kTimeDisplayTimeCode};
std::mutex g_controls_mutex;
std::map<TimeControlId, Refresh> g_controls;
TimeControlId g_next_id = 1;

Refresh Find(TimeControlId id) {
  std::lock_guard lock(g_controls_mutex);
  auto it = g_controls.find(id);
  return it == g_controls.end() ? nullptr : it->second;
}

}  // namespace

int32_t TimeDisplayMode() {
  return g_mode.load();
}

bool TimeDisplayModeSet(int32_t mode) {
  if (mode < kTimeDisplayTimeCode || mode > kTimeDisplaySeconds) return false;
  if (g_mode.exchange(mode) != mode) TimeControlsRefresh();
  return true;
}

void TimeControlsRefresh() {
  std::vector<TimeControlId> ids;
  {
    std::lock_guard lock(g_controls_mutex);
    for (const auto& entry : g_controls) ids.push_back(entry.first);
  }
  // The lock is not held while a control redraws: it may register or unregister controls.
  for (TimeControlId id : ids)
    if (Refresh refresh = Find(id); refresh && *refresh) (*refresh)();
}

TimeControlId TimeControlRegister(std::function<void()> refresh) {
  std::lock_guard lock(g_controls_mutex);
  const TimeControlId id = g_next_id++;
  g_controls.emplace(id, std::make_shared<const std::function<void()>>(std::move(refresh)));
  return id;
}

void TimeControlUnregister(TimeControlId id) {
  std::lock_guard lock(g_controls_mutex);
  g_controls.erase(id);
}

}  // namespace lumetra::project
