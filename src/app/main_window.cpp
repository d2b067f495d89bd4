// Command dispatch of the main window and the offline chain (900 -> Render Last -> Exit).
#include "app/main_window.h"

#include <memory>

#include "app/app_hooks.h"
#include "app/app_state.h"
#include "app/file_commands.h"

namespace lumetra::app {
namespace {

std::unique_ptr<platform::MessageQueue> g_queue;

intptr_t HandleMessage(const platform::Message& message) {
  if (message.id == kCommandMessage) return OnMenuCommand(static_cast<int>(message.wparam));
  return 0;
}

}  // namespace

int CommandIndexForMenuId(int menu_id) {
  if (menu_id >= kMenuRecentFirst && menu_id <= kMenuRecentLast) return menu_id;
  switch (menu_id) {
    case kMenuNewProject:
      return kCmdNew;
    case kMenuLoad:
      return kCmdLoad;
    case kMenuSave:
      return kCmdSave;
    case kMenuSaveAs:
      return kCmdSaveAs;
    case kMenuMerge:
      return kCmdMerge;
    case kMenuUndo:
      return kCmdUndo;
    case kMenuRedo:
      return kCmdRedo;
    case kMenuExit:
      return kCmdExit;
    case kMenuRender:
      return kCmdRender;
    case kMenuRenderLast:
      return kCmdRenderLast;
    case kMenuGeometryController:
      return kCmdGeometryController;
    case kMenuProjectSettings:
      return kCmdProjectSettings;
    case kMenuSystemPreferences:
      return kCmdSystemPreferences;
    case kMenuViewLast:
      return kCmdViewLast;
    case kMenuSetActiveSegment:
      return kCmdSetActiveSegment;
    case kMenuNewClipboard:
      return kCmdNewClipboard;
    case kMenuOpenClipboard:
      return kCmdOpenClipboard;
    case kMenuPreview:
      return kCmdPreview;
    case kMenuResizeSegment:
      return kMenuResizeSegment;
    default:
      return -1;
  }
}

int HandleCommand(int index) {
  if (index >= kMenuRecentFirst && index < kMenuRecentFirst + 8)
    return CommandRecentProject(index - kMenuRecentFirst);
  if (index >= kMenuRecentFirst + 8 && index <= kMenuRecentLast)
    return CommandRecentClipboard(index - kMenuRecentFirst - 8);
  switch (index) {
    case kCmdNew:
      return CommandNew();
    case kCmdLoad:
      return CommandLoad();
    case kCmdSave:
      return CommandSave() == SaveOutcome::kSaved ? 1 : 0;
    case kCmdSaveAs:
      return CommandSaveAs() == SaveOutcome::kSaved ? 1 : 0;
    case kCmdMerge:
      return CommandMerge();
    case kCmdExit:
      return CommandExit();
    case kCmdRender:
      return Hooks().Render(true, State().offline ? 1 : 2);
    case kCmdRenderLast:
      return Hooks().Render(false, State().offline ? 1 : 2);
    default:
      return index < 0 ? 0 : Hooks().OtherCommand(index);
  }
}

intptr_t OnMenuCommand(int menu_id) {
  int index = CommandIndexForMenuId(menu_id);
  if (index < 0) return 0;
  int result = HandleCommand(index);
  if (!State().offline) return result;
  if (menu_id >= kMenuRecentFirst && menu_id <= kMenuRecentLast) {
    if (result == 1) {
      PostCommand(kMenuRenderLast);
    } else {
      State().offline_load_failed = true;
      MainQueue().PostQuit(0);
    }
  } else if (menu_id == kMenuRenderLast) {
    if (result != 1) State().offline_render_failed = true;
    PostCommand(kMenuExit);
  }
  return result;
}

platform::MessageQueue& MainQueue() {
  if (!g_queue) ResetMainQueue();
  return *g_queue;
}

void ResetMainQueue() {
  g_queue = std::make_unique<platform::MessageQueue>(HandleMessage);
}

void PostCommand(int menu_id) {
  MainQueue().Post(platform::Message{kCommandMessage, static_cast<uintptr_t>(menu_id), 0});
}

}  // namespace lumetra::app
