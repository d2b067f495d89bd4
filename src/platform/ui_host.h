// The user-facing services of the desktop: message boxes, file dialogs, the status line, the log.
#pragma once

#include <array>
#include <cstddef>
#include <functional>
#include <memory>
#include <cstdint>
#include <optional>
#include <span>
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

// The controls and choosers that effect dialogs ask the host for through scripts. Windows
// are opaque handles; 0 is none.
struct CheckboxRequest {
  uintptr_t parent = 0;
  uint32_t control_id = 0;
  uintptr_t rect_window = 0;                  // "BYHWND": this window's placement is the box
  std::optional<std::array<int32_t, 4>> rect;  // "BYRECT": left, top, right, bottom
  std::optional<uint32_t> colour;             // "COLRGB"
  std::string text;                           // "TEXT"
  std::optional<uint32_t> size, align, style;
};

struct GeometryChoice {
  uintptr_t handle = 0;
  std::string name;
};

class ScriptUi {
 public:
  // Called while the colour dialog's choice changes, with the dialog window and its
  // current blue, green, red and fourth byte.
  using ColourChanged = std::function<void(uintptr_t dialog, uint8_t* bgra)>;

  virtual ~ScriptUi() = default;
  // Modal colour dialog on bgra. True on OK with bgra set to the choice (the fourth byte
  // kept); false on cancel with bgra unchanged.
  virtual bool ChooseColour(uintptr_t owner, uint8_t bgra[4], const ColourChanged& changed) = 0;
  // Modal geometry chooser ("CHOOSEGEODLG") over the choices: the chosen handle, or
  // current when cancelled.
  virtual uintptr_t ChooseGeometry(uintptr_t owner, std::span<const GeometryChoice> choices,
                                   uintptr_t current, std::string_view title) = 0;
  // A host-drawn check box as a child of the parent; its window, or 0.
  virtual uintptr_t CreateCheckbox(const CheckboxRequest& request) = 0;
  // The curve editor control with this identifier in the dialog, or 0.
  virtual uintptr_t FindCurveEditor(uintptr_t dialog, int32_t control_id) = 0;
  // Sends an item's argument-axis and value-axis kinds; true when sent.
  virtual bool SetCurveEditorItemType(uintptr_t editor, uint64_t item, int32_t argument_kind,
                                      int32_t value_kind) = 0;
};

// Without windows: the colour dialog cancels, the chooser answers the current geometry, no
// check box or curve editor exists.
class HeadlessScriptUi final : public ScriptUi {
 public:
  bool ChooseColour(uintptr_t, uint8_t[4], const ColourChanged&) override { return false; }
  uintptr_t ChooseGeometry(uintptr_t, std::span<const GeometryChoice>, uintptr_t current,
                           std::string_view) override {
    return current;
  }
  uintptr_t CreateCheckbox(const CheckboxRequest&) override { return 0; }
  uintptr_t FindCurveEditor(uintptr_t, int32_t) override { return 0; }
  bool SetCurveEditorItemType(uintptr_t, uint64_t, int32_t, int32_t) override { return false; }
};

// The script controls host; a headless one until another is installed.
ScriptUi& ScriptControls();
std::unique_ptr<ScriptUi> SetScriptControls(std::unique_ptr<ScriptUi> host);

// Shorthands over Ui() that first replace every "&e<number>" with that error's text.
void ShowError(std::string_view text);
void ShowInfo(std::string_view text);
void Status(std::string_view text);
// A line for the shell user: stderr as it is (no prefix), the log and the debug log. For
// what a headless run must not keep silent (waiting, refusals, features not built yet).
void Notice(std::string_view text);

}  // namespace lumetra::platform
