// The 44-byte header of a PCM wave file: one format chunk, one data chunk.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <optional>

namespace lumetra::sound {

inline constexpr std::size_t kWaveHeaderSize = 44;
inline constexpr std::size_t kWaveRiffSizeOffset = 4;
inline constexpr std::size_t kWaveDataSizeOffset = 40;
// What the RIFF size counts beyond the data: "WAVE" and the two chunk headers and the format.
inline constexpr uint32_t kWaveRiffOverhead = 36;
// The largest data chunk whose RIFF size still fits its 32-bit field.
inline constexpr uint64_t kWaveDataMax = 0xFFFFFFFFull - kWaveRiffOverhead;

struct WaveFormat {
  uint32_t rate = 0;
  uint32_t channels = 0;
  uint32_t bytes = 0;  // per sample
};

// Byte rate (rate * channels * bits + 7) / 8 and block align (channels * bits + 7) / 8;
// none when a field would not fit its width in the header or a value is 0.
struct WaveRates {
  uint32_t byte_rate;
  uint16_t block_align;
};
std::optional<WaveRates> WaveRatesOf(const WaveFormat& format);

// The header, little-endian field by field, with the data size given (the RIFF size is
// 36 more). None for a format the header cannot hold or a data size past kWaveDataMax.
std::optional<std::array<uint8_t, kWaveHeaderSize>> WaveHeader(const WaveFormat& format,
                                                               uint64_t data_size);

// A 32-bit little-endian field, as the sizes are patched.
std::array<uint8_t, 4> WaveU32(uint32_t value);

}  // namespace lumetra::sound
