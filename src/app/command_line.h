// Reading the command line: splitting, telling switches from file names, and both passes.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace lumetra::app {

// Splits a command line text on blanks and tabs; a double quote opens an argument that runs
// to the next double quote (the quotes are dropped).
std::vector<std::string> SplitCommandLine(std::string_view text);

enum class ArgumentKind { kSwitch, kLongOption, kFile };
// A switch is "/" or "-" followed by one letter (or "?") and at most one more character, or
// "/L:" / "-L:" followed by a path; "--..." is a long option; everything else is a file
// name, so "/home/a.ZTP" is a file.
ArgumentKind ClassifyArgument(std::string_view argument);

// The extension: the text after the last "." that follows the last "/", "\\" or ":".
std::string_view FileExtension(std::string_view path);
// True for ".ztb" in any case: opened as a clipboard, never as a project.
bool IsClipboardFile(std::string_view path);

struct FirstPass {
  bool usage = false;                        // "/?", "/h", "/-", "//" or "--help"
  bool version = false;                      // "--version"
  bool offline = false;                      // "/R" with a project name
  bool recover = true;                       // cleared by "/R"
  std::string project;                       // the last file argument that is not a clipboard file
  std::vector<std::string> unknown_options;  // long options we do not know
  // Switches we do not know ("/X", "-v") and arguments that start with a single "-" but are
  // no switch ("-help"): a file name of that form goes after "--".
  std::vector<std::string> unknown_switches;
};
FirstPass ReadFirstPass(const std::vector<std::string>& args);

struct SecondPass {
  int32_t fields_override = -1;
  int32_t field_order_override = -1;
  int32_t overwrite_override = -1;
  bool clear_recover = false;
  bool library_switch = false;
  std::vector<std::string> libraries;   // "/L:<path>", in order
  std::vector<std::string> clipboards;  // .ztb files, in order
  std::string project;
};
SecondPass ReadSecondPass(const std::vector<std::string>& args);

// True for a switch letter the program knows: R, F, I, O, L, Q and the help switches.
bool IsKnownSwitch(std::string_view argument);

// The usage text with the program name: every form of the command line and every option.
std::string UsageText(std::string_view program_name);

}  // namespace lumetra::app
