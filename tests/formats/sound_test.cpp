// Sound files written block by block as the sound pass hands them over and read back:
// exact for PCM and FLAC, the right length and level for Ogg Vorbis.
#include <gtest/gtest.h>

#include <cmath>

#include "format_functions.h"
#include "formats/format_host.h"
#include "formats/test_pictures.h"
#include "temp_dir.h"

namespace formats_test {
namespace {

SoundBlock* Ramp(FormatHost& host, float start, float end, int32_t rate, int32_t bytes) {
  SoundBlock* b = host.table.SoundCreate(start, end, rate, bytes, 2);
  const int64_t first = int64_t(start * rate + 0.0001);
  for (uint32_t i = 0; i < b->samples * 2; ++i) {
    const double t = double(first + i / 2) / rate;
    const double v = 0.5 * std::sin(2 * M_PI * (i % 2 ? 330 : 550) * t);
    if (bytes == 2) {
      reinterpret_cast<int16_t*>(b->data)[i] = int16_t(std::lround(v * 32767));
    } else if (bytes == 1) {
      b->data[i] = uint8_t(128 + std::lround(v * 127));
    }
  }
  return b;
}

TEST(SoundFiles, WrittenInChunksAndReadBack) {
  FormatHost host;
  lumetra::test_dir::TempDir dir("formats_sound");
  struct Case {
    const char* name;
    int32_t bytes;
    bool exact;
  };
  const Case cases[] = {{"s.wav", 2, true}, {"s8.wav", 1, true}, {"s.aiff", 2, true},
                        {"s.flac", 2, true}, {"s.ogg", 2, false}};
  constexpr int32_t kRate = 22050;
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    const std::string file = (dir.path() / c.name).string();
    const uintptr_t stream = formats::SoundFileStart(&host.ctx, nullptr);
    ASSERT_NE(stream, 0u);
    for (auto [a, b] : {std::pair{0.0f, 0.25f}, std::pair{0.25f, 0.5f}, std::pair{0.5f, 1.0f}}) {
      SoundBlock* block = Ramp(host, a, b, kRate, c.bytes);
      ASSERT_EQ(formats::SoundFileSave(&host.ctx, nullptr, stream, block, file.c_str(), "AudioStream", a), 1)
          << FormatHost::Error(host.ctx);
      host.table.SoundFree(block);
    }
    ASSERT_EQ(formats::SoundFileFinish(&host.ctx, nullptr, stream), 1) << FormatHost::Error(host.ctx);
    int32_t first = -1, last = 0, rate = 0, channels = 0, bits = 0;
    ASSERT_EQ(formats::SoundInform(&host.ctx, file.c_str(), nullptr, &first, &last, &rate, &channels, &bits), 1)
        << FormatHost::Error(host.ctx);
    EXPECT_EQ(first, 0);
    EXPECT_EQ(last, kRate);
    EXPECT_EQ(rate, kRate);
    EXPECT_EQ(channels, 2);
    SoundBlock* back = formats::SoundLoad(&host.ctx, file.c_str(), "", 0.25f, 0.75f);
    ASSERT_NE(back, nullptr) << FormatHost::Error(host.ctx);
    SoundBlock* want = Ramp(host, 0.25f, 0.75f, kRate, 2);
    ASSERT_EQ(back->samples, want->samples);
    const auto* g = reinterpret_cast<const int16_t*>(back->data);
    const auto* w = reinterpret_cast<const int16_t*>(want->data);
    double error = 0, level = 0;
    for (uint32_t i = 0; i < want->samples * 2; ++i) {
      error += std::pow(double(g[i]) - w[i], 2);
      level += double(w[i]) * w[i];
    }
    // 8-bit files come back as 16-bit with their lower byte zero.
    const double allowed = c.exact ? (c.bytes == 1 ? 256.0 : 0.0) : 0.1 * std::sqrt(level / (want->samples * 2));
    EXPECT_LE(std::sqrt(error / (want->samples * 2)), allowed);
    host.table.SoundFree(back);
    host.table.SoundFree(want);
  }
}

TEST(SoundFiles, FfmpegReadsOurFilesAndWeReadTheirs) {
  if (!HaveTool("ffmpeg") || !HaveTool("ffprobe")) GTEST_SKIP() << "ffmpeg or ffprobe not installed";
  FormatHost host;
  lumetra::test_dir::TempDir dir("formats_sound_peer");
  for (const char* name : {"p.wav", "p.aiff", "p.flac", "p.ogg", "p.mp3"}) {
    SCOPED_TRACE(name);
    const std::string file = (dir.path() / name).string();
    ASSERT_EQ(RunQuiet("ffmpeg -y -v error -f lavfi -i sine=frequency=500:sample_rate=32000 -t 0.75 " + file), 0);
    int32_t last = 0, rate = 0, channels = 0;
    ASSERT_EQ(formats::SoundInform(&host.ctx, file.c_str(), nullptr, nullptr, &last, &rate, &channels, nullptr), 1)
        << FormatHost::Error(host.ctx);
    EXPECT_EQ(rate, 32000);
    EXPECT_EQ(channels, 1);
    // An MP3's length is estimated from its bit rate and counts the encoder's padding.
    EXPECT_NEAR(last, 24000, std::string(name) == "p.mp3" ? 2400 : 1200);
    SoundBlock* back = formats::SoundLoad(&host.ctx, file.c_str(), "", 0.1f, 0.6f);
    ASSERT_NE(back, nullptr);
    double level = 0;
    const auto* s = reinterpret_cast<const int16_t*>(back->data);
    for (uint32_t i = 0; i < back->samples; ++i) level += double(s[i]) * s[i];
    // The tone's level: amplitude 1/8 of full scale.
    EXPECT_NEAR(std::sqrt(level / back->samples), 32767 / 8.0 / std::sqrt(2.0), 300);
    host.table.SoundFree(back);
  }
  const uintptr_t stream = formats::SoundFileStart(&host.ctx, nullptr);
  SoundBlock* block = Ramp(host, 0, 0.5f, 44100, 2);
  const std::string ours = (dir.path() / "ours.flac").string();
  ASSERT_EQ(formats::SoundFileSave(&host.ctx, nullptr, stream, block, ours.c_str(), "AudioStream", 0), 1);
  ASSERT_EQ(formats::SoundFileFinish(&host.ctx, nullptr, stream), 1);
  host.table.SoundFree(block);
  EXPECT_EQ(Capture("ffprobe -v error -show_entries stream=codec_name,sample_rate,channels -of csv=p=0 " + ours),
            "flac,44100,2\n");
}

}  // namespace
}  // namespace formats_test
