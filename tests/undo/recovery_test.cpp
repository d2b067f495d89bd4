// Recovery of the series a dead instance left: the scan, the labels, the recovered project and
// history, series that passed 9999, and damaged snapshots.
#include <gtest/gtest.h>

#include "undo/undo_fixture.h"

namespace lumetra::undo::testing {
namespace {

class RecoveryTest : public UndoTest {
 protected:
  // An instance that makes `edits` steps and dies without cleaning up; returns the bytes of
  // each state, "New project" first.
  std::vector<std::vector<uint8_t>> DeadSeries(int edits, const std::string& path = "") {
    HostRecord record;
    record.path = path;
    UndoStore& store = MakeStore(10, 2, &record);
    EXPECT_EQ(store.ClaimPrefix(), 0);
    std::vector<std::vector<uint8_t>> states{CurrentBytes()};
    for (int i = 1; i <= edits; ++i) {
      Edit(i);
      store.Save("Edit " + std::to_string(i));
      states.push_back(CurrentBytes());
    }
    store_.reset();  // its prefix lock goes with it, as the kernel frees a dead holder's lock
    NewCurrentProject();
    return states;
  }
};

TEST_F(RecoveryTest, RecoversTheLatestStateWithItsHistoryAndPath) {
  auto states = DeadSeries(3, "/home/user/film.ZTP");
  UndoStore& store = MakeStore();
  EXPECT_EQ(store.RecoverScan(false), 1);
  EXPECT_EQ(store.RecoverScan(true), 1);
  EXPECT_EQ(host_.labels, std::vector<std::string>{"/home/user/film.ZTP"});
  EXPECT_EQ(CurrentBytes(), states[3]);
  EXPECT_EQ(host_.path, "/home/user/film.ZTP");
  EXPECT_EQ(host_.title, "@Lumetra  -  film.ZTP");
  EXPECT_EQ(store.Prefix(), "Orcr");
  EXPECT_EQ(store.Step(), 4);
  const char* want[] = {"New project", "Edit 1", "Edit 2", "Edit 3"};
  for (int i = 0; i < 4; ++i) EXPECT_EQ(store.Description(i - 3), want[i]);
  EXPECT_TRUE(host_.undo);
  EXPECT_EQ(shown_.infos.back(), "/home/user/film.ZTP project recovered");
  // The series goes on under the same prefix, and undo reaches the dead instance's states.
  Edit(9);
  store.Save("After");
  EXPECT_EQ(store.Step(), 5);
  EXPECT_EQ(store.Go(-2), 1);
  EXPECT_EQ(CurrentBytes(), states[2]);
  // Declining, or nothing left to find.
  UndoStore other(std::make_unique<UndoHost>());
  other.Configure({dir_.string(), 10, 2, true});
  EXPECT_EQ(other.RecoverScan(false), 0);
}

TEST_F(RecoveryTest, DecliningLeavesTheSeriesForLater) {
  DeadSeries(1);
  host_.choice.reset();
  UndoStore& store = MakeStore();
  EXPECT_EQ(store.RecoverScan(true), 0);
  EXPECT_EQ(host_.labels, std::vector<std::string>{"Untitled"});
  ASSERT_EQ(store.ClaimPrefix(), 0);
  EXPECT_EQ(store.Prefix(), "Orcs");  // the dead series keeps its prefix
  EXPECT_EQ(store.RecoverScan(false), 1);
}

TEST_F(RecoveryTest, ALiveInstancesSeriesIsNeverOffered) {
  UndoStore& live = MakeStore();
  ASSERT_EQ(live.ClaimPrefix(), 0);
  Edit(1);
  live.Save("Edit 1");
  UndoStore starting(std::make_unique<UndoHost>());
  starting.Configure({dir_.string(), 10, 2, true});
  EXPECT_EQ(starting.RecoverScan(false), 0);
  ASSERT_EQ(starting.ClaimPrefix(), 0);
  EXPECT_NE(starting.Prefix(), live.Prefix());
}

TEST_F(RecoveryTest, ADamagedNewestSnapshotRecoversTheStepBefore) {
  auto states = DeadSeries(2, "/p/film.ZTP");
  Damage(SnapshotPath(3));
  UndoStore& store = MakeStore();
  EXPECT_EQ(store.RecoverScan(true), 1);
  EXPECT_EQ(host_.labels,
            std::vector<std::string>{"/p/film.ZTP (last 1 '.sav' file(s) corrupted)"});
  EXPECT_EQ(CurrentBytes(), states[1]);
  EXPECT_EQ(host_.path, "/p/film.ZTP");  // the path, not the label
  EXPECT_EQ(store.Step(), 2);
  EXPECT_EQ(store.Description(0), "Edit 1");
  EXPECT_EQ(store.Description(-1), "New project");
  EXPECT_FALSE(std::filesystem::exists(SnapshotPath(3)));
}

TEST_F(RecoveryTest, UnreadableSeriesAreLabelledAndRefused) {
  DeadSeries(2);
  for (int step = 1; step <= 3; ++step) Damage(SnapshotPath(step));
  // A second dead series with its only file damaged.
  std::ofstream(SnapshotPath(1, "Orcs"), std::ios::binary) << "not a project";
  UndoStore& store = MakeStore();
  project::Project* before = project::CurrentProject();
  EXPECT_EQ(store.RecoverScan(true), 0);
  EXPECT_EQ(host_.labels,
            (std::vector<std::string>{"Invalid or corrupted undo sequence: Orcr[0001..0003].sav",
                                      "Invalid or corrupted undo file: Orcs0001.sav"}));
  EXPECT_EQ(shown_.errors.back(), "Could not open file:\n" + SnapshotPath(3));
  EXPECT_EQ(project::CurrentProject(), before);
  EXPECT_EQ(host_.installs, 0);
}

TEST_F(RecoveryTest, TheCounterWrapsFrom9998To0001DeletingTheRightFiles) {
  // A dead series ending at 9998: files of a three-step series renamed to 9996..9998.
  auto states = DeadSeries(2);
  for (int step = 1; step <= 3; ++step)
    std::filesystem::rename(SnapshotPath(step), SnapshotPath(9995 + step));
  {
    UndoStore& store = MakeStore(2, 1);
    ASSERT_EQ(store.RecoverScan(true), 1);
    EXPECT_EQ(store.Step(), 9998);
    EXPECT_EQ(CurrentBytes(), states[2]);
    const int expect_steps[] = {9999, 0, 1};
    const std::set<int> expect_files[] = {{9997, 9998, 9999}, {9998, 9999, 0}, {9999, 0, 1}};
    for (int i = 0; i < 3; ++i) {
      Edit(20 + i);
      store.Save("Wrap " + std::to_string(i));
      EXPECT_EQ(store.Step(), expect_steps[i]);
      EXPECT_EQ(StepsOnDisk(), expect_files[i]) << i;
    }
  }
  std::vector<uint8_t> last = CurrentBytes();
  store_.reset();  // dies again
  NewCurrentProject();
  // The latest state is the end of the run past 0, not the highest number.
  UndoStore& store = MakeStore(2, 1);
  ASSERT_EQ(store.RecoverScan(true), 1);
  EXPECT_EQ(store.Step(), 1);
  EXPECT_EQ(CurrentBytes(), last);
  EXPECT_EQ(store.Description(0), "Wrap 2");
  EXPECT_EQ(store.Description(-1), "Wrap 1");
  EXPECT_EQ(store.Description(-2), "Wrap 0");
  EXPECT_FALSE(store.Description(-3));
}

TEST_F(RecoveryTest, ADiscardedRedoBranchDoesNotOutrankTheLastState) {
  HostRecord record;
  UndoStore& dying = MakeStore(10, 2, &record);
  ASSERT_EQ(dying.ClaimPrefix(), 0);
  for (int i = 1; i <= 4; ++i) {
    Edit(i);
    dying.Save("Edit " + std::to_string(i));
  }
  ASSERT_EQ(dying.Go(-3), 1);
  Edit(30);
  dying.Save("Branch");  // step 3; steps 4 and 5 were the discarded branch
  std::vector<uint8_t> last = CurrentBytes();
  store_.reset();
  NewCurrentProject();
  UndoStore& store = MakeStore();
  ASSERT_EQ(store.RecoverScan(true), 1);
  EXPECT_EQ(store.Step(), 3);
  EXPECT_EQ(store.Description(0), "Branch");
  EXPECT_EQ(CurrentBytes(), last);
}

TEST_F(RecoveryTest, AHalfWrittenSnapshotIsIgnored) {
  auto states = DeadSeries(1);
  std::ofstream(SnapshotPath(3) + ".tmp", std::ios::binary) << "cut sho";
  UndoStore& store = MakeStore();
  ASSERT_EQ(store.RecoverScan(true), 1);
  EXPECT_EQ(host_.labels, std::vector<std::string>{"Untitled"});
  EXPECT_EQ(CurrentBytes(), states[1]);
  EXPECT_FALSE(std::filesystem::exists(SnapshotPath(3) + ".tmp"));
}

}  // namespace
}  // namespace lumetra::undo::testing
