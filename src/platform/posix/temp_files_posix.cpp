// Work files on Linux: the temporary folder and names, and a file written whole beside the one it
// replaces before it takes its name.
#include <fcntl.h>
#include <stdlib.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <random>
#include <vector>

#include "platform/platform.h"
#include "platform/posix/drive_map.h"
#include "platform/posix/host_files.h"
#include "platform/work_files.h"

namespace platform::posix {

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
  return DiscardTemp(Descriptor(), temp);
}

bool DiscardTemp(Descriptor fd, const std::string& temp) {
  const int error = errno;
  fd.Reset();
  unlink(temp.c_str());
  posix::NoteFolderChange(temp, false);
  return Refuse(error);
}

}  // namespace platform::posix

namespace platform {

using namespace posix;

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
    return DiscardTemp(std::move(fd), temp);
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

}  // namespace platform
