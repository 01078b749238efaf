// Paths of the Linux form where a user types a folder, and the terminal a user started it from.
#include <cstdio>
#include <string>

#include "platform/platform.h"
#include "platform/posix/drive_map.h"

namespace platform {

std::string DrivePathOfTypedPath(const std::string& typed) {
  if (typed.empty() || typed[0] != '/') return typed;
  std::string windows;
  if (!posix::ToWindowsPath(typed, &windows)) return typed;
  if (typed.back() == '/' && windows.back() != '\\') windows += '\\';
  return windows;
}

bool WriteToConsole(const std::string& text) {
  return std::fwrite(text.data(), 1, text.size(), stdout) == text.size() &&
         std::fflush(stdout) == 0;
}

}  // namespace platform
