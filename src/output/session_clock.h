// The clock a render session reads for its timings and its retry countdown; tests inject
// one that moves only when told.
#pragma once

namespace lumetra::output {

class SessionClock {
 public:
  virtual ~SessionClock() = default;
  // Seconds since some fixed point.
  virtual double Seconds() = 0;
  virtual void Sleep(double seconds) = 0;
};

// The steady clock of the machine.
SessionClock& SteadySessionClock();

}  // namespace lumetra::output
