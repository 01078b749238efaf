// The main window: its controls, the lists the commands leave it, and its handlers. The window
// logic talks to the screen only through ui/, so it runs unchanged on every toolkit. The chart-file
// search and the Backup and Restore commands are modules of their own (search/, backup/,
// restore/): the handlers hand them the folders and options of the controls, the tools and the
// window's stop token, and take back what they did.
#pragma once

#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "backup/backup_history.h"
#include "base/stop_token.h"
#include "base/text.h"
#include "command/command_tools.h"
#include "command/run_report.h"
#include "locations/locations.h"
#include "ui/toolkit.h"

namespace zip {
class TZip;
}
namespace cdburner {
class TCDBurner;
}

namespace app {

// Set by Exit and never reset. The running command sees it through the window's stop token.
inline bool StopRequested = false;

// Shows text in a modal box titled with the application title, with an OK button and no icon.
// Always true.
bool ReportMessage(const std::string& text);

// The source a backup proposes: the application's chart folder, or the whole of drive C: when
// there is none or the whole disk is to be searched.
std::string BackupSourceProposal(const locations::Locations& found, bool whole_disk);

class TFileMaint : public locations::Locations {
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
  // Working lists: absent until the first command that needs them creates them. A command works
  // on lists of its own and leaves them here when it ends, unless the window has closed meanwhile:
  // FormClose releases FoundFiles, possibly while a command is still running.
  std::unique_ptr<base::StringList> FoundFiles;
  std::unique_ptr<base::StringList> SearchFolders;
  std::unique_ptr<base::StringList> PatternMatches;

  // A command (Backup or Restore) is running: the controls that could start another one or
  // change what it reads are disabled meanwhile.
  bool CommandRunning() const { return command_running_; }
  // What the last command left out.
  const command::RunReport& Report() const { return report_; }
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

  // --- the commands, as the buttons run them ---
  // Fills SearchFolders and FoundFiles with the chart-file search below the source folder.
  void SearchChartFiles();
  void BackupButClick();
  void RestoreButtClick();

 private:
  // Runs a command with the re-entry guard: the option boxes, the action buttons, the mode and
  // both folder boxes are disabled for the run and given back their states afterwards.
  void RunCommand(void (TFileMaint::*command)());
  // A folder box holding a path of the host's own form ("/home/ann/backups") shows the drive path
  // of the same folder instead, which is what the commands work with.
  void TakeTypedFolders();
  // What the commands are handed: the toolkit, the archive component, the status line, the bar
  // and the window's stop token.
  command::Tools Tools();
  // Keeps the lists a command worked on, unless the window has closed.
  void KeepLists(std::optional<base::StringList> folders, std::optional<base::StringList> files);

  ui::Toolkit& toolkit_;
  std::unique_ptr<ui::Form> form_;
  // What the running command left out, told once at its end.
  command::RunReport report_;
  bool command_running_ = false;
  // Asked for by Exit and by the window closing.
  base::StopSource stop_;
  bool closed_ = false;
};

}  // namespace app
