#include "platform/work_files.h"

#include <cstdio>
#include <random>
#include <vector>

#include "platform/folder_lock.h"

namespace platform {

std::string WorkFileName(const std::string& role) {
  thread_local std::mt19937_64 random{(uint64_t{std::random_device()()} << 32) ^
                                      std::random_device()()};
  char digits[17];
  std::snprintf(digits, sizeof digits, "%016llX", static_cast<unsigned long long>(random()));
  return kWorkFilePrefix + role + "-" + digits + ".tmp";
}

std::unique_ptr<File> CreateWorkFile(const std::string& folder, const std::string& role,
                                     std::string* path) {
  // A name that is taken is drawn again; a few failures in a row mean the folder is the cause.
  for (int tries = 0; tries < 8; ++tries) {
    *path = folder + WorkFileName(role);
    std::unique_ptr<File> file = File::Open(*path, File::Mode::kCreateNew);
    if (file) return file;
    if (GetFileAttributes(*path) == kInvalidAttributes) break;
  }
  path->clear();
  return nullptr;
}

std::string FolderLockName() { return std::string(kWorkFilePrefix) + "lock"; }

void RemoveLeftWorkFiles(const std::string& folder) {
  if (folder.empty()) return;
  const std::string base = folder.back() == '\\' ? folder : folder + "\\";
  std::vector<FindEntry> entries;
  if (!FindFiles(base + kWorkFilePrefix + "*", &entries, FindDetail::kNamesAndKinds)) {
    return;
  }
  for (const FindEntry& entry : entries) {
    // The pattern's case is the drive's to fold: only the prefix as written is ours.
    if ((entry.attributes & kAttrDirectory) || entry.name.rfind(kWorkFilePrefix, 0) != 0) continue;
    DeleteUnusedFile(base + entry.name);
  }
}

}  // namespace platform
