// The file utilities on real folders of the test's own, through whichever platform layer is built.
#include "util/files.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <vector>

#include "platform/platform.h"
#include "support/temp_folder.h"

namespace util {
namespace {

using test_support::TempFolder;
using ::testing::ElementsAre;
using ::testing::UnorderedElementsAre;

// Names directly inside a folder, as the platform lists them, without "." and "..".
std::vector<std::string> NamesIn(const std::string& folder) {
  std::vector<platform::FindEntry> entries;
  platform::FindFiles(base::AddBackslash(folder) + "*", &entries);
  std::vector<std::string> names;
  for (const auto& entry : entries) {
    if (entry.name != "." && entry.name != "..") names.push_back(entry.name);
  }
  return names;
}

TEST(FilesTest, FileExistsCheckedTakesFilesOnly) {
  TempFolder temp;
  const std::string file = temp.Write("Smith.cht");
  temp.MakeFolder("Charts");
  EXPECT_TRUE(FileExistsChecked(file));
  EXPECT_FALSE(FileExistsChecked(temp / "Charts"));
  EXPECT_FALSE(FileExistsChecked(temp / "Jones.cht"));
  EXPECT_FALSE(FileExistsChecked("\\"));
  EXPECT_FALSE(FileExistsChecked(""));
  EXPECT_FALSE(FileExistsChecked(".\\..\\"));
}

TEST(FilesTest, FileExistsCheckedSeesTheFirst255Characters) {
  TempFolder temp;
  // A file whose full path is 258 characters: beyond what the check looks at, within MAX_PATH.
  const std::string long_name = std::string(258 - temp.path().size() - 4, 'n') + ".cht";
  const std::string file = temp.Write(long_name);
  ASSERT_EQ(file.size(), 258u);
  ASSERT_NE(platform::GetFileAttributes(file), platform::kInvalidAttributes);
  EXPECT_FALSE(FileExistsChecked(file));
  // The same name cut at 255 characters names another file, which is what the check finds.
  temp.Write(file.substr(temp.path().size(), 255 - temp.path().size()));
  EXPECT_TRUE(FileExistsChecked(file));
}

TEST(FilesTest, FileExistsCheckedWithAccentedNamesAnyCase) {
  TempFolder temp;
  temp.Write("Zoé Ñandú.cht");
  EXPECT_TRUE(FileExistsChecked(temp / "Zoé Ñandú.cht"));
  EXPECT_TRUE(FileExistsChecked(temp / "ZOÉ ÑANDÚ.CHT"));
}

TEST(FilesTest, MakeFolderPathCreatesMissingFoldersInUpperCase) {
  TempFolder temp;
  MakeFolderPath(temp / "new\\sub\\");
  EXPECT_THAT(NamesIn(temp.path()), ElementsAre("NEW"));
  EXPECT_THAT(NamesIn(temp / "NEW"), ElementsAre("SUB"));

  // A folder that exists keeps its name; only what is missing is created.
  temp.MakeFolder("Keep");
  MakeFolderPath(temp / "keep\\inner");
  EXPECT_THAT(NamesIn(temp.path()), UnorderedElementsAre("NEW", "Keep"));
  EXPECT_THAT(NamesIn(temp / "Keep"), ElementsAre("INNER"));
}

TEST(FilesTest, MakeFolderPathKeepsAccentedLettersAndDropsControlCharacters) {
  TempFolder temp;
  MakeFolderPath(temp / "Zoé\\Char\ttS\\");
  EXPECT_THAT(NamesIn(temp.path()), ElementsAre("ZOé"));
  EXPECT_THAT(NamesIn(temp / "ZOé"), ElementsAre("CHARTS"));
  // A folder of the user's with an accented name is found again, not made a second time.
  temp.MakeFolder("Zoë");
  MakeFolderPath(temp / "Zoë\\Settings");
  EXPECT_THAT(NamesIn(temp / "Zoë"), ElementsAre("SETTINGS"));
}

TEST(FilesTest, MakeFolderPathWalksOnPastAFailure) {
  TempFolder temp;
  temp.Write("blocker");  // a file where a folder should be
  MakeFolderPath(temp / "blocker\\below");
  EXPECT_TRUE(FileExistsChecked(temp / "blocker"));
  MakeFolderPath(temp / "a\\b\\c\\d");
  EXPECT_THAT(NamesIn(temp / "A\\B\\C"), ElementsAre("D"));
}

TEST(FilesTest, AddSubfolderNamesAppendsFoldersOnly) {
  TempFolder temp;
  temp.MakeFolder("Charts\\A");
  temp.MakeFolder("Charts\\B");
  temp.MakeFolder("Charts\\A\\X");
  temp.Write("Charts\\Smith.cht");
  base::StringList list = {"kept"};
  AddSubfolderNames(temp / "Charts", list);
  EXPECT_THAT(list, UnorderedElementsAre("kept", temp / "Charts\\A\\", temp / "Charts\\B\\"));
  EXPECT_EQ(list.front(), "kept");  // appended, not cleared

  base::StringList none;
  AddSubfolderNames(temp / "Missing", none);
  AddSubfolderNames(temp / "Charts\\A\\X\\", none);
  EXPECT_TRUE(none.empty());
}

TEST(FilesTest, ListFilesNamesMatchingFilesOnly) {
  TempFolder temp;
  temp.Write("Charts\\Smith.cht");
  temp.Write("Charts\\JONES.CHT");
  temp.Write("Charts\\notes.txt");
  temp.MakeFolder("Charts\\folder.cht");
  const std::string locked = temp.Write("Charts\\locked.cht");
  platform::SetFileAttributes(locked, platform::kAttrReadOnly);
  EXPECT_THAT(ListFiles(temp / "Charts\\*.cht"),
              UnorderedElementsAre("Smith.cht", "JONES.CHT", "locked.cht"));
  EXPECT_TRUE(ListFiles(temp / "Charts\\*.omb").empty());
  EXPECT_TRUE(ListFiles(temp / "Missing\\*.cht").empty());
}

TEST(FilesTest, CopyFileSetAttrReplacesAReadOnlyTargetOnTheSecondCall) {
  TempFolder temp;
  const std::string source = temp.Write("new\\Smith.cht", "new chart");
  const std::string target = temp.Write("old\\Smith.cht", "old chart");
  platform::SetFileAttributes(target, platform::kAttrReadOnly);

  CopyFileSetAttr(source, target, 0);
  EXPECT_EQ(temp.Read("old\\Smith.cht"), "old chart");  // refused, the old file stands
  EXPECT_EQ(platform::GetFileAttributes(target) & platform::kAttrReadOnly, 0u);

  CopyFileSetAttr(source, target, 0);
  EXPECT_EQ(temp.Read("old\\Smith.cht"), "new chart");
  EXPECT_EQ(platform::GetFileAttributes(target) & platform::kAttrReadOnly, 0u);
}

TEST(FilesTest, CopyFileSetAttrClearsAttributesTheSourceCarried) {
  TempFolder temp;
  const std::string source = temp.Write("Smith.cht", "chart");
  platform::SetFileAttributes(source, platform::kAttrReadOnly);
  CopyFileSetAttr(source, temp / "copy.cht", 0);
  EXPECT_EQ(temp.Read("copy.cht"), "chart");
  EXPECT_EQ(platform::GetFileAttributes(temp / "copy.cht") & platform::kAttrReadOnly, 0u);
}

TEST(FilesTest, ShellFolders) {
  const std::string documents = GetDocumentsDir();
  ASSERT_FALSE(documents.empty());
  EXPECT_NE(platform::GetFileAttributes(documents) & platform::kAttrDirectory, 0u);
  EXPECT_FALSE(GetWindowsDir().empty());
  EXPECT_NE(GetWindowsDir().back(), '\\');
  EXPECT_EQ(GetShellFolder(-12345), "");
}

}  // namespace
}  // namespace util
