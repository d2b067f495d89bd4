// The loader against real libraries: entry points, load results and their messages, the
// version and layout rules across libraries, virtual processes taken over, folder scans.
#include <gtest/gtest.h>

#include <stdlib.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cstring>
#include <filesystem>
#include <fstream>

#include "host/plugin_fixture.h"

using namespace lumetra::project;
using namespace lumetra::project::testing;

namespace {

constexpr const char* kMix = "Mix 1.0 ZOLT Standard";

class LibraryLoaderTest : public PluginTest {
 protected:
  void TearDown() override {
    if (!dir_.empty()) std::filesystem::remove_all(dir_);
    PluginTest::TearDown();
  }
  const std::string& TempDir() {
    if (dir_.empty()) {
      char pattern[] = "/tmp/lumetra-loader-XXXXXX";
      dir_ = mkdtemp(pattern);
    }
    return dir_;
  }
  std::string dir_;
};

TEST_F(LibraryLoaderTest, LoadResultsAndMessages) {
  const std::string missing = TestLibrary("does_not_exist");
  const std::string text_file = TempDir() + "/text.ztl";
  std::ofstream(text_file) << "not a library";
  // A real library cut short: its segments reach past the end of the file.
  const std::string truncated = TempDir() + "/truncated.ztl";
  {
    std::ifstream in(TestLibrary("alt_entry"), std::ios::binary);
    std::string bytes(3000, '\0');
    in.read(bytes.data(), static_cast<std::streamsize>(bytes.size()));
    ASSERT_EQ(in.gcount(), 3000);
    std::ofstream(truncated, std::ios::binary) << bytes;
  }
  // The loader's open would wait for a writer on a named pipe.
  const std::string pipe = TempDir() + "/pipe.ztl";
  ASSERT_EQ(::mkfifo(pipe.c_str(), 0600), 0);
  struct Case {
    std::string path;
    int32_t result;
    std::string message;  // the whole text, or its start for dlopen failures
    bool prefix_only;
  };
  const Case cases[] = {
      {TestLibrary("alt_entry"), 1, "", false},
      {TestLibrary("no_entry"), kLibraryNoEntry,
       "This file is not a valid Lumetra plug-in library:\n" + TestLibrary("no_entry"), false},
      {TestLibrary("entry_fails"), 0, "No processes loaded from this plug-in library", false},
      {TestLibrary("entry_garbage"), -77, "Library loading error", false},
      {missing, kLibraryCannotLoad, "Can't load plug-in library:\n" + missing + "\n\n",
       true},
      {text_file, kLibraryCannotLoad, "Can't load plug-in library:\n" + text_file + "\n\n", true},
      {truncated, kLibraryCannotLoad,
       "Can't load plug-in library:\n" + truncated + "\n\n" + truncated + ": truncated", true},
      {pipe, kLibraryCannotLoad,
       "Can't load plug-in library:\n" + pipe + "\n\n" + pipe + ": Is a named pipe", true},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.path);
    LibraryLoadResult r = LibraryLoad(c.path);
    EXPECT_EQ(r.result, c.result);
    if (c.prefix_only) {
      EXPECT_EQ(r.message.rfind(c.message, 0), 0u) << r.message;
      EXPECT_GT(r.message.size(), c.message.size());  // the loader's own reason follows
    } else {
      EXPECT_EQ(r.message, c.message);
    }
    EXPECT_EQ(ui_->LastStatus(), c.result >= 1 ? "Done" : c.message.empty() ? "" : r.message);
  }
  // Only the libraries whose entry was called are listed; the one exporting "_ZOLT_GetLibInfo"
  // registered its effect.
  ASSERT_EQ(LoadedLibraries().size(), 3u);
  EXPECT_EQ(LoadedLibraries()[0].path, TestLibrary("alt_entry"));
  ASSERT_EQ(LoadedLibraries()[0].effects.size(), 1u);
  EXPECT_EQ(LoadedLibraries()[0].effects[0]->signature, "Alt 1.0 Test");
  EXPECT_EQ(Records("Alt 1.0 Test").size(), 1u);
}

TEST_F(LibraryLoaderTest, TwoVersionsInEitherOrderLeaveOneRecordOfTheNewer) {
  struct Case {
    const char* first;
    const char* second;
    const char* second_message;
  };
  const Case cases[] = {
      {"mix_v1", "mix_v2", "Effect 'Compositing/Mix [ver 2]' updated"},
      {"mix_v2", "mix_v1", "Effect 'Compositing/Mix [ver 1]' ignored"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.first);
    PluginRegistryClear();
    LoadedLibrariesClear();
    ASSERT_EQ(LibraryLoad(TestLibrary(c.first)).result, 1);
    ProcessRecord* first = ProcessRegistryHead();
    ASSERT_EQ(LibraryLoad(TestLibrary(c.second)).result, 1);
    std::vector<ProcessRecord*> records = Records(kMix);
    ASSERT_EQ(records.size(), 1u);
    EXPECT_EQ(records[0], first);  // updated in place, or kept
    EXPECT_EQ(records[0]->version, 2);
    EXPECT_EQ(records[0]->flags & kProcessHidden, 0u);
    const std::vector<std::string> expected = {
        std::string("Effect 'Compositing/Mix [ver ") + (c.first[5] == '1' ? "1" : "2") + "]' loaded",
        c.second_message};
    EXPECT_EQ(RegistryMessages(), expected);
    // The record is listed under the library whose registration it now carries.
    const auto& libs = LoadedLibraries();
    ASSERT_EQ(libs.size(), 2u);
    const bool updated = std::string(c.second_message).ends_with("updated");
    EXPECT_EQ(libs[0].effects.size(), updated ? 0u : 1u);
    EXPECT_EQ(libs[1].effects.size(), updated ? 1u : 0u);
  }
}

TEST_F(LibraryLoaderTest, AChangedLayoutHidesTheOldRecordAndKeepsItsClips) {
  ASSERT_EQ(LibraryLoad(TestLibrary("mix_v1")).result, 1);
  ProcessRecord* old_record = ProcessRegistryHead();
  Clip* old_clip = AddClip(AddTrack(), 0.0f, 1.0f, old_record);
  ASSERT_NE(old_clip, nullptr);
  ASSERT_EQ(LibraryLoad(TestLibrary("mix_layout2")).result, 1);
  std::vector<ProcessRecord*> records = Records(kMix);
  ASSERT_EQ(records.size(), 2u);
  EXPECT_NE(records[0], old_record);
  EXPECT_EQ(records[1], old_record);
  EXPECT_EQ(records[0]->flags & kProcessHidden, 0u);
  EXPECT_NE(old_record->flags & kProcessHidden, 0u);
  ASSERT_NE(records[0]->data_template, nullptr);
  EXPECT_EQ(records[0]->data_template->fields.size(), 2u);
  EXPECT_EQ(old_clip->process, old_record);
  EXPECT_EQ(old_record->data_template->fields.size(), 1u);
}

TEST_F(LibraryLoaderTest, AVirtualProcessIsTakenOverOnlyWithTheSameBlockLayout) {
  // A record as project loading makes it for a signature no library provided yet.
  struct Case {
    const char* type;
    bool taken_over;
  };
  const Case cases[] = {{"dword", true}, {"float", false}};
  for (const Case& c : cases) {
    SCOPED_TRACE(c.type);
    PluginRegistryClear();
    Template layout;
    ASSERT_EQ(TemplateAddField(layout, "level", c.type, 0, 1), "");
    ProcessRecord virtual_record;
    virtual_record.signature = kMix;
    virtual_record.flags = kProcessVirtual;
    virtual_record.data_template = &layout;
    ProcessRegistryPush(&virtual_record);
    ASSERT_EQ(LibraryLoad(TestLibrary("mix_v1")).result, 1);
    std::vector<ProcessRecord*> records = Records(kMix);
    if (c.taken_over) {
      ASSERT_EQ(records.size(), 1u);
      EXPECT_EQ(records[0], &virtual_record);
      EXPECT_EQ(virtual_record.flags & kProcessVirtual, 0u);
      EXPECT_NE(virtual_record.init, nullptr);
      EXPECT_EQ(virtual_record.inputs_number, 2);
      EXPECT_EQ(virtual_record.data_template, &layout);  // blocks keep their layout
    } else {
      ASSERT_EQ(records.size(), 2u);
      EXPECT_NE(records[0], &virtual_record);
      EXPECT_NE(virtual_record.flags & kProcessHidden, 0u);
    }
    ProcessRegistryRemove(&virtual_record);
  }
}

TEST_F(LibraryLoaderTest, ClipsOfALoadedEffectTakeItsDefaultsAndABadInitDiscardsTheClip) {
  ASSERT_EQ(LibraryLoad(TestLibrary("mix_v1")).result, 1);
  ASSERT_EQ(LibraryLoad(TestLibrary("init_garbage")).result, 1);
  Track* track = AddTrack();
  Clip* clip = AddClip(track, 0.0f, 1.0f, Records(kMix).at(0));
  ASSERT_NE(clip, nullptr);
  EXPECT_EQ(clip->display_mode, 3);
  ASSERT_EQ(clip->inputs.size(), 2u);
  EXPECT_EQ(clip->inputs[0], nullptr);
  EXPECT_EQ(clip->inputs[1], PseudoTrackGet(PseudoTrack::kPrevious));
  ASSERT_NE(clip->data, nullptr);
  int32_t level = 0;
  std::memcpy(&level, clip->data, sizeof level);
  EXPECT_EQ(level, 7);
  // An init function answering anything but 1 leaves no clip behind.
  EXPECT_EQ(AddClip(track, 2.0f, 3.0f, Records("BadInit 1.0 Test").at(0)), nullptr);
  EXPECT_EQ(SpansOf(track), (SpanList{{0.0f, 1.0f}}));
}

TEST_F(LibraryLoaderTest, FolderScanSortsNamesSkipsHiddenFoldersAndLinkLoops) {
  namespace fs = std::filesystem;
  const fs::path root = TempDir();
  fs::create_directories(root / "sub");
  fs::create_directories(root / ".hidden");
  fs::copy_file(TestLibrary("mix_v2"), root / "b.ztl");
  fs::copy_file(TestLibrary("mix_v1"), root / "A.ZTL");
  fs::copy_file(TestLibrary("alt_entry"), root / "sub" / "c.ztl");
  fs::copy_file(TestLibrary("no_entry"), root / ".hidden" / "d.ztl");
  fs::create_directory_symlink(root, root / "sub" / "loop");
  fs::create_symlink(root / "b.ztl", root / "sub" / "same.ztl");  // the same file again
  std::ofstream(root / "notes.txt") << "x";
  // A second folder on the colon list names the first one again: nothing loads twice.
  LibraryLoadFolders({root.string(), (root / "sub").string()});
  std::vector<std::string> paths;
  for (const LoadedLibrary& l : LoadedLibraries()) paths.push_back(l.path);
  EXPECT_EQ(paths, (std::vector<std::string>{(root / "A.ZTL").string(), (root / "b.ztl").string(),
                                             (root / "sub" / "c.ztl").string()}));
  // A.ZTL (version 1) came first, so b.ztl updated it.
  EXPECT_EQ(Records(kMix).at(0)->version, 2);
}

TEST_F(LibraryLoaderTest, FoldersComeFromTheProgramTheUserAndThePluginPath) {
  const char* saved_data = getenv("XDG_DATA_HOME");
  const char* saved_path = getenv("LUMETRA_PLUGIN_PATH");
  const std::string keep_data = saved_data ? saved_data : "";
  const std::string keep_path = saved_path ? saved_path : "";
  setenv("XDG_DATA_HOME", "/data", 1);
  setenv("LUMETRA_PLUGIN_PATH", "/one::/two", 1);
  EXPECT_EQ(LibraryFolders("/opt/lumetra/"),
            (std::vector<std::string>{"/opt/lumetra/", "/data/lumetra/plugins", "/one", "/two"}));
  unsetenv("LUMETRA_PLUGIN_PATH");
  EXPECT_EQ(LibraryFolders(""), (std::vector<std::string>{"/data/lumetra/plugins"}));
  saved_data ? setenv("XDG_DATA_HOME", keep_data.c_str(), 1) : unsetenv("XDG_DATA_HOME");
  if (saved_path) setenv("LUMETRA_PLUGIN_PATH", keep_path.c_str(), 1);
}

}  // namespace
