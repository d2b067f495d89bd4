// The machine's steady clock for render sessions.
#include "output/session_clock.h"

#include <chrono>
#include <thread>

namespace lumetra::output {
namespace {

class SteadyClock final : public SessionClock {
 public:
  double Seconds() override {
    using namespace std::chrono;
    return duration<double>(steady_clock::now().time_since_epoch()).count();
  }
  void Sleep(double seconds) override {
    if (seconds > 0) std::this_thread::sleep_for(std::chrono::duration<double>(seconds));
  }
};

}  // namespace

SessionClock& SteadySessionClock() {
  static SteadyClock clock;
  return clock;
}

}  // namespace lumetra::output
