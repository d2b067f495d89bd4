// The Multitrack switcher: each output channel one formula over the channels of any
// number of inputs placed in the frame.
#pragma once

#include <cstdint>
#include <vector>

#include "placed_view.h"

namespace lumetra::effects {

inline constexpr int32_t kSwitcherOperations = 11;  // =, MinAll .. Sub, 0, 1
inline constexpr int32_t kSwitcherChannels = 5;     // R, G, B, A, L

// Per output channel R, G, B, A the stored codes. An input or channel that does not exist
// reads 0; an unknown operation gives 0.
struct SwitcherProgram {
  int32_t op[4] = {0, 0, 0, 0};
  int32_t ch1[4] = {0, 1, 2, 3};
  int32_t in1[4] = {0, 0, 0, 0};
  int32_t ch2[4] = {0, 1, 2, 3};
  int32_t in2[4] = {0, 0, 0, 0};
};

// Every pixel of out is written from the inputs that cover it.
KernelStatus Switch(const std::vector<PlacedView>& inputs, const PlacedImage& out,
                    const SwitcherProgram& program, const BandRunner& bands,
                    const AbortCheck& abort = {});

}  // namespace lumetra::effects
