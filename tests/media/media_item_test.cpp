// Media items: frame file names, durations, information texts, buffers and handles.
#include "media/media_item.h"

#include <gtest/gtest.h>

#include <cstring>
#include <filesystem>
#include <fstream>

#include "clipdata/clip_data_memory.h"
#include "media/format_registry.h"
#include "media/media_fixture.h"
#include "media/sequence_detect.h"
#include "temp_dir.h"

using namespace lumetra;
using namespace lumetra::media;
using namespace lumetra::media::testing;

namespace {

TEST(MediaItemName, Table) {
  struct Case {
    const char* directory;
    const char* name;
    const char* ext;
    int32_t digits;
    int32_t current;
    uint32_t kind;
    const char* expected;
  };
  const Case cases[] = {
      {"/m", "shot", "tga", 4, 12, kMediaImage, "/m/shot0012.tga"},
      {"/m", "shot", "tga", 0, 12, kMediaImage, "/m/shot.tga"},
      {"/m/", "shot", "tga", 2, 7, kMediaImage, "/m/shot07.tga"},     // trailing separator
      {"/m\\", "shot", "tga", 1, 123, kMediaImage, "/m/shot123.tga"},  // wider than digits
      {"/m", "shot", "tga", 32, 1, kMediaImage, "/m/shot.tga"},        // not a sequence
      {"/m", "shot", "tga", 3, 1, kMediaImage | kMediaMeta, "/m/shot.tga"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.expected);
    MediaItem item;
    item.directory = c.directory;
    item.name = c.name;
    item.extension = c.ext;
    item.digits = c.digits;
    item.current = c.current;
    item.kind = c.kind;
    EXPECT_EQ(MediaItemFileName(item), c.expected);
  }
  MediaItem item;
  item.directory = "/m";
  item.name = "shot";
  item.extension = "tga";
  item.first = 3;
  item.last = 9;
  char small[6];
  int32_t first = 0, last = 0;
  EXPECT_TRUE(MediaItemFileName(item, small, sizeof small, &first, &last));
  EXPECT_STREQ(small, "/m/sh");
  EXPECT_EQ(first, 3);
  EXPECT_EQ(last, 9);
  EXPECT_FALSE(MediaItemFileName(item, small, 0, nullptr, nullptr));
}

TEST(MediaItemDuration, Table) {
  struct Case {
    const char* what;
    uint32_t kind;
    int32_t first, last, in, out;
    float rate, project_rate;
    uint32_t s_first, s_last, s_in, s_out;
    int32_t sound_rate;
    DurationMode mode;
    float seconds;
  };
  const Case cases[] = {
      {"used range at the item's rate", kMediaImage, 0, 99, 10, 59, 25, 30, 0, 0, 0, 0, 0, DurationMode::kUsed, 2.0f},
      {"whole file", kMediaImage, 0, 99, 10, 59, 25, 30, 0, 0, 0, 0, 0, DurationMode::kWhole, 4.0f},
      {"rate 0 takes the project's", kMediaImage, 0, 59, 0, 59, 0, 30, 0, 0, 0, 0, 0, DurationMode::kUsed, 2.0f},
      {"no rate at all is 25 fps", kMediaImage, 0, 49, 0, 49, 0, 0, 0, 0, 0, 0, 0, DurationMode::kUsed, 2.0f},
      {"a single picture lasts a second", kMediaImage, 5, 5, 5, 5, 25, 25, 0, 0, 0, 0, 0, DurationMode::kUsed, 1.0f},
      {"sound", kMediaSound, 0, 0, 0, 0, 25, 25, 0, 88200, 0, 44100, 44100, DurationMode::kUsed, 1.0f},
      {"sound whole", kMediaSound, 0, 0, 0, 0, 25, 25, 0, 88200, 0, 44100, 44100, DurationMode::kWhole, 2.0f},
      {"sound rate 0 is 22050 Hz", kMediaSound, 0, 0, 0, 0, 25, 25, 0, 0, 0, 44100, 0, DurationMode::kUsed, 2.0f},
      {"anything else", kMediaGeometry, 0, 9, 0, 9, 25, 25, 0, 0, 0, 0, 0, DurationMode::kUsed, 1.0f},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    MediaItem item;
    item.kind = c.kind;
    item.first = c.first;
    item.last = c.last;
    item.in_point = c.in;
    item.out_point = c.out;
    item.rate = c.rate;
    item.sound_first = c.s_first;
    item.sound_last = c.s_last;
    item.sound_in = c.s_in;
    item.sound_out = c.s_out;
    item.sound_rate = c.sound_rate;
    EXPECT_FLOAT_EQ(MediaItemDuration(item, c.project_rate, c.mode), c.seconds);
  }
}

TEST(MediaItemHandles, CopiesKeepTheirOwnTextsAndNoBuffer) {
  MediaItemPtr a(MediaItemCreate());
  ASSERT_NE(a, nullptr);
  EXPECT_FLOAT_EQ(a->rate, kDefaultFrameRate);  // no project
  a->name = "shot";
  a->buffer = project::ClipDataAlloc(8);
  MediaItemPtr b(MediaItemCreate(a.get()));
  b->name[0] = 'S';
  EXPECT_EQ(a->name, "shot");
  EXPECT_EQ(b->name, "Shot");
  EXPECT_EQ(b->buffer, nullptr);
  EXPECT_NE(a->buffer, nullptr);

  MediaItem* raw = b.release();
  raw->request = 5;
  raw->width = 4;
  raw->height = 2;
  raw->buffer = project::ClipDataAlloc(16);
  void* expected = raw->buffer;
  int32_t w = 0, h = 0;
  EXPECT_EQ(MediaItemTakeBuffer(raw, 5, &w, &h), expected);
  EXPECT_EQ(w, 4);
  EXPECT_EQ(h, 2);
  EXPECT_FALSE(MediaItemIsLive(raw));
  EXPECT_TRUE(project::ClipDataRelease(expected));
  // A stale request: the buffer is freed with the item.
  raw = a.release();
  raw->request = 1;
  void* stale = raw->buffer;
  EXPECT_EQ(MediaItemTakeBuffer(raw, 2, &w, &h), nullptr);
  EXPECT_EQ(project::ClipDataAllocSize(stale), 0u);
  // Freed or foreign items are refused without being touched.
  EXPECT_EQ(MediaItemTakeBuffer(raw, 1, &w, &h), nullptr);
  MediaItem local;
  EXPECT_FALSE(MediaItemFree(&local));
}

class MediaFormatsTest : public MediaTest {
 protected:
  std::string Path(const char* leaf) { return (dir_.path() / leaf).string(); }
  test_dir::TempDir dir_{"lumetra-media"};
};

TEST_F(MediaFormatsTest, FindByExtensionAnyCaseAndTheWalks) {
  const InputFormat* tga = InputFormatFind("TGA");
  ASSERT_NE(tga, nullptr);
  EXPECT_STREQ(tga->name, "Targa test");
  EXPECT_STREQ(tga->ext[1], "tga");  // the second slot
  EXPECT_EQ(InputFormatFind("tga"), tga);
  EXPECT_EQ(InputFormatFind("Vda"), tga);
  EXPECT_EQ(InputFormatFind("png"), nullptr);
  EXPECT_EQ(InputFormatFind(""), nullptr);
  EXPECT_EQ(host_->InputFormatFind("TGA"), reinterpret_cast<LumetraInputFormat>(const_cast<InputFormat*>(tga)));
  EXPECT_EQ(host_->InputFormatFind(nullptr), nullptr);

  // The walk: none gives the newest; each step copies and answers the next.
  std::vector<std::string> names;
  for (const InputFormat* f = InputFormatGetInfo(nullptr, nullptr, nullptr, 0); f != nullptr;) {
    char name[FORMAT_NAME_SIZE] = "?";
    f = InputFormatGetInfo(f, "Name", name, 0);
    names.emplace_back(name);
  }
  EXPECT_EQ(names, (std::vector<std::string>{"Wave test", "Targa test"}));
  char ext[FORMAT_NAME_SIZE] = "";
  int32_t flags = 0;
  EXPECT_EQ(InputFormatGetInfo(tga, "Ext1", ext, 0), tga->next);
  EXPECT_STREQ(ext, "tga");
  InputFormatGetInfo(tga, "Ext3", ext, 1);  // the index picks the slot
  EXPECT_STREQ(ext, "tga");
  InputFormatGetInfo(tga, "Flags", &flags, 0);
  EXPECT_EQ(static_cast<uint32_t>(flags), kFormatFlagNumbered);
  LumetraImageLoaderFn loader = nullptr;
  InputFormatGetInfo(tga, "ImageLoaderFunction", &loader, 0);
  EXPECT_EQ(loader, tga->image_loader);
  InputFormat foreign;
  EXPECT_EQ(InputFormatGetInfo(&foreign, "Name", ext, 0), nullptr);

  const OutputFormat* wav = OutputFormatFind("WAV");
  ASSERT_NE(wav, nullptr);
  for (const char* key : {"soundStartFunction", "SoundStartFunction"}) {
    LumetraStartFn start = nullptr;
    EXPECT_EQ(OutputFormatGetInfo(wav, key, &start, 0), wav->next);
    EXPECT_EQ(start, wav->sound_start) << key;
    EXPECT_NE(start, nullptr);
  }
  EXPECT_NE(OutputFormatFind("Tga"), nullptr);
  EXPECT_EQ(OutputFormatFind("png"), nullptr);
  EXPECT_TRUE(ExtensionIsNumbered("TGA"));
  EXPECT_FALSE(ExtensionIsNumbered("wav"));
}

TEST_F(MediaFormatsTest, TgaWrittenAndLoadedByExtension) {
  PIC* pic = host_->PicCreate(3, 2);
  ASSERT_NE(pic, nullptr);
  for (int i = 0; i < 3 * 2 * 4; ++i) pic->pixels[i] = static_cast<uint8_t>(i * 7 + 1);
  const OutputFormat* out = OutputFormatFind("tga");
  ASSERT_NE(out, nullptr);
  ASSERT_NE(out->image_saver, nullptr);
  const std::string path = Path("frame0001.TGA");
  EXPECT_EQ(out->image_saver(&ctx_, nullptr, 0, pic, path.c_str(), "VideoStream", 1), 1);
  PIC* back = host_->LoadImage(&ctx_, path.c_str(), "", 0);
  ASSERT_NE(back, nullptr) << Error();
  EXPECT_EQ(back->width, 3);
  EXPECT_EQ(back->height, 2);
  EXPECT_EQ(std::memcmp(back->pixels, pic->pixels, 24), 0);
  host_->PicFree(back);

  // A link planted at the target is not written through.
  const std::string link = Path("link.tga");
  std::filesystem::create_symlink(Path("elsewhere.tga"), link);
  EXPECT_EQ(out->image_saver(&ctx_, nullptr, 0, pic, link.c_str(), "VideoStream", 1), 0);
  EXPECT_FALSE(std::filesystem::exists(Path("elsewhere.tga")));
  host_->PicFree(pic);

  struct Case {
    std::string file;
    const char* error;
  };
  for (const Case& c : {Case{Path("a.xyz"), "Format not supported"},
                        Case{Path("noext"), "Format not supported"},
                        Case{Path("a.wav"), "No format loader"}}) {
    project::ObjectClearError(&ctx_);
    EXPECT_EQ(host_->LoadImage(&ctx_, c.file.c_str(), "", 0), nullptr);
    EXPECT_EQ(Error(), c.error);
  }
  EXPECT_EQ(host_->LoadSound(&ctx_, Path("a.tga").c_str(), "", 0.0f, 1.0f), nullptr);
  EXPECT_EQ(Error(), "No format loader");
}

TEST_F(MediaFormatsTest, WavWrittenFieldByFieldAndDescribed) {
  const OutputFormat* out = OutputFormatFind("wav");
  ASSERT_NE(out, nullptr);
  int16_t samples[8] = {0, 100, -100, 32767, -32768, 5, 6, 7};
  SoundBlock block{0.0f, 0.008f, 8, 1000, 1, 2, reinterpret_cast<uint8_t*>(samples)};
  const std::string path = Path("s.wav");
  const uintptr_t stream = out->sound_start(&ctx_, nullptr);
  ASSERT_NE(stream, 0u);
  EXPECT_EQ(out->sound_saver(&ctx_, nullptr, stream, &block, path.c_str(), "AudioStream", 0.0f), 1);
  EXPECT_EQ(out->sound_saver(&ctx_, nullptr, stream, &block, path.c_str(), "AudioStream", 0.008f), 1);
  EXPECT_EQ(out->sound_finish(&ctx_, nullptr, stream), 1);
  std::ifstream in(path, std::ios::binary);
  std::vector<uint8_t> bytes((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
  ASSERT_EQ(bytes.size(), 44u + 32u);
  auto u32 = [&](std::size_t at) {
    return static_cast<uint32_t>(bytes[at] | bytes[at + 1] << 8 | bytes[at + 2] << 16 | bytes[at + 3] << 24);
  };
  EXPECT_EQ(std::string(bytes.begin(), bytes.begin() + 4), "RIFF");
  EXPECT_EQ(u32(4), 36u + 32u);
  EXPECT_EQ(u32(24), 1000u);
  EXPECT_EQ(u32(40), 32u);
  EXPECT_EQ(std::memcmp(bytes.data() + 44, samples, 16), 0);

  // The information text joins what the informators answered.
  MediaItem item;
  item.directory = dir_.path().string();
  item.name = "s";
  item.extension = "wav";
  item.kind = kMediaSound;
  std::string text;
  EXPECT_TRUE(MediaItemInfoText(item, text));
  EXPECT_EQ(text, "Audio: 0.016sec, 1000Hz, 1x16 bits");
  item.kind = kMediaSound | kMediaMeta;
  EXPECT_TRUE(MediaItemInfoText(item, text));
  EXPECT_EQ(text, "Audio: 0.016sec, 1000Hz, 1x16 bits,   Meta Component  [0,1]");
  item.extension = "xyz";
  item.kind = kMediaSound;
  char small[5];
  EXPECT_FALSE(MediaItemInfoText(item, small, sizeof small));
  EXPECT_STREQ(small, "Info");

  if (SoundBlock* probe = host_->SoundCreate(0.0f, 0.001f, 1000, 2, 1)) {  // sound is built
    host_->SoundFree(probe);
    SoundBlock* back = host_->LoadSound(&ctx_, path.c_str(), "", 0.0f, 0.016f);
    ASSERT_NE(back, nullptr) << Error();
    EXPECT_EQ(back->samples, 16u);
    EXPECT_EQ(std::memcmp(back->data, samples, 16), 0);
    host_->SoundFree(back);
  }
}

// The test library's readers over every truncation and a corrupted byte at each header place:
// never a read past the file (the sanitizers watch), a picture only for the whole file.
TEST_F(MediaFormatsTest, ReadersSweptWithTruncatedAndCorruptedFiles) {
  PIC* pic = host_->PicCreate(2, 2);
  ASSERT_NE(pic, nullptr);
  const std::string whole = Path("whole.tga");
  ASSERT_EQ(OutputFormatFind("tga")->image_saver(&ctx_, nullptr, 0, pic, whole.c_str(), "VideoStream", 0), 1);
  host_->PicFree(pic);
  int16_t samples[4] = {1, 2, 3, 4};
  SoundBlock block{0.0f, 0.004f, 4, 1000, 1, 2, reinterpret_cast<uint8_t*>(samples)};
  const OutputFormat* wav = OutputFormatFind("wav");
  const std::string whole_wav = Path("whole.wav");
  const uintptr_t stream = wav->sound_start(&ctx_, nullptr);
  ASSERT_EQ(wav->sound_saver(&ctx_, nullptr, stream, &block, whole_wav.c_str(), "AudioStream", 0.0f), 1);
  ASSERT_EQ(wav->sound_finish(&ctx_, nullptr, stream), 1);
  auto read = [](const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    return std::vector<char>((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
  };
  auto write = [](const std::string& path, const std::vector<char>& bytes) {
    std::ofstream(path, std::ios::binary | std::ios::trunc).write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
  };
  const std::vector<char> tga = read(whole), wave = read(whole_wav);
  const InputFormat* tga_in = InputFormatFind("tga");
  const InputFormat* wav_in = InputFormatFind("wav");
  const std::string cut = Path("cut.tga"), cut_wav = Path("cut.wav");
  for (std::size_t n = 0; n < tga.size(); ++n) {
    write(cut, std::vector<char>(tga.begin(), tga.begin() + static_cast<std::ptrdiff_t>(n)));
    EXPECT_EQ(host_->LoadImage(&ctx_, cut.c_str(), "", 0), nullptr) << n;
    EXPECT_EQ(tga_in->image_informator(&ctx_, cut.c_str(), nullptr, nullptr, nullptr, nullptr,
                                       nullptr, nullptr, nullptr), 0) << n;
  }
  for (std::size_t at = 0; at < 18; ++at) {
    std::vector<char> bad = tga;
    bad[at] = static_cast<char>(bad[at] ^ 0xFF);
    write(cut, bad);
    if (PIC* p = host_->LoadImage(&ctx_, cut.c_str(), "", 0)) host_->PicFree(p);
  }
  for (std::size_t n = 0; n <= wave.size(); ++n) {
    write(cut_wav, std::vector<char>(wave.begin(), wave.begin() + static_cast<std::ptrdiff_t>(n)));
    int32_t last = -1;
    const int32_t answered = wav_in->sound_informator(&ctx_, cut_wav.c_str(), nullptr, nullptr,
                                                      &last, nullptr, nullptr, nullptr);
    if (n < 44) {
      EXPECT_EQ(answered, 0) << n;
    }
    if (answered != 0) {
      EXPECT_LE(last, 4) << n;  // never more samples than the file holds
    }
  }
  for (std::size_t at = 0; at < 44; ++at) {
    std::vector<char> bad = wave;
    bad[at] = static_cast<char>(bad[at] ^ 0xFF);
    write(cut_wav, bad);
    wav_in->sound_informator(&ctx_, cut_wav.c_str(), nullptr, nullptr, nullptr, nullptr, nullptr, nullptr);
  }
  project::ObjectClearError(&ctx_);
}

TEST_F(MediaFormatsTest, ImageInfoAndItemsFromParameterBlocks) {
  PIC* pic = host_->PicCreate(5, 4);
  ASSERT_NE(pic, nullptr);
  const std::string path = Path("shot0012.tga");
  ASSERT_EQ(OutputFormatFind("tga")->image_saver(&ctx_, nullptr, 0, pic, path.c_str(), "VideoStream", 12), 1);
  host_->PicFree(pic);

  // A library describes the file through a block and a template, as a browser would.
  struct Block {
    char* FilePath;
    char* FileName;
    char FileExt[8];
    int32_t FileFlags, FileDigits, VideoBegin, VideoEnd, VideoInPoint, VideoOutPoint;
    float VideoTimeBase;
  };
  std::string dir = dir_.path().string();
  std::string name = "shot";
  Block block{dir.data(), name.data(), "tga", static_cast<int32_t>(kMediaImage), 4, 12, 12, 12, 12, 0.0f};
  HostCallContext reg{};
  reg.word[HCC_WORD_TAG] = HCC_REGISTRATION_TAG;
  reg.word[HCC_WORD_KIND] = HCC_KIND_REGISTRATION;
  auto t = reinterpret_cast<LumetraTemplate>(host_->ObjectCreate(&reg, "template", "file", nullptr, &block));
  ASSERT_NE(t, nullptr);
  host_->ObjectAddField(&reg, t, "FilePath", "string", &block.FilePath, 1);
  host_->ObjectAddField(&reg, t, "FileName", "string", &block.FileName, 1);
  host_->ObjectAddField(&reg, t, "FileExt", "byte", &block.FileExt, 8);
  host_->ObjectAddField(&reg, t, "FileFlags", "dword", &block.FileFlags, 1);
  host_->ObjectAddField(&reg, t, "FileDigits", "dword", &block.FileDigits, 1);
  host_->ObjectAddField(&reg, t, "VideoBegin", "dword", &block.VideoBegin, 1);
  host_->ObjectAddField(&reg, t, "VideoEnd", "dword", &block.VideoEnd, 1);
  host_->ObjectAddField(&reg, t, "VideoInPoint", "dword", &block.VideoInPoint, 1);
  host_->ObjectAddField(&reg, t, "VideoOutPoint", "dword", &block.VideoOutPoint, 1);
  host_->ObjectAddField(&reg, t, "VideoTimeBase", "float", &block.VideoTimeBase, 1);
  auto* item = reinterpret_cast<MediaItem*>(host_->MediaItemFromBlock(&ctx_, t, &block));
  ASSERT_TRUE(MediaItemIsLive(item));
  dir.clear();  // the item holds its own copies
  name.clear();
  EXPECT_EQ(MediaItemFileName(*item), path);
  EXPECT_FLOAT_EQ(item->rate, kDefaultFrameRate);  // rate 0 in the block: 25 fps
  EXPECT_FLOAT_EQ(MediaItemDuration(*item, 0.0f, DurationMode::kUsed), 1.0f);
  std::string text;
  EXPECT_TRUE(MediaItemInfoText(*item, text));
  EXPECT_EQ(text, "Video: 5x4, 32 bpp, 4 channels");
  EXPECT_EQ(host_->MediaItemTakeBuffer(reinterpret_cast<LumetraMediaItem>(item), item->request + 1,
                                       nullptr, nullptr),
            nullptr);
  EXPECT_FALSE(MediaItemIsLive(item));
  EXPECT_EQ(host_->MediaItemFromBlock(&ctx_, nullptr, &block), nullptr);
  EXPECT_EQ(Error(), "No template specified");
  host_->ObjectOperation(&reg, reinterpret_cast<LumetraObject>(t), "Delete", nullptr);
  project::ObjectClearError(&reg);
}

}  // namespace
