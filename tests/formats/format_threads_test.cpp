// The still-image functions run on several threads at once (the output driver encodes
// frames in parallel): each thread's files come out the same as one thread's.
#include <gtest/gtest.h>

#include <thread>
#include <vector>

#include "format_functions.h"
#include "formats/format_host.h"
#include "formats/test_pictures.h"
#include "temp_dir.h"

namespace formats_test {
namespace {

TEST(FormatThreads, ParallelSavesAndLoadsMatchOneThread) {
  FormatHost host;
  lumetra::test_dir::TempDir dir("formats_threads");
  constexpr int kThreads = 4, kFrames = 6;
  std::vector<std::vector<uint8_t>> single;
  PIC* pattern = Pattern(40, 30, true);
  for (const char* ext : {"png", "jpg"}) {
    const std::string name = (dir.path() / (std::string("one.") + ext)).string();
    ASSERT_EQ(formats::ImageSave(&host.ctx, nullptr, 0, pattern, name.c_str(), "VideoStream", 0), 1);
    single.push_back(ReadBytes(name));
  }
  std::vector<int> failures(kThreads, 0);
  std::vector<std::thread> threads;
  for (int t = 0; t < kThreads; ++t) {
    threads.emplace_back([&, t] {
      HostCallContext ctx{};
      for (int f = 0; f < kFrames; ++f) {
        int i = 0;
        for (const char* ext : {"png", "jpg"}) {
          const std::string name =
              (dir.path() / ("t" + std::to_string(t) + "_" + std::to_string(f) + "." + ext)).string();
          if (formats::ImageSave(&ctx, nullptr, 0, pattern, name.c_str(), "VideoStream", f) != 1 ||
              ReadBytes(name) != single[i++]) {
            ++failures[t];
          }
          PIC* back = formats::ImageLoad(&ctx, name.c_str(), "", 0);
          if (back == nullptr) ++failures[t];
          host.table.PicFree(back);
        }
      }
      host.table.ClipReportError(&ctx, nullptr);
    });
  }
  for (auto& t : threads) t.join();
  for (int t = 0; t < kThreads; ++t) EXPECT_EQ(failures[t], 0) << "thread " << t;
  host.table.PicFree(pattern);
  EXPECT_EQ(host.live_pictures, 0);
}

}  // namespace
}  // namespace formats_test
