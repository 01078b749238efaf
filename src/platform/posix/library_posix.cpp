// Shared libraries on Linux under their Windows names, and the program's own path.
#include <dlfcn.h>
#include <limits.h>
#include <unistd.h>

#include <string>

#include "base/wildcard.h"
#include "platform/platform.h"
#include "platform/posix/drive_map.h"
#include "platform/posix/host_files.h"

namespace platform {

using namespace posix;

std::string GetModuleFileName() {
  char buffer[PATH_MAX];
  ssize_t length = readlink("/proc/self/exe", buffer, sizeof buffer - 1);
  std::string windows;
  if (length <= 0 || !ToWindowsPath(std::string(buffer, static_cast<size_t>(length)), &windows)) {
    return std::string();
  }
  return windows;
}

// Windows asks for "ZipDll.dll"; the Linux build of that library is "libZipDll.so" in the same
// folder. A name without a folder is looked for beside the program, then where dlopen looks.
void* LoadLibrary(const std::string& name) {
  size_t split = name.find_last_of("\\/:");
  std::string base = split == std::string::npos ? name : name.substr(split + 1);
  if (base.size() > 4 && base::EqualNoCase(base.substr(base.size() - 4), ".dll")) {
    base = "lib" + base.substr(0, base.size() - 4) + ".so";
  }
  std::string folder;
  if (split != std::string::npos) {
    if (!ToHostPath(name.substr(0, split + 1), &folder)) return nullptr;
    return dlopen((folder + "/" + base).c_str(), RTLD_NOW | RTLD_LOCAL);
  }
  // Beside the program (as built, and as on Windows), then where the installed package keeps them
  // (bin/../lib/ridideduvure), from the program's real path so that a link to it or the package
  // unpacked anywhere finds them too.
  char exe[PATH_MAX];
  ssize_t length = readlink("/proc/self/exe", exe, sizeof exe - 1);
  if (length > 0) {
    folder = ParentFolder(std::string(exe, static_cast<size_t>(length)));
    for (const std::string& candidate :
         {folder + "/" + base, folder + "/../lib/ridideduvure/" + base}) {
      if (void* library = dlopen(candidate.c_str(), RTLD_NOW | RTLD_LOCAL)) return library;
    }
  }
  return dlopen(base.c_str(), RTLD_NOW | RTLD_LOCAL);
}

void* GetProcAddress(void* library, const char* symbol) {
  return library ? dlsym(library, symbol) : nullptr;
}

void FreeLibrary(void* library) {
  if (library) dlclose(library);
}

}  // namespace platform
