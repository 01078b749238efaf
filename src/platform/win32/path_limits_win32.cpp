#include "platform/path_limits.h"
#include "platform/path_limits_common.h"

namespace platform {

namespace {

// Windows counts paths in UTF-16 units: one per character of UTF-8, two for those of four bytes.
size_t Utf16Length(std::string_view text) {
  size_t units = 0;
  for (unsigned char c : text) {
    if ((c & 0xC0) != 0x80) ++units;
    if (c >= 0xF0) ++units;
  }
  return units;
}

}  // namespace

// The ANSI calls this program makes take MAX_PATH (260) characters with the terminating zero;
// an element of a path at most 255.
bool PathFits(const std::string& path, std::string* why) {
  return internal::WithinLimits(path, Utf16Length, 259, 255, "characters", why);
}

}  // namespace platform
