// The user-facing services of the desktop: message boxes, the status line and the log.
#pragma once

#include <functional>
#include <memory>
#include <string>
#include <string_view>

namespace lumetra::platform {

// Title of every message box the program shows.
inline constexpr std::string_view kBoxTitle = "Fluxtar";

enum class Answer { Ok, Yes, No, Cancel };

class UiHost {
 public:
  virtual ~UiHost() = default;
  virtual void ErrorBox(std::string_view text) = 0;
  virtual void InfoBox(std::string_view text) = 0;
  virtual Answer AskYesNo(std::string_view text) = 0;
  virtual Answer AskYesNoCancel(std::string_view text) = 0;
  virtual void SetStatus(std::string_view text) = 0;
};

// The headless host: texts go to stderr and the in-memory log; questions are answered by
// a policy. Offline runs ask nothing (the default answer); tests inject their answers.
class HeadlessUiHost final : public UiHost {
 public:
  using Policy = std::function<Answer(std::string_view question, bool with_cancel)>;

  explicit HeadlessUiHost(bool offline = true);
  void SetPolicy(Policy policy) { policy_ = std::move(policy); }
  void SetOffline(bool offline) { offline_ = offline; }
  bool Offline() const { return offline_; }
  const std::string& LastStatus() const { return status_; }

  void ErrorBox(std::string_view text) override;
  void InfoBox(std::string_view text) override;
  Answer AskYesNo(std::string_view text) override;
  Answer AskYesNoCancel(std::string_view text) override;
  void SetStatus(std::string_view text) override;

 private:
  bool offline_;
  Policy policy_;
  std::string status_;
};

// The host every module reports through; a headless one until another is installed.
UiHost& Ui();
// Installs a host for the rest of the run (or until replaced); returns the previous one.
std::unique_ptr<UiHost> SetUi(std::unique_ptr<UiHost> host);

}  // namespace lumetra::platform
