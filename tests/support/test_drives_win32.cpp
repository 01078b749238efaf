#include <cstdio>
#include <cstdlib>

#include "platform/platform.h"
#include "support/temp_folder.h"
#include "util/files.h"

namespace test_support {

namespace {

constexpr uint32_t kReparsePoint = 0x400;  // FILE_ATTRIBUTE_REPARSE_POINT

}  // namespace

// The Windows build runs on the real drives (under Wine, the test prefix's drive C:); each test
// keeps to folders of its own below the temporary folder. The window tests write and delete the
// application's folders in the documents folder, so they run only where that folder is a plain
// one: a fresh Wine prefix links it to the host's home folder, which the tests must never touch
// (scripts/test replaces the links in its own prefix with plain folders).
void InstallTestDrives() {
  const std::string documents = util::GetDocumentsDir();
  const uint32_t attributes = platform::GetFileAttributes(documents);
  if (documents.empty() || attributes == platform::kInvalidAttributes ||
      (attributes & kReparsePoint)) {
    std::fprintf(stderr,
                 "The documents folder \"%s\" is missing or a link to another place; the tests "
                 "write and delete files there and run only on a plain folder of their own.\n",
                 documents.c_str());
    std::exit(1);
  }
}

}  // namespace test_support
