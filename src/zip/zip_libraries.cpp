#include "zip/zip_libraries.h"

#include "platform/platform.h"
#include "util/text.h"
#include "zip/tzip.h"

namespace zip {
namespace {

// No fault dialog either, should the library's start-up code crash.
constexpr unsigned kSemNoGpFaultErrorBox = 0x0002;

struct Library {
  void* module = nullptr;
  void* exec = nullptr;
};

Library zip_dll;
Library unz_dll;

// Puts the previous error mode back however the load ends.
class ErrorModeScope {
 public:
  explicit ErrorModeScope(unsigned mode) : previous_(platform::SetErrorMode(mode)) {}
  ~ErrorModeScope() { platform::SetErrorMode(previous_); }
  ErrorModeScope(const ErrorModeScope&) = delete;
  ErrorModeScope& operator=(const ErrorModeScope&) = delete;

 private:
  unsigned previous_;
};

void Unload(Library& library) {
  if (library.module) platform::FreeLibrary(library.module);
  library = Library();
}

void* Load(Library& library, const std::string& dll_directory, const char* name,
           const char* exec_name, const char* version_name) {
  if (!library.module) {
    const std::string path =
        dll_directory.empty() ? std::string(name) : util::AddBackslash(dll_directory) + name;
    ErrorModeScope error_mode(platform::kSemFailCriticalErrors | kSemNoGpFaultErrorBox);
    library.module = platform::LoadLibrary(path);
    if (library.module) {
      library.exec = platform::GetProcAddress(library.module, exec_name);
      auto version = reinterpret_cast<zipdll::VersionFunction>(
          platform::GetProcAddress(library.module, version_name));
      if (!library.exec || !version) {
        Unload(library);
      } else if (version() < zipdll::kInterfaceVersion) {
        Unload(library);
        throw ZipException("Error - invalid version of ZipDll.dll or UnzDll.dll");
      }
    }
  }
  if (!library.module) {
    throw ZipException(std::string("Unable to load \"") + name + "\".");
  }
  return library.exec;
}

}  // namespace

zipdll::ZipDllExecFunction LoadZipDll(const std::string& dll_directory) {
  return reinterpret_cast<zipdll::ZipDllExecFunction>(
      Load(zip_dll, dll_directory, zipdll::kZipDllName, zipdll::kZipDllExecName,
           zipdll::kGetZipDllVersionName));
}

zipdll::UnzDllExecFunction LoadUnzDll(const std::string& dll_directory) {
  return reinterpret_cast<zipdll::UnzDllExecFunction>(
      Load(unz_dll, dll_directory, zipdll::kUnzDllName, zipdll::kUnzDllExecName,
           zipdll::kGetUnzDllVersionName));
}

void UnloadLibraries() {
  Unload(zip_dll);
  Unload(unz_dll);
}

}  // namespace zip
