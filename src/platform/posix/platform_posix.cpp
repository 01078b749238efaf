// The platform services on Linux, with the results the Win32 calls give, over the drive map: the
// drives, attributes, listings, and the making, copying, moving and deleting of files and folders.
#include <dirent.h>
#include <fcntl.h>
#include <limits.h>
#include <stdlib.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <sys/statvfs.h>
#include <time.h>
#include <unistd.h>

#include <atomic>
#include <cerrno>
#include <cstdio>
#include <fstream>
#include <optional>

#include "base/unique_handle.h"
#include "base/wildcard.h"
#include "platform/cause.h"
#include "platform/platform.h"
#include "platform/posix/drive_map.h"
#include "platform/posix/handles.h"
#include "platform/posix/host_files.h"
#include "platform/work_files.h"

namespace platform::posix {

// Fails a call with errno set to error, for the layer's own refusals.
bool Refuse(int error) {
  errno = error;
  return false;
}

std::string LastElement(const std::string& host) {
  size_t slash = host.rfind('/');
  return slash == std::string::npos ? host : host.substr(slash + 1);
}

std::string ParentFolder(const std::string& host) {
  size_t slash = host.rfind('/');
  if (slash == std::string::npos) return ".";
  return slash == 0 ? "/" : host.substr(0, slash);
}

bool StatHost(const std::string& host, struct stat* st) {
  // Follow links as Windows follows junctions; a dangling link still shows as a file.
  if (lstat(host.c_str(), st) != 0) return false;
  if (S_ISLNK(st->st_mode)) {
    struct stat target;
    if (stat(host.c_str(), &target) == 0) *st = target;
  }
  return true;
}

bool IsHostFolder(const std::string& host) {
  struct stat st;
  return stat(host.c_str(), &st) == 0 && S_ISDIR(st.st_mode);
}

// Whether the open folder is the root of a mapped drive, by identity: the path it was reached by
// may run through links.
bool IsDriveRoot(int folder_fd) {
  struct stat folder, root;
  if (fstat(folder_fd, &folder) != 0) return false;
  for (const auto& [letter, drive] : CurrentDriveMap()->drives) {
    if (stat(drive.folder.empty() ? "/" : drive.folder.c_str(), &root) == 0 &&
        root.st_dev == folder.st_dev && root.st_ino == folder.st_ino) {
      return true;
    }
  }
  return false;
}

bool IsReadOnly(const struct stat& st) { return (st.st_mode & S_IWUSR) == 0; }

// Anything but a folder, a regular file or a dangling link: a FIFO, a socket or a device.
bool IsSpecial(const struct stat& st) {
  return !S_ISDIR(st.st_mode) && !S_ISREG(st.st_mode) && !S_ISLNK(st.st_mode);
}

uint32_t Attributes(const std::string& name, const struct stat& st) {
  uint32_t attributes = S_ISDIR(st.st_mode) ? kAttrDirectory : kAttrArchive;
  if (IsSpecial(st)) attributes |= kAttrDevice;
  if (IsReadOnly(st)) attributes |= kAttrReadOnly;
  if (name.size() > 1 && name[0] == '.' && name != "..") attributes |= kAttrHidden;
  return attributes;
}

bool WriteAll(int fd, const char* data, size_t size) {
  while (size > 0) {
    ssize_t written = write(fd, data, size);
    if (written < 0) {
      if (errno == EINTR) continue;
      return false;
    }
    data += written;
    size -= static_cast<size_t>(written);
  }
  return true;
}

// An existing destination that Windows would refuse to overwrite: a folder or a read-only file.
bool RefusesReplacement(const std::string& host) {
  struct stat st;
  if (lstat(host.c_str(), &st) != 0) return false;
  return S_ISDIR(st.st_mode) || IsReadOnly(st);
}

}  // namespace platform::posix

namespace platform {

using namespace posix;

namespace {

std::atomic<unsigned> error_mode{0};

}  // namespace

unsigned GetDriveType(const std::string& root) {
  if (root.size() < 2 || root[1] != ':') return kDriveNoRootDir;
  auto map = CurrentDriveMap();
  auto drive = map->drives.find(static_cast<char>(toupper(static_cast<unsigned char>(root[0]))));
  if (drive == map->drives.end()) return kDriveNoRootDir;
  const std::string folder = drive->second.folder.empty() ? "/" : drive->second.folder;
  if (!IsHostFolder(folder)) return kDriveNoRootDir;
  if (drive->second.whole_file_system) return kDriveUnknown;
  return drive->second.type ? drive->second.type : posix::DriveTypeOfMount(folder);
}

std::string GetWindowsDirectory() {
  std::string windows = CurrentDriveMap()->windows;
  while (windows.size() > 3 && windows.back() == '\\') windows.pop_back();
  return windows;
}

std::string GetShellFolderPath(int csidl) {
  if (csidl != kCsidlPersonal) return std::string();
  std::string documents = CurrentDriveMap()->documents;
  std::string host;
  if (documents.empty() || !ToHostPath(documents, &host) || !IsHostFolder(host))
    return std::string();
  while (documents.size() > 3 && documents.back() == '\\') documents.pop_back();
  return documents;
}

bool GetVolumeInformation(const std::string& root, std::string* label, uint32_t* serial) {
  if (root.size() < 2 || root[1] != ':') return false;
  auto map = CurrentDriveMap();
  auto drive = map->drives.find(static_cast<char>(toupper(static_cast<unsigned char>(root[0]))));
  if (drive == map->drives.end()) return false;
  const std::string folder = drive->second.folder.empty() ? "/" : drive->second.folder;
  if (!IsHostFolder(folder)) return false;
  // Wine keeps a drive's label and serial number in two small files at its root.
  std::string text;
  if (label) {
    *label = drive->second.label;
    if (!drive->second.label_set) {
      std::ifstream file(drive->second.folder + "/.windows-label");
      std::getline(file, *label);
    }
  }
  if (serial) {
    *serial = 0;
    std::ifstream file(drive->second.folder + "/.windows-serial");
    if (std::getline(file, text))
      *serial = static_cast<uint32_t>(strtoul(text.c_str(), nullptr, 16));
  }
  return true;
}

bool GetDiskFreeSpaceEx(const std::string& folder, uint64_t* available) {
  std::string host;
  struct statvfs fs;
  if (!ToHostPath(folder, &host) || statvfs(host.empty() ? "/" : host.c_str(), &fs) != 0) {
    return false;
  }
  // f_bavail leaves out the blocks kept for root, as the Win32 call leaves out a quota.
  *available = static_cast<uint64_t>(fs.f_bavail) * fs.f_frsize;
  return true;
}

unsigned SetErrorMode(unsigned mode) { return error_mode.exchange(mode); }

uint32_t GetFileAttributes(const std::string& path) {
  std::string host;
  struct stat st;
  if (!ToHostPath(path, &host) || !StatHost(host, &st)) return kInvalidAttributes;
  return Attributes(LastElement(host), st);
}

bool SetFileAttributes(const std::string& path, uint32_t attributes) {
  std::string host;
  struct stat st;
  if (!ToHostPath(path, &host) || stat(host.c_str(), &st) != 0) return false;
  mode_t mode = st.st_mode & 07777;
  mode = (attributes & kAttrReadOnly) ? (mode & ~mode_t{0222}) : (mode | S_IWUSR);
  return mode == (st.st_mode & 07777) || chmod(host.c_str(), mode) == 0;
}

bool FindFiles(const std::string& pattern, std::vector<FindEntry>* entries, FindDetail detail) {
  entries->clear();
  size_t split = pattern.find_last_of("\\/");
  std::string folder = split == std::string::npos ? std::string() : pattern.substr(0, split + 1);
  std::string mask = split == std::string::npos ? pattern : pattern.substr(split + 1);
  if (split == std::string::npos && pattern.size() >= 2 && pattern[1] == ':') {
    folder = pattern.substr(0, 2);  // "C:*.cht"
    mask = pattern.substr(2);
  }
  // What a listing entry holds of a file the platform has looked at.
  const auto described = [detail](const std::string& name, const struct stat& st) {
    FindEntry found;
    found.name = name;
    found.attributes = Attributes(name, st);
    found.size = 0;
    found.dos_time = 0;
    if (detail == FindDetail::kNamesAndKinds) {
      found.attributes &= kAttrDirectory | kAttrArchive | kAttrHidden;
    } else {
      found.size = S_ISREG(st.st_mode) ? static_cast<uint64_t>(st.st_size) : 0;
      found.dos_time = ToDosTime(st.st_mtime);
    }
    return found;
  };
  // A name without wildcards is looked up, not listed for: the one file of that name, under the
  // name the folder gives it.
  if (!mask.empty() && mask != "." && mask != ".." &&
      mask.find_first_of("*?") == std::string::npos) {
    std::string host;
    struct stat st;
    // Named as it is, mostly: one look, where looking the path up first would be two.
    const bool as_written = posix::ToExactHostPath(pattern, &host) && StatHost(host, &st);
    if (!as_written && (!ToHostPath(pattern, &host) || !StatHost(host, &st))) {
      // No such file in a folder that is there is nothing matched, which is no failure.
      if (errno == ENOENT && posix::ToHostPath(folder.empty() ? "." : folder, &host) &&
          IsHostFolder(host)) {
        errno = 0;
      }
      return false;
    }
    entries->push_back(described(LastElement(host), st));
    return true;
  }
  // A folder is mostly named as it is: tried so first, which spares looking the path up.
  const std::string listed = folder.empty() ? "." : folder;
  std::string host;
  DIR* dir = posix::ToExactHostPath(listed, &host) ? opendir(host.c_str()) : nullptr;
  if (!dir && (!ToHostPath(listed, &host) || !(dir = opendir(host.c_str())))) return false;
  const Directory closes_dir(dir);
  // Windows lists "." and ".." in every folder but a drive's root; whether this is one is asked
  // only when they match.
  int is_root = -1;
  const std::string prefix = host == "/" ? "" : host;
  while (dirent* entry = readdir(dir)) {
    const bool dots = entry->d_name[0] == '.' &&
                      (entry->d_name[1] == 0 || (entry->d_name[1] == '.' && entry->d_name[2] == 0));
    if (dots && detail == FindDetail::kNamesAndKinds) continue;
    std::string name = entry->d_name;
    if (!base::MatchesMask(name, mask)) continue;
    if (dots) {
      if (is_root < 0) is_root = IsDriveRoot(dirfd(dir)) ? 1 : 0;
      if (is_root) continue;
    }
    const bool known_kind = entry->d_type == DT_DIR || entry->d_type == DT_REG;
    if (detail == FindDetail::kNamesAndKinds && known_kind) {
      FindEntry found;
      found.name = std::move(name);
      found.attributes = entry->d_type == DT_DIR ? kAttrDirectory : kAttrArchive;
      if (found.name.size() > 1 && found.name[0] == '.') found.attributes |= kAttrHidden;
      found.size = 0;
      found.dos_time = 0;
      entries->push_back(std::move(found));
      continue;
    }
    // Links are followed as Windows follows junctions, which the entry's type does not tell.
    struct stat st;
    if (!StatHost(prefix + "/" + name, &st)) continue;
    entries->push_back(described(name, st));
  }
  // Nothing matched in a folder that was listed whole: no failure, so no cause.
  if (entries->empty()) errno = 0;
  return !entries->empty();
}

bool GetFolderIdentity(const std::string& folder, FolderIdentity* identity) {
  std::string host;
  struct stat st;
  if (!ToHostPath(folder, &host) || stat(host.c_str(), &st) != 0 || !S_ISDIR(st.st_mode)) {
    return false;
  }
  identity->volume = static_cast<uint64_t>(st.st_dev);
  identity->index = static_cast<uint64_t>(st.st_ino);
  return true;
}

bool CreateDirectory(const std::string& path) {
  std::string host;
  if (!ToHostPath(path, &host)) return false;
  const posix::FolderChangeLock change(host);
  if (mkdir(host.c_str(), 0777) != 0) return false;
  posix::NoteFolderChange(host, true);
  posix::NoteNewFolder(host);
  return true;
}

bool RemoveDirectory(const std::string& path) {
  std::string host;
  if (!ToHostPath(path, &host)) return false;
  const posix::FolderChangeLock change(host);
  if (rmdir(host.c_str()) != 0) return false;
  posix::NoteFolderChange(host, false);
  return true;
}

bool DeleteFile(const std::string& path) {
  std::string host;
  struct stat st;
  if (!ToHostPath(path, &host) || lstat(host.c_str(), &st) != 0) return false;
  if (S_ISDIR(st.st_mode) || IsReadOnly(st)) return Refuse(EACCES);  // as Windows refuses both
  const posix::FolderChangeLock change(host);
  if (unlink(host.c_str()) != 0) return false;
  posix::NoteFolderChange(host, false);
  return true;
}

bool DeleteUnusedFile(const std::string& path) {
  std::string host;
  if (!ToHostPath(path, &host)) return false;
  Descriptor fd(open(host.c_str(), O_RDONLY | O_NONBLOCK | O_NOFOLLOW | O_CLOEXEC));
  if (!fd) return false;
  struct stat st;
  // Every File of this program holds a shared lock while it is open; a file whose exclusive lock
  // can be had is open nowhere (a killed process's locks go with it).
  bool deleted = fstat(fd.get(), &st) == 0 && S_ISREG(st.st_mode) && !IsReadOnly(st) &&
                 flock(fd.get(), LOCK_EX | LOCK_NB) == 0 && unlink(host.c_str()) == 0;
  fd.Reset();
  if (deleted) posix::NoteFolderChange(host, false);
  return deleted;
}

bool CopyFile(const std::string& source, const std::string& destination, bool fail_if_exists) {
  std::string from, to;
  if (!ToHostPath(source, &from) || !ToHostPath(destination, &to)) return false;
  struct stat st;
  if (stat(from.c_str(), &st) != 0) return false;
  if (S_ISDIR(st.st_mode)) return Refuse(EACCES);
  if (access(to.c_str(), F_OK) == 0 && (fail_if_exists || RefusesReplacement(to))) {
    return Refuse(fail_if_exists ? EEXIST : EACCES);
  }

  // Only a regular file is copied: a FIFO would wait for a writer and a device never end.
  Descriptor in = OpenRegularFile(from, O_RDONLY | O_CLOEXEC, &st);
  if (!in) return false;
  std::string temp;
  Descriptor out = CreateTempBeside(to, &temp);
  if (!out) return false;
  // The copy is written beside the destination and renamed over it once complete, so a failed
  // copy never leaves a truncated destination behind.
  bool ok = true;
  std::vector<char> buffer(1 << 20);
  for (;;) {
    ssize_t got = read(in.get(), buffer.data(), buffer.size());
    if (got < 0 && errno == EINTR) continue;
    if (got <= 0) {
      ok = got == 0;
      break;
    }
    if (!WriteAll(out.get(), buffer.data(), static_cast<size_t>(got))) {
      ok = false;
      break;
    }
  }
  in.Reset();
  struct timespec times[2] = {st.st_atim, st.st_mtim};
  ok = ok && fchmod(out.get(), st.st_mode & 07777) == 0 && futimens(out.get(), times) == 0;
  if (!ok) return DiscardTemp(std::move(out), temp);
  return CommitTemp(std::move(out), temp, to);
}

bool MoveFileReplacing(const std::string& source, const std::string& destination) {
  std::string from, to;
  if (!ToHostPath(source, &from) || !ToHostPath(destination, &to)) return false;
  if (RefusesReplacement(to)) return Refuse(EACCES);
  const posix::FolderChangeLock change(from, to);
  if (rename(from.c_str(), to.c_str()) != 0) return false;
  posix::NoteRename(from, to);
  return true;
}

std::string GetCurrentDirectory() {
  char buffer[PATH_MAX];
  std::string windows;
  if (!getcwd(buffer, sizeof buffer) || !ToWindowsPath(buffer, &windows)) return std::string();
  return windows;
}

bool SetCurrentDirectory(const std::string& path) {
  std::string host;
  return ToHostPath(path, &host) && chdir(host.c_str()) == 0;
}

}  // namespace platform
