// The user-facing services of the desktop: message boxes, file dialogs, the status line, the log.
#pragma once

#include <cstddef>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace lumetra::platform {

// The program's name as the user sees it (titles, messages that name the product).
inline constexpr const char* kProductName = "Lumetra";
// Title of every message box the program shows.
inline constexpr std::string_view kBoxTitle = kProductName;

enum class Answer { Ok, Yes, No, Cancel };

// What a file dialog shows: the filter is the "name,name,..." list and the patterns the
// matching "*.ZTP,*.SAV,*.*" list; `initial` is the file name proposed.
struct FileDialogRequest {
  std::string title;
  std::string filter;
  std::string patterns;
  std::string initial;
  bool save = false;
};

class UiHost {
 public:
  virtual ~UiHost() = default;
  virtual void ErrorBox(std::string_view text) = 0;
  virtual void InfoBox(std::string_view text) = 0;
  virtual Answer AskYesNo(std::string_view text) = 0;
  virtual Answer AskYesNoCancel(std::string_view text) = 0;
  virtual void SetStatus(std::string_view text) = 0;
  // The chosen path, or nothing when the user cancels.
  virtual std::optional<std::string> FileDialog(const FileDialogRequest& request) = 0;
  // A modal dialog named by its template; Ok or Cancel.
  virtual Answer RunDialog(std::string_view dialog, std::string_view title) = 0;
  // A modal list dialog: the index of the item the user picked, or nothing when cancelled.
  // A host without lists runs the dialog and takes the first item on Ok.
  virtual std::optional<std::size_t> ChooseFromList(std::string_view dialog, std::string_view title,
                                                    const std::vector<std::string>& items);
};

// The headless host: texts go to stderr and the in-memory log; questions, file dialogs and
// dialogs are answered by policies. Offline runs ask nothing (questions get the default
// answer, file dialogs and dialogs are cancelled); tests inject their answers.
class HeadlessUiHost final : public UiHost {
 public:
  using Policy = std::function<Answer(std::string_view question, bool with_cancel)>;
  using FilePolicy = std::function<std::optional<std::string>(const FileDialogRequest&)>;
  using DialogPolicy = std::function<Answer(std::string_view dialog, std::string_view title)>;
  using ListPolicy = std::function<std::optional<std::size_t>(
      std::string_view dialog, std::string_view title, const std::vector<std::string>& items)>;

  explicit HeadlessUiHost(bool offline = true);
  void SetPolicy(Policy policy) { policy_ = std::move(policy); }
  void SetFilePolicy(FilePolicy policy) { file_policy_ = std::move(policy); }
  void SetDialogPolicy(DialogPolicy policy) { dialog_policy_ = std::move(policy); }
  // Without a list policy a list dialog is answered by the dialog policy (Ok: the first item).
  void SetListPolicy(ListPolicy policy) { list_policy_ = std::move(policy); }
  void SetOffline(bool offline) { offline_ = offline; }
  bool Offline() const { return offline_; }
  const std::string& LastStatus() const { return status_; }

  void ErrorBox(std::string_view text) override;
  void InfoBox(std::string_view text) override;
  Answer AskYesNo(std::string_view text) override;
  Answer AskYesNoCancel(std::string_view text) override;
  void SetStatus(std::string_view text) override;
  std::optional<std::string> FileDialog(const FileDialogRequest& request) override;
  Answer RunDialog(std::string_view dialog, std::string_view title) override;
  std::optional<std::size_t> ChooseFromList(std::string_view dialog, std::string_view title,
                                            const std::vector<std::string>& items) override;

 private:
  bool offline_;
  Policy policy_;
  FilePolicy file_policy_;
  DialogPolicy dialog_policy_;
  ListPolicy list_policy_;
  std::string status_;
};

// The host every module reports through; a headless one until another is installed.
UiHost& Ui();
// Installs a host for the rest of the run (or until replaced); returns the previous one.
std::unique_ptr<UiHost> SetUi(std::unique_ptr<UiHost> host);

// Shorthands over Ui() that first replace every "&e<number>" with that error's text.
void ShowError(std::string_view text);
void ShowInfo(std::string_view text);
void Status(std::string_view text);
// A line for the shell user: stderr as it is (no prefix), the log and the debug log. For
// what a headless run must not keep silent (waiting, refusals, features not built yet).
void Notice(std::string_view text);

}  // namespace lumetra::platform
