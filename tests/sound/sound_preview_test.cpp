#include <sndfile.h>
#include <sys/stat.h>

#include <fstream>
#include <iterator>

#include "sound/sound_preview.h"
#include "sound/wave_header.h"
#include "sound_fixture.h"
#include "temp_dir.h"

namespace lumetra::sound::testing {
namespace {

std::vector<uint8_t> ReadAll(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

uint32_t U32At(const std::vector<uint8_t>& b, std::size_t at) {
  return b[at] | b[at + 1] << 8 | b[at + 2] << 16 | static_cast<uint32_t>(b[at + 3]) << 24;
}

class SoundPreviewTest : public SoundTest {
 protected:
  SoundPreviewRequest Request(project::Track* t, float start, float end) {
    SoundPreviewRequest rq;
    rq.track = t;
    rq.start = start;
    rq.end = end;
    rq.format = {44100, 2, 2};
    rq.path = SoundPreviewFileName(dir_.path().string(), t->number);
    return rq;
  }
  test_dir::TempDir dir_{"lumetra-sound-preview"};
};

TEST(WaveHeader, SixteenBitStereoAt44100) {
  const auto h = WaveHeader({44100, 2, 2}, 1000);
  ASSERT_TRUE(h.has_value());
  const std::vector<uint8_t> want = {
      'R', 'I', 'F', 'F', 0x0C, 0x04, 0, 0, 'W', 'A', 'V', 'E', 'f', 'm', 't', ' ',
      16, 0, 0, 0, 1, 0, 2, 0, 0x44, 0xAC, 0, 0, 0x10, 0xB1, 0x02, 0,  // 176400
      4, 0, 16, 0, 'd', 'a', 't', 'a', 0xE8, 0x03, 0, 0};
  EXPECT_EQ(std::vector<uint8_t>(h->begin(), h->end()), want);
  EXPECT_FALSE(WaveHeader({44100, 2, 2}, kWaveDataMax + 1).has_value());
  EXPECT_FALSE(WaveHeader({0, 2, 2}, 0).has_value());
  EXPECT_FALSE(WaveHeader({1u << 24, 65535, 4}, 0).has_value());  // byte rate past 32 bits
}

TEST(SoundPreviewFileName, FourDigitsOfTheTrackNumber) {
  EXPECT_EQ(SoundPreviewFileName("/tmp/x", 3), "/tmp/x/0003temp.wav");
  EXPECT_EQ(SoundPreviewFileName("d", 12345), "d/12345temp.wav");
}

TEST_F(SoundPreviewTest, TwoAndAHalfSecondsAreThreeChunksWithAnExactHeader) {
  project::Track* t = AddTrack();
  AddClip(t, 0.0f, 2.5f);
  std::vector<int32_t> percents;
  std::atomic<bool> cancel{false};
  const SoundPreviewRequest rq = Request(t, 0.0f, 2.5f);
  const SoundPreviewResult r =
      SoundPreviewWrite(rq, cancel, [&](int32_t p, float, float total) {
        percents.push_back(p);
        EXPECT_FLOAT_EQ(total, 2.5f);
      });
  EXPECT_EQ(r.error, "");
  EXPECT_EQ(r.state, kPreviewReady);
  EXPECT_EQ(r.chunks, 3);
  EXPECT_EQ(percents, (std::vector<int32_t>{0, 40, 80, 100}));
  const uint64_t chunk_bytes = 44100 * 4 + 44100 * 4 + 22050 * 4;
  EXPECT_EQ(r.data_size, chunk_bytes);

  const std::vector<uint8_t> file = ReadAll(rq.path);
  ASSERT_EQ(file.size(), kWaveHeaderSize + chunk_bytes);
  const auto header = WaveHeader({44100, 2, 2}, chunk_bytes);
  EXPECT_TRUE(std::equal(header->begin(), header->end(), file.begin()));
  EXPECT_EQ(U32At(file, 28), 176400u);
  EXPECT_EQ(file[32], 4);
  EXPECT_EQ(U32At(file, 4), 36 + chunk_bytes);
  EXPECT_EQ(U32At(file, 40), chunk_bytes);

  SF_INFO info{};
  SNDFILE* sf = sf_open(rq.path.c_str(), SFM_READ, &info);
  ASSERT_NE(sf, nullptr) << sf_strerror(nullptr);
  EXPECT_EQ(info.samplerate, 44100);
  EXPECT_EQ(info.channels, 2);
  EXPECT_EQ(info.frames, 110250);
  EXPECT_EQ(info.format, SF_FORMAT_WAV | SF_FORMAT_PCM_16);
  std::vector<int16_t> frames(static_cast<std::size_t>(info.frames) * 2);
  EXPECT_EQ(sf_readf_short(sf, frames.data(), info.frames), info.frames);
  sf_close(sf);
  for (std::size_t s = 0; s < 110250; ++s) {
    ASSERT_EQ(frames[2 * s], static_cast<int16_t>(s & 0x7FFF)) << s;
    ASSERT_EQ(frames[2 * s + 1], static_cast<int16_t>(s & 0x7FFF)) << s;
  }
  // Only the file itself is left in the folder.
  EXPECT_EQ(std::distance(std::filesystem::directory_iterator(dir_.path()),
                          std::filesystem::directory_iterator()),
            1);
}

TEST_F(SoundPreviewTest, CancelAfterTheFirstChunkLeavesConsistentSizes) {
  project::Track* t = AddTrack();
  AddClip(t, 0.0f, 5.0f);
  std::atomic<bool> cancel{false};
  const SoundPreviewRequest rq = Request(t, 0.0f, 5.0f);
  const SoundPreviewResult r = SoundPreviewWrite(rq, cancel, [&](int32_t p, float, float) {
    if (p > 0) cancel.store(true);
  });
  EXPECT_EQ(r.error, "");
  EXPECT_EQ(r.state, kPreviewStopped);
  EXPECT_EQ(r.chunks, 1);
  const std::vector<uint8_t> file = ReadAll(rq.path);
  ASSERT_EQ(file.size(), kWaveHeaderSize + 176400);
  EXPECT_EQ(U32At(file, 40), 176400u);
  EXPECT_EQ(U32At(file, 4), 36u + 176400u);
  SF_INFO info{};
  SNDFILE* sf = sf_open(rq.path.c_str(), SFM_READ, &info);
  ASSERT_NE(sf, nullptr);
  EXPECT_EQ(info.frames, 44100);
  sf_close(sf);
}

TEST_F(SoundPreviewTest, AnAssemblyErrorClosesTheFileAndReportsTheText) {
  project::Track* t = AddTrack();
  AddClip(t, 0.0f, 1.0f);
  AddClip(t, 1.0f, 2.0f, kToneFail);
  std::atomic<bool> cancel{false};
  const SoundPreviewRequest rq = Request(t, 0.0f, 2.0f);
  const SoundPreviewResult r = SoundPreviewWrite(rq, cancel);
  EXPECT_EQ(r.error, "Sound preview error:\n\ntone failed");
  EXPECT_EQ(r.state, kPreviewStopped);
  const std::vector<uint8_t> file = ReadAll(rq.path);
  ASSERT_EQ(file.size(), kWaveHeaderSize + 176400);
  EXPECT_EQ(U32At(file, 40), 176400u);
}

TEST_F(SoundPreviewTest, AnOpenFailureReportsTheReason) {
  project::Track* t = AddTrack();
  std::atomic<bool> cancel{false};
  SoundPreviewRequest rq = Request(t, 0.0f, 1.0f);
  rq.path = (dir_.path() / "missing" / "0001temp.wav").string();
  const SoundPreviewResult r = SoundPreviewWrite(rq, cancel);
  EXPECT_EQ(r.error, "Sound preview error:\n\nNo such file or directory\n");
  EXPECT_EQ(r.state, kPreviewStopped);
  EXPECT_EQ(r.chunks, 0);
  // A folder where the file should be is never replaced.
  rq.path = dir_.path().string();
  EXPECT_NE(SoundPreviewWrite(rq, cancel).error, "");
  EXPECT_TRUE(std::filesystem::is_directory(dir_.path()));
}

TEST_F(SoundPreviewTest, DataPastTheLimitStopsWithAnError) {
  project::Track* t = AddTrack();
  AddClip(t, 0.0f, 3.0f);
  std::atomic<bool> cancel{false};
  SoundPreviewRequest rq = Request(t, 0.0f, 3.0f);
  rq.data_limit = 2 * 176400 + 10;  // stands in for the 4 GiB of the size fields
  const SoundPreviewResult r = SoundPreviewWrite(rq, cancel);
  EXPECT_EQ(r.error, std::string("Sound preview error:\n\n") + kPreviewTooLargeText);
  EXPECT_EQ(r.chunks, 2);
  const std::vector<uint8_t> file = ReadAll(rq.path);
  EXPECT_EQ(file.size(), kWaveHeaderSize + 2 * 176400);
  EXPECT_EQ(U32At(file, 40), 2u * 176400u);
}

}  // namespace
}  // namespace lumetra::sound::testing
