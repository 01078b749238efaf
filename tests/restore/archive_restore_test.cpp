// The archive restore and its user-data step, through the window with the real engine.
#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <map>

#include "platform/platform.h"
#include "restore_fixture.h"
#if !defined(_WIN32)
#include "support/host_process.h"
#endif
#include "zip/progress_form.h"
#include "zip/tzip.h"

namespace app {
namespace {

using Names = std::vector<std::string>;

const int32_t kOld = DosTime(2019, 5, 1, 8, 0);
const int32_t kMid = DosTime(2021, 3, 14, 9, 30);
const int32_t kNew = DosTime(2023, 11, 2, 17, 44);

// Backed-up chart folders: charts of every kind, in nested folders, with a text file among them.
class ChartArchiveTest : public RestoreTest {
 protected:
  void SetUp() override {
    const std::string charts = temp_ / "old\\";
    Put("old\\a\\Smith.cht", "smith", kMid);
    Put("old\\a\\Smith.CHM", "smith companion", kMid);
    Put("old\\b\\Smith.XN0", "smith second companion", kMid);
    Put("old\\Older.omb", "older program", kOld);
    Put("old\\deep\\er\\Wed.HVcht", "wedding", kNew);
    Put("old\\notes.txt", "not a chart", kMid);
    MakeArchive(Source() + command::kChartArchiveName, {charts + "*.*"}, kChartOptions,
                command::kBackupCommentPrefix + charts);
  }
  std::string Source() const { return temp_ / "backup\\"; }
  const Names kChartMembers = {"Older.omb", "Smith.CHM", "Smith.XN0", "Smith.cht", "Wed.HVcht"};
  const Names kAllMembers = {"Older.omb", "Smith.CHM", "Smith.XN0",
                             "Smith.cht", "Wed.HVcht", "notes.txt"};
};

TEST_F(ChartArchiveTest, MissingFolderStopsBeforeAnythingIsTouched) {
  Open();  // no application: Auto leaves the destination empty
  RestoreFrom(Source());
  EXPECT_EQ(Messages(), Names{"Both Source and Dest must be selected."});
  EXPECT_EQ(Label("PLabel").caption, "");
  EXPECT_EQ(Bar().position, 0);
  EXPECT_TRUE(toolkit_.progress_log.empty());
}

TEST_F(ChartArchiveTest, UserFilesLayoutWithAutoTakesChartsIntoNewChartsFolder) {
  InstallUserFilesVersion(9, "C:\\Halvane\\System", UserFiles() + "Charts\\");
  temp_.Write("backup\\Loose.cht", "beside the archive");
  Open();
  RestoreFrom(Source());

  EXPECT_TRUE(Messages().empty());
  EXPECT_EQ(FolderNameOnDisk(UserFiles(), "Charts"), "CHARTS");
  const std::string charts = UserFiles() + "Charts\\";
  EXPECT_EQ(FilesIn(charts), kChartMembers);
  EXPECT_EQ(Contents(charts + "Smith.cht"), "smith");
  EXPECT_EQ(platform::GetFileAge(charts + "Smith.cht"), kMid);
  EXPECT_EQ(platform::GetFileAge(charts + "Wed.HVcht"), kNew);
  // Nothing into the user-files root: the archive wins over loose files in the source.
  EXPECT_EQ(FilesIn(UserFiles()), Names{});
  const auto& history = Label("PLabel").history;
  ASSERT_GE(history.size(), 3u);
  EXPECT_EQ(Names(history.end() - 3, history.end()), (Names{"", "Working.", "Finished."}));
  EXPECT_EQ(Bar().position, 100);
  EXPECT_FALSE(toolkit_.busy);
  EXPECT_EQ(zip::ProgressCaption, "Unzipping and Restoring Chart files.");
}

TEST_F(ChartArchiveTest, OlderLayoutWithAutoTakesEveryMemberIntoUserDataFolder) {
  InstallOlderVersion(5, "C:\\Halvane\\Interp", "C:\\Halvane\\System", "C:\\Halvane\\Charts",
                      temp_ / "userdata");
  Open();
  RestoreFrom(Source());
  EXPECT_EQ(FolderNameOnDisk(temp_.path(), "userdata"), "USERDATA");
  EXPECT_EQ(FilesIn(temp_ / "userdata"), kAllMembers);
  EXPECT_EQ(Label("PLabel").caption, "Finished.");
}

// Auto off: the destination box, in both layouts; only the user-files layout filters.
class ChartArchiveLayoutTest : public ChartArchiveTest,
                               public ::testing::WithParamInterface<bool> {};

TEST_P(ChartArchiveLayoutTest, WithoutAutoMembersGoToTheDestinationFolder) {
  const bool user_files = GetParam();
  if (user_files) {
    InstallUserFilesVersion(8, "C:\\Halvane\\System", UserFiles() + "Charts\\");
  } else {
    InstallOlderVersion(6, "C:\\H\\Interp", "C:\\H\\System", "C:\\H\\Charts", "C:\\H\\User");
  }
  temp_.MakeFolder("Restored");
  Open();
  RestoreFrom(Source(), temp_ / "Restored\\new\\");

  EXPECT_EQ(FolderNameOnDisk(temp_.path(), "restored"), "Restored");
  EXPECT_EQ(FolderNameOnDisk(temp_ / "Restored", "new"), "NEW");
  EXPECT_EQ(FilesIn(temp_ / "Restored\\new"), user_files ? kChartMembers : kAllMembers);
  EXPECT_EQ(FilesIn(UserFiles() + "Charts"), Names{});
  EXPECT_EQ(Label("PLabel").caption, "Finished.");
}

INSTANTIATE_TEST_SUITE_P(Layouts, ChartArchiveLayoutTest, ::testing::Bool());

TEST_F(ChartArchiveTest, OnlyOlderFilesAreReplaced) {
  InstallUserFilesVersion(9, "C:\\Halvane\\System", UserFiles() + "Charts\\");
  const std::string target = temp_ / "target\\";
  Put("target\\Smith.cht", "kept: newer than the backup", kNew);
  Put("target\\Wed.HVcht", "replaced: older than the backup", kMid);
  Open();
  RestoreFrom(Source(), target);
  EXPECT_EQ(Contents(target + "Smith.cht"), "kept: newer than the backup");
  EXPECT_EQ(platform::GetFileAge(target + "Smith.cht"), kNew);
  EXPECT_EQ(Contents(target + "Wed.HVcht"), "wedding");
  EXPECT_EQ(platform::GetFileAge(target + "Wed.HVcht"), kNew);
  EXPECT_TRUE(Messages().empty());
}

// Dropping the folders puts two charts of one name on one file: the one that does not come back
// is named, with the one that took its place.
TEST_F(ChartArchiveTest, AChartWhosePlaceAnotherOfItsNameTookIsNamed) {
  InstallUserFilesVersion(9, "C:\\Halvane\\System", UserFiles() + "Charts\\");
  Put("twins\\a\\Twin.cht", "the older twin", kOld);
  Put("twins\\b\\Twin.cht", "the newer twin", kNew);
  MakeArchive(temp_ / "tb\\ChartBackup.zip", {temp_ / "twins\\*.*"}, kChartOptions,
              command::kBackupCommentPrefix + (temp_ / "twins\\"));
  const std::string target = temp_ / "target\\";
  Open();
  RestoreFrom(temp_ / "tb\\", target);
  EXPECT_EQ(Contents(target + "Twin.cht"), "the newer twin");
  EXPECT_EQ(Label("PLabel").caption, "Finished.");
  EXPECT_THAT(Messages(),
              testing::ElementsAre(testing::AllOf(
                  testing::StartsWith("The restore is not complete: 1 file was not restored."),
                  testing::HasSubstr("From ChartBackup.zip: 1 of 2 files restored."),
                  testing::HasSubstr(target + "Twin.cht ("),
                  testing::HasSubstr("a\\Twin.cht in the backup): another file of that name, "),
                  testing::HasSubstr("b\\Twin.cht in the backup, took its place\n"))));
}

#if !defined(_WIN32)
// As an ordinary user, so that permissions bind: into a folder that cannot be written nothing is
// restored, each chart is named with why, and the file that was there stays whole, beside no
// half-written one.
TEST_F(ChartArchiveTest, WhatCannotBeWrittenIsNamedWithWhy) {
  if (!test_support::RunUnprivileged()) return;
  InstallUserFilesVersion(9, "C:\\Halvane\\System", UserFiles() + "Charts\\");
  const std::string target = temp_ / "target\\";
  Put("target\\Smith.cht", "older than the backup", kOld);
  const test_support::AccessMode read_only(temp_ / "target", 0555);
  ASSERT_TRUE(read_only.made());
  Open();
  RestoreFrom(Source(), target);
  EXPECT_EQ(Label("PLabel").caption, "Finished.");
  std::vector<testing::Matcher<std::string>> told = {
      testing::StartsWith("The restore is not complete: 5 files were not restored."),
      testing::HasSubstr("From ChartBackup.zip: 0 of 5 files restored.")};
  for (const std::string& name : kChartMembers) {
    told.push_back(testing::HasSubstr(target + name + " ("));
  }
  told.push_back(testing::Not(testing::HasSubstr("notes.txt")));
  EXPECT_THAT(Messages(), testing::ElementsAre(testing::AllOfArray(told)));
  EXPECT_THAT(Messages()[0], testing::HasSubstr("in the backup): access is denied\n"));
  EXPECT_EQ(FilesIn(target), Names{"Smith.cht"});
  EXPECT_EQ(Contents(target + "Smith.cht"), "older than the backup");

  // A folder that cannot be made in it: why it cannot, not that it is not there.
  RestoreFrom(Source(), target + "New\\");
  ASSERT_EQ(Messages().size(), 2u);
  EXPECT_THAT(Messages()[1], testing::HasSubstr(target + "New\\Wed.HVcht ("));
  EXPECT_THAT(Messages()[1], testing::Not(testing::HasSubstr("no longer exists")));
  EXPECT_THAT(Messages()[1], testing::HasSubstr("in the backup): access is denied\n"));
}
#endif

TEST_F(ChartArchiveTest, MissingUserDataArchiveEndsAfterTheCharts) {
  InstallUserFilesVersion(9, "C:\\Halvane\\System", UserFiles() + "Charts\\");
  Open();
  RestoreFrom(Source(), "", true);
  EXPECT_EQ(FilesIn(UserFiles() + "Charts"), kChartMembers);
  EXPECT_EQ(Messages(), Names{"No Halvane Backup was found at that source location."});
  // The question said so before the charts went.
  EXPECT_THAT(questions_, testing::ElementsAre(testing::HasSubstr(
                              "\nThe user data will not be restored: there is no RUDadoze.zev in " +
                              Source() + ".\n")));
  EXPECT_EQ(Label("PLabel").caption, "Working.");
  EXPECT_FALSE(toolkit_.busy);
}

TEST_F(ChartArchiveTest, ArchiveThatIsNoZipIsReportedAndTheWindowStays) {
  InstallUserFilesVersion(9, "C:\\Halvane\\System", UserFiles() + "Charts\\");
  temp_.Write("broken\\ChartBackup.zip", "this is not a zip archive");
  Open();
  PrepareRestore(temp_ / "broken\\", "", false);
  const size_t before = Messages().size();
  // The handler fails, and the failure is shown in the component's own words.
  EXPECT_FALSE(Button("RestoreButt").Click());
  ASSERT_EQ(Messages().size(), before + 1);
  EXPECT_NE(Messages().back(), "");
  EXPECT_FALSE(toolkit_.busy);
  EXPECT_FALSE(toolkit_.form->closed);
  EXPECT_TRUE(Button("RestoreButt").enabled);
  EXPECT_EQ(FilesIn(UserFiles() + "Charts"), Names{});
}

// The user data of a version 9 installation, one or more files per category and some for none.
class UserDataTest : public ChartArchiveTest {
 protected:
  void MakeUserDataArchive(const std::string& comment) {
    const std::string data = temp_ / "data\\";
    for (const char* name :
         {"dynsetup.fil", "maps\\World.ndx", "readme.txt", "Natal.di12", "Natal.di3",
          "wheels\\Bi.wh7", "Trad.asp", "UserColors.ini", "Myhvsettings.ini", "Mypages.ini",
          "Cover.jpg", "Sun.int", "Chart1.cht", "Home.plc", "Daily.tsk", "Dig.alm", "Old.sav"}) {
      Put(std::string("data\\") + name, std::string("data of ") + name, kMid);
    }
    MakeArchive(Source() + command::kUserDataArchiveName, {data + "*.*"}, kUserDataOptions,
                comment);
  }
};

TEST_F(UserDataTest, PassesRouteEveryMemberToItsCategoryFolders) {
  InstallUserFilesVersion(9, "C:\\Halvane\\System", UserFiles() + "Charts\\");
  MakeUserDataArchive(std::string(command::kBackupCommentPrefix) + "C:\\Halvane\\System");
  temp_.MakeFolder("unused");
  util::MakeFolder(UserFiles() + "Maps");
  Open();
  RestoreFrom(Source(), temp_ / "unused\\", true);

  const std::map<std::string, Names> expected = {
      {"Charts", {"Chart1.cht"}},  // beside the chart archive's, which went to "unused"
      {"Almutens & Dignities", {"Dig.alm"}},
      {"Aspects", {"Trad.asp"}},
      {"Interpretations", {"Sun.int"}},
      {"Maps", {"World.ndx"}},
      {"Pages", {"Cover.jpg", "Mypages.ini"}},
      {"Points & Colors", {"UserColors.ini", "dynsetup.fil"}},
      // Beside the installation's own settings file.
      {"Settings", {"Halvane9.INI", "Myhvsettings.ini", "Old.sav", "dynsetup.fil"}},
      {"Tasks", {"Daily.tsk"}},
      {"Wheels & Dials", {"Bi.wh7", "Natal.di12", "Natal.di3"}},
      {"Places", {"Home.plc", "World.ndx", "dynsetup.fil"}},
  };
  for (const auto& [folder, names] : expected) {
    EXPECT_EQ(FilesIn(UserFiles() + folder), names) << folder;
  }
  EXPECT_EQ(Contents(UserFiles() + "Places\\dynsetup.fil"), "data of dynsetup.fil");
  EXPECT_EQ(platform::GetFileAge(UserFiles() + "Wheels & Dials\\Natal.di12"), kMid);
  // Created folders are upper case; one that existed keeps its name.
  EXPECT_EQ(FolderNameOnDisk(UserFiles(), "Aspects"), "ASPECTS");
  EXPECT_EQ(FolderNameOnDisk(UserFiles(), "Maps"), "Maps");
  EXPECT_EQ(FilesIn(UserFiles()), Names{});  // readme.txt went nowhere
  EXPECT_EQ(FilesIn(temp_ / "unused"), kChartMembers);
  EXPECT_EQ(Edit("EDest").text, UserFiles());
  EXPECT_EQ(Label("PLabel").caption, "Finished.");
  EXPECT_EQ(Bar().position, 100);
  EXPECT_TRUE(Messages().empty());
  EXPECT_EQ(zip::ProgressCaption, "Unzipping and Restoring User Data files");
}

TEST_F(UserDataTest, OlderLayoutRestoresOntoTheDriveOfTheComment) {
  const std::string system = temp_ / "system";
  Put("system\\dynsetup.fil", "setup", kOld);
  Put("system\\sub\\COLSCHEM.INI", "colours", kMid);
  // A lower-case drive letter gives a lower-case root, which names the same drive.
  const std::string origin = "c" + system.substr(1);
  MakeArchive(Source() + command::kUserDataArchiveName, {system + "\\*.*"}, kUserDataOptions,
              command::kBackupCommentPrefix + origin);
  test_support::RemoveTree(system);
  InstallOlderVersion(4, "C:\\H\\Interp", origin, "C:\\H\\Charts", temp_ / "userdata");
  Open();
  RestoreFrom(Source(), "", true);

  EXPECT_EQ(Contents(system + "\\dynsetup.fil"), "setup");
  EXPECT_EQ(platform::GetFileAge(system + "\\dynsetup.fil"), kOld);
  EXPECT_EQ(Contents(system + "\\sub\\COLSCHEM.INI"), "colours");
  EXPECT_EQ(zip::ProgressCaption, "Unzipping and Restoring User Data files to" + origin);
  EXPECT_EQ(Label("PLabel").caption, "Finished.");
  EXPECT_TRUE(Messages().empty());
  // The question before it named both places: the charts into the user-data folder, the user
  // data onto the drive with their folders, and the settings of the older layout.
  EXPECT_THAT(questions_, testing::ElementsAre(testing::AllOf(
                              testing::HasSubstr("\n8 files will be written:\n   6 into " +
                                                 temp_ / "userdata\\\n"),
                              testing::HasSubstr("\n   2 onto c:\\, each into the folder it was backed up from\n"),
                              testing::Not(testing::HasSubstr("recent charts")))));
}

TEST_F(UserDataTest, OlderLayoutCommentWithoutDriveRestoresNothing) {
  InstallOlderVersion(4, "C:\\H\\Interp", "C:\\H\\System", "C:\\H\\Charts", temp_ / "userdata");
  Open();
  for (const std::string& comment :
       {std::string(command::kBackupCommentPrefix) + "\\\\server\\halvane",
        std::string("Backup of C:\\H\\System")}) {
    SCOPED_TRACE(comment);
    MakeUserDataArchive(comment);
    test_support::RemoveTree(temp_ / "data");
    RestoreFrom(Source(), "", true);
    EXPECT_FALSE(util::FileExistsChecked(temp_ / "data\\dynsetup.fil"));
    EXPECT_EQ(Label("PLabel").caption, "Finished.");
    EXPECT_TRUE(Messages().empty());
  }
}

TEST_F(UserDataTest, ExitDuringTheRestoreLeavesTheRemainingPassesUndone) {
  InstallUserFilesVersion(9, "C:\\Halvane\\System", UserFiles() + "Charts\\");
  MakeUserDataArchive(std::string(command::kBackupCommentPrefix) + "C:\\Halvane\\System");
  Open();
  PrepareRestore(Source(), "", true);
  bool clicked = false;
  toolkit_.on_process_messages = [&](int) {
    // Inside the chart extraction, as a user's click would come while the library runs.
    if (!clicked && toolkit_.progress && toolkit_.progress->visible) {
      clicked = true;
      Button("BitBtn2").Click();
    }
  };
  ASSERT_TRUE(Button("RestoreButt").Click());
  ASSERT_TRUE(clicked);
  EXPECT_TRUE(toolkit_.form->closed);
  EXPECT_EQ(window_->FoundFiles, nullptr);
  EXPECT_FALSE(platform::GetFileAttributes(UserFiles() + "Places") != platform::kInvalidAttributes);
  EXPECT_NE(Label("PLabel").caption, "Finished.");
  EXPECT_FALSE(toolkit_.busy);
}

}  // namespace
}  // namespace app
