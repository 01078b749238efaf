#include "locations/locations.h"

#include <gtest/gtest.h>

#include "support/temp_folder.h"

namespace locations {
namespace {

// A Windows folder and a documents folder of the test's own, and the application located there.
class LocateApplicationTest : public ::testing::Test {
 protected:
  void SetUp() override { ClearLocations(found_); }

  std::string Windows() const { return temp_ / "windows"; }
  std::string Documents() const { return temp_ / "docs"; }

  void SystemFile(const std::string& name, const std::string& text) {
    temp_.Write("windows\\" + name, text);
  }
  void UserFile(const std::string& name, const std::string& text) {
    temp_.Write("docs\\Halvane User Files\\Settings\\" + name, text);
  }
  void Locate() {
    temp_.MakeFolder("windows");
    LocateApplication(Documents(), found_, [this] { return Windows(); });
  }

  test_support::TempFolder temp_;
  Locations found_;
};

TEST_F(LocateApplicationTest, Version9WithUserSettings) {
  SystemFile("Halvane9.INI", "[Halvane]\r\nSystemDataPath=C:\\Program Files\\Halvane9\\\r\n");
  UserFile("Halvane9.INI", "[Halvane]\r\nChartDataPath=D:\\Charts\\\r\n");
  Locate();
  EXPECT_EQ(HalvaneVersion, 9);
  EXPECT_TRUE(HasVersion9);
  EXPECT_FALSE(HasVersion8 || HasVersion7);
  EXPECT_TRUE(HasUserFilesLayout());
  EXPECT_EQ(found_.SystemDataFolder, "C:\\Program Files\\Halvane9\\");
  EXPECT_EQ(found_.ChartFolder, "D:\\Charts\\");
  EXPECT_EQ(found_.UserDataFolder, Documents() + "\\Halvane User Files");
  EXPECT_EQ(found_.InterpFolder, Documents() + "\\Halvane User Files\\Interpretations");
  EXPECT_EQ(found_.SettingsPath, Documents() + "\\Halvane User Files\\Settings\\Halvane9.INI");
}

TEST_F(LocateApplicationTest, Version9WinsOver8) {
  SystemFile("Halvane9.INI", "[Halvane]\r\nSystemDataPath=C:\\H9\r\n");
  SystemFile("Halvane8.INI", "[Halvane]\r\nSystemDataPath=C:\\H8\r\n");
  UserFile("Halvane8.INI", "[Halvane]\r\nChartDataPath=C:\\Charts8\\\r\n");
  Locate();
  EXPECT_EQ(HalvaneVersion, 9);
  EXPECT_TRUE(HasVersion9);
  EXPECT_FALSE(HasVersion8);
  EXPECT_EQ(found_.SystemDataFolder, "C:\\H9");
  EXPECT_EQ(found_.ChartFolder, "");  // version 8's user file is not read for version 9
  EXPECT_EQ(found_.SettingsPath, "");
}

TEST_F(LocateApplicationTest, Version8) {
  SystemFile("Halvane8.INI", "[Halvane]\r\nSystemDataPath=C:\\H8\r\n");
  UserFile("Halvane8.INI", "[Halvane]\r\nChartDataPath=C:\\Charts8\\\r\n");
  Locate();
  EXPECT_EQ(HalvaneVersion, 8);
  EXPECT_TRUE(HasVersion8);
  EXPECT_FALSE(HasVersion9 || HasVersion7);
  EXPECT_EQ(found_.ChartFolder, "C:\\Charts8\\");
  EXPECT_EQ(found_.SettingsPath, Documents() + "\\Halvane User Files\\Settings\\Halvane8.INI");
}

TEST_F(LocateApplicationTest, Version7WithAndWithoutUserSettings) {
  SystemFile("Halvane7.INI", "[Halvane]\r\nSystemDataPath=C:\\H7\r\n");
  SystemFile("Halvane6.INI", "[Halvane]\r\nChartDataPath=C:\\Old6\\\r\n");  // not looked at
  Locate();
  EXPECT_EQ(HalvaneVersion, 7);
  EXPECT_TRUE(HasVersion7);
  EXPECT_EQ(found_.SystemDataFolder, "C:\\H7");
  EXPECT_EQ(found_.ChartFolder, "");
  EXPECT_EQ(found_.SettingsPath, "");
  EXPECT_EQ(found_.UserDataFolder, Documents() + "\\Halvane User Files");

  ClearLocations(found_);
  UserFile("Halvane7.INI", "[Halvane]\r\nChartDataPath=C:\\Charts\\\r\n");
  Locate();
  EXPECT_TRUE(HasVersion7);
  EXPECT_EQ(HalvaneVersion, 7);
  EXPECT_EQ(found_.ChartFolder, "C:\\Charts\\");
  EXPECT_EQ(found_.SettingsPath, Documents() + "\\Halvane User Files\\Settings\\Halvane7.INI");
}

TEST_F(LocateApplicationTest, OlderVersionsNameEveryFolderInOneFile) {
  const std::string text =
      "[Halvane]\r\nInterpPath=C:\\H\\Interp\r\nSystemDataPath=C:\\H\\System\\\r\n"
      "ChartDataPath=C:\\H\\Charts\\\r\nUserDataPath=C:\\H\\User\r\n";
  for (int version : {6, 5, 4}) {
    SCOPED_TRACE(version);
    test_support::RemoveTree(Windows());
    SystemFile("Halvane" + std::to_string(version) + ".INI", text);
    if (version < 6) SystemFile("Halvane3.INI", "[Halvane]\r\nChartDataPath=C:\\Three\\\r\n");
    ClearLocations(found_);
    Locate();
    EXPECT_EQ(HalvaneVersion, version);
    EXPECT_FALSE(HasUserFilesLayout());
    EXPECT_EQ(found_.InterpFolder, "C:\\H\\Interp");
    EXPECT_EQ(found_.SystemDataFolder, "C:\\H\\System\\");
    EXPECT_EQ(found_.ChartFolder, "C:\\H\\Charts\\");
    EXPECT_EQ(found_.UserDataFolder, "C:\\H\\User");
    EXPECT_EQ(found_.SettingsPath, Windows() + "\\Halvane" + std::to_string(version) + ".INI");
  }
}

TEST_F(LocateApplicationTest, NoInstallation) {
  UserFile("Halvane9.INI", "[Halvane]\r\nChartDataPath=C:\\Charts\\\r\n");  // no system file
  Locate();
  EXPECT_EQ(HalvaneVersion, 0);
  EXPECT_FALSE(HasUserFilesLayout());
  EXPECT_EQ(found_.SettingsPath, "");
  EXPECT_EQ(found_.ChartFolder, "");
  EXPECT_EQ(found_.SystemDataFolder, "");
  EXPECT_EQ(found_.InterpFolder, "");
  EXPECT_EQ(found_.UserDataFolder, "");
}

TEST_F(LocateApplicationTest, AnEmptyValueReadsAsMissing) {
  SystemFile("Halvane9.INI", "[Halvane]\r\nSystemDataPath=\r\n");
  UserFile("Halvane9.INI", "[Halvane]\r\nChartDataPath=\r\n");
  Locate();
  EXPECT_EQ(HalvaneVersion, 9);
  EXPECT_EQ(found_.SystemDataFolder, "");
  EXPECT_EQ(found_.ChartFolder, "");
  EXPECT_EQ(found_.SettingsPath, Documents() + "\\Halvane User Files\\Settings\\Halvane9.INI");
}

TEST_F(LocateApplicationTest, DocumentsFolderWithATrailingBackslash) {
  SystemFile("Halvane9.INI", "[Halvane]\r\nSystemDataPath=C:\\H9\r\n");
  temp_.MakeFolder("windows");
  LocateApplication(Documents() + "\\", found_, [this] { return Windows() + "\\"; });
  EXPECT_EQ(HalvaneVersion, 9);
  EXPECT_EQ(found_.UserDataFolder, Documents() + "\\Halvane User Files");
}

}  // namespace
}  // namespace locations
