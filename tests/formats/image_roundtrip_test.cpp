// Still images written and read back through the library's functions: exact for the
// lossless formats, within a stated PSNR for JPEG and the sRGB/half-float trip of OpenEXR;
// files written by the ffmpeg tool read as ffmpeg decodes them; ours read by ffprobe.
#include <gtest/gtest.h>

#include <cstring>
#include <filesystem>
#include <memory>

#include "format_functions.h"
#include "formats/format_host.h"
#include "formats/test_pictures.h"
#include "image_codec.h"
#include "temp_dir.h"

#include <tiffio.h>

namespace formats_test {
namespace {

using formats::ImageLoad;
using formats::ImageSave;

struct PicDeleter {
  FormatHost* host;
  void operator()(PIC* p) const { host->table.PicFree(p); }
};

class ImageFiles : public ::testing::Test {
 protected:
  FormatHost host;
  lumetra::test_dir::TempDir dir{"formats_images"};
  using Owned = std::unique_ptr<PIC, PicDeleter>;
  Owned Own(PIC* p) { return Owned(p, PicDeleter{&host}); }
  std::string Path(const std::string& name) { return (dir.path() / name).string(); }
  Owned Load(const std::string& path, const char* layer = "") {
    return Own(ImageLoad(&host.ctx, path.c_str(), layer, 0));
  }
};

TEST_F(ImageFiles, RoundTripPerFormat) {
  struct Case {
    const char* name;
    bool keeps_alpha;
    double min_psnr;  // 1000: exact
  };
  const Case cases[] = {
      {"a.png", true, 1000}, {"a.tga", true, 1000}, {"a.bmp", true, 1000},
      {"a.tif", true, 1000}, {"a.exr", true, 1000}, {"a.jpg", false, 30},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    Owned source = Own(Pattern(37, 23, c.keeps_alpha));
    const formats::PngParams fast{1};
    const void* params = std::string(c.name) == "a.png" ? &fast : nullptr;
    ASSERT_EQ(ImageSave(&host.ctx, const_cast<void*>(params), 0, source.get(), Path(c.name).c_str(),
                        "VideoStream", 0),
              1)
        << FormatHost::Error(host.ctx);
    Owned back = Load(Path(c.name));
    ASSERT_NE(back, nullptr) << FormatHost::Error(host.ctx);
    ASSERT_EQ(back->width, 37);
    ASSERT_EQ(back->height, 23);
    EXPECT_GE(Psnr(*source, *back, c.keeps_alpha), c.min_psnr);
    int32_t w = 0, h = 0, first = -1, last = -1;
    ASSERT_EQ(formats::ImageInform(&host.ctx, Path(c.name).c_str(), nullptr, &first, &last, &w, &h,
                                   nullptr, nullptr),
              1);
    EXPECT_EQ(w, 37);
    EXPECT_EQ(h, 23);
    EXPECT_EQ(first, 0);
    EXPECT_EQ(last, 0);
  }
  EXPECT_EQ(host.live_pictures, 0);
  // Every temporary was renamed into place.
  int files = 0;
  for (const auto& entry : std::filesystem::directory_iterator(dir.path())) {
    EXPECT_EQ(entry.path().extension().string().find("tmp"), std::string::npos) << entry.path();
    ++files;
  }
  EXPECT_EQ(files, 6);
}

TEST_F(ImageFiles, JpegQualityParameterChangesTheFile) {
  Owned source = Own(Pattern(64, 48, false));
  formats::JpegParams low{10}, high{95};
  ASSERT_EQ(ImageSave(&host.ctx, &low, 0, source.get(), Path("low.jpg").c_str(), "VideoStream", 0), 1);
  ASSERT_EQ(ImageSave(&host.ctx, &high, 0, source.get(), Path("high.jpg").c_str(), "VideoStream", 0), 1);
  EXPECT_LT(std::filesystem::file_size(Path("low.jpg")), std::filesystem::file_size(Path("high.jpg")));
  EXPECT_GT(Psnr(*source, *Load(Path("high.jpg"))), Psnr(*source, *Load(Path("low.jpg"))));
}

// OpenEXR holds linear light: mid-grey 128 of the picture is stored near 0.2158.
TEST_F(ImageFiles, ExrStoresLinearLight) {
  Owned grey = Own(MakePicture(4, 2));
  for (int i = 0; i < 8; ++i) grey->pixels[i * 4] = grey->pixels[i * 4 + 1] = grey->pixels[i * 4 + 2] = 128, grey->pixels[i * 4 + 3] = 255;
  ASSERT_EQ(ImageSave(&host.ctx, nullptr, 0, grey.get(), Path("g.exr").c_str(), "VideoStream", 0), 1);
  if (!HaveTool("ffmpeg")) GTEST_SKIP() << "ffmpeg not installed: linear values not checked";
  ASSERT_EQ(RunQuiet("ffmpeg -y -v error -i " + Path("g.exr") + " -f rawvideo -pix_fmt gbrpf32le " +
                Path("g.raw")), 0);
  const std::vector<uint8_t> raw = ReadBytes(Path("g.raw"));
  ASSERT_GE(raw.size(), 4u);
  float v = 0;
  std::memcpy(&v, raw.data(), 4);
  EXPECT_NEAR(v, 0.2158, 0.002);
}

// Two pages of different sizes, written with libtiff directly.
void WriteTwoPages(const std::string& path, const PIC& a, const PIC& b) {
  TIFF* t = TIFFOpen(path.c_str(), "w");
  ASSERT_NE(t, nullptr);
  for (const PIC* p : {&a, &b}) {
    TIFFSetField(t, TIFFTAG_IMAGEWIDTH, uint32_t(p->width));
    TIFFSetField(t, TIFFTAG_IMAGELENGTH, uint32_t(p->height));
    TIFFSetField(t, TIFFTAG_BITSPERSAMPLE, 8);
    TIFFSetField(t, TIFFTAG_SAMPLESPERPIXEL, 3);
    TIFFSetField(t, TIFFTAG_PHOTOMETRIC, PHOTOMETRIC_RGB);
    TIFFSetField(t, TIFFTAG_PLANARCONFIG, PLANARCONFIG_CONTIG);
    std::vector<uint8_t> row(size_t(p->width) * 3);
    for (int y = 0; y < p->height; ++y) {
      const uint8_t* s = p->pixels + size_t(p->height - 1 - y) * p->width * 4;
      for (int x = 0; x < p->width; ++x) {
        row[x * 3] = s[x * 4 + 2], row[x * 3 + 1] = s[x * 4 + 1], row[x * 3 + 2] = s[x * 4];
      }
      TIFFWriteScanline(t, row.data(), uint32_t(y), 0);
    }
    TIFFWriteDirectory(t);
  }
  TIFFClose(t);
}

TEST_F(ImageFiles, TiffPagesAreLayers) {
  Owned a = Own(Pattern(16, 8, false, 1)), b = Own(Pattern(10, 6, false, 2));
  WriteTwoPages(Path("both.tif"), *a, *b);
  char name[16] = {};
  EXPECT_EQ(formats::ImageLayers(&host.ctx, Path("both.tif").c_str(), 1, name, sizeof name), 1);
  EXPECT_STREQ(name, "Page 2");
  EXPECT_EQ(formats::ImageLayers(&host.ctx, Path("both.tif").c_str(), 2, name, sizeof name), 0);
  Owned second = Load(Path("both.tif"), "Page 2");
  ASSERT_NE(second, nullptr);
  EXPECT_TRUE(SamePixels(*second, *b));
}

// Files the ffmpeg tool wrote decode to what ffmpeg itself decodes them to.
TEST_F(ImageFiles, ReadsFilesWrittenByFfmpeg) {
  if (!HaveTool("ffmpeg")) GTEST_SKIP() << "ffmpeg not installed";
  struct Case {
    const char* name;
    const char* options;
    double min_psnr;
  };
  const Case cases[] = {
      // ffmpeg rounds some 16-bit samples up where the reader keeps the high byte.
      {"f8.png", "-pix_fmt rgba", 1000},   {"f16.png", "-pix_fmt rgb48be", 50},
      {"fg.png", "-pix_fmt gray", 1000},   {"fp.png", "-pix_fmt pal8", 1000},
      {"f.tga", "-pix_fmt bgra", 1000},    {"frle.tga", "-pix_fmt bgr24 -rle 1", 1000},
      {"f.bmp", "-pix_fmt bgr24", 1000},   {"f.tif", "-pix_fmt rgba", 1000},
      {"f.jpg", "-q:v 3", 38},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    const std::string file = Path(c.name), raw = Path(std::string(c.name) + ".raw");
    ASSERT_EQ(RunQuiet("ffmpeg -y -v error -f lavfi -i testsrc=s=45x31:r=1 -frames:v 1 " +
                  std::string(c.options) + " " + file),
              0);
    // 16-bit samples are cut to their high byte, as the reader does.
    ASSERT_EQ(RunQuiet("ffmpeg -y -v error -i " + file + " -f rawvideo -pix_fmt bgra " + raw), 0);
    Owned expected = Own(FromTopDown(ReadBytes(raw), 0, 45, 31));
    Owned ours = Load(file);
    ASSERT_NE(ours, nullptr) << FormatHost::Error(host.ctx);
    EXPECT_GE(Psnr(*expected, *ours, true), c.min_psnr);
  }
}

TEST_F(ImageFiles, FfprobeReadsOurFiles) {
  if (!HaveTool("ffprobe")) GTEST_SKIP() << "ffprobe not installed";
  Owned source = Own(Pattern(33, 17, true));
  for (const char* name : {"o.png", "o.jpg", "o.tga", "o.bmp", "o.tif", "o.exr"}) {
    SCOPED_TRACE(name);
    ASSERT_EQ(ImageSave(&host.ctx, nullptr, 0, source.get(), Path(name).c_str(), "VideoStream", 0), 1);
    const std::string out = Capture("ffprobe -v error -show_entries stream=width,height -of csv=p=0 " + Path(name));
    EXPECT_EQ(out, "33,17\n");
  }
}

// Writers replace regular files only, keep their mode and write through links.
TEST_F(ImageFiles, WritesGoThroughTheAtomicRules) {
  namespace fs = std::filesystem;
  Owned source = Own(Pattern(8, 8, true));
  fs::create_directory(Path("dir.png"));
  EXPECT_EQ(ImageSave(&host.ctx, nullptr, 0, source.get(), Path("dir.png").c_str(), "VideoStream", 0), 0);
  EXPECT_NE(FormatHost::Error(host.ctx).find("File create error"), std::string::npos);
  WriteBytes(Path("kept.png"), {1, 2, 3});
  fs::permissions(Path("kept.png"), fs::perms::owner_read | fs::perms::owner_write | fs::perms::group_read);
  ASSERT_EQ(ImageSave(&host.ctx, nullptr, 0, source.get(), Path("kept.png").c_str(), "VideoStream", 0), 1);
  EXPECT_EQ(fs::status(Path("kept.png")).permissions() & fs::perms::all,
            fs::perms::owner_read | fs::perms::owner_write | fs::perms::group_read);
  EXPECT_NE(Load(Path("kept.png")), nullptr);
  WriteBytes(Path("real.png"), {});
  fs::create_symlink(Path("real.png"), Path("link.png"));
  ASSERT_EQ(ImageSave(&host.ctx, nullptr, 0, source.get(), Path("link.png").c_str(), "VideoStream", 0), 1);
  EXPECT_TRUE(fs::is_symlink(Path("link.png")));
  EXPECT_GT(fs::file_size(Path("real.png")), 0u);
  // An unknown extension or no picture is refused with the picture error vocabulary.
  EXPECT_EQ(ImageSave(&host.ctx, nullptr, 0, source.get(), Path("x.xyz").c_str(), "VideoStream", 0), 0);
  EXPECT_NE(FormatHost::Error(host.ctx).find("Image format not supported"), std::string::npos);
  EXPECT_EQ(ImageSave(&host.ctx, nullptr, 0, nullptr, Path("n.png").c_str(), "VideoStream", 0), 0);
  EXPECT_NE(FormatHost::Error(host.ctx).find("PIC is NULL"), std::string::npos);
}

}  // namespace
}  // namespace formats_test
