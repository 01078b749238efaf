// With Auto on, a restore of loose chart files also searches the application's old chart folder,
// and then points the settings file at the chart folder inside the user-files folder.
#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include "app/window_fixture.h"
#include "platform/platform.h"
#include "util/ini_file.h"

#if !defined(_WIN32)
#include "support/faults.h"
#endif

namespace app {
namespace {

using ::testing::ElementsAre;

class ChartFolderSettingTest : public WindowTest {
 protected:
  // A restore of the loose chart files below source, answered Yes.
  void SearchFrom(const std::string& source) {
    ASSERT_TRUE(Mode().Select(1));
    ASSERT_TRUE(Check("AutoDest").checked);
    ASSERT_TRUE(Edit("ESource").Type(source));
    toolkit_.answer_of = [](const ui::headless::ShownMessage& box) -> std::optional<int> {
      if ((box.flags & 0xF) == ui::kMbYesNo) return ui::kIdYes;
      return std::nullopt;
    };
    ASSERT_TRUE(Button("RestoreButt").Click());
  }
  std::string Settings() const {
    std::string text;
    platform::ReadWholeFile(window_->SettingsPath, &text);
    return text;
  }
};

TEST_F(ChartFolderSettingTest, UserFilesLayoutGetsTheChartsFolderAndLosesItsRecentList) {
  const std::string old_charts = temp_ / "OldCharts\\";
  temp_.Write("OldCharts\\old.cht");
  temp_.Write("Src\\new.cht");
  WriteSystemSettings(9, "[Halvane]\r\nSystemDataPath=C:\\Halvane9\r\n");
  WriteUserSettings(9, "; the user's own note\r\n[Halvane]\r\nChartDataPath=" + old_charts +
                           "\r\nZoom=3\r\n[ChartsMRU]\r\nFile1=" + old_charts +
                           "old.cht\r\n[Colours]\r\nBack=1\r\n");
  Open();
  const std::string user_data = window_->UserDataFolder;
  ASSERT_FALSE(user_data.empty());

  SearchFrom(temp_ / "Src");
  EXPECT_EQ(window_->SearchFolders->back(), old_charts);  // searched last, without its subfolders
  EXPECT_THAT(*window_->FoundFiles, ElementsAre(temp_ / "Src\\new.cht", old_charts + "old.cht"));
  EXPECT_EQ(window_->ChartFolder, user_data);
  util::IniFile settings = util::IniFile::FromText(window_->SettingsPath, Settings());
  EXPECT_EQ(settings.ReadString("Halvane", "ChartDataPath"), user_data + "\\Charts\\");
  EXPECT_EQ(settings.ReadString("Halvane", "Zoom"), "3");
  EXPECT_FALSE(settings.SectionExists("ChartsMRU"));
  EXPECT_EQ(settings.ReadString("Colours", "Back"), "1");
  EXPECT_NE(Settings().find("; the user's own note"), std::string::npos);

  // The chart folder is the user-data folder now: a second search adds nothing.
  SearchFrom(temp_ / "Src");
  EXPECT_EQ(window_->SearchFolders->back(), temp_ / "Src\\");
}

// A chart folder below the source has been walked already: its charts are found once.
TEST_F(ChartFolderSettingTest, AChartFolderBelowTheSourceIsSearchedOnce) {
  temp_.Write("Src\\Charts\\old.cht");
  WriteSystemSettings(9, "[Halvane]\r\nSystemDataPath=C:\\Halvane9\r\n");
  WriteUserSettings(9, "[Halvane]\r\nChartDataPath=" + temp_ / "Src\\Charts\\" + "\r\n");
  Open();
  SearchFrom(temp_ / "Src");
  EXPECT_THAT(*window_->FoundFiles, ElementsAre(temp_ / "Src\\Charts\\old.cht"));
  EXPECT_EQ(window_->ChartFolder, window_->UserDataFolder);  // the setting is stored all the same
}

TEST_F(ChartFolderSettingTest, OlderLayoutGetsTheUserDataFolderItself) {
  const std::string user_data = temp_ / "UserData";
  temp_.MakeFolder("UserData");
  temp_.Write("Charts5\\c.cht");
  WriteSystemSettings(5, "[Halvane]\r\nChartDataPath=" + (temp_ / "Charts5") + "\r\nUserDataPath=" +
                             user_data + "\r\n[ChartsMRU]\r\nFile1=c.cht\r\n");
  Open();
  SearchFrom(temp_ / "UserData");
  EXPECT_EQ(window_->SearchFolders->back(), temp_ / "Charts5");
  EXPECT_THAT(*window_->FoundFiles, ElementsAre(temp_ / "Charts5\\c.cht"));
  util::IniFile settings = util::IniFile::FromText(window_->SettingsPath, Settings());
  EXPECT_EQ(settings.ReadString("Halvane", "ChartDataPath"), user_data);
  EXPECT_EQ(settings.ReadString("ChartsMRU", "File1"), "c.cht");
  EXPECT_EQ(window_->ChartFolder, user_data);
}

TEST_F(ChartFolderSettingTest, NoSettingsFileChangesNothingAndTheUnknownFolderIsSkipped) {
  // Version 9 without its user settings file: no chart folder is known.
  WriteSystemSettings(9, "[Halvane]\r\nSystemDataPath=C:\\Halvane9\r\n");
  temp_.Write("Src\\a.cht");
  Open();
  ASSERT_TRUE(window_->SettingsPath.empty());
  ASSERT_TRUE(window_->ChartFolder.empty());
  for (int run = 0; run < 2; ++run) {
    SearchFrom(temp_ / "Src");
    EXPECT_EQ(window_->SearchFolders->back(), "");  // appended on every search
    EXPECT_THAT(*window_->FoundFiles, ElementsAre(temp_ / "Src\\a.cht"));
    EXPECT_TRUE(window_->ChartFolder.empty());
  }
}

#if !defined(_WIN32)
// Held by another program or failing on the disk: written back it would hold one key and lose
// every other setting, so it is left as it is and the charts stay where the settings say.
TEST_F(ChartFolderSettingTest, ASettingsFileThatCannotBeReadIsLeftUntouched) {
  ASSERT_TRUE(test_support::FaultShimLoaded())
      << "run through ctest, which preloads tests/support/fault_shim.c";
  const std::string old_charts = temp_ / "OldCharts\\";
  temp_.Write("Src\\new.cht");
  WriteSystemSettings(9, "[Halvane]\r\nSystemDataPath=C:\\Halvane9\r\n");
  WriteUserSettings(9, "[Halvane]\r\nChartDataPath=" + old_charts +
                           "\r\nZoom=3\r\n[ChartsMRU]\r\nFile1=old.cht\r\n");
  Open();
  ASSERT_FALSE(window_->SettingsPath.empty());
  const std::string before = Settings();
  {
    const test_support::ArmedFault unreadable("RD_FAULT_READ", "/Settings/Halvane9.INI");
    SearchFrom(temp_ / "Src");
  }
  EXPECT_EQ(Settings(), before);
  EXPECT_EQ(window_->ChartFolder, old_charts);
  EXPECT_THAT(*window_->FoundFiles, ElementsAre(temp_ / "Src\\new.cht"));
}
#endif

}  // namespace
}  // namespace app
