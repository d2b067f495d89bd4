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

struct SplitOutcome {
  int status;
  std::string out;  // stdout
  std::string err;  // stderr
};

// Like RunBinary, with stdout and stderr apart and `env` ("NAME='value' ...") set first.
inline SplitOutcome RunBinarySplit(const std::string& args, const std::string& dir,
                                   const std::string& env = {}) {
  std::string out = dir + "/stdout.txt", err = dir + "/stderr.txt";
  std::string command = std::string("cd '") + dir + "' && XDG_CONFIG_HOME='" +
                        BinaryConfigHome(dir) + "' " + env + " '" + LUMETRA_BINARY + "' " + args +
                        " >'" + out + "' 2>'" + err + "'";
  int status = platform::RunProgram("sh", {"-c", command});
  auto read = [](const std::string& path) {
    std::ifstream in(path);
    std::stringstream text;
    text << in.rdbuf();
    return text.str();
  };
  return {status, read(out), read(err)};
}

}  // namespace lumetra::app::testing
