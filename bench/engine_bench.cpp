// Runs one add or one extract through the engine's call interface, as the program does, and
// prints the seconds it took. Host paths on the command line; the engine sees them on drive C:,
// which stands for the whole file system here.
//
//   engine_bench add ARCHIVE FOLDER       every file below FOLDER, names relative to it
//   engine_bench extract ARCHIVE FOLDER   everything, with its folders, into FOLDER
//   engine_bench test ARCHIVE FOLDER      every entry read and checked, nothing written (the
//                                         check of a new backup before it replaces the old one)
#include <stdlib.h>

#include <chrono>
#include <cstdio>
#include <string>

#include "platform/platform.h"
#include "zipdll/call_interface.h"

namespace {

using namespace zipdll;

std::int32_t ZIPDLL_CALL Quiet(CallbackRecord* record) {
  if (record->action == kActionOverwrite) record->value = 1;
  return 0;
}

std::string OnDriveC(std::string host) {
  for (char& c : host) {
    if (c == '/') c = '\\';
  }
  return "C:" + host;
}

template <typename Function>
Function Load(const char* library, const char* symbol) {
  auto function =
      reinterpret_cast<Function>(platform::GetProcAddress(platform::LoadLibrary(library), symbol));
  if (!function) {
    std::fprintf(stderr, "engine_bench: cannot load %s from %s\n", symbol, library);
    exit(2);
  }
  return function;
}

}  // namespace

int main(int argc, char** argv) {
  const std::string mode = argc == 4 ? argv[1] : "";
  if (mode != "add" && mode != "extract" && mode != "test") {
    std::fprintf(stderr, "usage: engine_bench add|extract|test ARCHIVE FOLDER\n");
    return 2;
  }
  setenv("RIDIDEDUVURE_DRIVES", "C:=3||/", 1);
  const std::string archive = OnDriveC(argv[2]);
  const std::string folder = OnDriveC(argv[3]) + "\\";
  const std::string temp = platform::GetTempPath();
  const auto start = std::chrono::steady_clock::now();
  std::int32_t files = 0;
  if (mode == "add") {
    ZipFileEntry entry = {};
    entry.file_spec = "*.*";
    entry.recurse.value = 0xFFFF;
    entry.root = folder.c_str();
    ZipCommandBlock block = {};
    block.version = kInterfaceVersion;
    block.check = kStructureCheck;
    block.callback = Quiet;
    block.quiet = kTrue;
    block.level = 9;
    block.no_folder_entries = kTrue;
    block.recurse.value = 0xFFFF;
    block.grow = kTrue;
    block.include_system = kTrue;
    block.entry_count = 1;
    block.entries = &entry;
    block.archive = archive.c_str();
    block.temp_folder = temp.c_str();
    platform::SetCurrentDirectory(folder);
    files = Load<ZipDllExecFunction>(kZipDllName, kZipDllExecName)(&block);
  } else {
    UnzipCommandBlock block = {};
    block.version = kInterfaceVersion;
    block.check = kStructureCheck;
    block.callback = Quiet;
    block.quiet = kTrue;
    block.recreate_folders = kTrue;
    block.overwrite = kTrue;
    block.test_only = mode == "test" ? kTrue : kFalse;
    block.archive = archive.c_str();
    block.target_folder = folder.c_str();
    block.password_attempts = 3;
    files = Load<UnzDllExecFunction>(kUnzDllName, kUnzDllExecName)(&block);
  }
  const double seconds =
      std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
  std::printf("%s %d files %.3f s\n", argv[1], files, seconds);
  return files > 0 ? 0 : 1;
}
