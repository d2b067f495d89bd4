// Running a program without a shell and keeping its stdout.
#include "platform/program_output.h"

#include <gtest/gtest.h>

namespace {

using lumetra::platform::FindProgram;
using lumetra::platform::RunProgramOutput;

TEST(ProgramOutput, KeepsStdoutAndTheStatus) {
  auto r = RunProgramOutput("sh", {"-c", "printf '12;main\\n'; echo ignored >&2; exit 3"});
  EXPECT_EQ(r.status, 3);
  EXPECT_EQ(r.out, "12;main\n");
  // More than a pipe holds: read to the end before waiting, so the child never blocks.
  r = RunProgramOutput("head", {"-c", "300000", "/dev/zero"});
  EXPECT_EQ(r.status, 0);
  EXPECT_EQ(r.out.size(), 300000u);
  // Arguments reach the program as they are: no shell splits or expands them.
  r = RunProgramOutput("printf", {"%s|", "a b", "$HOME", "*"});
  EXPECT_EQ(r.out, "a b|$HOME|*|");
  // stdin is empty, never the caller's.
  r = RunProgramOutput("cat", {});
  EXPECT_EQ(r.status, 0);
  EXPECT_EQ(r.out, "");
}

TEST(ProgramOutput, AMissingProgramIsNamedSo) {
  auto r = RunProgramOutput("lumetra-no-such-program", {});
  EXPECT_NE(r.status, 0);
  EXPECT_FALSE(r.error.empty());
  EXPECT_TRUE(FindProgram("lumetra-no-such-program").empty());
  EXPECT_TRUE(FindProgram("").empty());
  const std::string sh = FindProgram("sh");
  ASSERT_FALSE(sh.empty());
  EXPECT_EQ(sh.front(), '/');
  EXPECT_EQ(FindProgram(sh), sh);
}

}  // namespace
