// Damaged and hostile files from a small generator: every reader answers a picture or none
// with a code of the picture error vocabulary, never crashes, and refuses pictures over
// 4096 x 4096 before allocating them.
#include <gtest/gtest.h>

#include <random>

#include "format_functions.h"
#include "formats/format_host.h"
#include "formats/test_pictures.h"
#include "temp_dir.h"

namespace formats_test {
namespace {

// Big-endian and little-endian fields for the headers built here.
void Be32(std::vector<uint8_t>& b, size_t at, uint32_t v) {
  for (int i = 0; i < 4; ++i) b[at + i] = uint8_t(v >> (24 - 8 * i));
}
void Le16(std::vector<uint8_t>& b, size_t at, uint32_t v) {
  b[at] = uint8_t(v), b[at + 1] = uint8_t(v >> 8);
}
void Le32(std::vector<uint8_t>& b, size_t at, uint32_t v) {
  Le16(b, at, v), Le16(b, at + 2, v >> 16);
}

uint32_t Crc(const uint8_t* data, size_t n) {
  uint32_t c = 0xffffffffu;
  for (size_t i = 0; i < n; ++i) {
    c ^= data[i];
    for (int k = 0; k < 8; ++k) c = (c >> 1) ^ (0xedb88320u & (0u - (c & 1)));
  }
  return ~c;
}

bool KnownError(const std::string& text) {
  for (const char* m : {"Pic Memory allocation error", "Bitmap corrupted", "Illegal pixel depth",
                        "Not supported image format type", "File open error",
                        "File does not contain color map", "File read error", "Format special error",
                        "Image format not supported"}) {
    if (text.rfind(m, 0) == 0) return true;
  }
  return false;
}

class Hostile : public ::testing::Test {
 protected:
  FormatHost host;
  lumetra::test_dir::TempDir dir{"formats_hostile"};
  std::string Path(const std::string& name) { return (dir.path() / name).string(); }

  // Loads and checks the answer: a picture of sane size, or none with a known message.
  void Expect(const std::string& file, bool image = true) {
    PIC* pic = image ? formats::ImageLoad(&host.ctx, file.c_str(), "", 0)
                     : formats::MovieLoad(&host.ctx, file.c_str(), "", 3);
    if (pic != nullptr) {
      EXPECT_LE(pic->width, 4096);
      EXPECT_LE(pic->height, 4096);
      host.table.PicFree(pic);
    } else {
      EXPECT_TRUE(KnownError(FormatHost::Error(host.ctx))) << file << ": " << FormatHost::Error(host.ctx);
    }
  }
};

// Every format's valid file, truncated at many lengths and with bytes flipped at random.
TEST_F(Hostile, TruncatedAndCorruptedFiles) {
  PIC* source = Pattern(29, 19, true);
  std::mt19937 random(7);
  for (const char* name : {"h.png", "h.jpg", "h.tga", "h.bmp", "h.tif", "h.exr"}) {
    SCOPED_TRACE(name);
    ASSERT_EQ(formats::ImageSave(&host.ctx, nullptr, 0, source, Path(name).c_str(), "VideoStream", 0), 1);
    const std::vector<uint8_t> good = ReadBytes(Path(name));
    const std::string bad = Path(std::string("bad_") + name);
    for (size_t cut : {size_t(0), size_t(1), size_t(8), size_t(20), size_t(60), good.size() / 3,
                       good.size() / 2, good.size() - 1}) {
      WriteBytes(bad, std::vector<uint8_t>(good.begin(), good.begin() + std::min(cut, good.size())));
      Expect(bad);
    }
    for (int round = 0; round < 40; ++round) {
      std::vector<uint8_t> mangled = good;
      for (int k = 0; k < 4; ++k) mangled[random() % mangled.size()] ^= uint8_t(1 + random() % 255);
      WriteBytes(bad, mangled);
      Expect(bad);
    }
  }
  host.table.PicFree(source);
  EXPECT_EQ(host.live_pictures, 0);
}

// Headers that claim huge pictures are refused with the memory code, before allocation.
TEST_F(Hostile, HugeDimensionsAreRefused) {
  PIC* small = Pattern(8, 8, true);
  for (const char* name : {"big.png", "big.bmp", "big.tga"}) {
    ASSERT_EQ(formats::ImageSave(&host.ctx, nullptr, 0, small, Path(name).c_str(), "VideoStream", 0), 1);
  }
  host.table.PicFree(small);
  std::vector<uint8_t> png = ReadBytes(Path("big.png"));
  Be32(png, 16, 5000);  // IHDR width, CRC made right again
  Be32(png, 17 + 12, Crc(png.data() + 12, 17));
  WriteBytes(Path("big.png"), png);
  std::vector<uint8_t> bmp = ReadBytes(Path("big.bmp"));
  Le32(bmp, 18, 100000), Le32(bmp, 22, 100000);
  WriteBytes(Path("big.bmp"), bmp);
  std::vector<uint8_t> tga = ReadBytes(Path("big.tga"));
  Le16(tga, 12, 65535), Le16(tga, 14, 65535);
  WriteBytes(Path("big.tga"), tga);
  for (const char* name : {"big.png", "big.bmp", "big.tga"}) {
    SCOPED_TRACE(name);
    EXPECT_EQ(formats::ImageLoad(&host.ctx, Path(name).c_str(), "", 0), nullptr);
    EXPECT_EQ(FormatHost::Error(host.ctx).rfind("Pic Memory allocation error", 0), 0u)
        << FormatHost::Error(host.ctx);
  }
  // The informator still tells the size it read.
  int32_t w = 0, h = 0;
  EXPECT_EQ(formats::ImageInform(&host.ctx, Path("big.bmp").c_str(), nullptr, nullptr, nullptr, &w, &h,
                                 nullptr, nullptr),
            1);
  EXPECT_EQ(w, 100000);
  if (HaveTool("ffmpeg")) {
    ASSERT_EQ(RunQuiet("ffmpeg -y -v error -f lavfi -i color=s=4100x16 -frames:v 1 -c:v ffv1 " +
                       Path("wide.mkv")), 0);
    EXPECT_EQ(formats::MovieLoad(&host.ctx, Path("wide.mkv").c_str(), "", 0), nullptr);
    EXPECT_EQ(FormatHost::Error(host.ctx).rfind("Pic Memory allocation error", 0), 0u);
  }
}

TEST_F(Hostile, DamagedMoviesAndMissingFiles) {
  Expect(Path("none.png"));
  EXPECT_EQ(FormatHost::Error(host.ctx).rfind("File open error", 0), 0u);
  std::filesystem::create_directory(Path("dir.mp4"));
  Expect(Path("dir.mp4"), false);
  if (!HaveTool("ffmpeg")) GTEST_SKIP() << "ffmpeg not installed: movies not damaged";
  ASSERT_EQ(RunQuiet("ffmpeg -y -v error -f lavfi -i testsrc=s=64x48:r=25 -frames:v 10 -c:v libx264 " +
                     Path("m.mp4")), 0);
  const std::vector<uint8_t> good = ReadBytes(Path("m.mp4"));
  std::mt19937 random(3);
  for (size_t cut : {size_t(0), size_t(16), good.size() / 4, good.size() / 2, good.size() - 10}) {
    WriteBytes(Path("cut.mp4"), std::vector<uint8_t>(good.begin(), good.begin() + cut));
    Expect(Path("cut.mp4"), false);
  }
  for (int round = 0; round < 10; ++round) {
    std::vector<uint8_t> mangled = good;
    for (int k = 0; k < 8; ++k) mangled[random() % mangled.size()] ^= uint8_t(1 + random() % 255);
    WriteBytes(Path("mangled.mp4"), mangled);
    Expect(Path("mangled.mp4"), false);
  }
}

}  // namespace
}  // namespace formats_test
