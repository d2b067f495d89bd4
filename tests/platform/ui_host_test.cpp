#include "platform/ui_host.h"

#include <gtest/gtest.h>

#include "platform/memory_log.h"

using namespace lumetra::platform;

TEST(HeadlessUiHost, OfflineAnswersWithoutAsking) {
  HeadlessUiHost host(true);
  EXPECT_EQ(host.AskYesNoCancel("Save?"), Answer::No);
  EXPECT_EQ(host.AskYesNo("Load?"), Answer::No);
}

TEST(HeadlessUiHost, InjectedAnswersAndLog) {
  LogStart();
  HeadlessUiHost host(false);
  host.SetPolicy([](std::string_view q, bool with_cancel) {
    return with_cancel && q == "Quit?" ? Answer::Cancel : Answer::Yes;
  });
  EXPECT_EQ(host.AskYesNoCancel("Quit?"), Answer::Cancel);
  EXPECT_EQ(host.AskYesNo("Quit?"), Answer::Yes);
  host.SetStatus("Ready");
  EXPECT_EQ(host.LastStatus(), "Ready");
  EXPECT_EQ(LogText().rfind("Fluxtar is starting up...\n", 0), 0u);
  EXPECT_NE(LogText().find("Quit?\n"), std::string::npos);
  EXPECT_NE(LogText().find("Ready\n"), std::string::npos);
}

TEST(MemoryLog, KeepsOnlyTheNewest128KiB) {
  LogStart();
  std::string chunk(1000, 'x');
  for (int i = 0; i < 200; ++i) LogAppend(chunk);
  LogAppend("last");
  EXPECT_LE(LogText().size(), kMemoryLogCapacity);
  EXPECT_EQ(LogText().substr(LogText().size() - 5), "last\n");
}
