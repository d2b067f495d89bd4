// The process-wide undo store and its operations under the names the editor, scripts and
// start-up use.
#pragma once

#include <memory>
#include <optional>
#include <string>

#include "undo/undo_store.h"

namespace lumetra::undo {

// The store of this process; made with the default host and codec on first use.
UndoStore& Store();
// Replaces the store (the application installs one with its host; tests a fresh one).
std::unique_ptr<UndoStore> SetStore(std::unique_ptr<UndoStore> store);

// Records a step whose description is formatted printf-style.
void UndoSave(const char* format, ...) __attribute__((format(printf, 1, 2)));
int UndoGo(long offset);
std::optional<std::string> UndoDescription(long offset);
int UndoLevelsSet(int levels);
int UndoClaimPrefix();
int UndoRecoverScan(bool recover);
void UndoCleanFiles();

}  // namespace lumetra::undo
