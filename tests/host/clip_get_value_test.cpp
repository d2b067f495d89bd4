// ClipGetValue: keys in any case, times as seconds and frames, format-call values.
#include "host/clip_get_value.h"

#include <gtest/gtest.h>

namespace lumetra::project {
namespace {

struct Answer {
  int32_t found = 0;
  intptr_t value = -1;
  int32_t word[4] = {-1, -1, -1, -1};
  float fvalue = -1.0f;
  char text[8] = "?";
};

Answer Ask(const ClipValues& v, const char* key, int32_t index = 0) {
  Answer a;
  a.found = ClipGetValueFrom(v, key, index, &a.value, a.word, &a.fvalue, a.text, sizeof a.text);
  return a;
}

ClipValues Clip() {
  ClipValues v;
  v.time_base = 10;
  v.current_time = 0.7f;  // 10 × 0.7f is just below 7: the epsilon makes it frame 7
  v.rectangle[0] = 1, v.rectangle[1] = 2, v.rectangle[2] = 3, v.rectangle[3] = 4;
  v.language = 1;
  v.has_clip = true;
  v.clip_from = 1.0f;
  v.clip_to = 2.5f;
  v.clip_inputs = 2;
  v.image_width = 720;
  v.image_height = 576;
  v.image_aspect = 1.0666f;
  v.input_names = {std::string("Background track"), std::nullopt};
  return v;
}

TEST(ClipGetValueTest, ProjectAndClipKeys) {
  const ClipValues v = Clip();
  EXPECT_EQ(Ask(v, "VERSION").value, 1002);
  EXPECT_EQ(Ask(v, "TimeBase").value, 10);
  Answer now = Ask(v, "current_time");
  EXPECT_EQ(now.value, 7);
  EXPECT_EQ(now.fvalue, 0.7f);
  Answer to = Ask(v, "clip_to");
  EXPECT_EQ(to.value, 25);
  EXPECT_EQ(to.fvalue, 2.5f);
  EXPECT_EQ(Ask(v, "rectangle").word[3], 4);
  EXPECT_EQ(Ask(v, "language").value, 1);
  EXPECT_EQ(Ask(v, "clip_inputs").value, 2);
  EXPECT_EQ(Ask(v, "image_aspect").fvalue, 1.0666f);
  EXPECT_STREQ(Ask(v, "clip_input_name", 0).text, "Backgro");  // cut to the buffer
  for (int32_t index : {1, 2, -1}) EXPECT_EQ(Ask(v, "clip_input_name", index).found, 0);
  EXPECT_EQ(Ask(v, "clip_data").found, 0);  // edit window closed
  EXPECT_EQ(Ask(v, "no_such_key").found, 0);
  EXPECT_EQ(Ask(v, "FileName").found, 0);  // not a format call
  EXPECT_EQ(ClipGetValueFrom(v, nullptr, 0, nullptr, nullptr, nullptr, nullptr, 0), 0);
  EXPECT_EQ(ClipGetValueFrom(v, "version", 0, nullptr, nullptr, nullptr, nullptr, 0), 1);
  ClipValues no_clip;
  EXPECT_EQ(Ask(no_clip, "clip_from").found, 0);
}

TEST(ClipGetValueTest, FormatCallValuesNeedTheirComponent) {
  ClipValues v;
  v.file.emplace();
  v.file->file_name = "shot";
  v.file->video.width = 640;
  v.file->video.layer = "RGB";
  v.file->sound.layer = "Stereo";
  v.file->sound.in_point = 44100;
  EXPECT_STREQ(Ask(v, "filename").text, "shot");
  EXPECT_EQ(Ask(v, "VideoWidth").value, 640);
  EXPECT_EQ(Ask(v, "VideoLayer").found, 0);
  EXPECT_EQ(Ask(v, "SoundInPoint").found, 0);
  EXPECT_EQ(Ask(v, "Layer").found, 0);
  v.file->has_sound = true;
  EXPECT_EQ(Ask(v, "SoundInPoint").value, 44100);
  Answer layer = Ask(v, "Layer");
  EXPECT_EQ(layer.value, 8);
  EXPECT_STREQ(layer.text, "Stereo");
  v.file->has_video = true;
  layer = Ask(v, "layer");
  EXPECT_EQ(layer.value, 4);
  EXPECT_STREQ(layer.text, "RGB");
}

}  // namespace
}  // namespace lumetra::project
