// The Backup command: the walk over the source folder, the chart archive, then the user-data
// archive and the CD hand-off (user_data_backup.cpp), each written by WriteArchive
// (archive_writer.cpp).
#include <memory>

#include "app/file_maint.h"
#include "backup/backup_history.h"
#include "base/scope_exit.h"
#include "platform/folder_lock.h"
#include "platform/platform.h"
#include "search/chart_masks.h"
#include "ui/toolkit.h"
#include "util/files.h"
#include "zip/zip_options.h"

namespace app {
namespace {

constexpr uint8_t kChartArchiveOptions =
    zip::kAddRecurse | zip::kAddFolderEntries | zip::kAddHiddenSystem;
// The same, relative to the (empty) base folder.
constexpr uint8_t kUserDataArchiveOptions = kChartArchiveOptions | zip::kAddRelativeToBase;
static_assert(kChartArchiveOptions == 0x54 && kUserDataArchiveOptions == 0x5C);

// How long a backup waits for another one into the same folder to finish.
constexpr int kLockWaitMs = 10000;

// Exit was clicked, or the window closed (which releases FoundFiles), while messages ran: the run
// ends without starting its next step.
bool RunStopped(const TFileMaint& window) { return StopRequested || !window.FoundFiles; }

}  // namespace

void TFileMaint::BackupButClick() {
  if (ESource->Text().empty() || EDest->Text().empty()) {
    ReportMessage("Both Source and Dest must be selected.");
    return;
  }
  const ui::BusyCursor busy(toolkit_);
  report_.Clear();
  ESource->SetText(util::AddBackslash(ESource->Text()));
  EDest->SetText(util::AddBackslash(EDest->Text()));
  const std::string target = CDRomCB->Checked() ? std::string("C:\\temp") : EDest->Text();
  // One backup at a time into a folder, whoever started it: a second one waits a little for the
  // first, then leaves the folder to it. A folder that takes no lock file takes no backup either,
  // and the run says so when it writes.
  util::MakeFolderPath(target);
  bool held = false;
  const std::unique_ptr<platform::FolderLock> lock = platform::FolderLock::Take(
      util::AddBackslash(target), kLockWaitMs, &held, [](void* window) {
        static_cast<TFileMaint*>(window)->toolkit_.ProcessMessages();
        return !StopRequested;
      }, this);
  if (!lock && held) {
    if (!StopRequested) {
      ReportMessage("No backup was made in " + util::AddBackslash(target) +
                    ": another backup into this folder is running. The backups there are left "
                    "to it; start this one again when it has finished.");
    }
    return;
  }
  SearchFolders = std::make_unique<util::StringList>();
  FoundFiles = std::make_unique<util::StringList>();
  history_folder_.clear();
  DroppedBackups.clear();
  // However the run ends, it leaves no empty folder among the earlier backups.
  const util::ScopeExit tidy_history([&] {
    if (!CDRomCB->Checked()) backup::RemoveEmptyHistory(target);
  });
  const std::string source = ESource->Text();
  WalkedFiles walked_files;
  CollectSubfolders(source, *SearchFolders, &walked_files);
  if (RunStopped(*this)) return;
  SearchFolders->push_back(source);  // the source folder is searched last
  PLabel->SetCaption("Searching for Chart Files");
  toolkit_.ProcessMessages();
  if (RunStopped(*this)) return;
  util::StringList unusable;
  GatherChartFiles(&walked_files, &unusable);
  if (RunStopped(*this)) return;
  PLabel->SetCaption("");
  FilterChartFiles(&walked_files);
  // What the search could not reach is missing from the backup as much as what cannot be read.
  platform::Cause source_cause = platform::Cause::kNone;
  for (const auto& [folder, cause] : walked_files.unlisted) {
    if (folder == source) {
      source_cause = cause;
    } else {
      report_.MissingFolder(folder, cause);
    }
  }
  for (const std::string& path : unusable) {
    report_.Missing(path, platform::Cause::kNameNotStorable, std::string());
  }
  walked_files = WalkedFiles();
  // Where nothing was found, and why when the source could not be searched at all.
  std::string place = "below " + source;
  if (source_cause == platform::Cause::kNotFound) {
    place += " (the folder does not exist)";
  } else if (source_cause != platform::Cause::kNone) {
    place += " (" + platform::CausePhrase(source_cause) + ")";
  }
  if (WriteArchive(target, kChartArchiveName, kBackupCommentPrefix + source,
                   "Zipping up Chart Files.", kChartArchiveOptions, "chart files",
                   place) == Written::kFailed) {
    return;
  }
  if (RunStopped(*this)) return;

  if (HVBackupCB->Checked()) {
    FoundFiles->clear();
    PLabel->SetCaption("Gathering Halvane Data Files.");
    GatherUserDataFiles();
    const std::string user_folder = UserDataFolder.empty() ? SystemDataFolder : UserDataFolder;
    if (WriteArchive(
            target, kUserDataArchiveName, kBackupCommentPrefix + SystemDataFolder,
            "Zipping up User Data Files.", kUserDataArchiveOptions, "Halvane user data files",
            user_folder.empty() ? "(Halvane was not found on this computer)"
                                : "in " + util::AddBackslash(user_folder)) == Written::kFailed) {
      return;
    }
    if (RunStopped(*this)) return;
  }
  if (!CDRomCB->Checked()) TrimHistory(target);
  if (CDRomCB->Checked()) {
    if (!StageForCD(target) || StopRequested) return;
  }
  PLabel->SetCaption("Finished.");
  // One word for the whole run on whatever it had to leave out.
  if (!report_.complete()) ReportMessage(report_.BackupText());
}

void TFileMaint::GatherChartFiles(WalkedFiles* walked_files, util::StringList* unusable) {
  SearchListedFolders(search::kChartMaskCount, walked_files, unusable);
}

}  // namespace app
