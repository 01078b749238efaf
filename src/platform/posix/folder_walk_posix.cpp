// What a walk of folders asks of Linux before it enters a folder, and the current folder put back
// after a run.
#include <limits.h>
#include <linux/magic.h>
#include <sys/stat.h>
#include <sys/statfs.h>
#include <sys/sysmacros.h>
#include <unistd.h>

#include <fstream>
#include <map>
#include <mutex>
#include <sstream>
#include <string>

#include "platform/platform.h"
#include "platform/posix/drive_map.h"

namespace platform {
namespace {

// The file systems whose folders hold the kernel's state: the magic numbers statfs gives them.
constexpr unsigned long kKernelMagics[] = {PROC_SUPER_MAGIC,
                                           SYSFS_MAGIC,
                                           DEVPTS_SUPER_MAGIC,
                                           CGROUP_SUPER_MAGIC,
                                           CGROUP2_SUPER_MAGIC,
                                           DEBUGFS_MAGIC,
                                           TRACEFS_MAGIC,
                                           SECURITYFS_MAGIC,
                                           PSTOREFS_MAGIC,
                                           EFIVARFS_MAGIC,
                                           BPF_FS_MAGIC,
                                           BINFMTFS_MAGIC,
                                           SELINUX_MAGIC,
                                           SMACK_MAGIC,
                                           NSFS_MAGIC,
                                           0x62656570 /* configfs */,
                                           0x65735543 /* fusectl */,
                                           0x19800202 /* mqueue */};

// devtmpfs says it is tmpfs to statfs, as every tmpfs does, and /tmp may be one of those: only
// the mount table tells the kernel's device folder from a folder of files.
std::string MountTypeOf(dev_t device) {
  std::ifstream file("/proc/self/mountinfo");
  std::string line;
  const std::string wanted = std::to_string(major(device)) + ":" + std::to_string(minor(device));
  while (std::getline(file, line)) {
    // id parent major:minor root mount-point options [optional...] - fstype source options
    std::istringstream fields(line);
    std::string id, parent, numbers, field;
    fields >> id >> parent >> numbers;
    if (numbers != wanted) continue;
    while (fields >> field && field != "-") {
    }
    std::string type;
    fields >> type;
    return type;
  }
  return std::string();
}

bool IsKernelFileSystem(const std::string& host, dev_t device) {
  // A walk meets few devices and many folders on each: the answer is kept by device.
  static std::mutex mutex;
  static std::map<dev_t, bool> known;
  {
    const std::lock_guard<std::mutex> lock(mutex);
    if (auto it = known.find(device); it != known.end()) return it->second;
  }
  struct statfs fs;
  bool kernel = false;
  if (statfs(host.c_str(), &fs) == 0) {
    const unsigned long magic = static_cast<unsigned long>(fs.f_type);
    for (unsigned long kernel_magic : kKernelMagics) kernel = kernel || magic == kernel_magic;
    if (magic == TMPFS_MAGIC) kernel = MountTypeOf(device) == "devtmpfs";
  }
  const std::lock_guard<std::mutex> lock(mutex);
  known[device] = kernel;
  return kernel;
}

}  // namespace

bool GetWalkedFolderIdentity(const std::string& folder, FolderIdentity* identity,
                             bool* kernel_file_system) {
  std::string host;
  struct stat st;
  // The walk names folders as the file system lists them: looked up only when that fails.
  const bool as_written = posix::ToExactHostPath(folder, &host) && stat(host.c_str(), &st) == 0;
  if (!as_written && (!posix::ToHostPath(folder, &host) || stat(host.c_str(), &st) != 0)) {
    return false;
  }
  if (!S_ISDIR(st.st_mode)) return false;
  identity->volume = static_cast<uint64_t>(st.st_dev);
  identity->index = static_cast<uint64_t>(st.st_ino);
  *kernel_file_system = IsKernelFileSystem(host, st.st_dev);
  return true;
}

CurrentDirectoryKeeper::CurrentDirectoryKeeper() {
  char buffer[PATH_MAX];
  if (getcwd(buffer, sizeof buffer)) saved_ = buffer;
}

CurrentDirectoryKeeper::~CurrentDirectoryKeeper() {
  // A folder gone since cannot come back; the run's folder is let go of all the same.
  if (!saved_.empty() && chdir(saved_.c_str()) != 0) (void)!chdir("/");
}

}  // namespace platform
