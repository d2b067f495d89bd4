// Steps, files, undo and redo, depth, and the failures that must change nothing.
#include <gtest/gtest.h>

#include "undo/undo_fixture.h"

namespace lumetra::undo::testing {
namespace {

std::set<int> Range(int from, int to) {
  std::set<int> s;
  for (int i = from; i <= to; ++i) s.insert(i);
  return s;
}

TEST_F(UndoTest, FifteenActionsLeaveTheCurrentStateAndTenBehind) {
  UndoStore& store = MakeStore(10, 2);
  ASSERT_EQ(store.ClaimPrefix(), 0);
  EXPECT_EQ(store.Prefix(), "Orcr");
  EXPECT_EQ(StepsOnDisk(), std::set<int>{1});
  EXPECT_EQ(store.Description(0), "New project");
  for (int i = 1; i <= 15; ++i) {
    Edit(i);
    store.Save("Edit " + std::to_string(i));
  }
  EXPECT_EQ(store.Step(), 16);
  EXPECT_EQ(StepsOnDisk(), Range(6, 16));
  EXPECT_EQ(store.History().Size(), 11u);
  EXPECT_EQ(store.Description(-10), "Edit 5");
  EXPECT_FALSE(store.Description(-11));
  EXPECT_TRUE(host_.undo);
  EXPECT_FALSE(host_.redo);
}

TEST_F(UndoTest, UndoAndRedoRestoreEachState) {
  UndoStore& store = MakeStore(10, 1);
  ASSERT_EQ(store.ClaimPrefix(), 0);
  std::vector<std::vector<uint8_t>> states{CurrentBytes()};
  for (int i = 1; i <= 4; ++i) {
    Edit(i);
    store.Save("Edit " + std::to_string(i));
    states.push_back(CurrentBytes());
  }
  // One step back comes from the in-memory copy, three more from files.
  EXPECT_EQ(store.Go(-1), 1);
  EXPECT_EQ(CurrentBytes(), states[3]);
  EXPECT_EQ(store.Go(-3), 1);
  EXPECT_EQ(CurrentBytes(), states[0]);
  EXPECT_EQ(store.Step(), 1);
  EXPECT_FALSE(host_.undo);
  EXPECT_TRUE(host_.redo);
  EXPECT_EQ(store.Description(4), "Edit 4");
  EXPECT_EQ(store.Go(2), 1);
  EXPECT_EQ(CurrentBytes(), states[2]);
  EXPECT_EQ(store.Go(3), 0);  // past the newest entry
  EXPECT_EQ(shown_.statuses.back(), "No undo");
  EXPECT_EQ(CurrentBytes(), states[2]);
}

TEST_F(UndoTest, UndoAfterTheFirstStepGivesNoUndo) {
  UndoStore& store = MakeStore();
  ASSERT_EQ(store.ClaimPrefix(), 0);
  project::Project* before = project::CurrentProject();
  EXPECT_EQ(store.Go(-1), 0);
  EXPECT_EQ(shown_.statuses.back(), "No undo");
  EXPECT_EQ(project::CurrentProject(), before);
}

TEST_F(UndoTest, ANewStepAfterUndosDropsRedoAndItsFiles) {
  UndoStore& store = MakeStore(10, 2);
  ASSERT_EQ(store.ClaimPrefix(), 0);
  for (int i = 1; i <= 4; ++i) {
    Edit(i);
    store.Save("Edit " + std::to_string(i));
  }
  ASSERT_EQ(store.Go(-2), 1);  // current: step 3
  EXPECT_TRUE(host_.redo);
  Edit(10);
  store.Save("Branch");
  EXPECT_EQ(store.Step(), 4);  // follows the current one
  EXPECT_FALSE(host_.redo);
  EXPECT_FALSE(store.Description(1));
  EXPECT_EQ(store.Description(0), "Branch");
  EXPECT_EQ(store.Description(-1), "Edit 2");
  // The discarded branch's step 5 is gone, so it cannot pass for the latest state later.
  EXPECT_EQ(StepsOnDisk(), Range(1, 4));
}

TEST_F(UndoTest, WithoutRamLevelsUndoReadsTheFile) {
  UndoStore& store = MakeStore(10, 0);
  ASSERT_EQ(store.ClaimPrefix(), 0);
  Edit(1);
  store.Save("Edit 1");
  Edit(2);
  store.Save("Edit 2");
  EXPECT_EQ(store.History().At(0)->copy, nullptr);
  // A missing file is "No undo" ...
  std::vector<uint8_t> saved;
  {
    std::ifstream in(SnapshotPath(2), std::ios::binary);
    saved.assign(std::istreambuf_iterator<char>(in), {});
  }
  std::filesystem::remove(SnapshotPath(2));
  std::vector<uint8_t> now = CurrentBytes();
  EXPECT_EQ(store.Go(-1), 0);
  EXPECT_EQ(shown_.statuses.back(), "No undo");
  EXPECT_EQ(CurrentBytes(), now);
  // ... and the file alone brings the state back.
  std::ofstream(SnapshotPath(2), std::ios::binary)
      .write(reinterpret_cast<const char*>(saved.data()),
             static_cast<std::streamsize>(saved.size()));
  EXPECT_EQ(store.Go(-1), 1);
  EXPECT_EQ(project::CurrentProject()->description, "state 1");
}

TEST_F(UndoTest, RamCopiesServeUndoWithoutFiles) {
  UndoStore& store = MakeStore(10, 2);
  ASSERT_EQ(store.ClaimPrefix(), 0);
  for (int i = 1; i <= 4; ++i) {
    Edit(i);
    store.Save("Edit " + std::to_string(i));
  }
  // Positions 0 to 2 keep copies, older entries none.
  EXPECT_NE(store.History().At(-2)->copy, nullptr);
  EXPECT_EQ(store.History().At(-3)->copy, nullptr);
  std::filesystem::remove(SnapshotPath(4));
  EXPECT_EQ(store.Go(-1), 1);
  EXPECT_EQ(project::CurrentProject()->description, "state 3");
}

TEST_F(UndoTest, ACorruptSnapshotFailsTheUndoAndChangesNothing) {
  UndoStore& store = MakeStore(10, 0);
  ASSERT_EQ(store.ClaimPrefix(), 0);
  for (int i = 1; i <= 3; ++i) {
    Edit(i);
    store.Save("Edit " + std::to_string(i));
  }
  Damage(SnapshotPath(3));
  project::Project* before = project::CurrentProject();
  std::vector<uint8_t> bytes = CurrentBytes();
  EXPECT_EQ(store.Go(-1), 0);
  ASSERT_FALSE(shown_.errors.empty());
  EXPECT_EQ(shown_.errors.back(), "Failed to load undo step:\n" + SnapshotPath(3));
  EXPECT_EQ(project::CurrentProject(), before);
  EXPECT_EQ(CurrentBytes(), bytes);
  EXPECT_EQ(store.Step(), 4);
  EXPECT_EQ(store.Description(0), "Edit 3");
  EXPECT_TRUE(host_.undo);
  EXPECT_FALSE(host_.redo);
  EXPECT_EQ(host_.installs, 0);
}

TEST_F(UndoTest, AFileThatCannotBeCreatedLeavesUndoUnavailableUntilTheNextSave) {
  UndoStore& store = MakeStore(10, 2);
  ASSERT_EQ(store.ClaimPrefix(), 0);
  // A directory at the snapshot's name: refused before anything is created, and kept.
  std::filesystem::create_directory(SnapshotPath(2));
  Edit(1);
  store.Save("Edit 1");
  ASSERT_FALSE(shown_.statuses.empty());
  EXPECT_TRUE(shown_.statuses.back().starts_with("Can't save undo: " + SnapshotPath(2) + " ("));
  EXPECT_FALSE(host_.undo);
  EXPECT_TRUE(std::filesystem::is_directory(SnapshotPath(2)));
  std::filesystem::remove(SnapshotPath(2));
  Edit(2);
  store.Save("Edit 2");
  EXPECT_TRUE(host_.undo);
}

TEST_F(UndoTest, ShrinkingTheDepthDeletesTheOlderFiles) {
  UndoStore& store = MakeStore(10, 2);
  ASSERT_EQ(store.ClaimPrefix(), 0);
  for (int i = 1; i <= 11; ++i) {
    Edit(i);
    store.Save("Edit");
  }
  ASSERT_EQ(StepsOnDisk(), Range(2, 12));
  EXPECT_EQ(store.LevelsSet(0), 10);
  EXPECT_EQ(store.LevelsSet(10), 10);
  EXPECT_EQ(StepsOnDisk(), Range(2, 12));
  EXPECT_EQ(store.LevelsSet(3), 3);
  EXPECT_EQ(StepsOnDisk(), Range(9, 12));
  store.Save("Edit");
  EXPECT_EQ(StepsOnDisk(), Range(10, 13));
  EXPECT_EQ(store.History().Size(), 4u);
  EXPECT_EQ(store.LevelsSet(20000), kUndoLevelsMax);
}

TEST_F(UndoTest, NothingIsRecordedWhileRecordingIsOff) {
  UndoStore& store = MakeStore();
  store.Configure({dir_.string(), 10, 2, false});
  ASSERT_EQ(store.ClaimPrefix(), 0);
  Edit(1);
  store.Save("Edit 1");
  EXPECT_TRUE(StepsOnDisk().empty());
  EXPECT_FALSE(store.Description(0));
}

TEST_F(UndoTest, CleaningRemovesOnlyThisInstancesFiles) {
  UndoStore& first = MakeStore();
  ASSERT_EQ(first.ClaimPrefix(), 0);
  UndoStore second(std::make_unique<UndoHost>());
  second.Configure({dir_.string(), 10, 2, true});
  ASSERT_EQ(second.ClaimPrefix(), 0);
  EXPECT_EQ(second.Prefix(), "Orcs");
  std::ofstream(SnapshotPath(7) + ".tmp") << "half";  // a write cut short
  first.CleanFiles();
  EXPECT_TRUE(StepsOnDisk("Orcr").empty());
  EXPECT_FALSE(std::filesystem::exists(SnapshotPath(7) + ".tmp"));
  EXPECT_EQ(StepsOnDisk("Orcs"), std::set<int>{1});
  EXPECT_FALSE(first.Claimed());
}

}  // namespace
}  // namespace lumetra::undo::testing
