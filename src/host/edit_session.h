// The parameter edit session: a clip's edit copy changed by the library's modeless dialog,
// applied to the clip on request, kept or put back when the dialog closes.
#pragma once

#include <cstdint>

#include "model/model.h"
#include "plugin/lumetra_plugin.h"

namespace lumetra::project {

// The windows a session needs. The headless host has none installed: no session opens.
class EditWindows {
 public:
  virtual ~EditWindows() = default;
  virtual void Focus(LumetraWindow window) = 0;
  // Shows the dialog at rect (left, top, right, bottom), grown to the window's own size.
  virtual void Place(LumetraWindow window, const int32_t rect[4]) = 0;
  virtual void Show(LumetraWindow window) = 0;
  virtual void WindowRect(LumetraWindow window, int32_t rect[4]) = 0;
  virtual void Destroy(LumetraWindow window) = 0;
  // Hands a copy to the main window, which later applies it with ClipApplyCopy.
  virtual void PostApply(Clip* clip, Clip* copy) = 0;
};
// Installs the windows (null: none, headless). The caller keeps them alive.
void EditWindowsSet(EditWindows* windows);

// Opens the session for a clip on the interface thread: 1 when a dialog is open (also when
// it was open already and got the focus), 0 when none opened (headless, no edit function,
// no window, or a copy could not be made: "Memory allocation failed", "Can't copy clip").
int32_t ClipEditOpen(Clip* clip);
// The context of a clip's open session (kind 2, word 6 the edit copy), or null.
HostCallContext* ClipEditContext(const Clip* clip);

// Services 2, 3 and 4; the context is the session's.
int32_t ClipDataChanged(HostCallContext* ctx);
int32_t ClipEditOk(HostCallContext* ctx);
int32_t ClipEditCancel(HostCallContext* ctx);

// What the main window does with a posted copy: the clip takes the copy's data block (under
// the render lock) and the copy is freed.
void ClipApplyCopy(Clip* clip, Clip* copy);

}  // namespace lumetra::project
