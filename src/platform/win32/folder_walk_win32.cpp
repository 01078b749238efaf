// What a walk of folders asks of Windows before it enters a folder, and the current folder put back
// after a run.
#include <vector>

#include "platform/platform.h"
#include "platform/win32/windows_api.h"

namespace platform {

bool GetWalkedFolderIdentity(const std::string& folder, FolderIdentity* identity,
                             bool* kernel_file_system) {
  // Windows shows no kernel state as folders of files.
  *kernel_file_system = false;
  return GetFolderIdentity(folder, identity);
}

CurrentDirectoryKeeper::CurrentDirectoryKeeper() {
  const DWORD size = ::GetCurrentDirectoryA(0, nullptr);
  if (size == 0) return;
  std::vector<char> buffer(size + 1);
  const DWORD length = ::GetCurrentDirectoryA(static_cast<DWORD>(buffer.size()), buffer.data());
  if (length > 0 && length < buffer.size()) saved_.assign(buffer.data(), length);
}

CurrentDirectoryKeeper::~CurrentDirectoryKeeper() {
  if (!saved_.empty()) ::SetCurrentDirectoryA(saved_.c_str());
}

}  // namespace platform
