#include "channel_processor_kernel.h"

#include <cstdlib>
#include <cstring>

namespace lumetra::effects {
namespace {

// Operand values of one pixel pair, by stored code.
inline void OperandValues(const uint8_t* p, const uint8_t* q, int32_t v[kChannelOperands]) {
  v[0] = p[2];
  v[1] = p[1];
  v[2] = p[0];
  v[3] = p[3];
  v[4] = q[2];
  v[5] = q[1];
  v[6] = q[0];
  v[7] = q[3];
  v[8] = 0;
  v[9] = 255;
  v[10] = (p[0] + p[1] + p[2]) / 3;
  v[11] = (q[0] + q[1] + q[2]) / 3;
}

}  // namespace

int32_t ChannelOperate(int32_t operation, int32_t mode, int32_t x, int32_t y) {
  switch (operation) {
    case 1:
      return mode == 1 ? (x + y) & 0xFF : mode == 2 ? std::min(x + y, 255) : (x + y) / 2;
    case 2:
      return mode == 1 ? (x - y) & 0xFF : std::max(x - y, 0);
    case 3:
      return mode == 1 ? (x * y) & 0xFF : mode == 2 ? std::min(x * y, 255) : x * y / 255;
    case 4: return std::max(x, y);
    case 5: return std::min(x, y);
    case 6: return std::abs(x - y);
    default: return x;
  }
}

KernelStatus ChannelProcess(const PlacedView& first, const PlacedView& second,
                            const PlacedImage& out, const ChannelProgram& program,
                            const BandRunner& bands, const AbortCheck& abort) {
  if (!ViewUsable(out.view)) return KernelStatus::kNoMemory;
  // Output byte order is B, G, R, A: channel index c (R, G, B, A) goes to byte kByte[c].
  static constexpr int32_t kByte[4] = {2, 1, 0, 3};
  int32_t op[4], a[4], b[4], mode[4];
  for (int c = 0; c < 4; ++c) {
    op[c] = program.operation[c] >= 0 && program.operation[c] < kChannelOperations
                ? program.operation[c] : 0;
    mode[c] = program.mode[c] >= 0 && program.mode[c] < kChannelModes ? program.mode[c] : 0;
    // Out-of-range operands read the constant 0 (slot 8).
    a[c] = program.operand1[c] >= 0 && program.operand1[c] < kChannelOperands
               ? program.operand1[c] : 8;
    b[c] = program.operand2[c] >= 0 && program.operand2[c] < kChannelOperands
               ? program.operand2[c] : 8;
  }
  const int32_t w = out.view.width;
  const Span s1 = SpanOf(out.x, w, first.x, first.view.width);
  const Span s2 = SpanOf(out.x, w, second.x, second.view.width);
  auto band = [&](int32_t begin, int32_t end) {
    static constexpr uint8_t kZero[4] = {0, 0, 0, 0};
    for (int32_t y = begin; y < end; ++y) {
      const uint8_t* r1 = RowAt(first, out.y, y);
      const uint8_t* r2 = RowAt(second, out.y, y);
      uint8_t* o = out.view.Row(y);
      for (int32_t x = 0; x < w; ++x) {
        const uint8_t* p = r1 != nullptr && x >= s1.begin && x < s1.end
                               ? r1 + 4 * static_cast<size_t>(x - s1.begin + s1.source_column)
                               : kZero;
        const uint8_t* q = r2 != nullptr && x >= s2.begin && x < s2.end
                               ? r2 + 4 * static_cast<size_t>(x - s2.begin + s2.source_column)
                               : kZero;
        int32_t v[kChannelOperands];
        OperandValues(p, q, v);
        int32_t result[4];
        for (int c = 0; c < 4; ++c) result[c] = ChannelOperate(op[c], mode[c], v[a[c]], v[b[c]]);
        for (int c = 0; c < 4; ++c) o[4 * x + kByte[c]] = static_cast<uint8_t>(result[c]);
      }
    }
  };
  return RunChunked(out.view.height, w * 4, bands, abort, band);
}

}  // namespace lumetra::effects
