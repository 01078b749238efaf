// The two compression libraries, loaded on first use and shared by every TZip of the process.
#pragma once

#include <string>

#include "zipdll/call_interface.h"

namespace zip {

// The exec entry point of ZipDll.dll, loading it from dll_directory when it is not loaded yet.
// Throws ZipException when it cannot be loaded or is too old.
zipdll::ZipDllExecFunction LoadZipDll(const std::string& dll_directory);
// The same for UnzDll.dll.
zipdll::UnzDllExecFunction LoadUnzDll(const std::string& dll_directory);
// Unloads both libraries.
void UnloadLibraries();

}  // namespace zip
