// The chart archive: what the walk puts in it and in which order, its comment, the status line
// and the bar, and the cases with nothing to back up.
#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include "backup_fixture.h"
#include "platform/platform.h"

namespace app {
namespace {

using ::testing::ElementsAre;
using ::testing::HasSubstr;
using ::testing::StartsWith;

constexpr char kPrefix[] = "Vardek Backup of ";

TEST_F(BackupTest, ChartArchiveHoldsTheChartsInSearchOrderThenTheirCompanions) {
  const std::string src = temp_ / "Src\\";
  // One searched folder per level, so the order is fixed.
  temp_.Write("Src\\L1\\a.om2", "ombrel 2");
  temp_.Write("Src\\L1\\a.HVcht", "chart 4");
  temp_.Write("Src\\L1\\a.chm", "companion");
  temp_.Write("Src\\L1\\notes.txt");
  temp_.MakeFolder("Src\\L1\\Fake.cht");  // a folder named like a chart is no chart
  temp_.MakeFolder("Src\\L1\\Empty");
  temp_.Write("Src\\ChannelTables\\t.cht");
  temp_.Write("Src\\atr9data\\d.omb");
  temp_.Write("Src\\Windows\\SYSTEM32\\NOISE.CHT");
  temp_.Write("Src\\Smith.cht", std::string(5000, 's'));
  temp_.Write("Src\\Smith.CHM");
  temp_.Write("Src\\Smith.xn0");
  temp_.Write("Src\\Jones.omb");
  const std::string dest = temp_ / "Dest";

  RunBackup(temp_ / "Src", dest, /*user_data=*/false);
  EXPECT_THAT(Messages(), ElementsAre());
  EXPECT_EQ(Edit("ESource").text, src);
  EXPECT_EQ(Edit("EDest").text, dest + "\\");
  const std::string archive = dest + "\\ChartBackup.zip";
  EXPECT_THAT(Entries(archive),
              ElementsAre(EntryName(src + "L1\\a.om2"), EntryName(src + "L1\\a.HVcht"),
                          EntryName(src + "Jones.omb"), EntryName(src + "Smith.cht"),
                          EntryName(src + "Smith.CHM"), EntryName(src + "Smith.xn0"),
                          EntryName(src + "L1\\a.chm")));  // the names as stored on disk
  EXPECT_EQ(Comment(archive), kPrefix + src);
  // Nothing else is left in the target folder: the archive was made under another name there.
  EXPECT_THAT(FilesIn(dest), ElementsAre("ChartBackup.zip"));
  EXPECT_FALSE(platform::GetFileAttributes(dest + "\\RUDadoze.zev") !=
               platform::kInvalidAttributes);

  const auto& status = Label("PLabel").history;
  ASSERT_GE(status.size(), 4u);
  EXPECT_THAT(status.front(), StartsWith("Inspecting Folders "));
  EXPECT_THAT(std::vector<std::string>(status.end() - 3, status.end()),
              ElementsAre("Searching for Chart Files", "", "Finished."));
  EXPECT_THAT(toolkit_.progress_log, ::testing::Contains("caption:Zipping up Chart Files."));
  EXPECT_EQ(toolkit_.cursor_log, (std::vector<bool>{true, false}));
  EXPECT_EQ(Bar().position, 100);
}

TEST_F(BackupTest, ALaterRunReplacesTheArchiveWhole) {
  temp_.Write("Src\\first.cht");
  RunBackup(temp_ / "Src", temp_ / "Dest", false);
  platform::DeleteFile(temp_ / "Src\\first.cht");
  temp_.Write("Src\\second.cht");
  RunBackup(temp_ / "Src", temp_ / "Dest", false);
  EXPECT_THAT(Entries(temp_ / "Dest\\ChartBackup.zip"),
              ElementsAre(EntryName(temp_ / "Src\\second.cht")));
  EXPECT_THAT(FilesIn(temp_ / "Dest"), ElementsAre("ChartBackup.zip"));
}

// A source typed wrong, or on a stick not plugged in, finds nothing: that never costs the backup
// made before, and the user hears what was looked for where.
TEST_F(BackupTest, NoChartAnywhereKeepsTheLastBackupAndSaysWhereItLooked) {
  temp_.Write("Good\\kept.cht", "a chart backed up before");
  RunBackup(temp_ / "Good", temp_ / "Dest", false);
  const std::string archive = temp_ / "Dest\\ChartBackup.zip";
  const std::string good = Bytes(archive);
  ASSERT_THAT(Entries(archive), ElementsAre(EntryName(temp_ / "Good\\kept.cht")));

  for (const char* folder : {"A", "B", "C"}) temp_.MakeFolder(std::string("Src\\") + folder);
  temp_.Write("Src\\B\\letter.txt");
  Bar().history.clear();
  RunBackup(temp_ / "Src", temp_ / "Dest", false);
  EXPECT_THAT(Messages(), ElementsAre("No chart files were found below " + (temp_ / "Src\\") +
                                      ". The backup ChartBackup.zip in " + (temp_ / "Dest\\") +
                                      " has been left as it was."));
  EXPECT_TRUE(Bytes(archive) == good) << "the last good backup was changed";
  EXPECT_THAT(Bar().history, ElementsAre(25, 50, 75, 100));
  EXPECT_EQ(Label("PLabel").caption, "Finished.");

  // Eight folders, and a source that does not exist at all.
  Bar().history.clear();
  for (int i = 0; i < 4; ++i) temp_.MakeFolder("Src\\D" + std::to_string(i));
  RunBackup(temp_ / "Src", temp_ / "Dest", false);
  EXPECT_THAT(Bar().history, ElementsAre(12, 25, 38, 50, 62, 75, 88, 100));
  RunBackup(temp_ / "Nowhere", temp_ / "Elsewhere", false);
  EXPECT_THAT(Messages().back(),
              HasSubstr("below " + (temp_ / "Nowhere\\") + " (the folder does not exist). No " +
                        "ChartBackup.zip has been made in " + (temp_ / "Elsewhere\\") + "."));
  EXPECT_TRUE(Bytes(archive) == good) << "the last good backup was changed";
  EXPECT_THAT(FilesIn(temp_ / "Elsewhere"), ElementsAre());
}

TEST_F(BackupTest, EmptySourceOrDestinationTouchesNothing) {
  temp_.Write("Src\\a.cht");
  for (const bool empty_source : {true, false}) {
    RunBackup(empty_source ? "" : temp_ / "Src", empty_source ? temp_ / "Dest" : "", false);
    EXPECT_EQ(Messages().back(), "Both Source and Dest must be selected.");
  }
  EXPECT_EQ(Messages().size(), 2u);
  EXPECT_FALSE(window_->FoundFiles);
  EXPECT_FALSE(window_->SearchFolders);
  EXPECT_TRUE(toolkit_.cursor_log.empty());
  EXPECT_TRUE(Label("PLabel").caption.empty());
  EXPECT_EQ(platform::GetFileAttributes(temp_ / "Dest"), platform::kInvalidAttributes);
}

}  // namespace
}  // namespace app
