// Replays the committed fuzz corpus: every run keeps the ScriptRun contract.
#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>

#include "platform/ui_host.h"
#include "script_harness.h"

namespace {

TEST(ScriptCorpus, EveryInputKeepsTheRunContract) {
  const char* source = std::getenv("LUMETRA_SOURCE_DIR");
  std::filesystem::path dir =
      std::filesystem::path(source ? source : LUMETRA_TEST_SOURCE_DIR) / "fuzz/script_corpus";
  ASSERT_TRUE(std::filesystem::is_directory(dir)) << dir;
  auto old_ui = lumetra::platform::SetUi(std::make_unique<lumetra::platform::HeadlessUiHost>());
  int count = 0;
  for (const auto& entry : std::filesystem::directory_iterator(dir)) {
    if (!entry.is_regular_file() || entry.file_size() > (1u << 20)) continue;
    std::ifstream in(entry.path(), std::ios::binary);
    std::string bytes((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
    EXPECT_EQ(
        lumetra::fuzz::ScriptFuzzOne(reinterpret_cast<const uint8_t*>(bytes.data()), bytes.size()),
        "")
        << entry.path();
    ++count;
  }
  lumetra::platform::SetUi(std::move(old_ui));
  EXPECT_GE(count, 30);
}

}  // namespace
