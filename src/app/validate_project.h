// "validate PROJECT.ZTP [--json] [/L:<path>...]": everything a farm run needs, checked before
// anything is submitted. The project loads; every effect it uses comes from a loaded library;
// every file its clips name and every library exists and can be read; the output folder can
// be written; the frame range is not empty.
#pragma once

#include <optional>
#include <string>
#include <vector>

#include "app/frame_range.h"

namespace lumetra::app {

inline constexpr const char* kValidateUsage =
    "validate PROJECT.ZTP [--json] [--frames A-B[:STEP]] [--output OUT_PATTERN] [/L:<path>...]";

// The classes of problem, in the order that picks the exit status when several are found.
enum class ValidateProblem {
  kProjectLoad,    // the project file could not be read or parsed
  kMissingEffect,  // a clip's effect is no loaded library's (a virtual process)
  kLibrary,        // a plug-in library could not be loaded
  kMissingFile,    // a media file, font or other file a clip names is missing or unreadable
  kOutputFolder,   // the output folder is missing or cannot be written
  kFrameRange,     // the frame range holds no frame
};

struct ValidateIssue {
  ValidateProblem problem;
  std::string subject;  // the file, folder, library or effect signature concerned
  std::string message;  // what the user reads
};

struct ValidateRequest {
  std::string project;
  // When given, the output folder is this pattern's folder (a farm or "--render" run);
  // otherwise the folders of the project's stored render settings.
  std::string output_pattern;
  std::optional<FrameRange> frames;    // else the project's range
  std::vector<std::string> libraries;  // "/L:" paths; empty: the plug-in folders
};

struct ValidateReport {
  std::string project;
  bool loaded = false;
  FrameRange frames;
  std::vector<std::string> effects;  // signatures of the effects the clips use
  std::vector<std::string> files;    // every file the clips name, checked
  std::vector<std::string> output_folders;
  std::vector<ValidateIssue> issues;
  bool ok() const { return issues.empty(); }
};

// Loads the libraries (once per process) and the project, and checks it. The project stays
// current afterwards (the farm reads it).
ValidateReport ValidateProject(const ValidateRequest& request);

// 0 when there is no issue, else the status of the first class (ValidateProblem order) found.
int ValidateExitStatus(const ValidateReport& report);
const char* ValidateProblemName(ValidateProblem problem);

std::string ValidateReportJson(const ValidateReport& report);
std::string ValidateReportText(const ValidateReport& report);

// The exit status when the arguments ask for "validate"; nothing otherwise.
std::optional<int> RunValidate(const std::vector<std::string>& args);

}  // namespace lumetra::app
