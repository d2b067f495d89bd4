// File names, validation, the sound chunks, OutputGetValue and the manifest digest.
#include <gtest/gtest.h>

#include "output/output_frames.h"
#include "output/output_get_value.h"
#include "output/output_validate.h"
#include "output/sha256.h"
#include "output_fixture.h"

namespace lumetra::output::testing {
namespace {

TEST_F(OutputTest, FileNamesByFormatAndMode) {
  struct Case {
    bool numbered;
    int32_t digits;
    uint32_t flags;
    RangeMode mode;
    int32_t frame;
    const char* name;
  } cases[] = {
      {true, 4, 0, kRangeProject, 7, "take0007.tga"},
      {true, 4, 0, kRangeProject, 0x4000, "take16384.tga"},
      {true, 3, 0, kRangeProject, 999, "take999.tga"},
      {true, 0, 0, kRangeProject, 5, "take5.tga"},      // digits clamped to 1
      {true, 200, 0, kRangeProject, 1, "take0000000000000000000000000000001.tga"},  // to 31
      {true, 4, kOutputSingleUnnumbered, kRangeCurrent, 7, "take.tga"},
      {true, 4, kOutputSingleUnnumbered, kRangeProject, 7, "take0007.tga"},
      {false, 4, 0, kRangeProject, 7, "take.mov"},
  };
  for (const Case& c : cases) {
    OutputSettings s = Settings(c.numbered ? numbered_.get() : single_.get(), c.flags);
    s.digits = c.digits;
    EXPECT_EQ(OutputFileName(s, c.frame, kComponentVideo, c.mode), c.name) << c.name;
  }
  OutputSettings none;
  EXPECT_EQ(OutputFileName(none, 1, kComponentVideo, kRangeProject), "");
  OutputSettings s = Settings(numbered_.get());
  s.components[0].path = "out\\sub";
  EXPECT_EQ(OutputFullFileName(s, 7, 0, kRangeProject), "out/sub/take0007.tga");
}

TEST_F(OutputTest, ValidationFirstFailureWins) {
  struct Case {
    const char* what;
    std::function<void(OutputSettings&)> change;
    FrameRange range;
    std::string expected;  // empty: accepted
  } cases[] = {
      {"ok 999 with 3 digits", [](OutputSettings& s) { s.digits = 3; }, {0, 999}, ""},
      {"1000 with 3 digits", [](OutputSettings& s) { s.digits = 3; }, {0, 1000},
       "Insufficient number of digits to represent frame number in output file name.\nPlease "
       "increase digits."},
      {"step 0", [](OutputSettings& s) { s.step = 0; }, {0, 9},
       "Frame step is invalid.\nIt must have nonzero value."},
      {"no format", [](OutputSettings& s) { s.components[0].SetFormat(nullptr); }, {0, 9},
       "Video format not assigned.\nAssign format or turn video off."},
      {"width", [](OutputSettings& s) { s.width = 0; }, {0, 9},
       "Horizontal resolution is invalid.\nIt must have positive value."},
      {"height", [](OutputSettings& s) { s.height = -1; }, {0, 9},
       "Vertical resolution is invalid.\nIt must have positive value."},
      {"aspect", [](OutputSettings& s) { s.aspect = 0.01f; }, {0, 9},
       "Frame aspect ratio is invalid.\nIt must be positive floating point number grater than "
       "0.01"},
      {"range", [](OutputSettings&) {}, {5, 4}, "Frame range is invalid.\n[ 5 , 4 ]"},
      {"check", [](OutputSettings&) { Log().refuse_check = true; }, {0, 9},
       "fake format refuses"},
      {"sound format", [](OutputSettings& s) { s.flags |= kOutputSound; }, {0, 9},
       "Sound format not assigned.\nAssign format or turn audio off."},
      {"alpha format", [](OutputSettings& s) { s.flags |= kOutputAlpha; }, {0, 9},
       "External alpha channel format not assigned.\nAssign format or turn ext. alpha off."},
  };
  for (Case& c : cases) {
    Log().refuse_check = false;
    OutputSettings s = Settings(numbered_.get());
    c.change(s);
    HostCallContext ctx = OutputContext(&s);
    EXPECT_EQ(ValidateOutputSettings(s, c.range, &ctx), c.expected) << c.what;
    project::ObjectClearError(&ctx);
  }
  OutputSettings back = Settings(single_.get());
  back.step = -2;
  HostCallContext ctx = OutputContext(&back);
  EXPECT_EQ(ValidateOutputSettings(back, {0, 10}, &ctx),
            "Output format doesn't support backward rendering.\nFrame step must be positive.");
}

TEST_F(OutputTest, SoundBufferingZeroIsRefusedForChunkedFormats) {
  OutputSettings s = Settings(numbered_.get(), kOutputSound);
  auto sound = FakeFormat(false, "wav");
  sound->flags = kFormatSoundInChunks;
  s.components[kComponentSound].SetFormat(sound.get());
  s.sound_buffering = 0;
  HostCallContext ctx = OutputContext(&s);
  EXPECT_EQ(ValidateOutputSettings(s, {0, 9}, &ctx),
            "Sound buffering is invalid.\nIt must be at least one sample.");
  s.sound_buffering = 1;
  EXPECT_EQ(ValidateOutputSettings(s, {0, 9}, &ctx), "");
}

TEST_F(OutputTest, EmptyParametersDescriptorNeedsNoBlock) {
  OutputComponent c;
  c.SetFormat(numbered_.get());  // no "Parameters" at all
  EXPECT_EQ(c.params, nullptr);
  EXPECT_TRUE(c.ParamsReady());
  project::OutputFormat with;
  with.parameters.reset(new project::DataDescriptor);
  c.SetFormat(&with);  // a descriptor of size 0
  EXPECT_TRUE(c.ParamsReady());
  with.parameters->data_size = 8;
  c.format = &with;
  EXPECT_FALSE(c.ParamsReady());  // a block of 8 bytes is needed and missing
}

TEST(SoundChunks, HalfOpenAndCoverTheSegmentOnce) {
  struct Case {
    int32_t first, last, fps, rate;
    int64_t buffering;
  } cases[] = {{0, 99, 25, 22050, 4410}, {3, 10, 25, 44100, 1000}, {10, 3, 30, 48000, 7},
               {0, 0, 25, 8000, 0}, {0, 49, 25, 22050, 22050}};
  for (const Case& c : cases) {
    const auto chunks = SoundChunks(c.first, c.last, c.fps, c.rate, c.buffering);
    const int32_t lo = std::min(c.first, c.last), hi = std::max(c.first, c.last);
    ASSERT_FALSE(chunks.empty());
    EXPECT_EQ(chunks.front().begin, int64_t{lo} * c.rate / c.fps);
    EXPECT_EQ(chunks.back().end, int64_t{hi + 1} * c.rate / c.fps);
    for (std::size_t i = 0; i < chunks.size(); ++i) {
      EXPECT_LT(chunks[i].begin, chunks[i].end);
      if (c.buffering > 0) {
        EXPECT_LE(chunks[i].end - chunks[i].begin, c.buffering);
      }
      if (i > 0) {
        EXPECT_EQ(chunks[i].begin, chunks[i - 1].end);  // no sample twice, none lost
      }
      EXPECT_FLOAT_EQ(chunks[i].time, float(double(chunks[i].begin) / c.rate));
    }
  }
}

TEST(FrameArithmetic, FramesOfTimesAndSpans) {
  EXPECT_EQ(FrameOfTime(0.4f, 25), 10);
  EXPECT_EQ(FrameOfTime(0.0399f, 25), 1);  // +0.01 catches float error
  EXPECT_EQ(FramesOfSpan(0, 0.4f, 25).last, 9);
  EXPECT_EQ(FramesOfSpan(0.4f, 0.4f, 25).last, 10);  // not lowered below the start
  EXPECT_EQ(DigitsOf(0), 0);
  EXPECT_EQ(DigitsOf(999), 3);
  EXPECT_EQ(DigitsOf(1000), 4);
}

TEST_F(OutputTest, OutputGetValueAnswersFromTheContextSettings) {
  OutputSettings s = Settings(numbered_.get());
  s.components[0].path = "out";
  s.digits = 5;
  s.aspect = 1.25f;
  HostCallContext ctx = OutputContext(&s);
  int32_t v = 0;
  float f = 0;
  char text[kFullFileNameRoom];
  ASSERT_EQ(OutputGetValue(&ctx, "OutputDigits", 0, &v, nullptr, nullptr, nullptr, 0), 1);
  EXPECT_EQ(v, 5);
  ASSERT_EQ(OutputGetValue(&ctx, "OutputAspect", 0, nullptr, nullptr, &f, nullptr, 0), 1);
  EXPECT_FLOAT_EQ(f, 1.25f);
  ASSERT_EQ(OutputGetValue(&ctx, "OutputFullFileName", 0, nullptr, nullptr, nullptr, text,
                           sizeof text),
            1);
  EXPECT_STREQ(text, "out/take.tga");
  // Too little room for the key's text: refused, nothing written past the buffer.
  char small[8] = "xxxxxxx";
  EXPECT_EQ(OutputGetValue(&ctx, "OutputFullFileName", 0, nullptr, nullptr, nullptr, small,
                           sizeof small),
            0);
  EXPECT_EQ(OutputGetValue(&ctx, "OutputFileExt", 1, &v, nullptr, nullptr, text, sizeof text), 1);
  EXPECT_EQ(v, 0);  // the sound component has no format
  EXPECT_EQ(OutputGetValue(&ctx, "NoSuchKey", 0, &v, nullptr, nullptr, nullptr, 0), 0);
  EXPECT_EQ(OutputGetValue(&ctx, "OutputWidth", 3, &v, nullptr, nullptr, nullptr, 0), 0);
  EXPECT_EQ(OutputGetValue(nullptr, "OutputWidth", 0, &v, nullptr, nullptr, nullptr, 0), 0);
  SetCurrentOutputSettings(&s);
  EXPECT_EQ(OutputGetValue(nullptr, "OutputWidth", 0, &v, nullptr, nullptr, nullptr, 0), 1);
  EXPECT_EQ(v, 4);
  SetCurrentOutputSettings(nullptr);
}

TEST(Sha256, KnownDigests) {
  auto hex = [](std::string_view s) {
    return Sha256Hex({reinterpret_cast<const uint8_t*>(s.data()), s.size()});
  };
  EXPECT_EQ(hex(""), "e3b0c44298fc1c149afbf4c8996fb92427ae41e4649b934ca495991b7852b855");
  EXPECT_EQ(hex("abc"), "ba7816bf8f01cfea414140de5dae2223b00361a396177a9cb410ff61f20015ad");
  EXPECT_EQ(hex("abcdbcdecdefdefgefghfghighijhijkijkljklmklmnlmnomnopnopq"),
            "248d6a61d20638b8e5c026930c3e6039a33ce45964ff2167f6ecedd419db06c1");
  // Fed in pieces across block boundaries: the same digest.
  std::string million(1000000, 'a');
  Sha256 h;
  for (std::size_t i = 0; i < million.size(); i += 777)
    h.Update({reinterpret_cast<const uint8_t*>(million.data()) + i,
              std::min<std::size_t>(777, million.size() - i)});
  EXPECT_EQ(HexOf(h.Final()), "cdc76e5c9914fb9281a1c7e284d73e67f1809a48a497200e046d39ccc7112cd0");
}

}  // namespace
}  // namespace lumetra::output::testing
