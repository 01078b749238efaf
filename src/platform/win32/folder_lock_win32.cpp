#include <chrono>

#include "platform/folder_lock.h"
#include "platform/win32/windows_api.h"

namespace platform {

std::unique_ptr<FolderLock> FolderLock::Take(const std::string& folder, int wait_ms, bool* held,
                                             const std::function<bool()>& wait) {
  *held = false;
  const std::string path = folder + FolderLockName();
  const auto until = std::chrono::steady_clock::now() + std::chrono::milliseconds(wait_ms);
  for (;;) {
    // Open to no one else, and gone when the holder closes it, however it ends.
    HANDLE handle = ::CreateFileA(path.c_str(), GENERIC_READ | GENERIC_WRITE, 0, nullptr,
                                  OPEN_ALWAYS, FILE_ATTRIBUTE_HIDDEN | FILE_FLAG_DELETE_ON_CLOSE,
                                  nullptr);
    if (handle != INVALID_HANDLE_VALUE) {
      return std::unique_ptr<FolderLock>(
          new FolderLock(reinterpret_cast<intptr_t>(handle), path));
    }
    const DWORD error = ::GetLastError();
    // A lock file on its way out (its holder closed it) refuses access rather than sharing.
    const bool in_use = error == ERROR_SHARING_VIOLATION ||
                        (error == ERROR_ACCESS_DENIED &&
                         ::GetFileAttributesA(path.c_str()) != INVALID_FILE_ATTRIBUTES);
    if (!in_use) return nullptr;
    *held = true;
    if (std::chrono::steady_clock::now() >= until || (wait && !wait())) {
      ::SetLastError(ERROR_SHARING_VIOLATION);
      return nullptr;
    }
    ::Sleep(100);
  }
}

FolderLock::~FolderLock() { ::CloseHandle(reinterpret_cast<HANDLE>(handle_)); }

}  // namespace platform
