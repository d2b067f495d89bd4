// Runs the built lumetra program in a directory with its settings kept under that directory.
#pragma once

#include <fstream>
#include <sstream>
#include <string>

#include "platform/launcher.h"

namespace lumetra::app::testing {

struct Outcome {
  int status;
  std::string output;
};

// The program's per-user settings go to <dir>/config (XDG_CONFIG_HOME), never the user's own.
inline std::string BinaryConfigHome(const std::string& dir) {
  return dir + "/config";
}

// Runs the program with a shell redirect so stdout and stderr are both captured.
inline Outcome RunBinary(const std::string& args, const std::string& dir) {
  std::string out = dir + "/out.txt";
  std::string command = std::string("cd '") + dir + "' && XDG_CONFIG_HOME='" +
                        BinaryConfigHome(dir) + "' '" + LUMETRA_BINARY + "' " + args + " >'" + out +
                        "' 2>&1";
  int status = platform::RunProgram("sh", {"-c", command});
  std::ifstream in(out);
  std::stringstream text;
  text << in.rdbuf();
  return {status, text.str()};
}

}  // namespace lumetra::app::testing
