// Movies written as an output session drives them (start, a saver per frame, finish, then
// the sound pass into the same file) and read back frame by frame; files the ffmpeg tool
// wrote read correctly, and ffprobe reads ours.
#include <gtest/gtest.h>

#include <cmath>
#include <memory>

#include "format_functions.h"
#include "formats/format_host.h"
#include "formats/test_pictures.h"
#include "movie.h"
#include "temp_dir.h"

namespace formats_test {
namespace {

using formats::MovieParams;

constexpr int32_t kWidth = 64, kHeight = 48, kFrames = 10;

class MovieFiles : public ::testing::Test {
 protected:
  FormatHost host;
  lumetra::test_dir::TempDir dir{"formats_movies"};
  std::string Path(const std::string& name) { return (dir.path() / name).string(); }

  // A 440 Hz tone at the session's rate and channels for [start, end) seconds.
  SoundBlock* Tone(float start, float end) {
    SoundBlock* b = host.table.SoundCreate(start, end, host.output_samples, 2, host.output_channels);
    auto* s = reinterpret_cast<int16_t*>(b->data);
    const int64_t first = int64_t(start * host.output_samples + 0.0001);
    for (uint32_t i = 0; i < b->samples; ++i) {
      const double t = double(first + i) / host.output_samples;
      for (int c = 0; c < host.output_channels; ++c) {
        s[i * host.output_channels + c] = int16_t(8000 * std::sin(2 * M_PI * 440 * t));
      }
    }
    return b;
  }

  // Writes kFrames pattern frames and, with sound joined, the tone in two chunks.
  void Write(const std::string& file, MovieParams params, bool sound) {
    host.output_flags = sound ? 0x8003 : 0x1;
    const uintptr_t stream = formats::MovieStart(&host.ctx, &params);
    ASSERT_NE(stream, 0u);
    for (int f = 0; f < kFrames; ++f) {
      PIC* pic = Waves(kWidth, kHeight, f);
      ASSERT_EQ(formats::MovieSave(&host.ctx, &params, stream, pic, file.c_str(), "VideoStream", f), 1)
          << FormatHost::Error(host.ctx);
      host.table.PicFree(pic);
    }
    ASSERT_EQ(formats::MovieFinish(&host.ctx, &params, stream), 1) << FormatHost::Error(host.ctx);
    if (!sound) return;
    const uintptr_t sound_stream = formats::MovieSoundStart(&host.ctx, &params);
    ASSERT_EQ(sound_stream, stream) << FormatHost::Error(host.ctx);
    const float length = float(kFrames) / host.frame_rate;
    for (auto [a, b] : {std::pair{0.0f, length / 2}, std::pair{length / 2, length}}) {
      SoundBlock* block = Tone(a, b);
      ASSERT_EQ(formats::MovieSoundSave(&host.ctx, &params, sound_stream, block, file.c_str(),
                                        "AudioStream", a),
                1)
          << FormatHost::Error(host.ctx);
      host.table.SoundFree(block);
    }
    ASSERT_EQ(formats::MovieSoundFinish(&host.ctx, &params, sound_stream), 1)
        << FormatHost::Error(host.ctx);
  }

  PIC* Frame(const std::string& file, int32_t frame) {
    return formats::MovieLoad(&host.ctx, file.c_str(), "", frame);
  }
};

// The movie reads back frame by frame: count, size, rate, pictures and sound length.
TEST_F(MovieFiles, WrittenAndReadBackFrameByFrame) {
  struct Case {
    const char* name;
    int32_t codec;
    double min_psnr;  // 1000: exact
  };
  const Case cases[] = {
      {"lossless.mkv", formats::kCodecFfv1, 1000},
      {"h264.mp4", formats::kCodecDefault, 30},
      {"mpeg4.mp4", formats::kCodecMpeg4, 26},
      // Measured 28.8 dB on these small frames, steady over frames.
      {"prores.mov", formats::kCodecDefault, 28},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    const std::string file = Path(c.name);
    Write(file, MovieParams{c.codec, 0, 0}, true);
    int32_t first = -1, last = -1, w = 0, h = 0;
    ASSERT_EQ(formats::MovieInform(&host.ctx, file.c_str(), nullptr, &first, &last, &w, &h,
                                   nullptr, nullptr),
              1)
        << FormatHost::Error(host.ctx);
    EXPECT_EQ(first, 0);
    EXPECT_EQ(last, kFrames - 1);
    EXPECT_EQ(w, kWidth);
    EXPECT_EQ(h, kHeight);
    // Backwards and then forwards: every frame by its number.
    for (int32_t f : {9, 3, 4, 5, 0, 1, 2, 6, 7, 8}) {
      PIC* got = Frame(file, f);
      ASSERT_NE(got, nullptr) << "frame " << f << ": " << FormatHost::Error(host.ctx);
      PIC* want = Waves(kWidth, kHeight, f);
      EXPECT_GE(Psnr(*want, *got), c.min_psnr) << "frame " << f;
      // The neighbour's picture differs: frames are not mixed up.
      PIC* other = Waves(kWidth, kHeight, f + 1);
      EXPECT_GT(Psnr(*want, *got), Psnr(*other, *got)) << "frame " << f;
      host.table.PicFree(got);
      host.table.PicFree(want);
      host.table.PicFree(other);
    }
    EXPECT_EQ(Frame(file, kFrames + 5), nullptr);
    EXPECT_NE(FormatHost::Error(host.ctx).find("past the end"), std::string::npos);
    int32_t rate = 0, channels = 0, samples_last = 0;
    ASSERT_EQ(formats::SoundInform(&host.ctx, file.c_str(), nullptr, &first, &samples_last, &rate,
                                   &channels, nullptr),
              1);
    EXPECT_EQ(rate, host.output_samples);
    EXPECT_EQ(channels, host.output_channels);
    // 0.4 s of sound, give or take one encoder frame of padding.
    EXPECT_NEAR(samples_last, 19200, 2100);
    // The tone comes back: its level over the middle is that of the tone written.
    SoundBlock* back = formats::SoundLoad(&host.ctx, file.c_str(), "Audio", 0.1f, 0.3f);
    ASSERT_NE(back, nullptr) << FormatHost::Error(host.ctx);
    ASSERT_EQ(back->samples, 9600u);
    double energy = 0;
    const auto* s = reinterpret_cast<const int16_t*>(back->data);
    for (uint32_t i = 0; i < back->samples * back->channels; ++i) energy += double(s[i]) * s[i];
    EXPECT_NEAR(std::sqrt(energy / (back->samples * back->channels)), 8000 / std::sqrt(2.0), 300);
    host.table.SoundFree(back);
  }
  EXPECT_EQ(host.live_pictures, 0);
}

TEST_F(MovieFiles, FfprobeReadsOurMovies) {
  if (!HaveTool("ffprobe")) GTEST_SKIP() << "ffprobe not installed";
  for (const char* name : {"p.mp4", "p.mkv", "p.mov"}) {
    SCOPED_TRACE(name);
    Write(Path(name), MovieParams{}, true);
    const std::string video = Capture(
        "ffprobe -v error -count_frames -select_streams v:0 -show_entries "
        "stream=codec_type,width,height,r_frame_rate,nb_read_frames -of csv=p=0 " + Path(name));
    EXPECT_EQ(video, "video,64,48,25/1,10\n");
    const std::string audio = Capture(
        "ffprobe -v error -select_streams a:0 -show_entries stream=codec_type,sample_rate,channels "
        "-of csv=p=0 " + Path(name));
    EXPECT_EQ(audio, "audio,48000,2\n");
  }
}

// Without sound joined, the finish closes the file; a sound start then finds no movie.
TEST_F(MovieFiles, PicturesOnlyCloseAtFinish) {
  Write(Path("silent.mp4"), MovieParams{}, false);
  PIC* pic = Frame(Path("silent.mp4"), 4);
  ASSERT_NE(pic, nullptr);
  host.table.PicFree(pic);
  EXPECT_EQ(formats::SoundInform(&host.ctx, Path("silent.mp4").c_str(), nullptr, nullptr, nullptr,
                                 nullptr, nullptr, nullptr),
            0);
  EXPECT_EQ(formats::MovieSoundStart(&host.ctx, nullptr), 0u);
  EXPECT_NE(FormatHost::Error(host.ctx).find("No movie is open"), std::string::npos);
}

TEST_F(MovieFiles, ReadsMoviesWrittenByFfmpeg) {
  if (!HaveTool("ffmpeg")) GTEST_SKIP() << "ffmpeg not installed";
  struct Case {
    const char* name;
    const char* codec;
    double min_psnr;
  };
  const Case cases[] = {
      {"x.mp4", "-c:v libx264 -pix_fmt yuv420p -c:a aac", 35},
      {"x.mkv", "-c:v ffv1 -pix_fmt bgra -c:a flac", 1000},
      {"x.avi", "-c:v mpeg4 -q:v 2 -c:a pcm_s16le", 30},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    const std::string file = Path(c.name);
    ASSERT_EQ(RunQuiet("ffmpeg -y -v error -f lavfi -i testsrc=s=96x64:r=30 -f lavfi -i "
                       "sine=frequency=300:sample_rate=44100 -t 0.5 " + std::string(c.codec) + " " + file),
              0);
    int32_t first = -1, last = -1, w = 0, h = 0;
    ASSERT_EQ(formats::MovieInform(&host.ctx, file.c_str(), nullptr, &first, &last, &w, &h, nullptr,
                                   nullptr),
              1);
    EXPECT_EQ(last, 14);
    EXPECT_EQ(w, 96);
    EXPECT_EQ(h, 64);
    const std::string raw = file + ".raw";
    // The same conversion as the reader: interpolated chroma, accurate rounding.
    ASSERT_EQ(RunQuiet("ffmpeg -y -v error -i " + file +
                       " -sws_flags bicubic+accurate_rnd+full_chroma_int -f rawvideo -pix_fmt bgra " + raw),
              0);
    const std::vector<uint8_t> frames = ReadBytes(raw);
    ASSERT_EQ(frames.size(), size_t(96) * 64 * 4 * 15);
    for (int32_t f : {11, 2, 3, 14, 0}) {
      PIC* want = FromTopDown(frames, size_t(96) * 64 * 4 * f, 96, 64);
      PIC* got = Frame(file, f);
      ASSERT_NE(got, nullptr) << FormatHost::Error(host.ctx);
      EXPECT_GE(Psnr(*want, *got), c.min_psnr) << "frame " << f;
      host.table.PicFree(want);
      host.table.PicFree(got);
    }
    int32_t rate = 0, channels = 0;
    ASSERT_EQ(formats::SoundInform(&host.ctx, file.c_str(), nullptr, nullptr, &last, &rate, &channels,
                                   nullptr),
              1);
    EXPECT_EQ(rate, 44100);
    EXPECT_EQ(channels, 1);
    EXPECT_NEAR(last, 22050, 2048);
  }
}

}  // namespace
}  // namespace formats_test
