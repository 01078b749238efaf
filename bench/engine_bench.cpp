// Runs one add or one extract through the engine's call interface, as the program does, and
// prints the seconds it took. Host paths on the command line; the engine sees them on drive C:,
// which stands for the whole file system here.
//
//   engine_bench add ARCHIVE FOLDER       every file below FOLDER, names relative to it
//   engine_bench extract ARCHIVE FOLDER   everything, with its folders, into FOLDER
//   engine_bench test ARCHIVE FOLDER      every entry read and checked, nothing written (the
//                                         check of a new backup before it replaces the old one)
//   engine_bench add-list ARCHIVE LIST    the files LIST names, one full Windows path a line,
//                                         handed over as the Backup command hands its found
//                                         files, with the chart archive's options; ARCHIVE is
//                                         a Windows path too, on the drives that
//                                         RIDIDEDUVURE_DRIVES maps
#include <stdlib.h>

#include <chrono>
#include <cstdio>
#include <fstream>
#include <string>
#include <vector>

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

// One add through the engine at level 9, taking hidden and system files, as the backup asks.
std::int32_t Add(const char* archive, const char* temp_folder, std::vector<ZipFileEntry>& entries,
                 bool no_folder_entries) {
  ZipCommandBlock block = {};
  block.version = kInterfaceVersion;
  block.check = kStructureCheck;
  block.callback = Quiet;
  block.quiet = kTrue;
  block.level = 9;
  block.no_folder_entries = no_folder_entries ? kTrue : kFalse;
  block.recurse.value = 0xFFFF;
  block.grow = kTrue;
  block.include_system = kTrue;
  block.entry_count = static_cast<Slot>(entries.size());
  block.entries = entries.data();
  block.archive = archive;
  block.temp_folder = temp_folder;
  return Load<ZipDllExecFunction>(kZipDllName, kZipDllExecName)(&block);
}

// The Backup command's add of its found files: every entry a full path, folder names kept.
std::int32_t AddList(const char* archive, const char* list_file) {
  std::vector<std::string> specs;
  std::ifstream list(list_file);
  for (std::string line; std::getline(list, line);) {
    if (!line.empty()) specs.push_back(line);
  }
  if (specs.empty()) {
    std::fprintf(stderr, "engine_bench: %s names no file\n", list_file);
    exit(2);
  }
  std::vector<ZipFileEntry> entries(specs.size());
  for (size_t i = 0; i < specs.size(); ++i) {
    entries[i] = {};
    entries[i].file_spec = specs[i].c_str();
    entries[i].recurse.value = 0xFFFF;
    entries[i].root = "";
  }
  return Add(archive, "", entries, false);
}

}  // namespace

int main(int argc, char** argv) {
  if (argc == 4 && std::string(argv[1]) == "add-list") {
    if (!getenv("RIDIDEDUVURE_DRIVES")) {
      std::fprintf(stderr, "engine_bench: add-list works on the drives RIDIDEDUVURE_DRIVES maps\n");
      return 2;
    }
    const auto start = std::chrono::steady_clock::now();
    const std::int32_t files = AddList(argv[2], argv[3]);
    std::printf("add-list %d files %.3f s\n", files,
                std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count());
    return files > 0 ? 0 : 1;
  }
  const std::string mode = argc == 4 ? argv[1] : "";
  if (mode != "add" && mode != "extract" && mode != "test") {
    std::fprintf(stderr,
                 "usage: engine_bench add|extract|test ARCHIVE FOLDER\n"
                 "       engine_bench add-list ARCHIVE LIST\n");
    return 2;
  }
  setenv("RIDIDEDUVURE_DRIVES", "C:=3||/", 1);
  const std::string archive = OnDriveC(argv[2]);
  const std::string folder = OnDriveC(argv[3]) + "\\";
  const std::string temp = platform::GetTempPath();
  const auto start = std::chrono::steady_clock::now();
  std::int32_t files = 0;
  if (mode == "add") {
    std::vector<ZipFileEntry> entry(1);
    entry[0].file_spec = "*.*";
    entry[0].recurse.value = 0xFFFF;
    entry[0].root = folder.c_str();
    platform::SetCurrentDirectory(folder);
    files = Add(archive.c_str(), temp.c_str(), entry, true);
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
