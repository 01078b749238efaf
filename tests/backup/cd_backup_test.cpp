// The CD option: both archives in C:\temp, the notice, "autorun.inf", the hand-off to the burner,
// a second CD backup of another folder in the same session, and one while the first CD is still
// being written.
#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <cstdlib>
#include <thread>

#include "backup_fixture.h"
#include "cdburner/cd_burner.h"
#include "backup/backup_history.h"
#include "platform/platform.h"
#include "support/fake_cd_burn.h"
#include "util/files.h"

#if !defined(_WIN32)
#include "support/extra_drives.h"
#endif

namespace app {
namespace {

using ::testing::Contains;
using ::testing::ElementsAre;
using ::testing::IsSupersetOf;
using ::testing::Not;

constexpr char kNotice[] = "Your files will now be sent to the Windows XP CD Writing Wizard.";
constexpr char kAutorun[] = "[autorun]\r\nopen=ridideduvure.exe\r\n";

class CdBackupTest : public BackupTest {
 protected:
  CdBackupTest() {
    const std::string program = platform::GetModuleFileName();
    program_folder_ = base::FolderOf(program);
    program_name_ = program.substr(program_folder_.size());
    autorun_ = program_folder_ + "autorun.inf";
    had_autorun_ = platform::ReadWholeFile(autorun_, &saved_autorun_);
    platform::DeleteFile(autorun_);
#if !defined(_WIN32)
    // A CD-ROM drive E:, so that the window lets the CD option be ticked.
    drives_.Set({'E', platform::kDriveCdrom, "BACKUPCD"});
#endif
    staging_ = temp_.MakeFolder("Staging");
    fake_.Install(staging_);
  }
  ~CdBackupTest() override {
    release_ = true;
    WaitForBurns();
    window_.reset();  // the burner goes before the fake service it was given
    platform::DeleteFile(autorun_);
    if (had_autorun_) platform::WriteWholeFileSafely(autorun_, saved_autorun_);
    platform::DeleteFile("C:\\temp\\ChartBackup.zip");
    platform::DeleteFile("C:\\temp\\RUDadoze.zev");
  }

  // Lets the burn thread hand its end back to the window's thread.
  void WaitForBurns() {
    for (int i = 0; i < 100 && window_ && window_->CDBurner1->IsBurning(); ++i) {
      toolkit_.WaitForCall(100);
    }
  }

  void BackUpToCd(bool user_data, const std::string& source = "Src") {
    if (!window_) Open();
    if (!Check("CDRomCB").checked) {
      ASSERT_TRUE(Check("CDRomCB").Click());
    }
    ASSERT_TRUE(Check("CDRomCB").checked);
    ASSERT_FALSE(Edit("EDest").enabled);
    if (Check("HVBackupCB").checked != user_data) {
      ASSERT_TRUE(Check("HVBackupCB").Click());
    }
    ASSERT_TRUE(Edit("ESource").Type(temp_ / source));
    ASSERT_TRUE(Button("BackupButt").Click());
  }

  std::string program_folder_, program_name_, autorun_, saved_autorun_, staging_;
#if !defined(_WIN32)
  test_support::ExtraDrives drives_;
#endif
  bool had_autorun_ = false;
  // A burn the test holds open until it lets go.
  std::atomic<bool> release_{false};
  std::atomic<bool> burning_{false};  // the files are staged and the wizard is open
  test_support::FakeCdBurnService fake_;
};

// One test, since "autorun.inf" lies in the program's folder, which every test process shares.
TEST_F(CdBackupTest, HandsBothArchivesAndTheProgramToTheBurnerAfterTheNotice) {
  if (util::FindDriveOfType(platform::kDriveCdrom).empty()) GTEST_SKIP() << "no CD-ROM drive";
  temp_.Write("Src\\a.cht");
  temp_.Write("User5\\aspects.asp");
  InstallOlderVersion(5, "", "", temp_ / "Src", temp_ / "User5");
  // At the notice both archives are complete and nothing has been handed over yet.
  bool checked_at_notice = false;
  toolkit_.on_process_messages = [&](int) {
    if (checked_at_notice || Messages().empty() || Messages().back() != kNotice) return;
    checked_at_notice = true;
    EXPECT_EQ(window_->CDBurner1->BurnSize(), 0);
    EXPECT_THAT(Entries("C:\\temp\\ChartBackup.zip"), ElementsAre(EntryName(temp_ / "Src\\a.cht")));
    EXPECT_THAT(Entries("C:\\temp\\RUDadoze.zev"),
                Contains(EntryName(temp_ / "User5\\aspects.asp")));
  };
  BackUpToCd(/*user_data=*/true);
  EXPECT_TRUE(checked_at_notice);
  EXPECT_THAT(Messages(), ElementsAre(kNotice));
  EXPECT_EQ(toolkit_.messages[0].flags, ui::kMbOk);
  EXPECT_EQ(toolkit_.messages[0].caption, toolkit_.title);
  // Nothing went to the destination field's drive.
  EXPECT_EQ(platform::GetFileAttributes(Edit("EDest").text + "ChartBackup.zip"),
            platform::kInvalidAttributes);
  const auto& status = Label("PLabel").history;
  EXPECT_THAT(std::vector<std::string>(status.end() - 3, status.end()),
              ElementsAre("Gathering Halvane Data Files.",
                          "Sending Files to the CD Writing Wizard.", "Finished."));
  WaitForBurns();
  EXPECT_EQ(fake_.burn_calls, 1);
  EXPECT_EQ(Bytes(autorun_), kAutorun);
  EXPECT_THAT(FilesIn(staging_),
              IsSupersetOf(std::vector<std::string>{"ChartBackup.zip", "RUDadoze.zev",
                                                    "autorun.inf", program_name_}));
  EXPECT_EQ(Bytes(staging_ + "autorun.inf"), kAutorun);
  const std::string first_charts = Bytes("C:\\temp\\ChartBackup.zip");
  EXPECT_EQ(Bytes(staging_ + "ChartBackup.zip"), first_charts);

  // A second CD backup, of another folder and without the user data, while the program stays
  // open: its CD holds this run's chart archive, and no user-data archive of the first run.
  // An "autorun.inf" of the user's is handed over as it is, never rewritten.
  temp_.Write("Src2\\b.cht");
  ASSERT_TRUE(platform::WriteWholeFileSafely(autorun_, "[autorun]\nopen=mine.exe\n"));
  test_support::RemoveTree(staging_);  // as the shell leaves it once the disc is written
  platform::CreateDirectory(staging_);
  toolkit_.messages.clear();
  BackUpToCd(/*user_data=*/false, "Src2");
  WaitForBurns();
  EXPECT_EQ(fake_.burn_calls, 2);
  EXPECT_THAT(Messages(), ElementsAre(kNotice));
  const std::string second_charts = Bytes("C:\\temp\\ChartBackup.zip");
  EXPECT_THAT(Entries("C:\\temp\\ChartBackup.zip"), ElementsAre(EntryName(temp_ / "Src2\\b.cht")));
  EXPECT_NE(second_charts, first_charts);
  // The archives it replaced are not kept: only the newest go to the CD.
  EXPECT_FALSE(platform::FolderExists(std::string("C:\\temp\\") + backup::kHistoryFolderName));
  EXPECT_EQ(Bytes(staging_ + "ChartBackup.zip"), second_charts);
  EXPECT_THAT(FilesIn(staging_), Not(Contains("RUDadoze.zev")));
  EXPECT_EQ(Bytes(autorun_), "[autorun]\nopen=mine.exe\n");
  EXPECT_EQ(Bytes(staging_ + "autorun.inf"), "[autorun]\nopen=mine.exe\n");

  // A CD backup while the last CD is still being written queues nothing for that burn.
  fake_.on_burn = [this] {
    burning_ = true;
    for (int i = 0; i < 500 && !release_; ++i) {
      std::this_thread::sleep_for(std::chrono::milliseconds(10));
    }
  };
  BackUpToCd(false);
  ASSERT_TRUE(window_->CDBurner1->IsBurning());
  for (int i = 0; i < 500 && !burning_; ++i) {
    std::this_thread::sleep_for(std::chrono::milliseconds(10));
  }
  ASSERT_TRUE(burning_);
  const int64_t queued = window_->CDBurner1->BurnSize();
  toolkit_.messages.clear();
  Label("PLabel").history.clear();

  BackUpToCd(false);
  ASSERT_EQ(Messages().size(), 1u);
  EXPECT_NE(Messages()[0].find("A CD is still being written"), std::string::npos);
  EXPECT_THAT(Label("PLabel").history, Not(Contains("Sending Files to the CD Writing Wizard.")));
  EXPECT_EQ(Label("PLabel").caption, "Finished.");
  EXPECT_EQ(window_->CDBurner1->BurnSize(), queued);
  release_ = true;
  WaitForBurns();
  EXPECT_EQ(fake_.burn_calls, 3);

  // No writer: the hand-off never starts, and the user is told where the archives are and that no
  // CD was written, never that the files were sent.
  fake_.has_drive = false;
  window_.reset();
  toolkit_.form = nullptr;
  Open();
  toolkit_.messages.clear();
  BackUpToCd(false);
  EXPECT_THAT(Messages(), ElementsAre("No CD was written: No CD Burner was found. The backup "
                                      "archives were left in C:\\temp\\; copy them onto a CD or a "
                                      "stick yourself, or back up to a folder instead."));
  EXPECT_EQ(Label("PLabel").caption, "No CD was written.");
  EXPECT_THAT(Label("PLabel").history, Not(Contains("Finished.")));
  EXPECT_EQ(fake_.burn_calls, 3);
  EXPECT_THAT(Entries("C:\\temp\\ChartBackup.zip"), ElementsAre(EntryName(temp_ / "Src\\a.cht")));
}

}  // namespace
}  // namespace app
