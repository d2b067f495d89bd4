// The process-wide time display mode and the list of time fields that follow it.
#pragma once

#include <cstdint>
#include <functional>

namespace lumetra::project {

// The current display mode (kTimeDisplay*), 0 time code at start.
int32_t TimeDisplayMode();
// Sets the mode from the Time menu or a loaded project; an unknown mode is ignored
// (returns false). A change refreshes every registered time control.
bool TimeDisplayModeSet(int32_t mode);

// Each registered control is asked to redisplay its value in the current mode. Callable
// from a refresh callback; controls added or removed during it take effect at once.
void TimeControlsRefresh();

using TimeControlId = uint64_t;
TimeControlId TimeControlRegister(std::function<void()> refresh);
void TimeControlUnregister(TimeControlId id);

// A time field's registration for as long as the field exists.
class TimeControlRegistration {
 public:
  explicit TimeControlRegistration(std::function<void()> refresh)
      : id_(TimeControlRegister(std::move(refresh))) {}
  ~TimeControlRegistration() { TimeControlUnregister(id_); }
  TimeControlRegistration(const TimeControlRegistration&) = delete;
  TimeControlRegistration& operator=(const TimeControlRegistration&) = delete;

 private:
  TimeControlId id_;
};

}  // namespace lumetra::project
