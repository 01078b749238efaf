// Earlier backups: the archives a backup replaces are kept, a few of them, each restorable as it
// was; a drive short of room gives up the oldest; a failed or killed run changes none of them.
#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <map>
#include <random>

#include "backup/backup_history.h"
#include "backup_fixture.h"
#include "platform/platform.h"
#if !defined(_WIN32)
#include "support/extra_drives.h"
#include "support/faults.h"
#endif

namespace app {
namespace {

using ::testing::ElementsAre;

int32_t Day(int day) {
  return static_cast<int32_t>((((2026u - 1980u) << 9 | 1u << 5 | static_cast<uint32_t>(day))
                               << 16) |
                              (10u << 11));
}

class BackupHistoryTest : public BackupTest {
 protected:
  std::string Dest() const { return temp_ / "Dest\\"; }
  std::string Archive() const { return Dest() + "ChartBackup.zip"; }
  // A backup of the chart as it is now ("version N"), its archive then dated day N of January at
  // ten o'clock, which names its folder among the earlier backups once it is replaced.
  void BackUpVersion(int version, size_t noise = 0) {
    std::string text = "version " + std::to_string(version);
    std::mt19937 random(version);
    for (size_t i = 0; i < noise; ++i) text += static_cast<char>(random());
    temp_.Write("Src\\Moon.cht", text);
    toolkit_.messages.clear();
    RunBackup(temp_ / "Src", temp_ / "Dest", false);
    ASSERT_EQ(Label("PLabel").caption, "Finished.") << ::testing::PrintToString(Messages());
    ASSERT_TRUE(platform::SetFileAge(Archive(), Day(version)));
    archives_[version] = Bytes(Archive());
  }
  // The earlier backups: folder name -> the bytes of its chart archive.
  std::map<std::string, std::string> History() const {
    std::map<std::string, std::string> history;
    for (const std::string& folder : backup::EarlierBackups(Dest())) {
      const std::string name = folder.substr(0, folder.size() - 1);
      history[name.substr(name.rfind('\\') + 1)] = Bytes(folder + "ChartBackup.zip");
    }
    return history;
  }
  std::map<int, std::string> archives_;  // version -> its archive's bytes
};

TEST_F(BackupHistoryTest, SixBackupsKeepTheNewestAndTheFourBeforeItEachAsItWas) {
  // What a run killed between making a folder of the history and moving an archive into it
  // leaves: it is neither kept nor in the way.
  for (const std::string& folder : {Dest(), Dest() + backup::kHistoryFolderName,
                                    Dest() + backup::kHistoryFolderName + "\\2026-01-03 10-00"}) {
    ASSERT_TRUE(platform::CreateDirectory(folder)) << folder;
  }
  for (int version = 1; version <= 6; ++version) BackUpVersion(version);
  EXPECT_EQ(History(), (std::map<std::string, std::string>{{"2026-01-02 10-00", archives_[2]},
                                                           {"2026-01-03 10-00", archives_[3]},
                                                           {"2026-01-04 10-00", archives_[4]},
                                                           {"2026-01-05 10-00", archives_[5]}}));
  EXPECT_EQ(Bytes(Archive()), archives_[6]);
  EXPECT_THAT(window_->DroppedBackups,
              ElementsAre(::testing::StartsWith(Dest() + backup::kHistoryFolderName +
                                                "\\2026-01-01 10-00\\: only the last 4")));

  // Restore pointed at an earlier backup brings that version back.
  toolkit_.answer_of = [](const ui::headless::ShownMessage& box) -> std::optional<int> {
    if ((box.flags & 0xF) == ui::kMbYesNo) return ui::kIdYes;
    return std::nullopt;
  };
  ASSERT_TRUE(Mode().Select(1));
  ASSERT_TRUE(Edit("ESource").Type(Dest() + backup::kHistoryFolderName + "\\2026-01-03 10-00"));
  if (Check("AutoDest").checked) {
    ASSERT_TRUE(Check("AutoDest").Click());
  }
  ASSERT_TRUE(Edit("EDest").Type(temp_ / "Restored"));
  ASSERT_TRUE(Button("RestoreButt").Click());
  EXPECT_EQ(temp_.Read("Restored\\Moon.cht"), "version 3");
}

TEST_F(BackupHistoryTest, BackupsWithinOneMinuteGetFoldersOfTheirOwn) {
  Open();
  window_->KeepEarlierBackups = 3;
  for (int run = 0; run < 4; ++run) {
    temp_.Write("Src\\Moon.cht", "run " + std::to_string(run));
    RunBackup(temp_ / "Src", temp_ / "Dest", false);
    ASSERT_TRUE(platform::SetFileAge(Archive(), Day(7) | 21));  // 10:00:42 every time
  }
  RunBackup(temp_ / "Src", temp_ / "Dest", false);
  // Four earlier ones made, the oldest of them dropped.
  std::vector<std::string> names;
  for (const std::string& folder : backup::EarlierBackups(Dest())) {
    names.push_back(folder.substr(Dest().size()));
  }
  EXPECT_THAT(names, ElementsAre("Earlier backups\\2026-01-07 10-00-42\\",
                                 "Earlier backups\\2026-01-07 10-00-42 (2)\\",
                                 "Earlier backups\\2026-01-07 10-00-42 (3)\\"));
}

TEST_F(BackupHistoryTest, KeepingNoneKeepsNoneAndDropsWhatWasKept) {
  BackUpVersion(1);
  BackUpVersion(2);
  ASSERT_EQ(History().size(), 1u);
  window_->KeepEarlierBackups = 0;
  BackUpVersion(3);
  BackUpVersion(4);
  EXPECT_FALSE(platform::FolderExists(Dest() + backup::kHistoryFolderName));
  EXPECT_EQ(Bytes(Archive()), archives_[4]);
}

#if !defined(_WIN32)
// A failed run (a write damaged on its way to the disk) leaves the newest backup and every earlier
// one as they were.
TEST_F(BackupHistoryTest, AFailedRunLeavesTheWholeHistory) {
  ASSERT_TRUE(test_support::FaultShimLoaded())
      << "run through ctest, which preloads tests/support/fault_shim.c";
  for (int version = 1; version <= 3; ++version) BackUpVersion(version);
  const auto history = History();
  temp_.Write("Src\\Moon.cht", "version 4");
  {
    const test_support::ArmedFault damaged("RD_FAULT_FLIP", "/Dest/~ridideduvure-add-@40");
    RunBackup(temp_ / "Src", temp_ / "Dest", false);
  }
  EXPECT_NE(Label("PLabel").caption, "Finished.");
  EXPECT_EQ(History(), history);
  EXPECT_EQ(Bytes(Archive()), archives_[3]);
}

// On a drive with room for the new backup only without the oldest earlier ones, those go, oldest
// first, and no more of them.
TEST_F(BackupHistoryTest, ADriveShortOfRoomGivesUpTheOldestFirst) {
  test_support::ExtraDrives drives;
  test_support::ExtraDrive small('S', platform::kDriveFixed);
  small.size_limit = 1200 << 10;
  const std::string host = drives.Set(small);
  if (host.empty()) GTEST_SKIP() << drives.error();
  temp_.Write("Src\\Moon.cht", "");
  const auto back_up = [&](int version) {
    std::string text = "version " + std::to_string(version);
    std::mt19937 random(version);
    while (text.size() < (350u << 10)) text += static_cast<char>(random());
    temp_.Write("Src\\Moon.cht", text);
    RunBackup(temp_ / "Src", "S:\\Dest", false);
    ASSERT_EQ(Label("PLabel").caption, "Finished.") << ::testing::PrintToString(Messages());
    ASSERT_TRUE(platform::SetFileAge("S:\\Dest\\ChartBackup.zip", Day(version)));
    archives_[version] = Bytes("S:\\Dest\\ChartBackup.zip");
  };
  for (int version = 1; version <= 3; ++version) back_up(version);
  ASSERT_EQ(backup::EarlierBackups("S:\\Dest").size(), 2u);
  back_up(4);
  EXPECT_THAT(window_->DroppedBackups,
              ElementsAre(::testing::StartsWith("S:\\Dest\\Earlier backups\\2026-01-01 10-00\\: "
                                                "to make room")));
  const std::vector<std::string> left = backup::EarlierBackups("S:\\Dest");
  ASSERT_EQ(left.size(), 2u);
  EXPECT_EQ(Bytes(left[0] + "ChartBackup.zip"), archives_[2]);
  EXPECT_EQ(Bytes(left[1] + "ChartBackup.zip"), archives_[3]);
  EXPECT_EQ(Bytes("S:\\Dest\\ChartBackup.zip"), archives_[4]);
}
#endif

}  // namespace
}  // namespace app
