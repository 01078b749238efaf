// The user-data archive beside the chart archive: what it lists for each layout, and its comment.
#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include "backup_fixture.h"
#include "platform/platform.h"

namespace app {
namespace {

using ::testing::Contains;
using ::testing::ElementsAre;
using ::testing::IsSupersetOf;
using ::testing::Not;

constexpr char kPrefix[] = "Vardek Backup of ";

TEST_F(BackupTest, UserFilesLayoutArchivesTheUserFilesAndNamesTheSystemFolder) {
  const std::string system_data = temp_ / "Halvane9";
  temp_.Write("Halvane9\\dynsetup.fil");  // not taken in this layout
  temp_.Write("Halvane9\\COLSCHEM.INI");
  InstallUserFilesVersion(9, system_data, temp_ / "Charts");
  const std::string user = DocumentsFolder() + "Halvane User Files\\";
  platform::CreateDirectory(user + "Pages");
  platform::CreateDirectory(user + "Interpretations");
  platform::CreateDirectory(user + "Wheels");
  temp_.Write("Charts\\c.cht");
  for (const char* name : {"Pages\\p.pag", "Wheels\\w.wh1", "Interpretations\\a.int", "places.plc",
                           "dials.di3", "readme.txt"}) {
    ASSERT_TRUE(platform::WriteWholeFileSafely(user + name, name));
  }
  RunBackup(temp_ / "Charts", temp_ / "Dest", /*user_data=*/true);
  EXPECT_THAT(Messages(), ElementsAre());

  ASSERT_TRUE(window_->FoundFiles);
  const base::StringList& list = *window_->FoundFiles;
  ASSERT_EQ(list.size(), 34u);
  EXPECT_EQ(list.front(), window_->UserDataFolder + "\\*.pt*");
  EXPECT_EQ(list[32], window_->UserDataFolder + "\\*.csg");
  EXPECT_EQ(list.back(), window_->InterpFolder + "\\*.int");

  const std::string archive = temp_ / "Dest\\RUDadoze.zev";
  EXPECT_EQ(Comment(archive), kPrefix + system_data);
  const std::vector<std::string> entries = Entries(archive);
  for (const char* name :
       {"Pages\\p.pag", "Wheels\\w.wh1", "Interpretations\\a.int", "places.plc", "dials.di3",
        "SETTINGS\\Halvane9.INI"}) {  // the fixture made that folder
    EXPECT_THAT(entries, Contains(EntryName(user + name))) << name;
  }
  EXPECT_THAT(entries, Not(Contains(EntryName(user + "readme.txt"))));
  EXPECT_THAT(entries, Not(Contains(EntryName(system_data + "\\dynsetup.fil"))));
  EXPECT_THAT(Entries(temp_ / "Dest\\ChartBackup.zip"),
              ElementsAre(EntryName(temp_ / "Charts\\c.cht")));

  const auto& status = Label("PLabel").history;
  EXPECT_THAT(std::vector<std::string>(status.end() - 3, status.end()),
              ElementsAre("", "Gathering Halvane Data Files.", "Finished."));
  EXPECT_THAT(toolkit_.progress_log, IsSupersetOf({"caption:Zipping up Chart Files.",
                                                   "caption:Zipping up User Data Files."}));
}

TEST_F(BackupTest, OlderLayoutAddsTheTwoSystemFilesAndKeepsTheFolderAsStored) {
  const std::string system_data = temp_ / "Program Files\\App";  // no trailing backslash
  temp_.Write("Program Files\\App\\dynsetup.fil");
  temp_.Write("Program Files\\App\\COLSCHEM.INI");
  temp_.Write("Program Files\\App\\other.ini");  // only the two by name
  temp_.Write("User5\\aspects.asp");
  temp_.Write("Interp5\\mars.int");
  InstallOlderVersion(5, temp_ / "Interp5", system_data, temp_ / "Charts", temp_ / "User5");
  temp_.MakeFolder("Charts");
  RunBackup(temp_ / "Charts", temp_ / "Dest", true);

  const base::StringList& list = *window_->FoundFiles;
  ASSERT_EQ(list.size(), 2u + 33u + 1u);
  EXPECT_EQ(list[0], system_data + "\\dynsetup.fil");
  EXPECT_EQ(list[1], system_data + "\\COLSCHEM.INI");
  EXPECT_EQ(list[2], temp_ / "User5\\*.pt*");
  const std::string archive = temp_ / "Dest\\RUDadoze.zev";
  EXPECT_EQ(Comment(archive), kPrefix + system_data);
  const std::vector<std::string> entries = Entries(archive);
  EXPECT_THAT(entries, IsSupersetOf({EntryName(system_data + "\\dynsetup.fil"),
                                     EntryName(system_data + "\\COLSCHEM.INI"),
                                     EntryName(temp_ / "User5\\aspects.asp"),
                                     EntryName(temp_ / "Interp5\\mars.int")}));
  EXPECT_THAT(entries, Not(Contains(EntryName(system_data + "\\other.ini"))));
  // No chart archive is made of nothing, and the run says so, once.
  EXPECT_THAT(Messages(), ElementsAre(::testing::StartsWith("No chart files were found below")));
}

// A folder of the user's that holds nothing yet is restored as the empty folder it was.
TEST_F(BackupTest, EmptyUserDataFoldersAreKept) {
  const std::string user = temp_ / "User5";
  temp_.Write("User5\\aspects.asp", "aspects");
  temp_.MakeFolder("User5\\Wheels");
  temp_.MakeFolder("User5\\Pages\\Old");
  temp_.Write("User5\\Notes\\readme.txt", "not the application's");
  temp_.Write("Charts\\c.cht");
  InstallOlderVersion(5, temp_ / "Interp5", temp_ / "App", temp_ / "Charts", user);
  RunBackup(temp_ / "Charts", temp_ / "Dest", true);
  EXPECT_EQ(Label("PLabel").caption, "Finished.");
  const std::vector<std::string> entries = Entries(temp_ / "Dest\\RUDadoze.zev");
  EXPECT_THAT(entries,
              IsSupersetOf({EntryName(user + "\\aspects.asp"), EntryName(user + "\\Wheels\\"),
                            EntryName(user + "\\Pages\\"), EntryName(user + "\\Pages\\Old\\")}));
  // A folder only of files no mask takes stays out, as before.
  EXPECT_THAT(entries, Not(Contains(EntryName(user + "\\Notes\\"))));
}

TEST_F(BackupTest, NoApplicationMakesNoUserArchiveAndSaysWhy) {
  temp_.Write("Charts\\c.cht");
  RunBackup(temp_ / "Charts", temp_ / "Dest", true);
  EXPECT_TRUE(window_->FoundFiles->empty());
  EXPECT_THAT(FilesIn(temp_ / "Dest"), ElementsAre("ChartBackup.zip"));
  EXPECT_THAT(Messages(),
              ElementsAre("No Halvane user data files were found (Halvane was not found on this "
                          "computer). No RUDadoze.zev has been made in " +
                          (temp_ / "Dest\\") + "."));
  EXPECT_EQ(Label("PLabel").caption, "Finished.");
}

}  // namespace
}  // namespace app
