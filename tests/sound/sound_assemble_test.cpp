#include "sound_fixture.h"

#include "model/pseudo_track.h"

namespace lumetra::sound::testing {
namespace {

TEST_F(SoundTest, ASoundlessTrackGivesSilenceOfTheExactLength) {
  project::Track* t = AddTrack();
  project::ClipCreate(nullptr, &picture_only_, 0.0f, 2.0f, t);  // makes pictures only
  struct Case {
    float start, end;
    int32_t rate, bytes, channels;
  } cases[] = {{0.0f, 0.5f, 1000, 1, 1}, {0.25f, 1.75f, 22050, 2, 2}, {1.0f, 1.0f, 8000, 1, 1}};
  for (const Case& c : cases) {
    SoundPtr b = Assemble(t, c.start, c.end, c.rate, c.bytes, c.channels);
    ASSERT_NE(b, nullptr) << ErrorText();
    EXPECT_EQ(b->samples, SoundPosition(c.end, c.rate) - SoundPosition(c.start, c.rate));
    EXPECT_EQ(b->channels, c.channels);
    const uint8_t silence = c.bytes == 1 ? 128 : 0;
    for (std::size_t i = 0; i < b->samples * SoundFrameBytes(*b); ++i)
      ASSERT_EQ(b->data[i], silence) << i;
  }
  EXPECT_TRUE(TakeCalls().empty());
}

TEST_F(SoundTest, AFakeEffectsRampLandsSampleForSample) {
  project::Track* t = AddTrack();
  AddClip(t, 1.0f, 9.5f);
  SoundPtr b = Assemble(t, 0.0f, 10.0f);
  ASSERT_NE(b, nullptr) << ErrorText();
  ASSERT_EQ(b->samples, 10000u);
  for (uint32_t s = 0; s < b->samples; ++s) {
    const int16_t want = s >= 1000 && s < 9500 ? static_cast<int16_t>(s & 0x7FFF) : 0;
    ASSERT_EQ(Sample16(b.get(), s), want) << s;
  }
  // Asked in pieces of at most 4 s, each the part of the clip inside the request.
  const std::vector<Call> calls = TakeCalls();
  ASSERT_EQ(calls.size(), 3u);
  EXPECT_FLOAT_EQ(calls[0].start, 1.0f);
  EXPECT_FLOAT_EQ(calls[0].end, 5.0f);
  EXPECT_FLOAT_EQ(calls[1].start, 5.0f);
  EXPECT_FLOAT_EQ(calls[1].end, 9.0f);
  EXPECT_FLOAT_EQ(calls[2].start, 9.0f);
  EXPECT_FLOAT_EQ(calls[2].end, 9.5f);
}

TEST_F(SoundTest, OneSecondRequestsAskOnlyForTheirOwnSecond) {
  project::Track* t = AddTrack();
  AddClip(t, 0.0f, 30.0f);
  for (int i = 0; i < 5; ++i) {
    SoundPtr b = Assemble(t, static_cast<float>(i), static_cast<float>(i + 1));
    ASSERT_NE(b, nullptr);
    EXPECT_EQ(Sample16(b.get(), 0), static_cast<int16_t>(i * 1000));
  }
  const std::vector<Call> calls = TakeCalls();
  ASSERT_EQ(calls.size(), 5u);
  for (int i = 0; i < 5; ++i) {
    EXPECT_FLOAT_EQ(calls[i].start, static_cast<float>(i));
    EXPECT_FLOAT_EQ(calls[i].end, static_cast<float>(i + 1));
  }
}

TEST_F(SoundTest, MakeSoundRunsOnACopyWithTheErrorCleared) {
  project::Track* t = AddTrack();
  project::Clip* c = AddClip(t, 0.0f, 1.0f);
  AddClip(t, 1.0f, 2.0f);
  project::ObjectReportError(&ctx_, "an old error");
  SoundPtr b = Assemble(t, 0.0f, 2.0f);
  ASSERT_NE(b, nullptr);
  const std::vector<Call> calls = TakeCalls();
  ASSERT_EQ(calls.size(), 2u);
  for (const Call& call : calls) {
    EXPECT_TRUE(call.error_was_clear);
    EXPECT_NE(call.clip, 0u);
    EXPECT_NE(call.clip, reinterpret_cast<uintptr_t>(c));  // a copy, not the clip itself
  }
  EXPECT_EQ(ctx_.word[HCC_WORD_KIND], static_cast<uintptr_t>(HCC_KIND_CLIP));
  EXPECT_EQ(ctx_.word[HCC_WORD_CLIP], 0u);
}

TEST_F(SoundTest, AnErrorStopsTheAssemblyWithItsText) {
  project::Track* t = AddTrack();
  AddClip(t, 0.0f, 1.0f);
  AddClip(t, 1.0f, 2.0f, kToneFail);
  AddClip(t, 2.0f, 3.0f);
  EXPECT_EQ(Assemble(t, 0.0f, 3.0f), nullptr);
  EXPECT_EQ(ErrorText(), "tone failed");
  EXPECT_EQ(TakeCalls().size(), 2u);
}

TEST_F(SoundTest, NoBlockWithoutAnErrorLeavesItsSegmentSilent) {
  project::Track* t = AddTrack();
  AddClip(t, 0.0f, 1.0f, kToneSilent);
  AddClip(t, 1.0f, 2.0f, kToneConstant, 9);
  SoundPtr b = Assemble(t, 0.0f, 2.0f);
  ASSERT_NE(b, nullptr);
  EXPECT_EQ(Sample16(b.get(), 999), 0);
  EXPECT_EQ(Sample16(b.get(), 1000), 9);
}

TEST_F(SoundTest, ADeletedTrackGivesTheTapeText) {
  project::Track* t = AddTrack();
  AddClip(t, 0.0f, 8.0f, kToneDeleteTrack);  // two pieces of 4 s
  {
    std::lock_guard lock(Calls().mutex);
    Calls().delete_me = t;
  }
  EXPECT_EQ(Assemble(t, 0.0f, 8.0f), nullptr);
  EXPECT_EQ(ErrorText(), "Tape fade out of existance!");
  EXPECT_EQ(TakeCalls().size(), 1u);
}

TEST_F(SoundTest, TracksBelowSoundWhereTheTrackIsSilent) {
  project::Track* top = AddTrack();
  project::Track* below = AddTrack();
  AddClip(top, 0.0f, 1.0f, kToneConstant, 1);
  project::Clip* clear = AddClip(top, 1.0f, 2.0f, kToneConstant, 2);
  clear->flags |= project::kClipTransparent;
  project::ClipCreate(nullptr, &picture_only_, 2.0f, 3.0f, top);
  AddClip(below, 0.0f, 4.0f, kToneConstant, 3);
  SoundPtr b = Assemble(top, 0.0f, 4.0f);
  ASSERT_NE(b, nullptr);
  EXPECT_EQ(Sample16(b.get(), 500), 1);
  EXPECT_EQ(Sample16(b.get(), 1500), 3);  // transparent: passed on
  EXPECT_EQ(Sample16(b.get(), 2500), 3);  // no sound: passed on
  EXPECT_EQ(Sample16(b.get(), 3500), 3);
}

TEST_F(SoundTest, SuperClipsSoundFromTheirSubProject) {
  project::Track* t = AddTrack();
  project::Clip* super = AddSuperClip(t, 1.0f, 3.0f);
  project::Track* inner1 = AddTrack(super);
  project::Track* inner2 = AddTrack(super);
  AddClip(inner1, 2.0f, 2.5f, kToneConstant, 11);
  AddClip(inner2, 1.0f, 3.0f, kToneConstant, 12);
  project::Track* below = AddTrack();
  AddClip(below, 0.0f, 4.0f, kToneConstant, 13);
  SoundPtr b = Assemble(t, 0.0f, 4.0f);
  ASSERT_NE(b, nullptr) << ErrorText();
  EXPECT_EQ(Sample16(b.get(), 500), 13);
  EXPECT_EQ(Sample16(b.get(), 1500), 12);
  EXPECT_EQ(Sample16(b.get(), 2200), 11);
  EXPECT_EQ(Sample16(b.get(), 2700), 12);
  EXPECT_EQ(Sample16(b.get(), 3500), 13);
}

TEST_F(SoundTest, InputSoundComesFromTheInputTrackAndKeepsTheContext) {
  project::Track* mixer = AddTrack();
  project::Track* source = AddTrack();
  project::Clip* mix = AddClip(mixer, 0.0f, 2.0f, kToneInput);
  Data(mix)->input = 1;
  ASSERT_TRUE(project::ClipSetInput(mix, 1, source));
  AddClip(source, 0.0f, 2.0f);
  SoundPtr b = Assemble(mixer, 0.0f, 2.0f);
  ASSERT_NE(b, nullptr) << ErrorText();
  for (uint32_t s = 0; s < b->samples; ++s) ASSERT_EQ(Sample16(b.get(), s), static_cast<int16_t>(s));
  // The outer call saw its own clip copy; the inner one another.
  const std::vector<Call> calls = TakeCalls();
  ASSERT_EQ(calls.size(), 2u);
  EXPECT_NE(calls[0].clip, calls[1].clip);
}

TEST_F(SoundTest, InputSoundReportsWhatGetInputFrameReports) {
  project::Track* t = AddTrack();
  project::Clip* c = AddClip(t, 0.0f, 2.0f, kToneInput);
  struct Case {
    int32_t input;
    std::string text;
  } cases[] = {{0, "Input 0 in 'Test/Tone' clip is not assigned"},
               {5, "Illegal input 5 in 'Test/Tone' clip on " + std::string(t->name) + "[0,50]"}};
  for (const Case& k : cases) {
    Data(c)->input = k.input;
    EXPECT_EQ(Assemble(t, 0.0f, 1.0f), nullptr);
    EXPECT_EQ(ErrorText(), k.text);
  }
  HostCallContext bare{};
  EXPECT_EQ(GetInputSound(&bare, 0, 0.0f, 1.0f), nullptr);
  EXPECT_EQ(project::ObjectErrorText(&bare), "Illegal request");
  project::ObjectClearError(&bare);
}

TEST_F(SoundTest, AnInputCycleEndsWithAnError) {
  // Two mixers reading each other, as a damaged project might hold them.
  project::Track* a = AddTrack();
  project::Track* b = AddTrack();
  project::Clip* ca = AddClip(a, 0.0f, 1.0f, kToneInput);
  project::Clip* cb = AddClip(b, 0.0f, 1.0f, kToneInput);
  Data(ca)->input = 0;
  Data(cb)->input = 0;
  ca->inputs[0] = b;  // past ClipSetInput, which refuses cycles
  cb->inputs[0] = a;
  EXPECT_EQ(Assemble(a, 0.0f, 1.0f), nullptr);
  EXPECT_NE(ErrorText().find("Input loop on track"), std::string::npos) << ErrorText();
}

TEST_F(SoundTest, AGoneTrackIsNotAssembled) {
  project::Track* t = AddTrack();
  AddClip(t, 0.0f, 1.0f);
  EXPECT_EQ(AssembleTrackSound(&ctx_, nullptr, 0.0f, 1.0f, 1000, 2, 1), nullptr);
  EXPECT_EQ(ErrorText(), "Tape fade out of existance!");
}

}  // namespace
}  // namespace lumetra::sound::testing
