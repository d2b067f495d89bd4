// The process exit statuses: 0 for a normal end, one small number for each kind of failure.
#pragma once

namespace lumetra::app {

enum ExitStatus : int {
  kExitOk = 0,                   // normal end (quit code 1), usage, --help, --version
  kExitCommandLine = 2,          // unknown long option
  kExitNoTempDirectory = 3,      // no usable temporary directory
  kExitStartupFailed = 4,        // main window, initial project or settings could not be set up
  kExitOfflineLoadFailed = 5,    // "/R": the project did not load; nothing was rendered
  kExitOfflineRenderFailed = 6,  // "/R": the project loaded but the render failed
  kExitUndoStoreFailed = 7,      // the start-up lock for the undo store could not be taken
  kExitSaveFailed = 8,           // "--save-as": the project loaded but could not be saved, or
                                 // a tool's output could not be written (stdout full or closed)
};

}  // namespace lumetra::app
