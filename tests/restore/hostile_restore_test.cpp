// The user-data archive of an older installation names its drive in its comment and every path
// below it, and the restore runs as administrator: a crafted backup must not steer it anywhere but
// into this computer's application folders, and only with the kinds of file the backup stores.
// A real backup still comes back whole.
#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include "platform/platform.h"
#include "restore_fixture.h"
#include "zip/tzip.h"
#include "zipdll/unzip_test_archive.h"

namespace app {
namespace {

using ::testing::ElementsAre;
using ::testing::StartsWith;

const int32_t kAge = DosTime(2021, 3, 14, 9, 30);
// Dated far ahead, a crafted member would also replace any file the user has.
constexpr uint16_t kFutureDate = ((2099 - 1980) << 9) | (1 << 5) | 1;

class HostileUserDataTest : public RestoreTest {
 protected:
  void SetUp() override {
    Put("old\\Smith.cht", "smith", kAge);
    MakeArchive(Source() + command::kChartArchiveName, {temp_ / "old\\*.*"}, kChartOptions,
                command::kBackupCommentPrefix + (temp_ / "old\\"));
    temp_.MakeFolder("charts");
  }
  void InstallVersion5() {
    InstallOlderVersion(5, Interp(), System(), temp_ / "H\\Charts", User());
  }
  std::string Source() const { return temp_ / "backup\\"; }
  std::string System() const { return temp_ / "H\\System"; }
  std::string User() const { return temp_ / "H\\User"; }
  std::string Interp() const { return temp_ / "H\\Interp"; }

  // The name a file of drive C: is stored under: its path below the root, "/" between folders.
  static std::string Stored(const std::string& path) {
    std::string stored = path.substr(3);
    for (char& c : stored) {
      if (c == '\\') c = '/';
    }
    return stored;
  }

  // Writes "RUDadoze.zev" into the source folder with the comment and the members, all dated in
  // the future.
  void WriteUserDataArchive(const std::string& comment, const std::vector<std::string>& names) {
    unzip_test::TestArchive archive;
    archive.comment = comment;
    for (const std::string& name : names)
      archive.Add(name, "crafted " + name).dos_date = kFutureDate;
    ASSERT_TRUE(
        platform::WriteWholeFileSafely(Source() + command::kUserDataArchiveName, archive.Bytes()));
  }
};

TEST_F(HostileUserDataTest, MembersOutsideTheApplicationFoldersOrOfOtherKindsAreNotWritten) {
  InstallVersion5();
  const std::string startup =
      "C:\\Users\\Ann\\AppData\\Roaming\\Microsoft\\Windows\\Start Menu\\Programs\\Startup\\";
  // Already on the disk: a file a crafted member dated in the future would replace.
  Put("Elsewhere\\evil.ini", "the user's own", kAge);
  WriteUserDataArchive(
      std::string(command::kBackupCommentPrefix) + "C:\\x",
      {Stored(startup) + "evil.pag", "windows/evil.dat", Stored(temp_ / "Elsewhere") + "/evil.ini",
       // Through "..", from below the right folder to outside it.
       Stored(User()) + "/../../Escaped/evil.pag",
       // Below the right folder, but no file the backup would store.
       Stored(System()) + "/evil.exe", Stored(User()) + "/Start.lnk",
       // What a backup of this installation holds.
       Stored(System()) + "/dynsetup.fil", Stored(User()) + "/Pages/p.pag",
       Stored(Interp()) + "/Sun.int"});
  Open();
  RestoreFrom(Source(), temp_ / "charts", true);

  EXPECT_FALSE(util::FileExistsChecked(startup + "evil.pag"));
  EXPECT_FALSE(util::FileExistsChecked("C:\\windows\\evil.dat"));
  EXPECT_EQ(Contents(temp_ / "Elsewhere\\evil.ini"), "the user's own");
  EXPECT_FALSE(util::FileExistsChecked(temp_ / "Escaped\\evil.pag"));
  EXPECT_FALSE(util::FileExistsChecked(temp_ / "H\\Escaped\\evil.pag"));
  EXPECT_FALSE(util::FileExistsChecked(System() + "\\evil.exe"));
  EXPECT_FALSE(util::FileExistsChecked(User() + "\\Start.lnk"));
  EXPECT_EQ(Contents(System() + "\\dynsetup.fil"), "crafted " + Stored(System()) + "/dynsetup.fil");
  EXPECT_TRUE(util::FileExistsChecked(User() + "\\Pages\\p.pag"));
  EXPECT_TRUE(util::FileExistsChecked(Interp() + "\\Sun.int"));
  EXPECT_EQ(FilesIn(temp_ / "charts"), std::vector<std::string>{"Smith.cht"});
  EXPECT_THAT(Messages(), ElementsAre(StartsWith("6 files of the user data backup were not "
                                                 "restored")));
  EXPECT_EQ(Label("PLabel").caption, "Finished.");
}

TEST_F(HostileUserDataTest, ACommentNamingAnotherDriveRestoresNothing) {
  InstallVersion5();
  // The right folders by name, on a drive this installation does not use.
  WriteUserDataArchive(std::string(command::kBackupCommentPrefix) + "D:\\H\\System",
                       {Stored(System()) + "/dynsetup.fil", Stored(User()) + "/Pages/p.pag"});
  Open();
  RestoreFrom(Source(), temp_ / "charts", true);
  EXPECT_FALSE(util::FileExistsChecked(System() + "\\dynsetup.fil"));
  EXPECT_FALSE(util::FileExistsChecked("D:\\" + Stored(System()) + "\\dynsetup.fil"));
  EXPECT_THAT(Messages(), ElementsAre(StartsWith("2 files of the user data backup were not "
                                                 "restored")));
}

TEST_F(HostileUserDataTest, WithoutAnInstallationNoUserDataAreRestored) {
  WriteUserDataArchive(std::string(command::kBackupCommentPrefix) + "C:\\H\\System",
                       {"H/System/dynsetup.fil", Stored(temp_ / "H\\User") + "/Pages/p.pag"});
  Open();
  ASSERT_EQ(locations::HalvaneVersion, 0);
  RestoreFrom(Source(), temp_ / "charts", true);
  EXPECT_FALSE(util::FileExistsChecked("C:\\H\\System\\dynsetup.fil"));
  EXPECT_FALSE(util::FileExistsChecked(User() + "\\Pages\\p.pag"));
  EXPECT_EQ(FilesIn(temp_ / "charts"), std::vector<std::string>{"Smith.cht"});
  EXPECT_THAT(Messages(), ElementsAre(StartsWith("The user data were not restored: Halvane was "
                                                 "not found on this computer")));
  EXPECT_EQ(Label("PLabel").caption, "Finished.");
}

// A backup made by the program of a version 5 installation, its files deleted, and restored onto
// the same folders: every file comes back with its bytes and its time.
TEST_F(HostileUserDataTest, ARealBackupOfTheOlderLayoutComesBackWhole) {
  InstallVersion5();
  const std::vector<std::string> files = {
      System() + "\\dynsetup.fil", System() + "\\COLSCHEM.INI",    User() + "\\Pages\\p.pag",
      User() + "\\home.plc",       User() + "\\dials\\Natal.di12", User() + "\\notes.sav",
      Interp() + "\\Sun.int",      Interp() + "\\more\\Moon.int"};
  int n = 0;
  for (const std::string& file : files) Put(file.substr(temp_.path().size()), file, kAge + ++n);
  Put("H\\User\\readme.txt", "not a file of the application", kAge);
  Open();
  Edit("ESource").Type(temp_ / "old");
  Edit("EDest").Type(temp_ / "made");
  if (!Check("HVBackupCB").checked) Check("HVBackupCB").Click();
  ASSERT_TRUE(Button("BackupButt").Click());
  ASSERT_THAT(Messages(), ElementsAre());
  for (const std::string& file : files) ASSERT_TRUE(platform::DeleteFile(file)) << file;

  RestoreFrom(temp_ / "made", temp_ / "charts", true);
  EXPECT_THAT(Messages(), ElementsAre());
  n = 0;
  for (const std::string& file : files) {
    EXPECT_EQ(Contents(file), file);
    EXPECT_EQ(platform::GetFileAge(file), kAge + ++n) << file;
  }
  EXPECT_EQ(Label("PLabel").caption, "Finished.");
}

}  // namespace
}  // namespace app
