// The Backup command's run: the walk over the source folder, the chart archive, then the user-data
// archive and the CD hand-off (user_data_backup.cpp), each written by WriteArchive
// (archive_writer.cpp).
#include "backup/backup_command.h"

#include <memory>

#include "base/scope_exit.h"
#include "platform/folder_lock.h"
#include "platform/platform.h"
#include "search/chart_masks.h"
#include "ui/toolkit.h"
#include "util/files.h"
#include "zip/tzip.h"
#include "zip/zip_options.h"

namespace backup {
namespace {

constexpr uint8_t kChartArchiveOptions =
    zip::kAddRecurse | zip::kAddFolderEntries | zip::kAddHiddenSystem;
// The same, relative to the (empty) base folder.
constexpr uint8_t kUserDataArchiveOptions = kChartArchiveOptions | zip::kAddRelativeToBase;
static_assert(kChartArchiveOptions == 0x54 && kUserDataArchiveOptions == 0x5C);

// How long a backup waits for another one into the same folder to finish.
constexpr int kLockWaitMs = 10000;

}  // namespace

BackupCommand::BackupCommand(const command::Tools& tools, const locations::Locations& found,
                             cdburner::TCDBurner* burner)
    : tools_(tools), found_(found), burner_(burner) {}

BackupResult BackupCommand::Run(const BackupRequest& request) {
  request_ = request;
  result_ = BackupResult();
  folders_.clear();
  files_.clear();
  listed_ = false;
  history_folder_.clear();
  tools_.zip.Cancelled = false;  // a Cancel of an earlier run is not this run's
  result_.outcome = Steps();
  if (listed_) {
    result_.folders = std::move(folders_);
    result_.files = std::move(files_);
  }
  if (result_.outcome == command::Outcome::kFinished) {
    tools_.Status("Finished.");
    // One word for the whole run on whatever it had to leave out.
    if (!result_.report.complete()) tools_.Tell(result_.report.BackupText());
  }
  return std::move(result_);
}

command::Outcome BackupCommand::Steps() {
  using command::Outcome;
  const std::string target = request_.to_cd ? std::string("C:\\temp") : request_.destination;
  // One backup at a time into a folder, whoever started it: a second one waits a little for the
  // first, then leaves the folder to it. A folder that takes no lock file takes no backup either,
  // and the run says so when it writes.
  util::MakeFolderPath(target);
  bool held = false;
  const std::unique_ptr<platform::FolderLock> lock =
      platform::FolderLock::Take(base::AddBackslash(target), kLockWaitMs, &held, [this] {
        tools_.LetMessagesRun();
        return !tools_.Stopped();
      });
  if (!lock && held) {
    if (tools_.Stopped()) return Outcome::kStopped;
    tools_.Tell("No backup was made in " + base::AddBackslash(target) +
                ": another backup into this folder is running. The backups there are left "
                "to it; start this one again when it has finished.");
    return Outcome::kFailed;
  }
  // However the run ends, it leaves no empty folder among the earlier backups.
  const base::ScopeExit tidy_history([&] {
    if (!request_.to_cd) RemoveEmptyHistory(target);
  });
  listed_ = true;
  const std::string& source = request_.source;
  search::ChartSearch search(tools_);
  search::WalkedFiles walked_files;
  if (!search.CollectSubfolders(source, folders_, &walked_files)) return Outcome::kStopped;
  folders_.push_back(source);  // the source folder is searched last
  tools_.Status("Searching for Chart Files");
  tools_.LetMessagesRun();
  if (tools_.Stopped()) return Outcome::kStopped;
  base::StringList unusable;
  if (!GatherChartFiles(&walked_files, &unusable)) return Outcome::kStopped;
  tools_.Status("");
  search::ChartSearch::FilterChartFiles(files_, &walked_files);
  // What the search could not reach is missing from the backup as much as what cannot be read.
  command::RunReport& report = result_.report;
  platform::Cause source_cause = platform::Cause::kNone;
  for (const auto& [folder, cause] : walked_files.unlisted) {
    if (folder == source) {
      source_cause = cause;
    } else {
      report.MissingFolder(folder, cause);
    }
  }
  for (const std::string& path : unusable) {
    report.Missing(path, platform::Cause::kNameNotStorable, std::string());
  }
  walked_files = search::WalkedFiles();
  // Where nothing was found, and why when the source could not be searched at all.
  std::string place = "below " + source;
  if (source_cause == platform::Cause::kNotFound) {
    place += " (the folder does not exist)";
  } else if (source_cause != platform::Cause::kNone) {
    place += " (" + platform::CausePhrase(source_cause) + ")";
  }
  if (WriteArchive(target, command::kChartArchiveName, command::kBackupCommentPrefix + source,
                   "Zipping up Chart Files.", kChartArchiveOptions, "chart files",
                   place) == Written::kFailed) {
    return Failed();
  }
  if (tools_.Stopped()) return Outcome::kStopped;

  if (request_.user_data) {
    files_.clear();
    tools_.Status("Gathering Halvane Data Files.");
    GatherUserDataFiles();
    const std::string user_folder =
        found_.UserDataFolder.empty() ? found_.SystemDataFolder : found_.UserDataFolder;
    if (WriteArchive(
            target, command::kUserDataArchiveName,
            command::kBackupCommentPrefix + found_.SystemDataFolder, "Zipping up User Data Files.",
            kUserDataArchiveOptions, "Halvane user data files",
            user_folder.empty() ? "(Halvane was not found on this computer)"
                                : "in " + base::AddBackslash(user_folder)) == Written::kFailed) {
      return Failed();
    }
    if (tools_.Stopped()) return Outcome::kStopped;
  }
  if (request_.to_cd) {
    if (!StageForCD(target)) return tools_.Stopped() ? Outcome::kStopped : Outcome::kFailed;
    if (tools_.Stopped()) return Outcome::kStopped;
  } else {
    TrimHistory(target);
  }
  return Outcome::kFinished;
}

command::Outcome BackupCommand::Failed() const {
  // The progress window's Cancel ends the run as a stop does: nothing more to tell.
  return tools_.zip.Cancelled ? command::Outcome::kStopped : command::Outcome::kFailed;
}

bool BackupCommand::GatherChartFiles(search::WalkedFiles* walked_files,
                                     base::StringList* unusable) {
  return search::ChartSearch(tools_).SearchListedFolders(folders_, search::kChartMaskCount,
                                                         files_, walked_files, unusable);
}

}  // namespace backup
