// The File commands: New, Load, recent files, Merge, Save, Save As and Exit.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>

namespace lumetra::app {

enum class QuestionKind { kNew, kLoad, kQuit };

// The changed categories, each "\t<text>\n", in the order bit 2, 1, 8, 4.
std::string ChangedCategories(uint32_t flags);
std::string UnsavedChangesQuestion(QuestionKind kind, uint32_t flags);
// Asks about unsaved changes when there are any; Yes saves first. True to go on; false when
// the user cancels or the save did not succeed (the changes are kept).
bool ConfirmUnsavedChanges(QuestionKind kind);

// The path with its extension removed (the last "." after the last "\\", "/" or ":") and
// ".BAK" appended.
std::string BackupName(std::string_view path);

enum class SaveOutcome { kSaved, kFailed, kCancelled };

// Each returns 1 when the command did its work, 0 otherwise.
int CommandNew();
int CommandLoad();
int CommandMerge();
int CommandRecentProject(int index);    // 0 to 7
int CommandRecentClipboard(int index);  // 0 to 7
int CommandExit();
SaveOutcome CommandSave();
SaveOutcome CommandSaveAs();
// The Open step: checks, asks about newer versions, then loads or merges. 1 on success.
int OpenProject(const std::string& path, bool merge);

}  // namespace lumetra::app
