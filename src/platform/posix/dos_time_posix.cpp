// File ages on Linux as Windows gives them: DOS times in local time.
#include <fcntl.h>
#include <sys/stat.h>
#include <time.h>

#include "platform/platform.h"
#include "platform/posix/drive_map.h"
#include "platform/posix/host_files.h"

namespace platform::posix {

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

}  // namespace platform::posix

namespace platform {

using namespace posix;

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

}  // namespace platform
