// File on Linux: regular files only, read and written at their own position, as Windows does.
#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <memory>
#include <optional>

#include "platform/platform.h"
#include "platform/posix/drive_map.h"
#include "platform/posix/host_files.h"

namespace platform::posix {

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

}  // namespace platform::posix

namespace platform {

using namespace posix;

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
