// Command line: splitting, switch or file, both passes and the usage text.
#include "app/command_line.h"

#include <gtest/gtest.h>

using namespace lumetra::app;
using Args = std::vector<std::string>;

TEST(CommandLine, SplitsOnBlanksAndTabsWithQuotedArguments) {
  EXPECT_EQ(SplitCommandLine("  a.ZTP\t/R  "), (Args{"a.ZTP", "/R"}));
  EXPECT_EQ(SplitCommandLine("\"/home/my projects/a.ZTP\" /F-"),
            (Args{"/home/my projects/a.ZTP", "/F-"}));
  EXPECT_EQ(SplitCommandLine("\"unterminated quote"), (Args{"unterminated quote"}));
  EXPECT_EQ(SplitCommandLine("\"\" x"), (Args{"", "x"}));
  EXPECT_TRUE(SplitCommandLine(" \t ").empty());
}

TEST(CommandLine, TellsSwitchesFromFilesAndLongOptions) {
  struct Case {
    const char* arg;
    ArgumentKind kind;
  } cases[] = {
      {"/R", ArgumentKind::kSwitch},
      {"-r", ArgumentKind::kSwitch},
      {"/F-", ArgumentKind::kSwitch},
      {"/I+", ArgumentKind::kSwitch},
      {"/?", ArgumentKind::kSwitch},
      {"-?", ArgumentKind::kSwitch},
      {"//", ArgumentKind::kSwitch},
      {"/-", ArgumentKind::kSwitch},
      {"/L:/opt/x.ztl", ArgumentKind::kSwitch},
      {"-l:x.ztl", ArgumentKind::kSwitch},
      {"/home/a.ZTP", ArgumentKind::kFile},
      {"/h.ZTP", ArgumentKind::kFile},
      {"/Rx2", ArgumentKind::kFile},
      {"/1", ArgumentKind::kFile},
      {"/", ArgumentKind::kFile},
      {"a.ZTP", ArgumentKind::kFile},
      {"-", ArgumentKind::kFile},
      {"--x", ArgumentKind::kLongOption},
      {"--help", ArgumentKind::kLongOption},
      {"--", ArgumentKind::kLongOption},
  };
  for (const Case& c : cases) EXPECT_EQ(ClassifyArgument(c.arg), c.kind) << c.arg;
}

TEST(CommandLine, ClipboardFilesByExtensionInAnyCase) {
  EXPECT_TRUE(IsClipboardFile("bin.ztb"));
  EXPECT_TRUE(IsClipboardFile("/home/u/Bin.ZTB"));
  EXPECT_TRUE(IsClipboardFile("x.ZtB"));
  EXPECT_FALSE(IsClipboardFile("x.ztbb"));
  EXPECT_FALSE(IsClipboardFile("/dir.ztb/project"));
  EXPECT_FALSE(IsClipboardFile("ztb"));
  EXPECT_EQ(FileExtension("/a.b/c"), "");
  EXPECT_EQ(FileExtension("c:\\a\\b.ZTP"), "ZTP");
}

TEST(CommandLine, FirstPass) {
  struct Case {
    Args args;
    bool usage, offline, recover;
    std::string project;
  } cases[] = {
      {{}, false, false, true, ""},
      {{"/R"}, false, false, false, ""},  // no project: interactive, but no recovery
      {{"/R", "a.ZTP"}, false, true, false, "a.ZTP"},
      {{"a.ZTP", "-r"}, false, true, false, "a.ZTP"},
      {{"a.ZTP", "b.ZTP"}, false, false, true, "b.ZTP"},  // the second replaces the first
      {{"a.ZTP", "c.ztb", "d.ZTB"}, false, false, true, "a.ZTP"},
      {{"/R", "c.ZTB"}, false, false, false, ""},  // a clipboard is never a project
      {{"/home/a.ZTP"}, false, false, true, "/home/a.ZTP"},
      {{"/?"}, true, false, true, ""},
      {{"/h"}, true, false, true, ""},
      {{"-H"}, true, false, true, ""},
      {{"//"}, true, false, true, ""},
      {{"--help"}, true, false, true, ""},
      {{"--", "/R", "/?"}, false, false, true, "/?"},  // after "--" only files
      {{"--x", "a.ZTP"}, false, false, true, "a.ZTP"},
  };
  for (const Case& c : cases) {
    FirstPass pass = ReadFirstPass(c.args);
    SCOPED_TRACE(::testing::PrintToString(c.args));
    EXPECT_EQ(pass.usage, c.usage);
    EXPECT_EQ(pass.offline, c.offline);
    EXPECT_EQ(pass.recover, c.recover);
    EXPECT_EQ(pass.project, c.project);
  }
  FirstPass unknown = ReadFirstPass({"--x", "--version"});
  EXPECT_EQ(unknown.unknown_options, (Args{"--x"}));
  EXPECT_TRUE(unknown.version);
}

TEST(CommandLine, UnknownSwitchesAreNeitherTakenNorFiles) {
  struct Case {
    Args args;
    Args unknown;
    std::string project;
  } cases[] = {
      {{"/X"}, {"/X"}, ""},
      {{"-v"}, {"-v"}, ""},
      {{"-V", "a.ZTP"}, {"-V"}, "a.ZTP"},
      {{"-help"}, {"-help"}, ""},  // never a project, so never in the recent list
      {{"-Rx2"}, {"-Rx2"}, ""},
      {{"/Z", "/R", "/q", "/L:/x.ztl", "-f-", "/I+", "/O"}, {"/Z"}, ""},
      {{"/home/a.ZTP", "/1"}, {}, "/1"},  // "/" and more than one letter is a path
      {{"-"}, {}, "-"},
      {{"--", "-help"}, {}, "-help"},  // a file with that name goes after "--"
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(::testing::PrintToString(c.args));
    FirstPass pass = ReadFirstPass(c.args);
    EXPECT_EQ(pass.unknown_switches, c.unknown);
    EXPECT_EQ(pass.project, c.project);
    EXPECT_FALSE(pass.usage);
  }
}

TEST(CommandLine, SecondPassOverrides) {
  struct Case {
    Args args;
    int fields, field_order, overwrite;
  } cases[] = {
      {{}, -1, -1, -1},           {{"/F"}, 1, -1, -1},
      {{"/F-"}, 0, -1, -1},       {{"/f0"}, 0, -1, -1},
      {{"/Fx"}, 1, -1, -1},  // anything but "-" or "0" is on
      {{"/I"}, -1, 0, -1},   // upper field first
      {{"/I+"}, -1, 1, -1},       {{"/i1"}, -1, 1, -1},
      {{"/I-"}, -1, 0, -1},       {{"/O"}, -1, -1, 1},
      {{"-o-"}, -1, -1, 0},       {{"/O0", "/O+"}, -1, -1, 1},  // the last one wins
      {{"/Z", "/R"}, -1, -1, -1},                               // others are ignored here
  };
  for (const Case& c : cases) {
    SecondPass pass = ReadSecondPass(c.args);
    SCOPED_TRACE(::testing::PrintToString(c.args));
    EXPECT_EQ(pass.fields_override, c.fields);
    EXPECT_EQ(pass.field_order_override, c.field_order);
    EXPECT_EQ(pass.overwrite_override, c.overwrite);
  }
}

TEST(CommandLine, SecondPassLibrariesRecoveryAndFiles) {
  SecondPass pass = ReadSecondPass({"/L:\"/opt/my libs/Effects.ztl\"", "-l:/x.ztl", "/Q", "one.ZTP",
                                    "bin.ZTB", "two.ZTP", "b2.ztb"});
  EXPECT_EQ(pass.libraries, (Args{"/opt/my libs/Effects.ztl", "/x.ztl"}));
  EXPECT_TRUE(pass.library_switch);
  EXPECT_TRUE(pass.clear_recover);
  EXPECT_EQ(pass.project, "two.ZTP");
  EXPECT_EQ(pass.clipboards, (Args{"bin.ZTB", "b2.ztb"}));

  SecondPass bare = ReadSecondPass({"/L"});  // a library switch without a path
  EXPECT_TRUE(bare.library_switch);
  EXPECT_TRUE(bare.libraries.empty());
  EXPECT_FALSE(ReadSecondPass({"a.ZTP"}).library_switch);
}

TEST(CommandLine, UsageTextNamesTheProgram) {
  std::string usage = UsageText("lumetra");
  EXPECT_EQ(usage.rfind("Usage:   lumetra  [project_file]  [clipboard_file]  "
                        "[/R, /F, /I, /O, /L, /Q]\n",
                        0),
            0u);
  EXPECT_NE(usage.find("\t/R\t\toffline rendering\n"), std::string::npos);
  // Linux paths in the examples.
  EXPECT_NE(usage.find("\t/L:<fname>\tload library (i.e. /L:/opt/lumetra/Effects.ztl)\n"),
            std::string::npos);
  EXPECT_EQ(usage.find(":\\"), std::string::npos);
  // Every option the README lists.
  for (const char* option : {"/R", "/O", "/F", "/I", "/L:", "/Q", "/?", "--info", "--save-as",
                             "--recover", "--discard-recovery", "--help", "--version", "--\t"}) {
    EXPECT_NE(usage.find(option), std::string::npos) << option;
  }
  std::string tail = "\n\nSwitches /O,/F and /I have according project values by default.";
  EXPECT_EQ(usage.substr(usage.size() - tail.size()), tail);
}
