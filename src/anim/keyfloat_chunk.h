// The stored form of a curve: one chunk 0xBF09 of 38-byte little-endian keys.
#pragma once

#include <cstdint>
#include <span>

#include "platform/byte_io.h"
#include "plugin/lumetra_plugin.h"

namespace lumetra::anim {

inline constexpr uint16_t kKeyfloatChunkId = 0xBF09;
inline constexpr uint32_t kKeyfloatChunkHeaderSize = 6;
inline constexpr uint32_t kKeyfloatKeySize = 38;

// Reader results, as the project file reader reports them.
inline constexpr int kKeyfloatReadOk = 1;
inline constexpr int kKeyfloatReadBadChunk = -2;
inline constexpr int kKeyfloatReadNoMemory = -5;

// Appends the chunk: header (id, length 6 + 38 x keys) and the keys in list order.
// Returns 1, or 0 (nothing written) when the length would not fit 32 bits.
int KeyfloatChunkWrite(platform::ByteWriter& out, const KeyfloatKey* first);

// Builds a curve from a chunk's payload (the bytes after its header). Stored keys are not
// trusted: keys whose time is NaN or beyond the time limit are dropped, NaN fields become 0,
// values and shape parameters are clamped to their limits, component counts are clamped to 1..3,
// the keys are put in time order (stable) and trailing bytes short of a whole key are ignored.
// Returns 1 with *out the curve (null for no keys), or -5 when memory runs out (*out null, nothing
// leaked).
int KeyfloatPayloadRead(std::span<const uint8_t> payload, KeyfloatKey** out);

// Reads one whole curve chunk from in and moves past it. -2 when the header is not a
// curve chunk or its length is below 6 or runs past the bytes (in is left where it was).
int KeyfloatChunkRead(platform::ByteReader& in, KeyfloatKey** out);

}  // namespace lumetra::anim
