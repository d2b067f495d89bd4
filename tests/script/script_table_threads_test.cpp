// Scripts on several threads look host functions up while another thread adds and removes
// them. Run under ThreadSanitizer.
#include <gtest/gtest.h>

#include <atomic>
#include <string>
#include <thread>
#include <vector>

#include "script/script_function.h"

namespace lumetra::script {
namespace {

bool Steady(ScriptCall&) {
  return true;
}
bool Passing(ScriptCall&) {
  return false;
}

TEST(ScriptFunctionTable, LookupsRunWhileFunctionsRegister) {
  FunctionTable& table = ScriptFunctions();
  table.Add("ThreadsSteady", Steady);
  std::atomic<bool> done{false};
  std::atomic<int> wrong{0};
  std::atomic<int> started{0};
  std::vector<std::thread> readers;
  for (int i = 0; i < 3; ++i) {
    readers.emplace_back([&] {
      int first = 0;
      do {
        if (table.Find("ThreadsSteady") != Steady) wrong.fetch_add(1);
        HostFunction f = table.Find("ThreadsPassing7");
        if (f != nullptr && f != Passing) wrong.fetch_add(1);
        if (!first++) started.fetch_add(1);
        std::this_thread::yield();  // leave the writer room under a busy lock
      } while (!done.load(std::memory_order_acquire));
    });
  }
  // The writes overlap the reads: every reader is running before the first one.
  while (started.load() < 3) std::this_thread::yield();
  for (int round = 0; round < 20; ++round) {
    for (int k = 0; k < 10; ++k) table.Add("ThreadsPassing" + std::to_string(k), Passing);
    for (int k = 0; k < 10; ++k) table.Remove("ThreadsPassing" + std::to_string(k));
  }
  done.store(true, std::memory_order_release);
  for (std::thread& t : readers) t.join();
  EXPECT_EQ(wrong.load(), 0);
  EXPECT_EQ(table.Find("ThreadsPassing7"), nullptr);
  table.Remove("ThreadsSteady");
  EXPECT_EQ(table.Find("ThreadsSteady"), nullptr);
}

}  // namespace
}  // namespace lumetra::script
