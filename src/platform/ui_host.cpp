// The headless UiHost and the process-wide host slot.
#include "platform/ui_host.h"

#include <cstdio>
#include <mutex>

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

HeadlessUiHost::HeadlessUiHost(bool offline) : offline_(offline) {}

void HeadlessUiHost::ErrorBox(std::string_view text) { Show("error", text); }
void HeadlessUiHost::InfoBox(std::string_view text) { Show("info", text); }

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

}  // namespace lumetra::platform
