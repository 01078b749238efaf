#include "zip/zip_libraries.h"

#include "base/scope_exit.h"
#include "base/text.h"
#include "platform/platform.h"
#include "zip/tzip.h"

namespace zip {
namespace {

// No fault dialog either, should the library's start-up code crash.
constexpr unsigned kSemNoGpFaultErrorBox = 0x0002;

struct Library {
  platform::LoadedLibrary module;
  void* exec = nullptr;
};

// Loaded until a TZip unloads them. The two are never destroyed, so that nothing is unloaded at
// the exit of the process behind the back of code that may still run.
Library& zip_dll = *new Library;
Library& unz_dll = *new Library;

void Unload(Library& library) { library = Library(); }

void* Load(Library& library, const std::string& dll_directory, const char* name,
           const char* exec_name, const char* version_name) {
  if (!library.module) {
    const std::string path =
        dll_directory.empty() ? std::string(name) : base::AddBackslash(dll_directory) + name;
    const unsigned previous_mode =
        platform::SetErrorMode(platform::kSemFailCriticalErrors | kSemNoGpFaultErrorBox);
    const base::ScopeExit restore_mode([previous_mode] { platform::SetErrorMode(previous_mode); });
    library.module.Reset(platform::LoadLibrary(path));
    if (library.module) {
      library.exec = platform::GetProcAddress(library.module.get(), exec_name);
      auto version = reinterpret_cast<zipdll::VersionFunction>(
          platform::GetProcAddress(library.module.get(), version_name));
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
