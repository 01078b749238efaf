#include <errno.h>
#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>

#include <chrono>
#include <thread>

#include "platform/folder_lock.h"
#include "platform/posix/drive_map.h"
#include "platform/posix/handles.h"

namespace platform {

std::unique_ptr<FolderLock> FolderLock::Take(const std::string& folder, int wait_ms, bool* held,
                                             const std::function<bool()>& wait) {
  *held = false;
  std::string host;
  if (!posix::ToHostPath(folder + FolderLockName(), &host)) return nullptr;
  const auto until = std::chrono::steady_clock::now() + std::chrono::milliseconds(wait_ms);
  for (;;) {
    posix::Descriptor fd;
    {
      const posix::FolderChangeLock change(host);
      fd = posix::Descriptor(open(host.c_str(), O_RDWR | O_CREAT | O_NOFOLLOW | O_CLOEXEC, 0666));
      if (!fd) return nullptr;
      posix::NoteFolderChange(host, true);
    }
    if (flock(fd.get(), LOCK_EX | LOCK_NB) == 0) {
      // The holder before removes the file as it lets go: a lock on a file no longer under that
      // name locks nothing, and the next try makes the file afresh.
      struct stat opened, named;
      if (fstat(fd.get(), &opened) == 0 && stat(host.c_str(), &named) == 0 &&
          opened.st_ino == named.st_ino && opened.st_dev == named.st_dev) {
        return std::unique_ptr<FolderLock>(new FolderLock(fd.Release(), host));
      }
      continue;
    }
    if (errno != EWOULDBLOCK) return nullptr;
    *held = true;
    fd.Reset();
    if (std::chrono::steady_clock::now() >= until || (wait && !wait())) {
      errno = EWOULDBLOCK;
      return nullptr;
    }
    std::this_thread::sleep_for(std::chrono::milliseconds(100));
  }
}

FolderLock::~FolderLock() {
  // Removed while still locked, so that no one takes a lock on it in between.
  {
    const posix::FolderChangeLock change(path_);
    if (unlink(path_.c_str()) == 0) posix::NoteFolderChange(path_, false);
  }
  close(static_cast<int>(handle_));
}

}  // namespace platform
