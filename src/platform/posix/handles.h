// Owners of the POSIX handles the Linux layer opens: a file descriptor and a folder listing.
#pragma once

#include <dirent.h>
#include <unistd.h>

#include "base/unique_handle.h"

namespace platform::posix {

struct DescriptorTraits {
  using Handle = int;
  static Handle Invalid() { return -1; }
  static void Close(Handle fd) { close(fd); }
};
using Descriptor = base::UniqueHandle<DescriptorTraits>;

struct DirectoryTraits {
  using Handle = DIR*;
  static Handle Invalid() { return nullptr; }
  static void Close(Handle dir) { closedir(dir); }
};
using Directory = base::UniqueHandle<DirectoryTraits>;

}  // namespace platform::posix
