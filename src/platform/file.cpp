// The parts of platform::File that need no operating-system call.
#include "platform/platform.h"

namespace platform {

bool File::ReadExact(void* buffer, size_t size) {
  char* at = static_cast<char*>(buffer);
  while (size > 0) {
    size_t got = 0;
    if (!Read(at, size, &got) || got == 0) return false;
    at += got;
    size -= got;
  }
  return true;
}

bool File::Seek(uint64_t position) {
  position_ = position;
  return true;
}

uint64_t File::Position() const { return position_; }

}  // namespace platform
