// Stop signals: the handler only stores into lock-free atomics.
#include "platform/stop_signals.h"

#include <csignal>

namespace lumetra::platform {
namespace {

std::atomic<bool> g_stop{false};
std::atomic<int> g_signal{0};

extern "C" void OnStopSignal(int number) {
  g_signal.store(number);
  g_stop.store(true);
}

}  // namespace

const std::atomic<bool>& InstallStopSignals() {
  static const bool installed = [] {
    struct sigaction sa {};
    sa.sa_handler = &OnStopSignal;
    sigemptyset(&sa.sa_mask);
    sa.sa_flags = SA_RESTART;
    sigaction(SIGINT, &sa, nullptr);
    sigaction(SIGTERM, &sa, nullptr);
    return true;
  }();
  (void)installed;
  return g_stop;
}

int StopSignalNumber() { return g_signal.load(); }

void ResetStopSignals() {
  g_stop.store(false);
  g_signal.store(0);
}

}  // namespace lumetra::platform
