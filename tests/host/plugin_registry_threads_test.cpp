// Render threads walk the effect list while the interface thread registers effects and
// project loading pushes virtual records: every record a reader reaches is complete.
#include <gtest/gtest.h>

#include <atomic>
#include <string>
#include <thread>
#include <vector>

#include "host/plugin_registry.h"

using namespace lumetra::project;

namespace {

TEST(PluginRegistryThreads, ReadersSeeWholeRecordsWhileTheListGrows) {
  PluginRegistryClear();
  constexpr int kRecords = 300;
  constexpr int kReaders = 3;
  std::atomic<int> running{0};
  std::atomic<bool> done{false};
  std::atomic<int> bad{0};
  std::vector<ProcessRecord> virtuals(kRecords / 3);
  std::vector<std::thread> readers;
  for (int i = 0; i < kReaders; ++i) {
    readers.emplace_back([&] {
      running.fetch_add(1);
      while (!done.load()) {
        for (ProcessRecord* p = ProcessRegistryHead(); p != nullptr; p = p->next)
          if (p->signature.rfind("Sig ", 0) != 0 || p->version != 5) bad.fetch_add(1);
      }
    });
  }
  while (running.load() < kReaders) std::this_thread::yield();
  for (int i = 0; i < kRecords; ++i) {
    const std::string signature = "Sig " + std::to_string(i);
    if (i % 3 == 0) {
      ProcessRecord& v = virtuals[static_cast<std::size_t>(i / 3)];
      v.signature = signature;
      v.version = 5;
      v.flags = kProcessVirtual;
      ProcessRegistryPush(&v);
    } else {
      ProcessRecord* r = EffectNew(signature.c_str());
      EffectSetValue(nullptr, r, "Version", 5);
      ASSERT_EQ(EffectRegister(nullptr, r), r);
    }
  }
  done.store(true);
  for (std::thread& t : readers) t.join();
  EXPECT_EQ(bad.load(), 0);
  int count = 0;
  for (ProcessRecord* p = ProcessRegistryHead(); p != nullptr; p = p->next) ++count;
  EXPECT_EQ(count, kRecords);
  for (ProcessRecord& v : virtuals) ProcessRegistryRemove(&v);
  PluginRegistryClear();
}

}  // namespace
