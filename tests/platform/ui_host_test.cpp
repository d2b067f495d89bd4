#include "platform/ui_host.h"

#include <gtest/gtest.h>

#include "platform/error_text.h"
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
  EXPECT_EQ(LogText().rfind("Lumetra is starting up...\n", 0), 0u);
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

TEST(HeadlessUiHost, FileDialogsAndDialogsAnswerByPolicy) {
  FileDialogRequest request;
  request.title = "Select project file to load";
  HeadlessUiHost offline(true);
  offline.SetFilePolicy([](const FileDialogRequest&) { return std::optional<std::string>("/a"); });
  offline.SetDialogPolicy([](std::string_view, std::string_view) { return Answer::Ok; });
  EXPECT_FALSE(offline.FileDialog(request));  // offline never picks a file
  EXPECT_EQ(offline.RunDialog("PROJECTOPTIONSDLG", "New Project Settings"), Answer::Cancel);

  HeadlessUiHost host(false);
  EXPECT_FALSE(host.FileDialog(request));  // no answer injected: cancel
  EXPECT_EQ(host.RunDialog("X", "Y"), Answer::Cancel);
  host.SetFilePolicy([](const FileDialogRequest& r) {
    return r.save ? std::nullopt : std::optional<std::string>("/home/a.ZTP");
  });
  host.SetDialogPolicy([](std::string_view dialog, std::string_view) {
    return dialog == "PROJECTOPTIONSDLG" ? Answer::Ok : Answer::Cancel;
  });
  EXPECT_EQ(host.FileDialog(request), "/home/a.ZTP");
  request.save = true;
  EXPECT_FALSE(host.FileDialog(request));
  EXPECT_EQ(host.RunDialog("PROJECTOPTIONSDLG", "New Project Settings"), Answer::Ok);
}

TEST(UiShorthands, ExpandErrorCodesBeforeShowing) {
  auto previous = SetUi(std::make_unique<HeadlessUiHost>(false));
  Status("Write failed: &e28");
  auto& host = static_cast<HeadlessUiHost&>(Ui());
  EXPECT_EQ(host.LastStatus(), std::string("Write failed: ") + SystemErrorText(28));
  SetUi(std::move(previous));
}
