// Earlier backups: the archives a backup replaces are kept in "Earlier backups\<date time>\" of the
// backup folder, under their own names, so that pointing Restore at such a folder restores that
// backup. Only a few are kept; on a drive short of room the oldest give way to the new backup.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace backup {

inline constexpr char kHistoryFolderName[] = "Earlier backups";
// Earlier backups a folder keeps besides the newest one, unless told otherwise.
inline constexpr int kEarlierBackupsKept = 4;

// "2026-12-08 21-30" for a DOS date and time.
std::string HistoryName(int32_t dos_time);

// A new, empty folder in backup_folder's history for the archives replaced at dos_time: by the
// minute, with the seconds when that folder is there already, then with a number. Empty when it
// cannot be made.
std::string MakeHistoryFolder(const std::string& backup_folder, int32_t dos_time);

// The earlier backups of backup_folder, oldest first, each with its trailing backslash.
std::vector<std::string> EarlierBackups(const std::string& backup_folder);

// Deletes one earlier backup: its files, then the folder. False when something of it stays.
bool DropEarlierBackup(const std::string& folder);

// Folders of the history that hold nothing, as a run killed between making one and moving an
// archive into it leaves: they go. The history folder itself goes when it is empty.
void RemoveEmptyHistory(const std::string& backup_folder);

}  // namespace backup
