// The main window: its controls, the run-time state the commands share, and its handlers. The
// window logic talks to the screen only through ui/, so it runs unchanged on every toolkit; the
// Backup and Restore commands and the chart-file search are members too, defined in search/,
// backup/ and restore/.
#pragma once

#include <memory>
#include <set>
#include <string>
#include <vector>

#include "app/locations/locations.h"
#include "app/run_report.h"
#include "backup/backup_history.h"
#include "base/text.h"
#include "platform/cause.h"
#include "platform/platform.h"
#include "ui/toolkit.h"

namespace zip {
class TZip;
}
namespace cdburner {
class TCDBurner;
}
namespace restore {
class RestorePlan;
}

namespace app {

// Set by Exit and never reset: the long loops of the commands stop at their next test of it.
inline bool StopRequested = false;

// Shows text in a modal box titled with the application title, with an OK button and no icon.
// Always true.
bool ReportMessage(const std::string& text);

// What every archive comment begins with; the text after it names the folder backed up.
inline constexpr char kBackupCommentPrefix[] = "Vardek Backup of ";
inline constexpr char kChartArchiveName[] = "ChartBackup.zip";
inline constexpr char kUserDataArchiveName[] = "RUDadoze.zev";

class TFileMaint : public Locations {
 public:
  // Builds the window and its controls with the toolkit (not yet shown), the archive component
  // and the CD burner.
  explicit TFileMaint(ui::Toolkit& toolkit);
  ~TFileMaint();
  TFileMaint(const TFileMaint&) = delete;
  TFileMaint& operator=(const TFileMaint&) = delete;

  ui::Form& Form() { return *form_; }
  ui::Toolkit& Toolkit() { return toolkit_; }

  // Controls, top to bottom. Owned by the form.
  ui::RadioGroup* RadioGroup1 = nullptr;
  ui::CheckBox* CDRomCB = nullptr;
  ui::CheckBox* HVBackupCB = nullptr;
  ui::CheckBox* SearchDiskCB = nullptr;
  ui::Label* Lsource = nullptr;
  ui::Label* LSource2 = nullptr;
  ui::DirectoryEdit* ESource = nullptr;
  ui::Label* LDest = nullptr;
  ui::CheckBox* AutoDest = nullptr;
  ui::DirectoryEdit* EDest = nullptr;
  ui::Button* BackupButt = nullptr;
  ui::Button* RestoreButt = nullptr;
  ui::Button* BitBtn2 = nullptr;
  ui::Label* PLabel = nullptr;
  ui::ProgressBar* AdvProgress1 = nullptr;
  ui::Label* Label1 = nullptr;

  // Components owned for the life of the window.
  std::unique_ptr<zip::TZip> Zip1;
  std::unique_ptr<cdburner::TCDBurner> CDBurner1;

  // The program itself was started from a CD-ROM drive.
  bool RunFromCD = false;
  // Working lists: absent until the first command that needs them creates them. FormClose
  // releases FoundFiles, possibly while a command is still running: a command tests it after
  // every point where window messages run.
  std::unique_ptr<util::StringList> FoundFiles;
  std::unique_ptr<util::StringList> SearchFolders;
  std::unique_ptr<util::StringList> PatternMatches;

  // A command (Backup or Restore) is running: the controls that could start another one or
  // change what it reads are disabled meanwhile.
  bool CommandRunning() const { return command_running_; }
  // The Backup command as the Backup button runs it, for a run without a person.
  void RunBackupCommand() { RunCommand(&TFileMaint::BackupButClick); }
  // What the last command left out.
  const RunReport& Report() const { return report_; }
  // Earlier backups a backup folder keeps besides the newest one (0 keeps none), and those the
  // last Backup dropped, each with why.
  int KeepEarlierBackups = backup::kEarlierBackupsKept;
  std::vector<std::string> DroppedBackups;

  // --- the window's handlers ---
  void FormShow();
  void RadioGroup1Click();
  void UpdateRestoreDestination();
  void CDRomCBClick();
  void AutoDestClick();
  void ESourceChange();
  void BitBtn2Click();
  void FormClose();
  void Zip1ZEDProgressEvent(zip::TZip& sender, const std::string& file_name, int bytes_done,
                            int total_bytes);
  void Zip1MergeProgress(zip::TZip& sender, const std::string& file_name, int bytes_done,
                         int total_bytes);
  void Zip1SpanProgress(zip::TZip& sender, const std::string& file_name, int bytes_done,
                        int total_bytes);

  // --- the chart-file search (search/) ---
  // What a walk saw of the files of the folders it listed, by their places in SearchFolders as
  // the search makes it (the walk's list, then the folder walked from), and which of those
  // folders each file the search then found lies in.
  struct WalkedFiles {
    static constexpr size_t kNotListed = static_cast<size_t>(-1);
    std::vector<util::StringList> names;  // names[i]: the files of folder i, as listed
    std::vector<bool> listed;             // folder i was listed (a path too long is not)
    std::vector<size_t> folder_of_found;  // for each of FoundFiles: its folder, or kNotListed
    // Folders that could not be listed, with why: their files were never found.
    std::vector<std::pair<std::string, platform::Cause>> unlisted;
    std::set<platform::FolderIdentity> entered;  // the folders walked, by identity
  };
  // With walked_files, the walk also keeps the names of the files it lists: the search of those
  // folders and the look for companions then use them, so that one search reads each folder once.
  // They stand for SearchFolders when folder itself is appended to list right after the walk.
  void CollectSubfolders(const std::string& folder, util::StringList& list,
                         WalkedFiles* walked_files = nullptr);
  void SearchChartFiles();
  void FilterChartFiles(const WalkedFiles* walked_files = nullptr);
  // With Auto, a restore points the application's settings at the chart folder inside the
  // user-data folder when its chart folder is elsewhere: whether it would now, the sentence
  // that tells the user so, and the change itself.
  bool ChartFolderSettingDue() const;
  std::string ChartFolderSettingNote() const;
  void StoreChartFolderSetting();

  // --- the Backup command (backup/) ---
  void BackupButClick();
  // Into FoundFiles; matching names that no path can hold go to *unusable.
  void GatherChartFiles(WalkedFiles* walked_files = nullptr, util::StringList* unusable = nullptr);
  // Writes FoundFiles into target_folder + file_name with the comment. Files it could not store
  // are named in the run's report. When nothing could be stored (kind and place say what was
  // looked for where: "chart files", "below C:\Charts\"), the report says so and kNothing is
  // the result; a failure is told at once (kFailed). Either way an earlier archive of that name
  // stays as it was.
  enum class Written { kYes, kNothing, kFailed };
  Written WriteArchive(const std::string& target_folder, const std::string& file_name,
                       const std::string& comment, const std::string& caption, int options,
                       const std::string& kind, const std::string& place);
  void GatherUserDataFiles();
  // Hands the archives, the program and "autorun.inf" to the CD burner; false, with the user told
  // where the archives are and that no CD was written, when the burn did not start.
  bool StageForCD(const std::string& target_folder);
  void NoCdWritten(const std::string& target_folder, const std::string& reason);
  // Before an archive is written: on a drive short of room for a new archive as large as the one
  // it replaces, earlier backups go, oldest first, until it fits.
  void MakeRoomFor(const std::string& target_folder, const std::string& archive);
  // After a backup: the history of the folder cut to KeepEarlierBackups, and what a killed run
  // left of it.
  void TrimHistory(const std::string& target_folder);

  // --- the Restore command (restore/) ---
  void RestoreButtClick();
  // The chart archive: its members go to the application's chart folder (Auto) or to EDest.
  void RestoreFromArchive(const std::string& archive);
  // No chart archive: the chart files below the source are copied into the user-data folder.
  void RestoreLooseFiles();
  // Extracts the members of the open archive that match one of patterns into the component's
  // ExtrBaseDir. FoundFiles holds the patterns afterwards, as long as the window still has them.
  void ExtractMatching(const util::StringList& patterns);
  // Extracts the component's FileSpecs (all when empty) into its ExtrBaseDir, without the stored
  // folders when flat, and names in the run's report each file that was not written, but for
  // those kept on purpose (the file there is as new or newer).
  void ExtractReported(bool flat);
  // The user-data step after a chart archive: restores "RUDadoze.zev" from the source folder by
  // category, or onto the drive its comment names. False when there is no such archive (the user
  // has been told, and the command ends).
  bool RestoreUserData();
  void RestoreByCategory();
  void RestoreOntoCommentDrive();
  // The members the older layout may write below root; *refused counts the others.
  util::StringList MembersToRestore(const std::string& root, int* refused) const;
  // Counts into plan what the user-data step would write, from "RUDadoze.zev" in the source
  // folder (or notes that there is none); the component is left on that archive.
  void PlanUserData(restore::RestorePlan* plan);
  // The archive's path and its comment, as the question names its source.
  std::string ArchiveSource(const std::string& archive) const;
  // Shows the plan's question; on No the status line says so and the command ends.
  bool AskBeforeRestore(const restore::RestorePlan& plan);

 private:
  // Runs a command with the re-entry guard: the option boxes, the action buttons, the mode and
  // both folder boxes are disabled for the run and given back their states afterwards.
  void RunCommand(void (TFileMaint::*command)());
  // A folder box holding a path of the host's own form ("/home/ann/backups") shows the drive path
  // of the same folder instead, which is what the commands work with.
  void TakeTypedFolders();
  // The folder the chart-folder setting names: "Charts" in the user-files layout, else the
  // user-data folder itself.
  std::string ChartFolderForSetting() const;
  // Appends to FoundFiles the files of each of SearchFolders that match the first mask_count
  // chart masks, from the walk's names of the folder when it has them, with the progress bar
  // and the messages running; ends early when the run is stopped.
  void SearchListedFolders(size_t mask_count, WalkedFiles* walked_files,
                           util::StringList* unusable = nullptr);

  ui::Toolkit& toolkit_;
  std::unique_ptr<ui::Form> form_;
  // What the running command left out, told once at its end.
  RunReport report_;
  bool command_running_ = false;
  // Where this Backup keeps the archives it replaces: one folder for both of them.
  std::string history_folder_;
  bool closed_ = false;
};

}  // namespace app
