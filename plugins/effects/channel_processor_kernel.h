// The Channel Processor: each output channel one operation on two operands taken from
// the two inputs, in one of three overflow modes.
#pragma once

#include <cstdint>

#include "placed_view.h"

namespace lumetra::effects {

inline constexpr int32_t kChannelOperations = 7;  // =, ADD, SUB, MUL, MAX, MIN, XOR
inline constexpr int32_t kChannelOperands = 12;   // R1 G1 B1 A1 R2 G2 B2 A2 0% 100% L1 L2
inline constexpr int32_t kChannelModes = 3;       // Normalize, Wrap, Cut

// Per output channel R, G, B, A (index 0..3) the stored codes. An operand code out of
// range reads 0; an unknown operation is "="; an unknown mode is Normalize.
struct ChannelProgram {
  int32_t operation[4] = {0, 0, 0, 0};
  int32_t operand1[4] = {0, 1, 2, 3};
  int32_t operand2[4] = {4, 5, 6, 7};
  int32_t mode[4] = {0, 0, 0, 0};
};

// One operation in one mode on two operand values 0..255.
int32_t ChannelOperate(int32_t operation, int32_t mode, int32_t x, int32_t y);

// out covers the union of first and second; P is first's pixel (0 outside it), Q second's
// (0 outside it); every pixel of out is written.
KernelStatus ChannelProcess(const PlacedView& first, const PlacedView& second,
                            const PlacedImage& out, const ChannelProgram& program,
                            const BandRunner& bands, const AbortCheck& abort = {});

}  // namespace lumetra::effects
