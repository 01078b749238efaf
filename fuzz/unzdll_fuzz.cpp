// Feeds arbitrary bytes to the extracting library as an archive, through its call interface, in
// every mode the block offers. Besides the sanitizers' findings it checks the one promise an
// extractor must keep whatever it is given: nothing is written outside the target folder.
#include <stdlib.h>

#include <cstdint>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <string>

#include "platform/platform.h"
#include "zipdll/call_interface.h"

namespace {

namespace fs = std::filesystem;
using namespace zipdll;

UnzDllExecFunction unzip_exec = nullptr;
fs::path drive_root;  // the host folder behind drive C:

std::int32_t ZIPDLL_CALL Answer(CallbackRecord* record) {
  switch (record->action) {
    case kActionPassword:  // the right password first, then give up on the entry
      if (record->value >= 3) {
        std::strcpy(record->text, "secret");
        record->flag = 1;
      } else {
        record->flag = 0;
      }
      break;
    case kActionCrcError:
      record->flag = 1;
      break;
    case kActionOverwrite:
      record->value = 1;
      break;
    default:
      break;
  }
  return 0;
}

}  // namespace

extern "C" int LLVMFuzzerInitialize(int*, char***) {
  char pattern[] = "/tmp/rd-fuzz-XXXXXX";
  if (!mkdtemp(pattern)) abort();
  drive_root = pattern;
  setenv("RIDIDEDUVURE_DRIVES", ("C:=3|FUZZ|" + drive_root.string()).c_str(), 1);
  void* library = platform::LoadLibrary(kUnzDllName);
  unzip_exec =
      reinterpret_cast<UnzDllExecFunction>(platform::GetProcAddress(library, kUnzDllExecName));
  if (!unzip_exec) {
    std::fprintf(stderr, "cannot load %s\n", kUnzDllName);
    abort();
  }
  return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  if (size < 1) return 0;
  const std::uint8_t mode = data[0];  // the first byte picks the switches, the rest is the archive

  std::error_code ignored;
  fs::remove_all(drive_root / "out", ignored);
  fs::create_directories(drive_root / "out");
  if (!platform::WriteWholeFileSafely(
          "C:\\in.zip", std::string(reinterpret_cast<const char*>(data) + 1, size - 1))) {
    abort();
  }

  UnzipFileEntry entry = {};
  entry.file_spec = (mode & 0x40) ? "*.cht" : "*";
  UnzipCommandBlock block = {};
  block.version = kInterfaceVersion;
  block.check = kStructureCheck;
  block.callback = Answer;
  block.quiet = kTrue;
  block.test_only = (mode & 0x01) ? kTrue : kFalse;
  block.update = (mode & 0x02) ? kTrue : kFalse;
  block.freshen = (mode & 0x04) ? kTrue : kFalse;
  block.recreate_folders = (mode & 0x08) ? kTrue : kFalse;
  block.overwrite = (mode & 0x07) ? kFalse : kTrue;
  block.password = (mode & 0x10) ? "secret" : nullptr;
  block.entry_count = (mode & 0x20) ? 1 : 0;
  block.entries = &entry;
  block.archive = "C:\\in.zip";
  block.target_folder = "C:\\out\\";
  block.password_attempts = 3;
  unzip_exec(&block);

  for (const auto& item : fs::directory_iterator(drive_root)) {
    const std::string name = item.path().filename().string();
    if (name != "in.zip" && name != "out") {
      std::fprintf(stderr, "written outside the target folder: %s\n", name.c_str());
      abort();
    }
  }
  return 0;
}
