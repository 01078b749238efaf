#include <climits>

#include "platform/path_limits.h"
#include "platform/path_limits_common.h"

namespace platform {

// The Windows path stands for a host path of about its length (the drive's folder in place of
// the letter); Linux takes PATH_MAX bytes with the terminating zero, NAME_MAX for one element.
bool PathFits(const std::string& path, std::string* why) {
  return internal::WithinLimits(
      path, [](std::string_view text) { return text.size(); }, PATH_MAX - 1, NAME_MAX, "bytes",
      why);
}

}  // namespace platform
