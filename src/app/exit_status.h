// The process exit statuses: 0 for a normal end, one small number for each kind of failure.
#pragma once

namespace lumetra::app {

enum ExitStatus : int {
  kExitOk = 0,                   // normal end (quit code 1), usage, --help, --version
  kExitCommandLine = 2,          // unknown option or switch, or a tool's arguments are wrong
  kExitNoTempDirectory = 3,      // no usable temporary directory
  kExitStartupFailed = 4,        // main window, initial project or settings could not be set up
  kExitOfflineLoadFailed = 5,    // the project named on the command line did not load ("/R":
                                 // nothing was rendered; a headless run; the tools)
  kExitOfflineRenderFailed = 6,  // "/R": the project loaded but the render failed
  kExitUndoStoreFailed = 7,      // the start-up lock could not be taken (or another instance
                                 // held it past the bounded wait)
  kExitSaveFailed = 8,           // "--save-as", "--recover": the project could not be saved, or
                                 // a tool's output could not be written (stdout full or closed)
  kExitNothingToRecover = 9,     // "--recover": no lost project was found
  kExitInterrupted = 10,         // "/R", "--render": stopped by SIGINT or SIGTERM; the frames
                                 // written are complete, a rerun that skips them resumes
  // "validate" and "farm submit": one status per class of problem (the first class found).
  kExitValidateMissingEffect = 20,  // a clip's effect comes from no loaded library
  kExitValidateLibrary = 21,        // a plug-in library could not be read or loaded
  kExitValidateMissingFile = 22,    // a media file, font or other named file cannot be read
  kExitValidateOutputFolder = 23,   // the output folder is missing or not writable
  kExitValidateFrameRange = 24,     // the frame range holds no frame
  // "farm": the cluster's tools and the farm's own state.
  kExitFarmNoScheduler = 25,   // sbatch, squeue or scontrol is not installed
  kExitFarmSubmitFailed = 26,  // the scheduler refused a job, or the farm folder is unusable
  kExitFarmIncomplete = 27,    // "farm join": frames are missing or have no valid hash
  kExitFarmAssemblyFailed = 28,  // "farm join": the frames are there, the movie failed
};

}  // namespace lumetra::app
