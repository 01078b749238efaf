#include "backup/backup_history.h"

#include <algorithm>
#include <cstdio>

#include "platform/platform.h"
#include "util/files.h"

namespace backup {
namespace {

std::string HistoryRoot(const std::string& backup_folder) {
  return base::AddBackslash(backup_folder) + kHistoryFolderName + "\\";
}

// The names in folder, files or folders, without "." and "..".
std::vector<platform::FindEntry> Entries(const std::string& folder) {
  std::vector<platform::FindEntry> entries, kept;
  platform::FindFiles(base::AddBackslash(folder) + "*", &entries);
  for (platform::FindEntry& entry : entries) {
    if (entry.name != "." && entry.name != "..") kept.push_back(std::move(entry));
  }
  return kept;
}

}  // namespace

std::string HistoryName(int32_t dos_time) {
  const uint32_t time = static_cast<uint32_t>(dos_time);
  char name[32];
  std::snprintf(name, sizeof name, "%04u-%02u-%02u %02u-%02u", 1980 + (time >> 25),
                (time >> 21) & 0xF, (time >> 16) & 0x1F, (time >> 11) & 0x1F, (time >> 5) & 0x3F);
  return name;
}

std::string MakeHistoryFolder(const std::string& backup_folder, int32_t dos_time) {
  const std::string root = HistoryRoot(backup_folder);
  if (!platform::FolderExists(root) && !platform::CreateDirectory(root)) return std::string();
  const std::string minute = root + HistoryName(dos_time);
  char seconds[8];
  std::snprintf(seconds, sizeof seconds, "-%02u", (static_cast<uint32_t>(dos_time) & 0x1F) * 2);
  std::vector<std::string> candidates = {minute, minute + seconds};
  for (int number = 2; number < 100; ++number) {
    candidates.push_back(minute + seconds + " (" + std::to_string(number) + ")");
  }
  for (const std::string& candidate : candidates) {
    if (platform::GetFileAttributes(candidate) != platform::kInvalidAttributes) continue;
    if (platform::CreateDirectory(candidate)) return candidate + "\\";
    if (platform::GetFileAttributes(candidate) == platform::kInvalidAttributes) break;
  }
  return std::string();
}

std::vector<std::string> EarlierBackups(const std::string& backup_folder) {
  const std::string root = HistoryRoot(backup_folder);
  std::vector<std::string> names;
  for (const platform::FindEntry& entry : Entries(root)) {
    if (entry.attributes & platform::kAttrDirectory) names.push_back(entry.name);
  }
  // The names sort as their times do: the minute, then its seconds, then a number.
  std::sort(names.begin(), names.end());
  std::vector<std::string> folders;
  for (const std::string& name : names) folders.push_back(root + name + "\\");
  return folders;
}

bool DropEarlierBackup(const std::string& folder) {
  bool whole = true;
  for (const platform::FindEntry& entry : Entries(folder)) {
    const std::string path = folder + entry.name;
    if (entry.attributes & platform::kAttrDirectory) {
      whole = DropEarlierBackup(path + "\\") && whole;
    } else {
      if (entry.attributes & platform::kAttrReadOnly) {
        platform::SetFileAttributes(path, entry.attributes & ~platform::kAttrReadOnly);
      }
      whole = platform::DeleteFile(path) && whole;
    }
  }
  return platform::RemoveDirectory(base::StripTrailing('\\', folder)) && whole;
}

void RemoveEmptyHistory(const std::string& backup_folder) {
  for (const std::string& folder : EarlierBackups(backup_folder)) {
    if (Entries(folder).empty()) platform::RemoveDirectory(base::StripTrailing('\\', folder));
  }
  const std::string root = HistoryRoot(backup_folder);
  if (platform::FolderExists(root) && Entries(root).empty()) {
    platform::RemoveDirectory(base::StripTrailing('\\', root));
  }
}

}  // namespace backup
