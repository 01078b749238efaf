// The main window's own logic: the two modes, the proposals of source and destination, the restore
// destination read from an archive's comment, the progress bar, Exit and the message box.
#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>

#include "platform/platform.h"
#include "support/extra_drives.h"
#include "util/files.h"
#include "window_fixture.h"
#include "zip/tzip.h"

namespace app {
namespace {

TEST_F(WindowTest, ModesShowTheirControls) {
  Open();
  EXPECT_EQ(window_->Form().Caption(), "Ridideduvure 4.0");
  ASSERT_EQ(Mode().ItemIndex(), 0);
  EXPECT_TRUE(Button("BackupButt").visible);
  EXPECT_FALSE(Button("RestoreButt").visible);
  EXPECT_TRUE(Label("LSource2").visible);
  EXPECT_FALSE(Check("AutoDest").visible);
  EXPECT_TRUE(Check("SearchDiskCB").enabled);
  EXPECT_TRUE(Check("CDRomCB").enabled);
  EXPECT_TRUE(Edit("EDest").enabled);
  EXPECT_TRUE(Edit("ESource").enabled);
  EXPECT_TRUE(Label("LDest").enabled);
  EXPECT_TRUE(Label("Lsource").enabled);

  ASSERT_TRUE(Mode().Select(1));
  EXPECT_FALSE(Button("BackupButt").visible);
  EXPECT_TRUE(Button("RestoreButt").visible);
  EXPECT_FALSE(Label("LSource2").visible);
  EXPECT_TRUE(Check("AutoDest").visible);
  EXPECT_FALSE(Check("SearchDiskCB").enabled);
  EXPECT_FALSE(Check("CDRomCB").enabled);
  EXPECT_FALSE(Edit("EDest").enabled);  // Auto is checked at start
  EXPECT_TRUE(Edit("ESource").enabled);
  EXPECT_TRUE(Label("LDest").enabled);  // Auto is visible

  ASSERT_TRUE(Check("AutoDest").Click());
  EXPECT_TRUE(Edit("EDest").enabled);

  ASSERT_TRUE(Mode().Select(0));
  EXPECT_TRUE(Button("BackupButt").visible);
  EXPECT_FALSE(Check("AutoDest").visible);
  EXPECT_TRUE(Check("CDRomCB").enabled);
}

TEST_F(WindowTest, ControlsStartWithTheirCaptionsAndStates) {
  Open();
  EXPECT_EQ(Check("CDRomCB").caption, "Burn CDRom (Windows XP Only)");
  EXPECT_FALSE(Check("CDRomCB").checked);
  EXPECT_TRUE(Check("HVBackupCB").checked);
  EXPECT_FALSE(Check("SearchDiskCB").checked);
  EXPECT_TRUE(Check("AutoDest").checked);
  EXPECT_EQ(Label("LDest").caption, "Destination For Backup Files  ");
  EXPECT_EQ(Button("BitBtn2").caption, "Exit");
  EXPECT_EQ(Button("BitBtn2").role, ui::ButtonRole::kCancel);
  EXPECT_EQ(Button("BackupButt").bounds, (ui::Bounds{16, 263, 89, 33}));
  EXPECT_EQ(Bar().position, 0);
  EXPECT_EQ(Label("Label1").font_pixels, 12);
  EXPECT_EQ(Label("Label1").font_face, "Arial");
  // The main window is centred on the work area.
  ASSERT_TRUE(toolkit_.main_window);
  EXPECT_EQ(toolkit_.main_window->left, (1024 - 324) / 2);
  EXPECT_EQ(toolkit_.main_window->top, (768 - 432) / 2);
}

TEST_F(WindowTest, UserFilesCaptionNamesTheVersion) {
  InstallUserFilesVersion(9, "C:\\Program Files\\Halvane9\\", "C:\\Charts");
  Open();
  EXPECT_EQ(Check("HVBackupCB").caption, "Include All Halvane 9 User Data Files");
  EXPECT_EQ(Edit("ESource").text, "C:\\Charts\\");  // the chart folder, with its backslash
  ASSERT_TRUE(Mode().Select(1));
  EXPECT_EQ(Check("HVBackupCB").caption, "Include All Halvane User Data Files");
  ASSERT_TRUE(Mode().Select(0));
  EXPECT_EQ(Check("HVBackupCB").caption, "Include All Halvane 9 User Data Files");
  // Searching the whole disk proposes drive C: instead of the chart folder.
  ASSERT_TRUE(Check("SearchDiskCB").Click());
  EXPECT_EQ(Edit("ESource").text, "C:\\");
}

TEST_F(WindowTest, WithoutAnInstallationTheCaptionStays) {
  Open();
  EXPECT_EQ(Check("HVBackupCB").caption, "Include Halvane 5,6,7,8 or 9 User Files");
  ASSERT_TRUE(Mode().Select(1));
  EXPECT_EQ(Check("HVBackupCB").caption, "Include All Halvane User Data Files");
}

TEST_F(WindowTest, ProgressBarRoundsHalvesToEven) {
  Open();
  zip::TZip& zip = *window_->Zip1;
  window_->Zip1ZEDProgressEvent(zip, "a", 1, 8);  // 12.5
  EXPECT_EQ(Bar().position, 12);
  window_->Zip1ZEDProgressEvent(zip, "a", 3, 8);  // 37.5
  EXPECT_EQ(Bar().position, 38);
  window_->Zip1MergeProgress(zip, "a", 3, 200);  // 1.5
  EXPECT_EQ(Bar().position, 2);
  window_->Zip1SpanProgress(zip, "a", 1, 200);  // 0.5
  EXPECT_EQ(Bar().position, 0);
  window_->Zip1ZEDProgressEvent(zip, "a", 2, 3);  // 66.67
  EXPECT_EQ(Bar().position, 67);
  window_->Zip1ZEDProgressEvent(zip, "a", 2000000000, 2000000000);
  EXPECT_EQ(Bar().position, 100);
  // An empty batch leaves the bar alone.
  window_->Zip1ZEDProgressEvent(zip, "a", 0, 0);
  EXPECT_EQ(Bar().position, 100);
}

TEST_F(WindowTest, ExitStopsClosesAndReleasesTheFileList) {
  Open();
  window_->FoundFiles = std::make_unique<base::StringList>(base::StringList{"C:\\a.cht"});
  int pumps_before = toolkit_.pumps;
  ASSERT_TRUE(Button("BitBtn2").Click());
  EXPECT_TRUE(StopRequested);
  EXPECT_TRUE(toolkit_.form->closed);
  EXPECT_EQ(window_->FoundFiles, nullptr);
  EXPECT_EQ(toolkit_.pumps, pumps_before + 2);
  // Closing twice (the close box after Exit) is harmless.
  window_->Form().Close();
  window_->FormClose();
}

TEST_F(WindowTest, ReportMessageShowsAPlainBox) {
  EXPECT_TRUE(ReportMessage(""));
  EXPECT_TRUE(ReportMessage("first line\r\nsecond line"));
  ASSERT_EQ(toolkit_.messages.size(), 2u);
  EXPECT_EQ(toolkit_.messages[0].text, "");
  EXPECT_EQ(toolkit_.messages[0].caption, "RidideDuvure");
  EXPECT_EQ(toolkit_.messages[0].flags, ui::kMbOk);  // no icon, one OK button
  EXPECT_EQ(toolkit_.messages[1].text, "first line\r\nsecond line");
}

// --- the restore destination, from the comment of the chart archive in the source folder ---

class RestoreDestinationTest : public WindowTest {
 protected:
  void ChartArchive(const std::string& comment) {
    zip::TZip archive;
    archive.ZipFileName(temp_ / "ChartBackup.zip");
    archive.ZipComment(comment);
  }
  void RestoreFromTemp() {
    ASSERT_TRUE(Mode().Select(1));
    ASSERT_TRUE(Edit("ESource").Type(temp_.path()));
  }
};

TEST_F(RestoreDestinationTest, CommentNamesTheDestinationUnlessAutoIsOn) {
  InstallUserFilesVersion(9, "C:\\Halvane9\\", "C:\\Charts\\");
  ChartArchive("Vardek Backup of D:\\Charts\\");
  Open();
  RestoreFromTemp();
  EXPECT_EQ(Edit("EDest").text, DocumentsFolder() + "Halvane User Files");  // Auto is on
  ASSERT_TRUE(Check("AutoDest").Click());
  EXPECT_EQ(Edit("EDest").text, "D:\\Charts\\");
  EXPECT_TRUE(Edit("EDest").enabled);
  ASSERT_TRUE(Check("AutoDest").Click());
  EXPECT_EQ(Edit("EDest").text, DocumentsFolder() + "Halvane User Files");
  EXPECT_FALSE(Edit("EDest").enabled);
}

TEST_F(RestoreDestinationTest, CommentWithoutTheMarkerLeavesTheDestination) {
  ChartArchive("Backup of D:\\Charts\\");
  Open();
  ASSERT_TRUE(Mode().Select(1));
  ASSERT_TRUE(Check("AutoDest").Click());  // Auto off
  ASSERT_TRUE(Edit("EDest").Type("F:\\Mine\\"));
  ASSERT_TRUE(Edit("ESource").Type(temp_.path()));
  EXPECT_EQ(Edit("EDest").text, "F:\\Mine\\");
}

TEST_F(RestoreDestinationTest, ArchiveThatIsNotAZipIsReportedAndTheWindowStays) {
  temp_.Write("ChartBackup.zip", "this is not an archive at all, just some words in a file");
  Open();
  ASSERT_TRUE(Mode().Select(1));
  EXPECT_FALSE(Edit("ESource").Type(temp_.path()));  // the handler failed ...
  ASSERT_EQ(toolkit_.messages.size(), 1u);           // ... and its error was shown
  EXPECT_EQ(toolkit_.messages[0].caption, "RidideDuvure");
  EXPECT_NE(toolkit_.messages[0].text, "");
  EXPECT_EQ(toolkit_.messages[0].flags, ui::kMbOk | ui::kMbIconHand);
  EXPECT_FALSE(toolkit_.form->closed);
  // The window goes on working.
  ASSERT_TRUE(Mode().Select(0));
  EXPECT_TRUE(Button("BackupButt").visible);
}

#ifndef _WIN32
// --- drive proposals, over drive maps of the test's own ---

class DriveProposalTest : public WindowTest {
 protected:
  // The test program's drives, less the Z: drive over the whole file system, and these, each over
  // a folder of its own.
  void UseDrives(const std::vector<std::pair<char, unsigned>>& drives) {
    drives_.Clear();
    for (const auto& [letter, type] : drives) {
      ASSERT_FALSE(drives_.Set({letter, type}).empty()) << drives_.error();
    }
  }
  // A drive over a host folder of the caller's.
  void AddDrive(char letter, unsigned type, const std::string& host_folder) {
    test_support::ExtraDrive drive(letter, type);
    drive.host_folder = host_folder;
    ASSERT_FALSE(drives_.Set(drive).empty()) << drives_.error();
  }

  test_support::ExtraDrives drives_{/*keep_whole_file_system=*/false};
};

TEST_F(DriveProposalTest, BackupGoesToTheHighestSecondFixedDrive) {
  UseDrives({});
  Open();
  EXPECT_EQ(Edit("ESource").text, "C:\\");
  EXPECT_EQ(Edit("EDest").text, "C:\\");  // nothing but C:

  UseDrives({{'D', platform::kDriveFixed}});
  ASSERT_TRUE(Check("HVBackupCB").Click());
  EXPECT_EQ(Edit("EDest").text, "D:\\");

  UseDrives({{'D', platform::kDriveFixed}, {'E', platform::kDriveFixed}});
  ASSERT_TRUE(Check("HVBackupCB").Click());
  EXPECT_EQ(Edit("EDest").text, "E:\\");
}

TEST_F(DriveProposalTest, WithoutASecondDiskRemovableThenNetworkDrivesServe) {
  UseDrives({{'F', platform::kDriveRemovable},
             {'G', platform::kDriveRemote},
             {'H', platform::kDriveCdrom}});
  Open();
  EXPECT_EQ(Edit("EDest").text, "F:\\");
  UseDrives({{'G', platform::kDriveRemote}, {'H', platform::kDriveCdrom}});
  ASSERT_TRUE(Check("HVBackupCB").Click());
  EXPECT_EQ(Edit("EDest").text, "G:\\");
  // With the CD option, the CD-ROM drive, and the box is not to be typed in.
  ASSERT_TRUE(Check("CDRomCB").Click());
  EXPECT_EQ(Edit("EDest").text, "H:\\");
  EXPECT_FALSE(Edit("EDest").enabled);
  EXPECT_TRUE(Check("CDRomCB").checked);
  // A restore then reads from the CD.
  ASSERT_TRUE(Mode().Select(1));
  EXPECT_EQ(Edit("ESource").text, "H:\\");
}

TEST_F(DriveProposalTest, CdOptionWithoutACdDriveFallsBackAndUnchecksItself) {
  UseDrives({{'D', platform::kDriveFixed},
             {'Q', platform::kDriveCdrom}});  // Q: is never proposed, whatever its type
  Open();
  ASSERT_TRUE(Check("CDRomCB").Click());
  EXPECT_FALSE(Check("CDRomCB").checked);
  EXPECT_EQ(Edit("EDest").text, "D:\\");
  EXPECT_TRUE(Edit("EDest").enabled);
  UseDrives({{'Q', platform::kDriveFixed}});
  ASSERT_TRUE(Check("HVBackupCB").Click());
  EXPECT_EQ(Edit("EDest").text, "C:\\");
}

TEST_F(DriveProposalTest, AnOptionClickResetsTypedFolders) {
  UseDrives({{'D', platform::kDriveFixed}});
  Open();
  ASSERT_TRUE(Edit("ESource").Type("C:\\Mine\\"));
  ASSERT_TRUE(Edit("EDest").Type("C:\\Elsewhere\\"));
  ASSERT_TRUE(Check("SearchDiskCB").Click());
  EXPECT_EQ(Edit("ESource").text, "C:\\");
  EXPECT_EQ(Edit("EDest").text, "D:\\");
  ASSERT_TRUE(Edit("EDest").Type("C:\\Elsewhere\\"));
  ASSERT_TRUE(Check("HVBackupCB").Click());
  EXPECT_EQ(Edit("EDest").text, "D:\\");
  EXPECT_FALSE(Check("HVBackupCB").checked);  // the click still toggles the option
}

TEST_F(DriveProposalTest, RestoreReadsFromTheSameKindOfDrive) {
  UseDrives({{'D', platform::kDriveFixed}, {'F', platform::kDriveRemovable}});
  Open();
  ASSERT_TRUE(Mode().Select(1));
  EXPECT_EQ(Edit("ESource").text, "D:\\");
  UseDrives({{'F', platform::kDriveRemovable}});
  ASSERT_TRUE(Mode().Select(1));
  EXPECT_EQ(Edit("ESource").text, "F:\\");
}

TEST_F(DriveProposalTest, StartedFromACdTheWindowOpensInRestore) {
  UseDrives({{'D', platform::kDriveFixed}});
  // The test program's own folder becomes a CD-ROM drive.
  AddDrive('R', platform::kDriveCdrom,
           std::filesystem::canonical("/proc/self/exe").parent_path().string());
  ASSERT_EQ(platform::GetModuleFileName().substr(0, 3), "R:\\");
  Open();
  EXPECT_TRUE(window_->RunFromCD);
  EXPECT_EQ(Mode().ItemIndex(), 1);
  EXPECT_EQ(Edit("ESource").text, "R:\\");
  EXPECT_FALSE(Edit("ESource").enabled);
  EXPECT_FALSE(Label("Lsource").enabled);
  EXPECT_TRUE(Button("RestoreButt").visible);
  EXPECT_FALSE(Button("BackupButt").visible);
}
#endif

}  // namespace
}  // namespace app

namespace app {
namespace {

// While a command runs, window messages run too: nothing may start a second command or change
// what the running one reads, while Exit still works.
class CommandGuardTest : public WindowTest {
 protected:
  void ChartTree() {
    for (int i = 0; i < 12; ++i) temp_.Write("charts\\f" + std::to_string(i) + "\\a.cht", "chart");
    temp_.MakeFolder("backup");
  }
};

TEST_F(CommandGuardTest, ASecondCommandCannotStartDuringTheFirst) {
  ChartTree();
  Open();
  ASSERT_TRUE(Edit("ESource").Type(temp_ / "charts\\"));
  ASSERT_TRUE(Edit("EDest").Type(temp_ / "backup\\"));
  ASSERT_TRUE(Check("HVBackupCB").Click());  // charts only; the click re-proposes the folders
  ASSERT_TRUE(Edit("ESource").Type(temp_ / "charts\\"));
  ASSERT_TRUE(Edit("EDest").Type(temp_ / "backup\\"));
  int tries = 0;
  toolkit_.on_process_messages = [&](int) {
    if (!window_->CommandRunning()) return;
    ++tries;
    EXPECT_FALSE(Button("BackupButt").Click());
    EXPECT_FALSE(Check("CDRomCB").Click());
    EXPECT_FALSE(Check("SearchDiskCB").Click());
    EXPECT_FALSE(Mode().Select(1));
    EXPECT_FALSE(Edit("ESource").Type("C:\\"));
    EXPECT_TRUE(Button("BitBtn2").enabled);
  };
  ASSERT_TRUE(Button("BackupButt").Click());
  EXPECT_GT(tries, 0);
  EXPECT_FALSE(window_->CommandRunning());
  EXPECT_EQ(Label("PLabel").caption, "Finished.");
  EXPECT_TRUE(util::FileExistsChecked(temp_ / "backup\\ChartBackup.zip"));
  // Everything is usable again, in the state the mode gives it.
  EXPECT_TRUE(Button("BackupButt").enabled);
  EXPECT_TRUE(Check("CDRomCB").enabled);
  EXPECT_TRUE(Edit("ESource").enabled);
  EXPECT_TRUE(Mode().enabled);
  EXPECT_EQ(Mode().ItemIndex(), 0);
}

TEST_F(CommandGuardTest, ExitDuringACommandEndsItWithoutTheFileList) {
  ChartTree();
  Open();
  ASSERT_TRUE(Edit("ESource").Type(temp_ / "charts\\"));
  ASSERT_TRUE(Edit("EDest").Type(temp_ / "backup\\"));
  bool exited = false;
  toolkit_.on_process_messages = [&](int) {
    if (window_->CommandRunning() && !exited) {
      exited = true;
      EXPECT_TRUE(Button("BitBtn2").Click());
    }
  };
  Button("BackupButt").Click();
  EXPECT_TRUE(exited);
  EXPECT_TRUE(StopRequested);
  EXPECT_TRUE(toolkit_.form->closed);
  EXPECT_EQ(window_->FoundFiles, nullptr);
  EXPECT_NE(Label("PLabel").caption, "Finished.");
  // A closed window runs no more commands (a run would make a new file list).
  Button("BackupButt").Click();
  EXPECT_EQ(window_->FoundFiles, nullptr);
}

}  // namespace
}  // namespace app
