// The wave header, written field by field.
#include "sound/wave_header.h"

#include <vector>

#include "platform/byte_io.h"

namespace lumetra::sound {

std::optional<WaveRates> WaveRatesOf(const WaveFormat& f) {
  if (f.rate == 0 || f.channels == 0 || f.bytes == 0) return std::nullopt;
  const uint64_t bits = uint64_t{f.bytes} * 8;
  const uint64_t byte_rate = (uint64_t{f.rate} * f.channels * bits + 7) / 8;
  const uint64_t align = (uint64_t{f.channels} * bits + 7) / 8;
  if (byte_rate > UINT32_MAX || align > UINT16_MAX || bits > UINT16_MAX ||
      f.channels > UINT16_MAX)
    return std::nullopt;
  return WaveRates{static_cast<uint32_t>(byte_rate), static_cast<uint16_t>(align)};
}

std::optional<std::array<uint8_t, kWaveHeaderSize>> WaveHeader(const WaveFormat& f,
                                                               uint64_t data_size) {
  const std::optional<WaveRates> rates = WaveRatesOf(f);
  if (!rates || data_size > kWaveDataMax) return std::nullopt;
  std::vector<uint8_t> bytes;
  platform::ByteWriter w(bytes);
  const auto tag = [&w](const char (&text)[5]) {
    for (int i = 0; i < 4; ++i) w.U8(static_cast<uint8_t>(text[i]));
  };
  tag("RIFF");
  w.U32(static_cast<uint32_t>(data_size + kWaveRiffOverhead));
  tag("WAVE");
  tag("fmt ");
  w.U32(16);
  w.U16(1);  // PCM
  w.U16(static_cast<uint16_t>(f.channels));
  w.U32(f.rate);
  w.U32(rates->byte_rate);
  w.U16(rates->block_align);
  w.U16(static_cast<uint16_t>(f.bytes * 8));
  tag("data");
  w.U32(static_cast<uint32_t>(data_size));
  std::array<uint8_t, kWaveHeaderSize> out{};
  for (std::size_t i = 0; i < kWaveHeaderSize; ++i) out[i] = bytes[i];
  return out;
}

std::array<uint8_t, 4> WaveU32(uint32_t v) {
  return {static_cast<uint8_t>(v), static_cast<uint8_t>(v >> 8), static_cast<uint8_t>(v >> 16),
          static_cast<uint8_t>(v >> 24)};
}

}  // namespace lumetra::sound
