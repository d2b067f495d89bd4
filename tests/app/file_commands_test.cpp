// File command flows against a fake store: questions, saves that fail, loads that fail.
#include "app/file_commands.h"

#include <gtest/gtest.h>

#include <cerrno>

#include "app_fixture.h"
#include "platform/error_text.h"
#include "platform/memory_log.h"

using namespace lumetra;
using namespace lumetra::app;
using namespace lumetra::app::testing;
using platform::Answer;

namespace {

class FileCommands : public AppTest {
 protected:
  // Runs what the commands posted; the quit code when one asked to quit.
  std::optional<int> RunQueue() {
    platform::LoopEnd end = MainQueue().Run();
    if (end.idle) return std::nullopt;
    return end.quit_code;
  }
};

}  // namespace

TEST(UnsavedChanges, CategoriesInTheOrderTracksClipsGeometriesSettings) {
  EXPECT_EQ(ChangedCategories(0), "");
  EXPECT_EQ(ChangedCategories(1 | 2 | 4 | 8),
            "\tTracks data\n\tClip(s) parameters\n\tGeometries\n\tProject settings\n");
  EXPECT_EQ(ChangedCategories(4 | 8), "\tGeometries\n\tProject settings\n");
  EXPECT_EQ(UnsavedChangesQuestion(QuestionKind::kNew, 1),
            "New Project.\nThe following data changed in current project:\n\n\tClip(s) "
            "parameters\n\nSave changes in project before New ?");
  EXPECT_EQ(UnsavedChangesQuestion(QuestionKind::kLoad, 2 | 4),
            "Load Project.\nThe following data changed in current project:\n\n\tTracks "
            "data\n\tProject settings\n\nSave changes in project before Loading another one ?");
  EXPECT_EQ(UnsavedChangesQuestion(QuestionKind::kQuit, 8),
            "Quit.\nThe following data changed in current project:\n\n\tGeometries\n\nSave "
            "changes in project before Quit ?");
}

TEST(BackupName, DropsTheExtensionOfTheFileOnly) {
  EXPECT_EQ(BackupName("/home/u/a.ZTP"), "/home/u/a.BAK");
  EXPECT_EQ(BackupName("/home/u/a.b.ZTP"), "/home/u/a.b.BAK");
  EXPECT_EQ(BackupName("/home/u.v/project"), "/home/u.v/project.BAK");
  EXPECT_EQ(BackupName("c:\\dir.x\\project"), "c:\\dir.x\\project.BAK");
  EXPECT_EQ(BackupName("c:x.ZTP"), "c:x.BAK");
}

TEST_F(FileCommands, ExitAsksAndQuitsOnlyWhenAllowed) {
  // Nothing changed: no question, quit with 1 after saving the exit sections.
  EXPECT_EQ(CommandExit(), 1);
  EXPECT_TRUE(questions_.empty());
  EXPECT_TRUE(calls_.Has("options save " + std::to_string(0x1D20)));
  EXPECT_EQ(RunQueue(), 1);

  // Cancel keeps everything.
  project::SetChangeFlags(project::kChangedTracks);
  answers_ = {Answer::Cancel};
  EXPECT_EQ(CommandExit(), 0);
  EXPECT_EQ(questions_.back(), UnsavedChangesQuestion(QuestionKind::kQuit, 2));
  EXPECT_EQ(project::ChangeFlags(), 2u);
  EXPECT_EQ(RunQueue(), std::nullopt);

  // No drops the changes and quits.
  answers_ = {Answer::No};
  EXPECT_EQ(CommandExit(), 1);
  EXPECT_EQ(project::ChangeFlags(), 0u);
  EXPECT_EQ(RunQueue(), 1);
}

TEST_F(FileCommands, FailedSaveKeepsTheChangesAndStopsTheCommand) {
  State().current_file = MakeFile("work.ZTP");
  store_->save_status = SaveStatus::kWriteFailed;
  project::SetChangeFlags(project::kChangedClipParameters | project::kChangedGeometries);

  answers_ = {Answer::Yes};
  EXPECT_EQ(CommandExit(), 0);
  EXPECT_EQ(project::ChangeFlags(), 9u);
  EXPECT_EQ(RunQueue(), std::nullopt);  // no quit was posted
  EXPECT_EQ(host_->LastStatus(), "Could not save project");
  EXPECT_NE(platform::LogText().find("Could not save project:\n" + State().current_file +
                                     "\n\nNo space left on device"),
            std::string::npos);

  // New and Load stop the same way; the project stays as it was.
  answers_ = {Answer::Yes};
  EXPECT_EQ(CommandNew(), 0);
  answers_ = {Answer::Yes};
  file_answer_ = MakeFile("other.ZTP");
  EXPECT_EQ(CommandLoad(), 0);
  EXPECT_FALSE(calls_.Has("begin new"));
  EXPECT_FALSE(calls_.Has("load " + *file_answer_ + " mask 4095"));
  EXPECT_EQ(project::ChangeFlags(), 9u);

  // Once the disk is writable again the same Exit saves, clears the flags and quits.
  store_->save_status = SaveStatus::kSaved;
  answers_ = {Answer::Yes};
  EXPECT_EQ(CommandExit(), 1);
  EXPECT_EQ(project::ChangeFlags(), 0u);
  EXPECT_EQ(RunQueue(), 1);
}

TEST_F(FileCommands, CancelledSaveAsKeepsTheChanges) {
  project::SetChangeFlags(project::kChangedTracks);
  answers_ = {Answer::Yes};  // save, but there is no file name and the dialog is cancelled
  EXPECT_EQ(CommandExit(), 0);
  EXPECT_EQ(dialogs_, (std::vector<std::string>{"Select project file to save"}));
  EXPECT_EQ(project::ChangeFlags(), 2u);
  EXPECT_EQ(RunQueue(), std::nullopt);
}

TEST_F(FileCommands, SaveAsNamesTheProjectAndMakesABackup) {
  std::string path = MakeFile("p.ZTP", "old");
  file_answer_ = path;
  project::SetChangeFlags(project::kChangedTracks);
  EXPECT_EQ(CommandSaveAs(), SaveOutcome::kSaved);
  EXPECT_EQ(State().current_file, path);
  EXPECT_EQ(State().title, "@Lumetra  -  p.ZTP");
  EXPECT_EQ(State().recent_projects.Items().front(), path);
  EXPECT_EQ(host_->LastStatus(), "Project saved successfully");
  EXPECT_EQ(project::ChangeFlags(), 0u);
  std::ifstream backup(dir_ / "p.BAK");
  std::string content;
  backup >> content;
  EXPECT_EQ(content, "old");

  // Without the "ZTP.BAK" option no backup is made.
  std::filesystem::remove(dir_ / "p.BAK");
  MakeFile("p.ZTP", "newer");
  options_->backup = false;
  EXPECT_EQ(CommandSave(), SaveOutcome::kSaved);
  EXPECT_FALSE(std::filesystem::exists(dir_ / "p.BAK"));
}

TEST_F(FileCommands, ABackupThatCannotBeKeptAsksAndTargetsThatAreNoFileAreRefused) {
  std::string path = MakeFile("p.ZTP", "old");
  std::filesystem::create_directory(dir_ / "p.BAK");  // the backup name is taken by a folder
  State().current_file = path;
  for (Answer answer : {Answer::No, Answer::Yes}) {
    questions_.clear();
    calls_.log.clear();
    answers_ = {answer};
    EXPECT_EQ(CommandSave(), answer == Answer::Yes ? SaveOutcome::kSaved : SaveOutcome::kCancelled);
    ASSERT_EQ(questions_.size(), 1u);
    EXPECT_EQ(questions_[0].rfind("Could not rename existing\n'" + path + "'\nto\n'", 0), 0u);
    EXPECT_EQ(calls_.Has("save " + path), answer == Answer::Yes);
    EXPECT_TRUE(std::filesystem::is_directory(dir_ / "p.BAK"));
  }
  // A folder as the target: refused before any question, backup or write.
  const std::string folder = (dir_ / "folder.ZTP").string();
  std::filesystem::create_directory(folder);
  State().current_file = folder;
  questions_.clear();
  calls_.log.clear();
  EXPECT_EQ(CommandSave(), SaveOutcome::kFailed);
  EXPECT_TRUE(questions_.empty());
  EXPECT_FALSE(calls_.Has("save " + folder));
  EXPECT_NE(platform::LogText().find("Could not save project:\n" + folder + "\n\n" +
                                     platform::SystemErrorText(EISDIR)),
            std::string::npos);
  EXPECT_FALSE(std::filesystem::exists(dir_ / "folder.BAK"));
}

TEST_F(FileCommands, SavingOverAnEarlyVersionAsksFirst) {
  std::string path = MakeFile("old.ZTP");
  State().current_file = path;
  options_->backup = false;
  struct Case {
    int version;
    bool asks;
  } cases[] = {{999, true}, {0, true}, {-1, false}, {1000, false}, {1002, false}};
  for (const Case& c : cases) {
    questions_.clear();
    calls_.log.clear();
    store_->versions[path] = c.version;
    answers_ = {Answer::No};
    SaveOutcome outcome = CommandSave();
    SCOPED_TRACE(c.version);
    EXPECT_EQ(questions_.size(), c.asks ? 1u : 0u);
    EXPECT_EQ(outcome, c.asks ? SaveOutcome::kCancelled : SaveOutcome::kSaved);
    EXPECT_EQ(calls_.Has("save " + path), !c.asks);
    if (c.asks) {
      EXPECT_EQ(questions_[0].rfind(
                    "Project file you are saving to has early version:\n\n    '" + path + "'\n", 0),
                0u);
    }
  }
}

TEST_F(FileCommands, CannotCreateTheFile) {
  file_answer_ = (dir_ / "new.ZTP").string();
  store_->save_status = SaveStatus::kCannotCreate;
  project::SetChangeFlags(project::kChangedTracks);
  EXPECT_EQ(CommandSaveAs(), SaveOutcome::kFailed);
  EXPECT_TRUE(State().current_file.empty());  // the name is only taken by a successful save
  EXPECT_EQ(project::ChangeFlags(), 2u);
  EXPECT_NE(platform::LogText().find("Could not create project file:\n" + *file_answer_ +
                                     "\n\nNo space left on device"),
            std::string::npos);
}

TEST_F(FileCommands, LoadSucceedsOrChangesNothing) {
  std::string path = MakeFile("a.ZTP");
  file_answer_ = path;
  project::SetChangeFlags(project::kChangedTracks);
  answers_ = {Answer::No};  // discard the changes

  store_->load_status = LoadStatus::kFailed;
  EXPECT_EQ(CommandLoad(), 0);
  EXPECT_EQ(dialogs_.back(), "Select project file to load");
  EXPECT_TRUE(calls_.Has("load " + path + " mask 4095"));
  EXPECT_FALSE(calls_.Has("undo Load project"));
  EXPECT_FALSE(calls_.Has("remove presets"));
  EXPECT_EQ(project::ChangeFlags(), 2u);
  EXPECT_TRUE(State().current_file.empty());
  EXPECT_EQ(host_->LastStatus(), "Project was not loaded");
  EXPECT_NE(platform::LogText().find("Project file load error:\n" + path + "\n\nbad chunk"),
            std::string::npos);

  store_->load_status = LoadStatus::kNoRecord;
  answers_ = {Answer::No};
  EXPECT_EQ(CommandLoad(), 0);
  EXPECT_NE(platform::LogText().find("Could not load project file:\n" + path +
                                     "\n\nMemory allocation error\n"),
            std::string::npos);

  store_->load_status = LoadStatus::kLoaded;
  answers_ = {Answer::No};
  EXPECT_EQ(CommandLoad(), 1);
  EXPECT_TRUE(calls_.Has("undo Load project"));
  EXPECT_TRUE(calls_.Has("reopen windows"));
  EXPECT_TRUE(calls_.Has("options save 32"));
  EXPECT_EQ(project::ChangeFlags(), 0u);
  EXPECT_EQ(State().current_file, path);
  EXPECT_EQ(State().recent_projects.Items().front(), path);
  EXPECT_EQ(host_->LastStatus(), "Project loaded successfully");
}

TEST_F(FileCommands, OpenStepChecksTheFileAndItsVersion) {
  std::string missing = (dir_ / "missing.ZTP").string();
  EXPECT_EQ(OpenProject(missing, false), 0);
  EXPECT_NE(platform::LogText().find("Could not load project file:\n" + missing +
                                     "\n\nNo such file or directory"),
            std::string::npos);
  EXPECT_TRUE(calls_.log.empty());

  std::string path = MakeFile("v.ZTP");
  store_->versions[path] = 1002;
  EXPECT_EQ(OpenProject(path, false), 1);
  EXPECT_TRUE(questions_.empty());

  store_->versions[path] = 1003;
  calls_.log.clear();
  answers_ = {Answer::No};
  EXPECT_EQ(OpenProject(path, false), 0);
  ASSERT_EQ(questions_.size(), 1u);
  EXPECT_EQ(questions_[0], "Load Project?\n\n" + path +
                               "\n\nThe project has more recent version (1.0.3) than Lumetra "
                               "(1.0.2).\nLumetra may load this project incorrectly or crush "
                               "after loading.\n\nLoad project anyway?");
  EXPECT_TRUE(calls_.log.empty());
  answers_ = {Answer::Yes};
  EXPECT_EQ(OpenProject(path, false), 1);
}

TEST_F(FileCommands, MergeMarksTracksAndGeometriesChanged) {
  std::string path = MakeFile("m.ZTP");
  file_answer_ = path;
  project::SetChangeFlags(project::kChangedClipParameters);
  EXPECT_EQ(CommandMerge(), 1);
  EXPECT_TRUE(questions_.empty());  // merging keeps the project: nothing to ask
  EXPECT_EQ(dialogs_.back(), "Select project file to merge");
  EXPECT_TRUE(calls_.Has("merge " + path));
  EXPECT_TRUE(calls_.Has("undo Merge project"));
  EXPECT_EQ(project::ChangeFlags(), 1u | 2u | 8u);
  EXPECT_EQ(host_->LastStatus(), "Project merged successfully");

  calls_.log.clear();
  store_->load_status = LoadStatus::kFailed;
  EXPECT_EQ(CommandMerge(), 0);
  EXPECT_FALSE(calls_.Has("undo Merge project"));
}

TEST_F(FileCommands, NewProjectDialogCommitsOrDiscards) {
  State().current_file = "/x/old.ZTP";
  project::SetChangeFlags(project::kChangedProjectSettings);
  answers_ = {Answer::No};
  dialog_answer_ = Answer::Cancel;
  EXPECT_EQ(CommandNew(), 0);
  EXPECT_TRUE(calls_.Has("discard new"));
  EXPECT_EQ(State().current_file, "/x/old.ZTP");
  EXPECT_EQ(project::ChangeFlags(), 4u);

  answers_ = {Answer::No};
  dialog_answer_ = Answer::Ok;
  EXPECT_EQ(CommandNew(), 1);
  EXPECT_TRUE(calls_.Has("commit new"));
  EXPECT_TRUE(calls_.Has("undo New project"));
  EXPECT_TRUE(State().current_file.empty());
  EXPECT_EQ(State().title, "@Lumetra");
  EXPECT_EQ(project::ChangeFlags(), 0u);
}

TEST_F(FileCommands, RecentEntriesMoveToTopWhenChosen) {
  std::string a = MakeFile("a.ZTP"), b = MakeFile("b.ZTP");
  State().recent_projects.Add(a);
  State().recent_projects.Add(b);
  EXPECT_EQ(HandleCommand(901), 1);  // entry 2 is a
  EXPECT_EQ(State().recent_projects.Items(), (std::vector<std::string>{a, b}));
  EXPECT_TRUE(calls_.Has("load " + a + " mask 4095"));
  EXPECT_EQ(HandleCommand(907), 0);  // empty slot

  State().recent_clipboards.Add("/c/one.ZTB");
  State().recent_clipboards.Add("/c/two.ZTB");
  EXPECT_EQ(HandleCommand(909), 1);
  EXPECT_TRUE(calls_.Has("clipboard /c/one.ZTB"));
  EXPECT_EQ(State().recent_clipboards.Items().front(), "/c/one.ZTB");
}

TEST(CommandMapping, MenuIdsToIndices) {
  struct Case {
    int menu, index;
  } cases[] = {{2015, 0},  {2003, 1},  {2004, 2},      {40002, 3},  {2016, 4},   {2017, 5},
               {2018, 6},  {2002, 8},  {2012, 9},      {2006, 10},  {2011, 11},  {40136, 13},
               {2008, 14}, {2020, 15}, {2007, 16},     {40145, 17}, {40113, 18}, {2009, 20},
               {900, 900}, {915, 915}, {40096, 40096}, {916, -1},   {899, -1},   {1, -1}};
  for (const Case& c : cases) EXPECT_EQ(CommandIndexForMenuId(c.menu), c.index) << c.menu;
}

TEST(RecentList, MostRecentFirstEightAtMostExactNames) {
  RecentList list;
  for (int i = 1; i <= 9; ++i) list.Add("/p/" + std::to_string(i) + ".ZTP");
  ASSERT_EQ(list.Items().size(), 8u);
  EXPECT_EQ(list.Items().front(), "/p/9.ZTP");
  EXPECT_EQ(list.Items().back(), "/p/2.ZTP");  // the first one dropped out
  list.Add("/p/5.ZTP");
  EXPECT_EQ(list.Items().front(), "/p/5.ZTP");
  EXPECT_EQ(list.Items().size(), 8u);
  list.Add("/P/5.ZTP");  // another file on Linux
  EXPECT_EQ(list.Items()[0], "/P/5.ZTP");
  EXPECT_EQ(list.Items()[1], "/p/5.ZTP");
  list.Add("");
  EXPECT_EQ(list.Items()[0], "/P/5.ZTP");
  EXPECT_EQ(list.MenuLabel(1), "&2.  /p/5.ZTP");
  EXPECT_EQ(list.Select(2), "/p/9.ZTP");
  EXPECT_EQ(list.Items()[0], "/p/9.ZTP");
  EXPECT_EQ(list.Select(8), std::nullopt);
  EXPECT_EQ(list.MenuLabel(8), "");
}
