// "validate" run as a program on the example and on projects built here: a missing media
// file, an effect no library provides, an unwritable output folder, an empty frame range.
// Each problem is named in the report and has its own exit status.
#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>

#include "app/binary_runner.h"
#include "app/exit_status.h"
#include "clipdata/clip_data_memory.h"
#include "clipdata/template.h"
#include "host/plugin_registry.h"
#include "model/clip.h"
#include "model/project.h"
#include "model/track.h"
#include "projectfile/project_file_io.h"
#include "temp_dir.h"

namespace {

namespace fs = std::filesystem;
using lumetra::app::testing::RunBinarySplit;
using lumetra::app::testing::SplitOutcome;

const std::string kExample = std::string(LUMETRA_SOURCE_DIR) + "/examples/demo.ZTP";
constexpr const char* kVideoSource = "Video Source v0.9 ZOLT Standard";

std::string ReadAll(const fs::path& path) {
  std::ifstream in(path, std::ios::binary);
  return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

// A project with one source clip naming media/<name>.png beside the project file, and
// render settings whose video component writes to `output` (none when empty).
void WriteSourceProject(const fs::path& path, const std::string& name,
                        const std::string& output = {}) {
  using namespace lumetra::project;
  struct Source {
    char* Path;
    char* Name;
    char* Ext;
  } proto{};
  TemplatePtr tmpl(TemplateNew(reinterpret_cast<uintptr_t>(&proto)));
  TemplateAddField(*tmpl, "Path", "string", reinterpret_cast<uintptr_t>(&proto.Path), 1);
  TemplateAddField(*tmpl, "Name", "string", reinterpret_cast<uintptr_t>(&proto.Name), 1);
  TemplateAddField(*tmpl, "Ext", "string", reinterpret_cast<uintptr_t>(&proto.Ext), 1);
  ProcessRecord source;
  source.name = "Sources/Video Source";
  source.signature = kVideoSource;
  source.version = 1;
  source.display_mode = 1;
  source.data_template = tmpl.get();
  ProcessRegistryPush(&source);
  Project* p = ProjectCreate();
  ProjectSetDefaults(p);
  p->active_end = 1;
  Track* t = TrackCreate(p);
  TrackAppend(p, t);
  Clip* c = ClipCreate(nullptr, &source, 0, 1, t);
  ASSERT_NE(c, nullptr);
  auto* block = static_cast<Source*>(c->data);
  for (auto [field, text] :
       {std::pair{&block->Path, "media"}, {&block->Name, name.c_str()}, {&block->Ext, "png"}}) {
    ClipDataRelease(*field);
    *field = ClipDataStringDup(text);
  }
  if (!output.empty()) {
    FilePreset preset;
    preset.flags = 0x1000;
    preset.components[0].texts[0] = output;
    FileSession().render_preset = preset;
  }
  EXPECT_EQ(ProjectSaveFile(p, path.string(), {}), kSaveOk);
  FileSession().render_preset.reset();
  ProjectFree(p);
  ProcessRegistryRemove(&source);
}

class ValidateTest : public ::testing::Test {
 protected:
  SplitOutcome Validate(const std::string& args) {
    return RunBinarySplit("validate " + args + " --json", dir_.path().string());
  }
  lumetra::test_dir::TempDir dir_{"lumetra-validate"};
};

TEST_F(ValidateTest, TheExampleIsReadyToRender) {
  SplitOutcome o = Validate("'" + kExample + "'");
  EXPECT_EQ(o.status, lumetra::app::kExitOk) << o.out << o.err;
  EXPECT_NE(o.out.find("\"ok\":true"), std::string::npos) << o.out;
  // The example runs 4 s at 25 fps.
  EXPECT_NE(o.out.find("\"first\":0,\"last\":99,"), std::string::npos) << o.out;
  EXPECT_NE(o.out.find("\"Blur 1.0 ZOLT Standard\""), std::string::npos) << o.out;
  EXPECT_NE(o.out.find("\"problems\":[]"), std::string::npos) << o.out;
}

TEST_F(ValidateTest, AnEffectNoLibraryProvidesIsNamed) {
  // Same length as "Standard": the chunk lengths of the copy stay right.
  std::string bytes = ReadAll(kExample);
  const std::string from = "Blur 1.0 ZOLT Standard", to = "Blur 1.0 ZOLT Absentee";
  std::size_t replaced = 0;
  for (std::size_t at = bytes.find(from); at != std::string::npos; at = bytes.find(from, at)) {
    bytes.replace(at, from.size(), to);
    ++replaced;
  }
  ASSERT_GT(replaced, 0u);
  const fs::path project = dir_.path() / "absent.ZTP";
  std::ofstream(project, std::ios::binary) << bytes;
  SplitOutcome o = Validate("'" + project.string() + "'");
  EXPECT_EQ(o.status, lumetra::app::kExitValidateMissingEffect) << o.out << o.err;
  EXPECT_NE(o.out.find("\"class\":\"missing_effect\""), std::string::npos) << o.out;
  EXPECT_NE(o.out.find("\"subject\":\"" + to + "\""), std::string::npos) << o.out;
  // The effect that the library does provide is no problem.
  EXPECT_EQ(o.out.find("Fill Shape 1.0 ZOLT Standard) is not"), std::string::npos) << o.out;
}

TEST_F(ValidateTest, EveryNamedLibraryTheLoaderRefusesIsAProblem) {
  const fs::path text = dir_.path() / "text.ztl", cut = dir_.path() / "cut.ztl";
  std::ofstream(text) << "not a library";
  const fs::path effects = fs::path(LUMETRA_BINARY).parent_path() / "Effects.ztl";
  std::ofstream(cut, std::ios::binary) << ReadAll(effects).substr(0, 4096);
  SplitOutcome o = Validate("'" + kExample + "' '/L:" + effects.string() + "' '/L:" +
                            text.string() + "' '/L:" + cut.string() + "'");
  EXPECT_EQ(o.status, lumetra::app::kExitValidateLibrary) << o.out << o.err;
  for (const fs::path& refused : {text, cut})
    EXPECT_NE(o.out.find("{\"class\":\"library\",\"exit_status\":21,\"subject\":\"" +
                         refused.string() + "\""),
              std::string::npos)
        << o.out;
  EXPECT_EQ(o.out.find("\"subject\":\"" + effects.string() + "\""), std::string::npos) << o.out;
}

TEST_F(ValidateTest, MediaFilesAreLookedUpBesideTheProject) {
  fs::create_directories(dir_.path() / "media");
  std::ofstream(dir_.path() / "media" / "here.png") << "x";
  struct Case {
    std::string name;
    int status;
  };
  for (const Case& c : {Case{"here", lumetra::app::kExitOk},
                        Case{"gone", lumetra::app::kExitValidateMissingFile}}) {
    SCOPED_TRACE(c.name);
    const fs::path project = dir_.path() / (c.name + ".ZTP");
    WriteSourceProject(project, c.name);
    SplitOutcome o = Validate("'" + project.string() + "'");
    EXPECT_EQ(o.status, c.status) << o.out << o.err;
    const std::string media = (dir_.path() / "media" / (c.name + ".png")).string();
    EXPECT_NE(o.out.find("\"files\":[\"" + media + "\"]"), std::string::npos) << o.out;
    EXPECT_NE(o.out.find("\"" + std::string(kVideoSource) + "\""), std::string::npos) << o.out;
    EXPECT_EQ(o.out.find("missing_effect"), std::string::npos) << o.out;
    const bool reported =
        o.out.find("\"class\":\"missing_file\",\"exit_status\":22,\"subject\":\"" + media + "\"") !=
        std::string::npos;
    EXPECT_EQ(reported, c.status != 0) << o.out;
  }
}

TEST_F(ValidateTest, StoredRenderSettingsNameTheOutputFolder) {
  fs::create_directories(dir_.path() / "media");
  fs::create_directories(dir_.path() / "renders");
  std::ofstream(dir_.path() / "media" / "here.png") << "x";
  struct Case {
    std::string folder;
    int status;
  };
  for (const Case& c :
       {Case{(dir_.path() / "renders").string(), lumetra::app::kExitOk},
        Case{(dir_.path() / "gone").string(), lumetra::app::kExitValidateOutputFolder}}) {
    SCOPED_TRACE(c.folder);
    const fs::path project = dir_.path() / "stored.ZTP";
    WriteSourceProject(project, "here", c.folder);
    SplitOutcome o = Validate("'" + project.string() + "'");
    EXPECT_EQ(o.status, c.status) << o.out << o.err;
    EXPECT_NE(o.out.find("\"output_folders\":[\"" + c.folder + "\"]"), std::string::npos) << o.out;
  }
}

TEST_F(ValidateTest, OutputFolderAndFrameRangeEachHaveTheirStatus) {
  fs::create_directories(dir_.path() / "out");
  struct Case {
    std::string args;
    int status;
    std::string problem;
  };
  const Case cases[] = {
      {"--output '" + (dir_.path() / "out" / "f####.png").string() + "'", 0, ""},
      {"--output '" + (dir_.path() / "nowhere" / "f####.png").string() + "'",
       lumetra::app::kExitValidateOutputFolder, "output_folder"},
      {"--frames 5-4", lumetra::app::kExitValidateFrameRange, "frame_range"},
      // Several classes: the status is the first class's, both are reported.
      {"--frames 9-0 --output /nonexistent-folder/f##.png", lumetra::app::kExitValidateOutputFolder,
       "frame_range"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.args);
    SplitOutcome o = Validate("'" + kExample + "' " + c.args);
    EXPECT_EQ(o.status, c.status) << o.out << o.err;
    if (!c.problem.empty()) {
      EXPECT_NE(o.out.find("\"class\":\"" + c.problem + "\""), std::string::npos) << o.out;
    }
  }
}

TEST_F(ValidateTest, TextReportAndLoadFailure) {
  const fs::path bad = dir_.path() / "bad.ZTP";
  std::ofstream(bad) << "not a project";
  SplitOutcome o = RunBinarySplit("validate '" + bad.string() + "'", dir_.path().string());
  EXPECT_EQ(o.status, lumetra::app::kExitOfflineLoadFailed) << o.out << o.err;
  EXPECT_NE(o.out.find("Problem [project_load]"), std::string::npos) << o.out;
  o = RunBinarySplit("validate", dir_.path().string());
  EXPECT_EQ(o.status, lumetra::app::kExitCommandLine);
  EXPECT_NE(o.err.find("Usage: validate PROJECT.ZTP"), std::string::npos) << o.err;
}

}  // namespace
