// The main window's side of the loop: its queue, the menu-id to command-index mapping, the
// command handler and the offline chain of commands.
#pragma once

#include <cstdint>

#include "platform/message_queue.h"

namespace lumetra::app {

// Menu identifiers the main window receives.
enum MenuId : int {
  kMenuRecentFirst = 900,  // 900-907 projects, 908-915 clipboards
  kMenuRecentLast = 915,
  kMenuExit = 2002,
  kMenuLoad = 2003,
  kMenuSave = 2004,
  kMenuRenderLast = 2006,
  kMenuSetActiveSegment = 2007,
  kMenuSystemPreferences = 2008,
  kMenuPreview = 2009,
  kMenuGeometryController = 2011,
  kMenuRender = 2012,
  kMenuNewProject = 2015,
  kMenuMerge = 2016,
  kMenuUndo = 2017,
  kMenuRedo = 2018,
  kMenuViewLast = 2020,
  kMenuSaveAs = 40002,
  kMenuResizeSegment = 40096,
  kMenuOpenClipboard = 40113,
  kMenuProjectSettings = 40136,
  kMenuNewClipboard = 40145,
};

// Command indices of the handler.
enum CommandIndex : int {
  kCmdNew = 0,
  kCmdLoad = 1,
  kCmdSave = 2,
  kCmdSaveAs = 3,
  kCmdMerge = 4,
  kCmdUndo = 5,
  kCmdRedo = 6,
  kCmdExit = 8,
  kCmdRender = 9,
  kCmdRenderLast = 10,
  kCmdGeometryController = 11,
  kCmdProjectSettings = 13,
  kCmdSystemPreferences = 14,
  kCmdViewLast = 15,
  kCmdSetActiveSegment = 16,
  kCmdNewClipboard = 17,
  kCmdOpenClipboard = 18,
  kCmdPreview = 20,
};

// The message that carries a menu id in wparam.
inline constexpr uint32_t kCommandMessage = 0x0111;

// The index for a menu id; 900-915 and 40096 pass through unchanged; -1 for anything else.
int CommandIndexForMenuId(int menu_id);
// Runs a command by index; 1 when it was handled (and succeeded), 0 otherwise.
int HandleCommand(int index);
// What the main window does with a menu id, including the offline chain: after a recent
// file command it posts Render Last (or quits with 0 when the command failed), and after
// Render Last it posts Exit.
intptr_t OnMenuCommand(int menu_id);

// The main thread's queue, its handler installed.
platform::MessageQueue& MainQueue();
// A fresh queue owned by the calling thread (start-up and tests).
void ResetMainQueue();
void PostCommand(int menu_id);

}  // namespace lumetra::app
