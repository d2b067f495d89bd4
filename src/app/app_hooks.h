// The steps start-up, the file commands and exit hand to other subsystems. Each default does
// what a build without that subsystem can honestly do; integration overrides them.
#pragma once

#include <memory>
#include <string>

namespace lumetra::app {

enum class RecoveryResult { kNoneFound, kDeclined, kRecovered };

// Puts every module's services into the host table. Before any library loads: each
// library copies the table when it is loaded.
void InstallHostServices();
// The start of a tool run from a shell (--render, validate): headless and offline, the
// user's settings read and never written, the host services and object kinds ready. Once.
void StartHeadlessTool();

class AppHooks {
 public:
  virtual ~AppHooks() = default;

  // Start-up, in the order they run.
  virtual void FillHostServices();
  // The typed-object names and operations (project module).
  virtual void InternObjectNames();
  // The per-thread picture error slot; must run before any other thread starts.
  virtual void InitThreadErrorSlot();
  virtual void BuildCurveTables() {}
  virtual void CreateDrawingResources() {}
  virtual bool RegisterWindowClasses() { return true; }
  virtual void RegisterGeometryKinds() {}
  virtual void BuildAccelerators() {}
  virtual void CreatePensAndFonts() {}
  virtual bool StartWorkThread() { return true; }
  virtual bool CreateMainWindow(bool /*show*/) { return true; }
  virtual void CreateStatusWindowAndEvents() {}
  virtual bool StartServiceThread() { return true; }
  virtual bool DeclareSuperClip() { return true; }
  virtual void PrepareFontList() {}
  // "/L:<path>": empty on success, else the message for the status line.
  virtual std::string LoadLibrary(const std::string& path);
  // Without "/L": every library under the program's folder, the user's plug-in folder and
  // $LUMETRA_PLUGIN_PATH.
  virtual void LoadLibrariesUnder(const std::string& program_directory);
  virtual void LoadPresets() {}
  virtual void RebuildRecentMenu() {}
  // The undo store's own steps (undo_wiring.cpp).
  virtual RecoveryResult OfferRecovery();
  // The plain start of the undo store; 0, or the error number when its lock failed.
  virtual int StartUndoStore();
  virtual void ShowStartupDialog() {}
  // Makes the render engine and starts the setting's number of threads.
  virtual void StartRenderThreads(int count);

  // Commands.
  // Opens a clipboard file in its window; the default says on stderr and in the log that it
  // cannot yet.
  virtual bool OpenClipboardWindow(const std::string& path);
  // Sends Exit to every clipboard window; false when one refuses.
  virtual bool ExitClipboardWindows() { return true; }
  virtual void ReopenProjectWindows() {}
  virtual void CloseTrackWindows() {}
  virtual void RebuildStoryboard() {}
  virtual void Redraw() {}
  // Render (with dialog) or Render Last (mode 1 offline, 2 otherwise); 1 on success.
  virtual int Render(bool with_dialog, int mode);
  // Commands of later subsystems (undo, dialogs, clipboards, preview): 1 when handled.
  virtual int OtherCommand(int index);

  // Exit sequence.
  virtual void DeleteUndoSnapshots();
  virtual void ReleaseFontList() {}
};

AppHooks& Hooks();
std::unique_ptr<AppHooks> SetHooks(std::unique_ptr<AppHooks> hooks);

}  // namespace lumetra::app
