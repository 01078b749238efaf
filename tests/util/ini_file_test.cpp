#include "util/ini_file.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <vector>

#include "platform/platform.h"
#include "support/temp_folder.h"

namespace util {
namespace {

using test_support::TempFolder;

TEST(IniFileTest, ReadsLikeWindows) {
  const IniFile ini = IniFile::FromText("x.ini",
                                        "SystemDataPath=C:\\before\\section\r\n"
                                        "[Other]\r\n"
                                        "ChartDataPath=C:\\wrong\\\r\n"
                                        "\r\n"
                                        "[halvane]\r\n"
                                        "; ChartDataPath=C:\\commented\\\r\n"
                                        "chartdatapath=C:\\Charts\\\r\n"
                                        "Formula=a=b\r\n"
                                        "Spaced = value \r\n"
                                        "Empty=\r\n"
                                        "ChartDataPath=C:\\second\\\r\n");
  EXPECT_EQ(ini.ReadString("Halvane", "ChartDataPath"), "C:\\Charts\\");
  EXPECT_EQ(ini.ReadString("HALVANE", "formula"), "a=b");
  EXPECT_EQ(ini.ReadString("Halvane", "Spaced"), " value ");
  EXPECT_EQ(ini.ReadString("Halvane", "Empty"), "");
  EXPECT_EQ(ini.ReadString("Halvane", "Missing"), "");
  EXPECT_EQ(ini.ReadString("Halvane", "SystemDataPath"), "");  // lines before a section count not
  EXPECT_EQ(ini.ReadString("Missing", "ChartDataPath"), "");
  EXPECT_EQ(ini.ReadString("Halvane", "; ChartDataPath"), "");
}

TEST(IniFileTest, RewriteKeepsTheUsersLines) {
  const IniFile original = IniFile::FromText("x.ini",
                                             "; written by hand\n"
                                             "\n"
                                             "[Halvane]\n"
                                             "; where the charts are\n"
                                             "ChartDataPath = C:\\Old\\\n"
                                             "Font=Arial\n"
                                             "\n\n"
                                             "[ChartsMRU]\n"
                                             "File1=C:\\Old\\a.cht\n");
  IniFile ini = original;
  ini.WriteString("HALVANE", "chartdatapath", "C:\\New\\");
  ini.WriteString("Halvane", "Added", "1");
  ini.WriteString("Fresh", "Key", "v");
  EXPECT_EQ(ini.ToText(),
            "; written by hand\n"
            "\n"
            "[Halvane]\n"
            "; where the charts are\n"
            "ChartDataPath=C:\\New\\\n"
            "Font=Arial\n"
            "Added=1\n"
            "\n"
            "[ChartsMRU]\n"
            "File1=C:\\Old\\a.cht\n"
            "\n"
            "[Fresh]\n"
            "Key=v\n"
            "\n");
  ini.EraseSection("chartsmru");
  EXPECT_FALSE(ini.SectionExists("ChartsMRU"));
  EXPECT_TRUE(original.SectionExists("chartsmru"));
  // Writing what was read adds nothing, however often it is done.
  const std::string once = original.ToText();
  EXPECT_EQ(IniFile::FromText("x.ini", once).ToText(), once);
}

TEST(IniFileTest, KeepsLineEndingsAndByteOrderMark) {
  IniFile crlf = IniFile::FromText("x.ini", "\xEF\xBB\xBF[Halvane]\r\nA=1\r\n");
  EXPECT_EQ(crlf.ReadString("Halvane", "A"), "1");
  EXPECT_EQ(crlf.ToText(), "\xEF\xBB\xBF[Halvane]\r\nA=1\r\n\r\n");
  IniFile fresh = IniFile::FromText("x.ini", "");
  fresh.WriteString("Halvane", "A", "1");
  EXPECT_EQ(fresh.ToText(), "[Halvane]\r\nA=1\r\n\r\n");
}

TEST(IniFileTest, UpdateFileReplacesTheFileWhole) {
  TempFolder temp;
  const std::string path =
      temp.Write("Settings\\Halvane9.INI", "[Halvane]\r\nChartDataPath=C:\\Old\\\r\n");
  IniFile ini(path);
  EXPECT_EQ(ini.ReadString("Halvane", "ChartDataPath"), "C:\\Old\\");
  ini.WriteString("Halvane", "ChartDataPath", "C:\\New\\");
  ASSERT_TRUE(ini.UpdateFile());
  EXPECT_EQ(temp.Read("Settings\\Halvane9.INI"), "[Halvane]\r\nChartDataPath=C:\\New\\\r\n\r\n");
  // Nothing but the settings file is left in its folder.
  std::vector<platform::FindEntry> entries;
  platform::FindFiles(temp / "Settings\\*.*", &entries);
  std::vector<std::string> names;
  for (const auto& entry : entries) names.push_back(entry.name);
  EXPECT_THAT(names, ::testing::UnorderedElementsAre(".", "..", "Halvane9.INI"));
}

TEST(IniFileTest, AReadOnlySettingsFileIsLeftAlone) {
  TempFolder temp;
  const std::string path = temp.Write("Halvane9.INI", "[Halvane]\r\nChartDataPath=C:\\Old\\\r\n");
  platform::SetFileAttributes(path, platform::kAttrReadOnly);
  IniFile ini(path);
  ini.WriteString("Halvane", "ChartDataPath", "C:\\New\\");
  EXPECT_FALSE(ini.UpdateFile());
  EXPECT_EQ(temp.Read("Halvane9.INI"), "[Halvane]\r\nChartDataPath=C:\\Old\\\r\n");
}

TEST(IniFileTest, AMissingFileReadsEmptyAndIsCreatedOnUpdate) {
  TempFolder temp;
  IniFile ini(temp / "Halvane9.INI");
  EXPECT_EQ(ini.ReadString("Halvane", "ChartDataPath"), "");
  ini.WriteString("Halvane", "ChartDataPath", "C:\\Charts\\");
  ASSERT_TRUE(ini.UpdateFile());
  EXPECT_EQ(IniFile(temp / "Halvane9.INI").ReadString("Halvane", "ChartDataPath"), "C:\\Charts\\");
}

}  // namespace
}  // namespace util
