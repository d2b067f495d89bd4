// Encodes and decodes 250 frames of 720x576 and 1920x1080 as PNG and JPEG through the
// format library, and runs the ffmpeg tool on the same frames in the same run; prints
// milliseconds per frame and the ratio (ffmpeg time / ours: above 1 means we are faster).
// Ours runs on one thread, and on several threads saving whole frames as the output
// driver does.
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <string>
#include <thread>
#include <vector>

#include "format_functions.h"
#include "formats/format_host.h"
#include "formats/test_pictures.h"
#include "image_codec.h"
#include "temp_dir.h"

namespace {

using Clock = std::chrono::steady_clock;
constexpr int kFrames = 250, kDistinct = 25;

double Seconds(Clock::time_point since) {
  return std::chrono::duration<double>(Clock::now() - since).count();
}

double RunTimed(const std::string& command) {
  const auto t = Clock::now();
  if (std::system((command + " >/dev/null 2>&1").c_str()) != 0) return -1;
  return Seconds(t);
}

}  // namespace

int main() {
  using namespace formats_test;
  FormatHost host;
  lumetra::test_dir::TempDir dir("formats_bench");
  const bool peer = HaveTool("ffmpeg");
  const int threads = std::max(2u, std::min(8u, std::thread::hardware_concurrency()));
  std::printf("%-22s %10s %10s %10s %8s %10s\n", "case", "ours ms", "ours xT ms", "ffmpeg ms",
              "ratio", "ratio xT");
  for (auto [w, h] : {std::pair{720, 576}, std::pair{1920, 1080}}) {
    std::vector<PIC*> frames;
    for (int i = 0; i < kDistinct; ++i) frames.push_back(Waves(w, h, i));
    // The same frames, top-down, for ffmpeg (looped ten times to 250).
    const std::string raw = (dir.path() / "frames.raw").string();
    {
      std::ofstream out(raw, std::ios::binary);
      for (PIC* p : frames) {
        for (int y = h - 1; y >= 0; --y) out.write(reinterpret_cast<const char*>(p->pixels + size_t(y) * w * 4), w * 4);
      }
    }
    struct Codec {
      const char* label;
      const char* ext;
      const void* params;
      const char* ffmpeg_encode;
    };
    // PNG: our default encoding beside ffmpeg's default, and level 6 beside its level 6
    // with a filter chosen per row.
    const formats::PngParams png{0}, png6{6};
    const formats::JpegParams jpeg{90};
    for (const Codec& c : {Codec{"png", "png", &png, "-c:v png"},
                           Codec{"png6", "png", &png6, "-c:v png -compression_level 6 -pred mixed"},
                           Codec{"jpg", "jpg", &jpeg, "-c:v mjpeg -q:v 2 -pix_fmt yuvj444p"}}) {
      const std::string ours_dir = (dir.path() / "ours").string(), theirs_dir = (dir.path() / "theirs").string();
      std::filesystem::create_directories(ours_dir);
      std::filesystem::create_directories(theirs_dir);
      auto name = [&](const std::string& d, int i) {
        char n[32];
        std::snprintf(n, sizeof n, "/f%04d.%s", i, c.ext);
        return d + n;
      };
      auto encode = [&](int first, int step) {
        HostCallContext ctx{};
        for (int i = first; i < kFrames; i += step) {
          formats::ImageSave(&ctx, const_cast<void*>(c.params), 0, frames[i % kDistinct],
                             name(ours_dir, i).c_str(), "VideoStream", i);
        }
        host.table.ClipReportError(&ctx, nullptr);
      };
      auto decode = [&](int first, int step) {
        HostCallContext ctx{};
        for (int i = first; i < kFrames; i += step) {
          host.table.PicFree(formats::ImageLoad(&ctx, name(ours_dir, i).c_str(), "", 0));
        }
        host.table.ClipReportError(&ctx, nullptr);
      };
      auto parallel = [&](auto body) {
        const auto t = Clock::now();
        std::vector<std::thread> pool;
        for (int k = 0; k < threads; ++k) pool.emplace_back(body, k, threads);
        for (auto& th : pool) th.join();
        return Seconds(t);
      };
      auto t = Clock::now();
      encode(0, 1);
      const double enc1 = Seconds(t);
      const double encn = parallel(encode);
      t = Clock::now();
      decode(0, 1);
      const double dec1 = Seconds(t);
      const double decn = parallel(decode);
      double enc_peer = -1, dec_peer = -1;
      if (peer) {
        const std::string size = std::to_string(w) + "x" + std::to_string(h);
        enc_peer = RunTimed("ffmpeg -y -v error -threads 1 -stream_loop 9 -f rawvideo -pix_fmt bgra -s " + size +
                            " -i " + raw + " -threads 1 " + c.ffmpeg_encode + " " + theirs_dir + "/f%04d." + c.ext);
        dec_peer = RunTimed("ffmpeg -v error -threads 1 -i " + ours_dir + "/f%04d." + c.ext +
                            " -threads 1 -f null -");
      }
      auto row = [&](const char* what, double one, double many, double theirs) {
        char label[32];
        std::snprintf(label, sizeof label, "%s %s %dx%d", what, c.label, w, h);
        const double ms = 1000.0 / kFrames;
        if (theirs > 0) {
          std::printf("%-22s %10.2f %10.2f %10.2f %8.2f %10.2f\n", label, one * ms, many * ms,
                      theirs * ms, theirs / one, theirs / many);
        } else {
          std::printf("%-22s %10.2f %10.2f %10s %8s %10s\n", label, one * ms, many * ms, "-", "-", "-");
        }
      };
      row("encode", enc1, encn, enc_peer);
      row("decode", dec1, decn, dec_peer);
      std::fflush(stdout);
      std::filesystem::remove_all(ours_dir);
      std::filesystem::remove_all(theirs_dir);
    }
    for (PIC* p : frames) host.table.PicFree(p);
  }
  std::printf("threads for xT: %d; ffmpeg runs with -threads 1\n", threads);
  return 0;
}
