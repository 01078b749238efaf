// The platform services on Linux, with the results the Win32 calls give, over the drive map.
#include <dirent.h>
#include <dlfcn.h>
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
#include <random>

#include "base/unique_handle.h"
#include "base/wildcard.h"
#include "platform/cause.h"
#include "platform/platform.h"
#include "platform/posix/drive_map.h"
#include "platform/posix/handles.h"
#include "platform/work_files.h"

namespace platform {
namespace {

using posix::CurrentDriveMap;
using posix::Descriptor;
using posix::Directory;
using posix::ToHostPath;
using posix::ToWindowsPath;

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

// DOS date and time, local time, 2-second resolution; clamped to the years DOS can hold.
int32_t ToDosTime(time_t when) {
  struct tm local;
  if (!localtime_r(&when, &local)) return -1;
  if (local.tm_year < 80) return (1 << 21) | (1 << 16);               // 1980-01-01 00:00:00
  if (local.tm_year > 207) return static_cast<int32_t>(0xFF9FBF7Du);  // 2107-12-31 23:59:58
  uint32_t date = ((local.tm_year - 80) << 9) | ((local.tm_mon + 1) << 5) | local.tm_mday;
  uint32_t time = (local.tm_hour << 11) | (local.tm_min << 5) | (local.tm_sec / 2);
  return static_cast<int32_t>((date << 16) | time);
}

time_t FromDosTime(int32_t dos_time) {
  uint32_t value = static_cast<uint32_t>(dos_time);
  struct tm local = {};
  local.tm_year = static_cast<int>((value >> 25) & 0x7F) + 80;
  local.tm_mon = static_cast<int>((value >> 21) & 0x0F) - 1;
  local.tm_mday = static_cast<int>((value >> 16) & 0x1F);
  local.tm_hour = static_cast<int>((value >> 11) & 0x1F);
  local.tm_min = static_cast<int>((value >> 5) & 0x3F);
  local.tm_sec = static_cast<int>((value & 0x1F) * 2);
  // Not mktime: it looks at the time zone's file again on every call (a stat per file an
  // extraction dates). The wall clock read as UTC, less the offset in force at that moment; the
  // offset is taken a second time at the first guess, which may fall on the other side of a
  // change of daylight time.
  const time_t as_utc = timegm(&local);
  if (as_utc == -1) return -1;
  struct tm zone;
  if (!localtime_r(&as_utc, &zone)) return -1;
  const time_t guess = as_utc - zone.tm_gmtoff;
  if (!localtime_r(&guess, &zone)) return -1;
  return as_utc - zone.tm_gmtoff;
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

// Opens host as a regular file, or not at all. Opening a FIFO waits for a writer, and a device may
// never end: the file is opened without waiting and refused unless it turns out to be a regular
// file, then read and written as one. What the name stood for when it was listed does not count;
// it may have changed since. *st gets its status.
Descriptor OpenRegularFile(const std::string& host, int flags, struct stat* st) {
  Descriptor fd(open(host.c_str(), flags | O_NONBLOCK, 0666));
  if (!fd) return fd;
  const int status_flags = fcntl(fd.get(), F_GETFL);
  if (fstat(fd.get(), st) != 0 || !S_ISREG(st->st_mode) || status_flags < 0 ||
      fcntl(fd.get(), F_SETFL, status_flags & ~O_NONBLOCK) != 0) {
    const int error = errno;
    fd.Reset();
    errno = S_ISREG(st->st_mode) ? error : EACCES;  // Windows denies a device as a file
    return Descriptor();
  }
  return fd;
}

// A hidden temporary file beside target, open for writing; none on failure.
Descriptor CreateTempBeside(const std::string& target, std::string* temp) {
  // Named as every work file of the program, so that one a killed run left can be removed.
  std::string pattern = ParentFolder(target) + "/" + kWorkFilePrefix + "write-XXXXXX";
  std::vector<char> name(pattern.begin(), pattern.end());
  name.push_back('\0');
  Descriptor fd(mkstemp(name.data()));
  if (fd) {
    *temp = name.data();
    posix::NoteFolderChange(*temp, true);
  }
  return fd;
}

// Finishes a temporary file written beside target: flushes it and renames it over target.
bool CommitTemp(Descriptor fd, const std::string& temp, const std::string& target) {
  bool ok = fsync(fd.get()) == 0;
  ok = close(fd.Release()) == 0 && ok;  // a failed close may be a failed write
  if (ok && rename(temp.c_str(), target.c_str()) == 0) {
    posix::NoteRename(temp, target);
    return true;
  }
  const int error = errno;
  unlink(temp.c_str());
  posix::NoteFolderChange(temp, false);
  return Refuse(error);
}

// An existing destination that Windows would refuse to overwrite: a folder or a read-only file.
bool RefusesReplacement(const std::string& host) {
  struct stat st;
  if (lstat(host.c_str(), &st) != 0) return false;
  return S_ISDIR(st.st_mode) || IsReadOnly(st);
}

const char32_t kCodePage437High[128] = {
    0x00C7, 0x00FC, 0x00E9, 0x00E2, 0x00E4, 0x00E0, 0x00E5, 0x00E7, 0x00EA, 0x00EB, 0x00E8, 0x00EF,
    0x00EE, 0x00EC, 0x00C4, 0x00C5, 0x00C9, 0x00E6, 0x00C6, 0x00F4, 0x00F6, 0x00F2, 0x00FB, 0x00F9,
    0x00FF, 0x00D6, 0x00DC, 0x00A2, 0x00A3, 0x00A5, 0x20A7, 0x0192, 0x00E1, 0x00ED, 0x00F3, 0x00FA,
    0x00F1, 0x00D1, 0x00AA, 0x00BA, 0x00BF, 0x2310, 0x00AC, 0x00BD, 0x00BC, 0x00A1, 0x00AB, 0x00BB,
    0x2591, 0x2592, 0x2593, 0x2502, 0x2524, 0x2561, 0x2562, 0x2556, 0x2555, 0x2563, 0x2551, 0x2557,
    0x255D, 0x255C, 0x255B, 0x2510, 0x2514, 0x2534, 0x252C, 0x251C, 0x2500, 0x253C, 0x255E, 0x255F,
    0x255A, 0x2554, 0x2569, 0x2566, 0x2560, 0x2550, 0x256C, 0x2567, 0x2568, 0x2564, 0x2565, 0x2559,
    0x2558, 0x2552, 0x2553, 0x256B, 0x256A, 0x2518, 0x250C, 0x2588, 0x2584, 0x258C, 0x2590, 0x2580,
    0x03B1, 0x00DF, 0x0393, 0x03C0, 0x03A3, 0x03C3, 0x00B5, 0x03C4, 0x03A6, 0x0398, 0x03A9, 0x03B4,
    0x221E, 0x03C6, 0x03B5, 0x2229, 0x2261, 0x00B1, 0x2265, 0x2264, 0x2320, 0x2321, 0x00F7, 0x2248,
    0x00B0, 0x2219, 0x00B7, 0x221A, 0x207F, 0x00B2, 0x25A0, 0x00A0,
};

void AppendUtf8(char32_t c, std::string* out) {
  if (c < 0x80) {
    *out += static_cast<char>(c);
  } else if (c < 0x800) {
    *out += static_cast<char>(0xC0 | (c >> 6));
    *out += static_cast<char>(0x80 | (c & 0x3F));
  } else {
    *out += static_cast<char>(0xE0 | (c >> 12));
    *out += static_cast<char>(0x80 | ((c >> 6) & 0x3F));
    *out += static_cast<char>(0x80 | (c & 0x3F));
  }
}

// Decodes one UTF-8 character at text[*i] and moves past it; U+FFFD for a malformed one.
char32_t NextUtf8(const std::string& text, size_t* i) {
  unsigned char lead = static_cast<unsigned char>(text[(*i)++]);
  if (lead < 0x80) return lead;
  int extra = lead >= 0xF0 ? 3 : lead >= 0xE0 ? 2 : lead >= 0xC0 ? 1 : -1;
  if (extra < 0) return 0xFFFD;
  char32_t c = lead & (0x3F >> extra);
  for (int k = 0; k < extra; ++k) {
    if (*i >= text.size() || (static_cast<unsigned char>(text[*i]) & 0xC0) != 0x80) return 0xFFFD;
    c = (c << 6) | (static_cast<unsigned char>(text[(*i)++]) & 0x3F);
  }
  return c;
}

std::atomic<unsigned> error_mode{0};

// errno values above any the system uses carry the layer's own causes (SetLastCause), so that
// errno stays the one place a failure's cause is kept, as GetLastError is on Windows.
constexpr int kOwnCauseBase = 1 << 20;

}  // namespace

Cause LastCause() {
  const int error = errno;
  if (error >= kOwnCauseBase) return CauseFromCode(error - kOwnCauseBase);
  switch (error) {
    case 0:
      return Cause::kNone;
    case EACCES:
    case EPERM:
      return Cause::kAccessDenied;
    case EBUSY:
    case ETXTBSY:
    case EWOULDBLOCK:
      return Cause::kInUse;
    case ENOSPC:
    case EDQUOT:
    case EFBIG:  // the file-size limit, or a file system's largest file
      return Cause::kDiskFull;
    case ENOENT:
    case ENOTDIR:
    case ESTALE:
      return Cause::kNotFound;
    case EILSEQ:
      return Cause::kBadName;
    case ENAMETOOLONG:
    case ELOOP:
      return Cause::kPathTooLong;
    case EROFS:
      return Cause::kReadOnlyDrive;
    case ENODEV:
    case ENXIO:
    case ENOMEDIUM:
    case EHOSTDOWN:
    case EHOSTUNREACH:
    case ENOTCONN:
      return Cause::kNotReady;
    case EIO:
    case EREMOTEIO:
      return Cause::kDeviceError;
    case EMFILE:
    case ENFILE:
      return Cause::kTooManyOpen;
    case ENOMEM:
      return Cause::kNoMemory;
    default:
      return Cause::kOther;
  }
}

void SetLastCause(Cause cause) {
  errno = cause == Cause::kNone ? 0 : kOwnCauseBase + static_cast<int>(cause);
}

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
    if (!util::MatchesMask(name, mask)) continue;
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

int32_t GetFileAge(const std::string& path) {
  std::string host;
  struct stat st;
  if (!ToHostPath(path, &host) || stat(host.c_str(), &st) != 0 || S_ISDIR(st.st_mode)) return -1;
  return ToDosTime(st.st_mtime);
}

bool SetFileAge(const std::string& path, int32_t dos_time) {
  std::string host;
  if (!ToHostPath(path, &host)) return false;
  struct timespec times[2];
  times[0].tv_nsec = UTIME_OMIT;
  times[1].tv_sec = FromDosTime(dos_time);
  times[1].tv_nsec = 0;
  return times[1].tv_sec != -1 && utimensat(AT_FDCWD, host.c_str(), times, 0) == 0;
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
  if (!ok) {
    const int error = errno;
    out.Reset();
    unlink(temp.c_str());
    posix::NoteFolderChange(temp, false);
    return Refuse(error);
  }
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

bool ReadWholeFile(const std::string& path, std::string* contents) {
  std::string host;
  if (!ToHostPath(path, &host)) return false;
  if (IsHostFolder(host)) return Refuse(EACCES);
  // Through File, as every other read of the program, so that it fails in the same ways.
  std::unique_ptr<File> file = File::Open(path, File::Mode::kRead);
  if (!file) return false;
  std::string text;
  std::string buffer(64 << 10, '\0');
  for (;;) {
    size_t got = 0;
    if (!file->Read(buffer.data(), buffer.size(), &got)) return false;
    if (got == 0) break;
    text.append(buffer, 0, got);
  }
  *contents = std::move(text);
  return true;
}

bool WriteWholeFileSafely(const std::string& path, const std::string& contents) {
  std::string host;
  if (!ToHostPath(path, &host)) return false;
  if (RefusesReplacement(host)) return Refuse(EACCES);
  std::string temp;
  Descriptor fd = CreateTempBeside(host, &temp);
  if (!fd) return false;
  struct stat st;
  mode_t mode = 0666;
  if (stat(host.c_str(), &st) == 0) {
    mode = st.st_mode & 07777;
  } else {
    mode_t mask = umask(0);
    umask(mask);
    mode &= ~mask;
  }
  if (!WriteAll(fd.get(), contents.data(), contents.size()) || fchmod(fd.get(), mode) != 0) {
    const int error = errno;
    fd.Reset();
    unlink(temp.c_str());
    posix::NoteFolderChange(temp, false);
    return Refuse(error);
  }
  return CommitTemp(std::move(fd), temp, host);
}

std::string GetTempPath() {
  std::string temp = CurrentDriveMap()->temp;
  std::string host;
  if (!temp.empty() && ToHostPath(temp, &host) && IsHostFolder(host)) {
    return temp.back() == '\\' ? temp : temp + "\\";
  }
  const char* tmpdir = getenv("TMPDIR");
  if (ToWindowsPath(tmpdir && *tmpdir ? tmpdir : "/tmp", &temp)) {
    return temp.back() == '\\' ? temp : temp + "\\";
  }
  return std::string();
}

std::string GetTempFileName(const std::string& folder, const std::string& prefix) {
  std::string base = folder;
  if (base.empty() || (base.back() != '\\' && base.back() != '/')) base += '\\';
  base += prefix.substr(0, 3);
  std::random_device seed;
  unsigned start = seed() & 0xFFFF;
  for (unsigned n = 0; n < 0x10000; ++n) {
    unsigned unique = ((start + n) & 0xFFFF) ? ((start + n) & 0xFFFF) : 1;
    char hex[8];
    snprintf(hex, sizeof hex, "%X", unique);
    std::string name = base + hex + ".TMP";
    std::string host;
    if (!ToHostPath(name, &host)) return std::string();
    Descriptor fd(open(host.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0666));
    if (fd) {
      fd.Reset();
      posix::NoteFolderChange(host, true);
      return name;
    }
    if (errno != EEXIST) return std::string();
  }
  return std::string();
}

std::string GetModuleFileName() {
  char buffer[PATH_MAX];
  ssize_t length = readlink("/proc/self/exe", buffer, sizeof buffer - 1);
  std::string windows;
  if (length <= 0 || !ToWindowsPath(std::string(buffer, static_cast<size_t>(length)), &windows)) {
    return std::string();
  }
  return windows;
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

std::string OemToAnsi(const std::string& oem) {
  std::string out;
  for (char c : oem) {
    unsigned char byte = static_cast<unsigned char>(c);
    AppendUtf8(byte < 0x80 ? byte : kCodePage437High[byte - 0x80], &out);
  }
  return out;
}

std::string AnsiToOem(const std::string& ansi) {
  std::string out;
  for (size_t i = 0; i < ansi.size();) {
    char32_t c = NextUtf8(ansi, &i);
    if (c < 0x80) {
      out += static_cast<char>(c);
      continue;
    }
    char mapped = '?';
    for (int k = 0; k < 128; ++k) {
      if (kCodePage437High[k] == c) {
        mapped = static_cast<char>(0x80 + k);
        break;
      }
    }
    out += mapped;
  }
  return out;
}

// Windows asks for "ZipDll.dll"; the Linux build of that library is "libZipDll.so" in the same
// folder. A name without a folder is looked for beside the program, then where dlopen looks.
void* LoadLibrary(const std::string& name) {
  size_t split = name.find_last_of("\\/:");
  std::string base = split == std::string::npos ? name : name.substr(split + 1);
  if (base.size() > 4 && util::EqualNoCase(base.substr(base.size() - 4), ".dll")) {
    base = "lib" + base.substr(0, base.size() - 4) + ".so";
  }
  std::string folder;
  if (split != std::string::npos) {
    if (!ToHostPath(name.substr(0, split + 1), &folder)) return nullptr;
    return dlopen((folder + "/" + base).c_str(), RTLD_NOW | RTLD_LOCAL);
  }
  // Beside the program (as built, and as on Windows), then where the installed package keeps them
  // (bin/../lib/ridideduvure), from the program's real path so that a link to it or the package
  // unpacked anywhere finds them too.
  char exe[PATH_MAX];
  ssize_t length = readlink("/proc/self/exe", exe, sizeof exe - 1);
  if (length > 0) {
    folder = ParentFolder(std::string(exe, static_cast<size_t>(length)));
    for (const std::string& candidate :
         {folder + "/" + base, folder + "/../lib/ridideduvure/" + base}) {
      if (void* library = dlopen(candidate.c_str(), RTLD_NOW | RTLD_LOCAL)) return library;
    }
  }
  return dlopen(base.c_str(), RTLD_NOW | RTLD_LOCAL);
}

void* GetProcAddress(void* library, const char* symbol) {
  return library ? dlsym(library, symbol) : nullptr;
}

void FreeLibrary(void* library) {
  if (library) dlclose(library);
}

}  // namespace platform

namespace platform {

std::unique_ptr<File> File::Open(const std::string& path, Mode mode) {
  std::string host;
  // A folder is refused below: it does not open for writing, and is no regular file for reading.
  if (!ToHostPath(path, &host)) return nullptr;
  int flags = O_CLOEXEC;
  switch (mode) {
    case Mode::kRead:
      flags |= O_RDONLY;
      break;
    case Mode::kReadWrite:
      flags |= O_RDWR;
      break;
    case Mode::kCreate:
      flags |= O_RDWR | O_CREAT | O_TRUNC;
      break;
    case Mode::kCreateNew:
      flags |= O_RDWR | O_CREAT | O_EXCL;
      break;
  }
  // Windows will not open a read-only file for writing, whoever asks.
  struct stat st;
  if (mode != Mode::kRead && mode != Mode::kCreateNew && stat(host.c_str(), &st) == 0 &&
      IsReadOnly(st)) {
    errno = EACCES;
    return nullptr;
  }
  const bool creates = mode == Mode::kCreate || mode == Mode::kCreateNew;
  std::optional<posix::FolderChangeLock> change;
  if (creates) change.emplace(host);
  // A file made by this very call is a regular one; any other may be a FIFO or a device.
  Descriptor fd = mode == Mode::kCreateNew ? Descriptor(open(host.c_str(), flags, 0666))
                                           : OpenRegularFile(host, flags, &st);
  if (!fd) return nullptr;
  // Tells DeleteUnusedFile that the file is in use. A cleaner holding the exclusive lock for the
  // moment of its check does not keep the file from opening.
  flock(fd.get(), LOCK_SH | LOCK_NB);
  if (creates) posix::NoteFolderChange(host, true);
  change.reset();
  return std::unique_ptr<File>(new File(fd.Release()));
}

File::~File() { close(static_cast<int>(handle_)); }

bool File::Read(void* buffer, size_t size, size_t* got) {
  *got = 0;
  for (;;) {
    ssize_t n = pread(static_cast<int>(handle_), buffer, size, static_cast<off_t>(position_));
    if (n < 0 && errno == EINTR) continue;
    if (n < 0) return false;
    *got = static_cast<size_t>(n);
    position_ += *got;
    return true;
  }
}

bool File::Write(const void* data, size_t size) {
  const char* at = static_cast<const char*>(data);
  while (size > 0) {
    ssize_t n = pwrite(static_cast<int>(handle_), at, size, static_cast<off_t>(position_));
    if (n < 0 && errno == EINTR) continue;
    if (n == 0) errno = ENOSPC;
    if (n <= 0) return false;
    at += n;
    size -= static_cast<size_t>(n);
    position_ += static_cast<uint64_t>(n);
  }
  return true;
}

bool File::Size(uint64_t* size) const {
  struct stat st;
  if (fstat(static_cast<int>(handle_), &st) != 0) return false;
  *size = static_cast<uint64_t>(st.st_size);
  return true;
}

bool File::Truncate() {
  return ftruncate(static_cast<int>(handle_), static_cast<off_t>(position_)) == 0;
}

bool File::Flush() { return fsync(static_cast<int>(handle_)) == 0; }

bool File::SetAge(int32_t dos_time) {
  struct timespec times[2];
  times[0].tv_nsec = UTIME_OMIT;
  times[1].tv_sec = FromDosTime(dos_time);
  times[1].tv_nsec = 0;
  return times[1].tv_sec != -1 && futimens(static_cast<int>(handle_), times) == 0;
}

}  // namespace platform
