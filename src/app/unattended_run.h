// The runs of the command line: a backup for the system's scheduler, with its exit status, its
// progress on the console and its record in the backup folder's log; and a check of a backup.
#pragma once

#include <string>

#include "app/command_line.h"

namespace app {

// Exit statuses of a run from the command line.
inline constexpr int kExitDone = 0;        // everything found was backed up and verified
inline constexpr int kExitFailed = 1;      // the run failed; an earlier backup is as it was
inline constexpr int kExitWrongWords = 2;  // the command line was not understood
inline constexpr int kExitLeftOut = 3;     // written and verified, but files were left out

inline constexpr char kBackupLogName[] = "BackupLog.txt";
// The log keeps this many runs, the newest last.
inline constexpr size_t kLoggedRuns = 200;

// The Backup command without a window, with the folders and options the window would propose.
// Returns the exit status.
int RunBackupFromCommandLine(const CommandLine& line);

// Reads back the archives of a backup folder, or one archive, entry by entry. Returns kExitDone
// when all are sound, else kExitFailed.
int RunVerifyFromCommandLine(const CommandLine& line);

// The log with one more record: records are kept whole, the oldest dropped beyond kLoggedRuns.
// A record is a line that does not begin with a space, and the indented lines after it.
std::string WithRecord(const std::string& log, const std::string& record);

}  // namespace app
