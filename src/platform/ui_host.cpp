// The headless UiHost and the process-wide host slot.
#include "platform/ui_host.h"

#include <cstdio>
#include <mutex>

#include "platform/error_text.h"
#include "platform/memory_log.h"

namespace lumetra::platform {
namespace {

std::mutex g_ui_mutex;
std::unique_ptr<UiHost> g_ui;

void Show(std::string_view kind, std::string_view text) {
  std::fprintf(stderr, "%.*s: %.*s\n", static_cast<int>(kind.size()), kind.data(),
               static_cast<int>(text.size()), text.data());
  LogAppend(text);
  DebugLog(text);
}

}  // namespace

void Notice(std::string_view text) {
  std::fprintf(stderr, "%.*s\n", static_cast<int>(text.size()), text.data());
  LogAppend(text);
  DebugLog(text);
}

HeadlessUiHost::HeadlessUiHost(bool offline) : offline_(offline) {}

void HeadlessUiHost::ErrorBox(std::string_view text) {
  Show("error", text);
}
void HeadlessUiHost::InfoBox(std::string_view text) {
  Show("info", text);
}

Answer HeadlessUiHost::AskYesNo(std::string_view text) {
  Show("question", text);
  Answer a = policy_ ? policy_(text, false) : Answer::No;
  return a == Answer::Cancel ? Answer::No : a;
}

Answer HeadlessUiHost::AskYesNoCancel(std::string_view text) {
  Show("question", text);
  return policy_ ? policy_(text, true) : (offline_ ? Answer::No : Answer::Cancel);
}

void HeadlessUiHost::SetStatus(std::string_view text) {
  status_.assign(text);
  LogAppend(text);
  DebugLog(text);
}

std::optional<std::string> HeadlessUiHost::FileDialog(const FileDialogRequest& request) {
  Show("file dialog", request.title);
  if (offline_ || !file_policy_) return std::nullopt;
  return file_policy_(request);
}

Answer HeadlessUiHost::RunDialog(std::string_view dialog, std::string_view title) {
  Show("dialog", title);
  if (offline_ || !dialog_policy_) return Answer::Cancel;
  Answer a = dialog_policy_(dialog, title);
  return a == Answer::Ok || a == Answer::Yes ? Answer::Ok : Answer::Cancel;
}

std::optional<std::size_t> HeadlessUiHost::ChooseFromList(std::string_view dialog,
                                                          std::string_view title,
                                                          const std::vector<std::string>& items) {
  if (!list_policy_) return UiHost::ChooseFromList(dialog, title, items);
  Show("dialog", title);
  if (offline_ || items.empty()) return std::nullopt;
  std::optional<std::size_t> chosen = list_policy_(dialog, title, items);
  if (chosen && *chosen >= items.size()) return std::nullopt;
  return chosen;
}

std::optional<std::size_t> UiHost::ChooseFromList(std::string_view dialog, std::string_view title,
                                                  const std::vector<std::string>& items) {
  if (items.empty() || RunDialog(dialog, title) != Answer::Ok) return std::nullopt;
  return 0;
}

UiHost& Ui() {
  std::lock_guard lock(g_ui_mutex);
  if (!g_ui) g_ui = std::make_unique<HeadlessUiHost>();
  return *g_ui;
}

std::unique_ptr<UiHost> SetUi(std::unique_ptr<UiHost> host) {
  std::lock_guard lock(g_ui_mutex);
  std::swap(g_ui, host);
  return host;
}

void ShowError(std::string_view text) {
  Ui().ErrorBox(ExpandErrorCodes(text));
}
void ShowInfo(std::string_view text) {
  Ui().InfoBox(ExpandErrorCodes(text));
}
void Status(std::string_view text) {
  Ui().SetStatus(ExpandErrorCodes(text));
}

}  // namespace lumetra::platform
