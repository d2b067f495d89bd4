// Edit sessions: the backup and edit copies, the session context, apply and close.
#include "host/edit_session.h"

#include <memory>
#include <unordered_map>
#include <utility>

#include "host/object_error.h"
#include "model/change_flags.h"
#include "model/clip.h"
#include "model/project_hooks.h"
#include "model/render_lock.h"

namespace lumetra::project {
namespace {

EditWindows* g_windows = nullptr;

// Interface thread only: one context per open session, keyed by the clip.
std::unordered_map<const Clip*, std::unique_ptr<HostCallContext>>& Sessions() {
  static auto* sessions = new std::unordered_map<const Clip*, std::unique_ptr<HostCallContext>>;
  return *sessions;
}

Clip* EditCopyOf(HostCallContext* ctx) {
  if (ctx == nullptr || ctx->word[HCC_WORD_KIND] != HCC_KIND_EDIT) return nullptr;
  return reinterpret_cast<Clip*>(ctx->word[HCC_WORD_CLIP]);
}

// The clip whose session owns this context, or null for a foreign or closed one. Found by
// the context's address alone: nothing is read through a stale context.
Clip* SessionClip(HostCallContext* ctx) {
  if (EditCopyOf(ctx) == nullptr) return nullptr;
  for (auto& [clip, session] : Sessions())
    if (session.get() == ctx) return const_cast<Clip*>(clip);
  return nullptr;
}

// A clip freed with its dialog open ends its session: the model destroys the window here.
bool DestroyEditWindow(uintptr_t window) {
  for (auto it = Sessions().begin(); it != Sessions().end(); ++it) {
    if (it->first->edit_window == window) {
      ObjectClearError(it->second.get());
      Sessions().erase(it);
      break;
    }
  }
  if (g_windows != nullptr) g_windows->Destroy(window);
  return true;
}

Clip* SessionCopy(const Clip* from, Clip* clip) {
  Clip* copy = ClipCopy(from, ClipCopyMode::kRecordOnly);
  if (copy == nullptr) return nullptr;
  copy->edit_window = 0;
  copy->backup_copy = copy->edit_copy = nullptr;
  copy->edited_clip = clip;
  return copy;
}

void FreeCopy(Clip*& copy) {
  if (copy == nullptr) return;
  copy->edited_clip = nullptr;
  ClipFree(std::exchange(copy, nullptr));
}

void Close(Clip* clip, bool restore) {
  if (g_windows != nullptr && clip->edit_window != 0) {
    g_windows->WindowRect(clip->edit_window, clip->edit_window_position);
    g_windows->Destroy(clip->edit_window);
  }
  clip->edit_window = 0;
  FreeCopy(clip->edit_copy);
  if (restore && clip->backup_copy != nullptr && g_windows != nullptr) {
    Clip* backup = std::exchange(clip->backup_copy, nullptr);
    backup->edited_clip = nullptr;
    g_windows->PostApply(clip, backup);
  }
  FreeCopy(clip->backup_copy);
  auto it = Sessions().find(clip);
  if (it != Sessions().end()) {
    ObjectClearError(it->second.get());
    Sessions().erase(it);
  }
}

}  // namespace

void EditWindowsSet(EditWindows* windows) {
  g_windows = windows;
  Hooks().destroy_edit_window = windows != nullptr ? DestroyEditWindow : nullptr;
}

int32_t ClipEditOpen(Clip* clip) {
  if (clip == nullptr || clip->process == nullptr) return 0;
  if (clip->edit_window != 0) {
    if (g_windows != nullptr) g_windows->Focus(clip->edit_window);
    return 1;
  }
  if (g_windows == nullptr || clip->process->edit == nullptr) return 0;
  if (clip->backup_copy == nullptr) {
    clip->backup_copy = SessionCopy(clip, clip);
    if (clip->backup_copy == nullptr) {
      ObjectReportError(nullptr, "Memory allocation failed");
      return 0;
    }
  }
  clip->edit_copy = SessionCopy(clip, clip);
  if (clip->edit_copy == nullptr) {
    FreeCopy(clip->backup_copy);
    return 0;
  }
  auto ctx = std::make_unique<HostCallContext>();
  ctx->word[HCC_WORD_KIND] = HCC_KIND_EDIT;
  ctx->word[HCC_WORD_CLIP] = reinterpret_cast<uintptr_t>(clip->edit_copy);
  HostCallContext* session = ctx.get();
  Sessions()[clip] = std::move(ctx);
  LumetraWindow window = clip->process->edit(session, clip->edit_copy->data);
  if (window == 0) {
    Close(clip, false);
    return 0;
  }
  clip->edit_window = window;
  const int32_t* r = clip->edit_window_position;
  if (r[2] - r[0] >= 3) {
    g_windows->Place(window, r);
  } else {
    g_windows->Show(window);
  }
  return 1;
}

HostCallContext* ClipEditContext(const Clip* clip) {
  auto it = Sessions().find(clip);
  return it != Sessions().end() ? it->second.get() : nullptr;
}

int32_t ClipDataChanged(HostCallContext* ctx) {
  Clip* clip = SessionClip(ctx);
  if (clip == nullptr || clip->edit_copy == nullptr || g_windows == nullptr) return 0;
  Clip* copy = SessionCopy(clip->edit_copy, nullptr);
  if (copy == nullptr) {
    ObjectReportError(ctx, "Allocation error in ClipDataChanged");
    return 0;
  }
  g_windows->PostApply(clip, copy);
  SetChangeFlags(kChangedClipParameters);
  return 1;
}

int32_t ClipEditOk(HostCallContext* ctx) {
  Clip* clip = SessionClip(ctx);
  if (clip == nullptr) return 0;
  const int32_t applied = ClipDataChanged(ctx);
  Close(clip, false);
  return applied;
}

int32_t ClipEditCancel(HostCallContext* ctx) {
  Clip* clip = SessionClip(ctx);
  if (clip == nullptr) return 0;
  Close(clip, true);
  return 1;
}

void ClipApplyCopy(Clip* clip, Clip* copy) {
  if (clip == nullptr || copy == nullptr) return;
  if (copy->process == clip->process) {
    RenderLockGuard lock(RenderLock());
    std::swap(clip->data, copy->data);
  }
  copy->edited_clip = nullptr;
  ClipFree(copy);
}

}  // namespace lumetra::project
