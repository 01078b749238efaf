#include <stdlib.h>

#include <filesystem>
#include <string>

#include "support/temp_folder.h"

namespace test_support {
namespace {

std::filesystem::path* test_root = nullptr;

void RemoveTestRoot() {
  std::error_code ignored;
  if (test_root) std::filesystem::remove_all(*test_root, ignored);
}

}  // namespace

// Each test program gets a drive C: of its own, so nothing depends on the user's Wine prefix.
void InstallTestDrives() {
  char pattern[] = "/tmp/rd-tests-XXXXXX";
  if (!mkdtemp(pattern)) abort();
  test_root = new std::filesystem::path(pattern);
  atexit(RemoveTestRoot);
  const std::filesystem::path c = *test_root / "c";
  std::filesystem::create_directories(c / "windows");
  std::filesystem::create_directories(c / "users" / "tester" / "Documents");
  std::filesystem::create_directories(c / "Temp");
  const std::string map = "C:=3|TESTDRIVE|" + c.string() +
                          "\nZ:=3||/"  // as in a Wine prefix: the whole file system
                          "\nwindows=C:\\windows"
                          "\ndocuments=C:\\users\\tester\\Documents"
                          "\ntemp=C:\\Temp";
  setenv("RIDIDEDUVURE_DRIVES", map.c_str(), 1);
}

}  // namespace test_support
