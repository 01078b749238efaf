// The Backup command: the walk over the source folder and the chart archive, then the user-data
// archive and the hand-off to the CD writer. Each archive is written beside the one it replaces,
// read back and checked, and takes its name only then; the replaced one goes among the earlier
// backups. It runs with or without a window: all it shows and asks goes through the tools.
#pragma once

#include <string>
#include <vector>

#include "backup/backup_history.h"
#include "base/text.h"
#include "command/command_tools.h"
#include "locations/locations.h"
#include "search/chart_search.h"

namespace cdburner {
class TCDBurner;
}

namespace backup {

struct BackupRequest {
  std::string source;       // the folder searched, with its backslash
  std::string destination;  // where the archives go, with its backslash (unused with to_cd)
  bool to_cd = false;       // the archives are made in C:\temp and handed to the CD writer
  bool user_data = true;    // "RUDadoze.zev" is made too
  int keep_earlier = kEarlierBackupsKept;  // earlier backups kept besides the newest (0: none)
};

// The lists are the folders searched and the chart files, or the user-data files and masks when
// those were backed up too; none when the run ended before its search (the folder was held by
// another backup).
struct BackupResult : command::Result {
  // Earlier backups the run dropped, each with why.
  std::vector<std::string> dropped_backups;
};

class BackupCommand {
 public:
  // burner is needed only for a backup to CD.
  BackupCommand(const command::Tools& tools, const locations::Locations& found,
                cdburner::TCDBurner* burner);
  BackupCommand(const BackupCommand&) = delete;
  BackupCommand& operator=(const BackupCommand&) = delete;

  BackupResult Run(const BackupRequest& request);

 private:
  enum class Written { kYes, kNothing, kFailed };

  command::Outcome Steps();
  // How a run whose archive was not written ends: stopped when the user cancelled it.
  command::Outcome Failed() const;
  // Into files_, from the folders of folders_; matching names that no path can hold go to *unusable.
  bool GatherChartFiles(search::WalkedFiles* walked_files, base::StringList* unusable);
  // Writes files_ into target_folder + file_name with the comment. Files it could not store are
  // named in the run's report. When nothing could be stored (kind and place say what was looked
  // for where: "chart files", "below C:\Charts\"), the report says so and kNothing is the result;
  // a failure is told at once (kFailed). Either way an earlier archive of that name stays as it
  // was, or among the earlier backups.
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
  // After a backup: the history of the folder cut to keep_earlier, and what a killed run left.
  void TrimHistory(const std::string& target_folder);

  const command::Tools& tools_;
  const locations::Locations& found_;
  cdburner::TCDBurner* const burner_;
  BackupRequest request_;
  BackupResult result_;
  // The run's working lists, and whether the run got as far as making them.
  base::StringList folders_;
  base::StringList files_;
  bool listed_ = false;
  // Where this run keeps the archives it replaces: one folder for both of them.
  std::string history_folder_;
};

}  // namespace backup
