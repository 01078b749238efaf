// Faults of the disk that no test can cause for real, put below the program: a write that reaches
// the disk damaged, a read that fails, a rename that is refused. Loaded into a test program with
// LD_PRELOAD (CTest does it for the programs that need it) and idle until a test arms it through
// the environment, so the program above runs exactly as it does for a user:
//
//   RD_FAULT_FLIP=<text>@<offset>  a write to a file whose host path contains <text> reaches the
//                                  disk with the byte at file position <offset> inverted
//   RD_FAULT_READ=<text>           reads of a file whose host path contains <text> fail (EIO)
//   RD_FAULT_RENAME=<text>         renames onto a host path containing <text> fail (EBUSY)
//   RD_FAULT_RENAME_FROM=<text>    renames of a host path containing <text> fail (EBUSY)
//   RD_FAULT_HOLD_LIST=<text>@<file>  opening a folder whose path contains <text> for listing
//                                  makes <file>.held and waits until <file> is there (10 s at
//                                  most), as a slow network drive would
//
// <text> is matched without regard to case, as the program matches Windows paths.
//
// Every write through the program's platform layer is a pwrite and every read a pread, so those
// (and their 64-bit names) are the calls wrapped here.
#define _GNU_SOURCE
#include <dirent.h>
#include <dlfcn.h>
#include <errno.h>
#include <fcntl.h>
#include <stdio.h>
#include <stdlib.h>
#include <string.h>
#include <sys/stat.h>
#include <sys/types.h>
#include <unistd.h>

// Tests look this up to know that the faults they arm can happen.
int rd_fault_shim_loaded = 1;

static int PathOfContains(int fd, const char* text) {
  char link[64], path[4096];
  snprintf(link, sizeof link, "/proc/self/fd/%d", fd);
  ssize_t length = readlink(link, path, sizeof path - 1);
  if (length <= 0) return 0;
  path[length] = '\0';
  return strcasestr(path, text) != NULL;
}

// The offset of RD_FAULT_FLIP when it applies to fd, else -1.
static long long FlipOffset(int fd) {
  const char* setting = getenv("RD_FAULT_FLIP");
  if (!setting || !*setting) return -1;
  const char* at = strrchr(setting, '@');
  if (!at || at == setting) return -1;
  char text[1024];
  size_t length = (size_t)(at - setting);
  if (length >= sizeof text) return -1;
  memcpy(text, setting, length);
  text[length] = '\0';
  return PathOfContains(fd, text) ? atoll(at + 1) : -1;
}

typedef ssize_t (*PwriteFunction)(int, const void*, size_t, off_t);
typedef ssize_t (*PreadFunction)(int, void*, size_t, off_t);
typedef int (*RenameFunction)(const char*, const char*);
typedef int (*RenameAtFunction)(int, const char*, int, const char*);
typedef int (*RenameAt2Function)(int, const char*, int, const char*, unsigned);

static ssize_t DamagedWrite(PwriteFunction real, int fd, const void* data, size_t size,
                            off_t position) {
  const long long flip = FlipOffset(fd);
  if (flip < 0 || flip < (long long)position || flip >= (long long)position + (long long)size) {
    return real(fd, data, size, position);
  }
  char* copy = malloc(size);
  if (!copy) return real(fd, data, size, position);
  memcpy(copy, data, size);
  copy[flip - position] ^= (char)0xFF;
  ssize_t written = real(fd, copy, size, position);
  free(copy);
  return written;
}

ssize_t pwrite(int fd, const void* data, size_t size, off_t position) {
  static PwriteFunction real;
  if (!real) real = (PwriteFunction)dlsym(RTLD_NEXT, "pwrite");
  return DamagedWrite(real, fd, data, size, position);
}

ssize_t pwrite64(int fd, const void* data, size_t size, off_t position) {
  static PwriteFunction real;
  if (!real) real = (PwriteFunction)dlsym(RTLD_NEXT, "pwrite64");
  return DamagedWrite(real, fd, data, size, position);
}

static int ReadFails(int fd) {
  const char* text = getenv("RD_FAULT_READ");
  return text && *text && PathOfContains(fd, text);
}

ssize_t pread(int fd, void* buffer, size_t size, off_t position) {
  static PreadFunction real;
  if (!real) real = (PreadFunction)dlsym(RTLD_NEXT, "pread");
  if (ReadFails(fd)) {
    errno = EIO;
    return -1;
  }
  return real(fd, buffer, size, position);
}

ssize_t pread64(int fd, void* buffer, size_t size, off_t position) {
  static PreadFunction real;
  if (!real) real = (PreadFunction)dlsym(RTLD_NEXT, "pread64");
  if (ReadFails(fd)) {
    errno = EIO;
    return -1;
  }
  return real(fd, buffer, size, position);
}

static int Named(const char* variable, const char* path) {
  const char* text = getenv(variable);
  return text && *text && path && strcasestr(path, text);
}

static int RenameRefused(const char* from, const char* to) {
  if (!Named("RD_FAULT_RENAME", to) && !Named("RD_FAULT_RENAME_FROM", from)) return 0;
  errno = EBUSY;
  return 1;
}

int rename(const char* from, const char* to) {
  static RenameFunction real;
  if (!real) real = (RenameFunction)dlsym(RTLD_NEXT, "rename");
  return RenameRefused(from, to) ? -1 : real(from, to);
}

int renameat(int from_folder, const char* from, int to_folder, const char* to) {
  static RenameAtFunction real;
  if (!real) real = (RenameAtFunction)dlsym(RTLD_NEXT, "renameat");
  return RenameRefused(from, to) ? -1 : real(from_folder, from, to_folder, to);
}

int renameat2(int from_folder, const char* from, int to_folder, const char* to, unsigned flags) {
  static RenameAt2Function real;
  if (!real) real = (RenameAt2Function)dlsym(RTLD_NEXT, "renameat2");
  return RenameRefused(from, to) ? -1 : real(from_folder, from, to_folder, to, flags);
}

typedef DIR* (*OpendirFunction)(const char*);

// Waits as RD_FAULT_HOLD_LIST says when it applies to the folder path.
static void HoldListing(const char* path) {
  const char* setting = getenv("RD_FAULT_HOLD_LIST");
  if (!setting || !*setting) return;
  const char* at = strrchr(setting, '@');
  if (!at || at == setting) return;
  char text[1024], held[4200];
  size_t length = (size_t)(at - setting);
  if (length >= sizeof text) return;
  memcpy(text, setting, length);
  text[length] = '\0';
  if (!strcasestr(path, text)) return;
  snprintf(held, sizeof held, "%s.held", at + 1);
  int fd = open(held, O_CREAT | O_WRONLY, 0600);
  if (fd >= 0) close(fd);
  struct stat st;
  for (int i = 0; i < 10000 && stat(at + 1, &st) != 0; ++i) usleep(1000);
}

DIR* opendir(const char* path) {
  static OpendirFunction real;
  if (!real) real = (OpendirFunction)dlsym(RTLD_NEXT, "opendir");
  HoldListing(path);
  return real(path);
}
