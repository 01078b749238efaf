// Where an extracting run writes: the room its drive has, and the folders it makes, on the run's
// thread and on its workers alike.
#include <algorithm>
#include <string_view>

#include "platform/platform.h"
#include "zipdll/extract/extract_run.h"

namespace zipdll::extract {
namespace {

// Room an entry needs beyond its own size. A file takes whole clusters (up to 64 KiB on a large
// NTFS or exFAT drive) and a directory entry, and a big file needs blocks of the file system to
// map it (one per thousand or so on ext2-style drives); a restore that leaves the drive with not
// a byte to spare would also starve every other program writing there meanwhile.
constexpr uint64_t kFreeSpaceMargin = 64 * 1024;

bool FitsInFreeSpace(uint64_t size, uint64_t available) {
  const uint64_t overhead = kFreeSpaceMargin + size / 1024;
  return available >= overhead && available - overhead >= size;
}

}  // namespace

bool ExtractRun::TakeRoom(const std::string& folder, uint64_t size, uint64_t* available) {
  base::MutexLock lock(room_mutex_);
  // Asked of the drive at the first file, and again before a file is turned away: others may
  // have freed room meanwhile, or the run's own count may be short of the truth.
  if (!room_left_ || !FitsInFreeSpace(size, *room_left_)) {
    if (!platform::GetDiskFreeSpaceEx(folder, available)) return true;
    room_left_ = *available;
    if (!FitsInFreeSpace(size, *available)) return false;
  }
  // What the file takes on the drive: whole blocks of 4 KiB and the blocks that map it; less than
  // the margin FitsInFreeSpace asks beyond the size, so the count cannot go below zero.
  *room_left_ -= (size + size / 1024 + 4096 + 4095) / 4096 * 4096;
  return true;
}

// Walks the folders of relative down from the target, making those this run has not made or
// found yet: each element is looked up once, below its parent, so that a deep name costs its
// length and not its length times its depth.
bool ExtractRun::CreateFolders(const std::string& relative, bool ahead) {
  size_t node = NameTree::kRoot;
  for (size_t at = 0; at < relative.size();) {
    const size_t split = std::min(relative.find('\\', at), relative.size());
    if (split > at) {
      bool made = false;
      {
        base::MutexLock lock(made_folders_mutex_);
        node = made_folders_.Child(node, std::string_view(relative).substr(at, split - at));
        made = made_folders_[node].folder;
        // The run's own thread takes a folder made ahead as its own.
        if (made && !ahead) made_folders_[node].ahead = false;
      }
      if (!made) {
        // Two workers may make the same folder at once: the one that comes second finds it made.
        const std::string folder = options_.target_folder + relative.substr(0, split);
        const bool created = platform::CreateDirectory(folder);
        if (!created) {
          const platform::Cause cause = platform::LastCause();
          if (!platform::FolderExists(folder)) {
            platform::SetLastCause(cause);  // why it could not be made, not that it is not there
            return false;
          }
        }
        base::MutexLock lock(made_folders_mutex_);
        NameTree::Node& made_node = made_folders_[node];
        if (!made_node.folder) {
          made_node.folder = true;
          made_node.ahead = ahead && created;
          if (made_node.ahead) made_ahead_.emplace_back(node, folder);
        } else if (!ahead) {
          made_node.ahead = false;
        }
      }
    }
    at = split + 1;
  }
  return true;
}

void ExtractRun::RemoveFoldersMadeAhead() {
  base::MutexLock lock(made_folders_mutex_);
  // Innermost first: a folder is made after the one it is in. One that holds anything stays.
  for (auto made = made_ahead_.rbegin(); made != made_ahead_.rend(); ++made) {
    if (made_folders_[made->first].ahead) platform::RemoveDirectory(made->second);
  }
  made_ahead_.clear();
}

}  // namespace zipdll::extract
