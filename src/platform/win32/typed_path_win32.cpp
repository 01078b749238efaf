// Windows has one form of path: what a user types is already a drive path. And the console of a
// program with a window is its parent's.
#include <string>

#include "platform/platform.h"
#include "platform/win32/windows_api.h"

namespace platform {

std::string DrivePathOfTypedPath(const std::string& typed) { return typed; }

bool WriteToConsole(const std::string& text) {
  // Output sent to a file or a pipe comes with the program's handles; a console does not, and is
  // borrowed from the parent for the moment.
  HANDLE out = ::GetStdHandle(STD_OUTPUT_HANDLE);
  if ((out == nullptr || out == INVALID_HANDLE_VALUE) && ::AttachConsole(ATTACH_PARENT_PROCESS)) {
    out = ::GetStdHandle(STD_OUTPUT_HANDLE);
  }
  if (out == nullptr || out == INVALID_HANDLE_VALUE) return false;
  DWORD written = 0;
  return ::WriteFile(out, text.data(), static_cast<DWORD>(text.size()), &written, nullptr) &&
         written == text.size();
}

}  // namespace platform
