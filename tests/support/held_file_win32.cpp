#include <windows.h>

#include "support/held_file.h"

namespace test_support {

HeldFile::HeldFile(const std::string& path) {
  HANDLE handle = ::CreateFileA(path.c_str(), GENERIC_READ | GENERIC_WRITE, 0 /* no sharing */,
                                nullptr, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
  if (handle != INVALID_HANDLE_VALUE) handle_ = reinterpret_cast<intptr_t>(handle);
}

HeldFile::~HeldFile() {
  if (handle_) ::CloseHandle(reinterpret_cast<HANDLE>(handle_));
}

}  // namespace test_support
