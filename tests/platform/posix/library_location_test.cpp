// Where the program finds its two libraries on Linux: beside it as built, and in
// ../lib/ridideduvure as the Debian package installs them, wherever the package was unpacked.
#include <gtest/gtest.h>
#include <stdlib.h>
#include <sys/wait.h>
#include <unistd.h>

#include <climits>
#include <filesystem>
#include <string>

namespace {

namespace fs = std::filesystem;

// The programs and libraries of the build, beside this test program.
fs::path BuildFolder() { return fs::read_symlink("/proc/self/exe").parent_path(); }

class LibraryLocationTest : public ::testing::Test {
 protected:
  void SetUp() override {
    char pattern[] = "/tmp/rd-libraries-XXXXXX";
    ASSERT_NE(mkdtemp(pattern), nullptr);
    root_ = pattern;
    ASSERT_TRUE(fs::exists(BuildFolder() / "library_probe")) << "library_probe is not built";
    ASSERT_TRUE(fs::exists(BuildFolder() / "libZipDll.so")) << "ZipDll is not built";
  }
  void TearDown() override {
    std::error_code ignored;
    fs::remove_all(root_, ignored);
  }

  // Copies a file of the build to a folder below the root; returns the copy.
  fs::path Place(const std::string& name, const std::string& folder) {
    fs::create_directories(root_ / folder);
    const fs::path copy = root_ / folder / name;
    fs::copy_file(BuildFolder() / name, copy);
    return copy;
  }

  // The probe's exit code: 0 when it loaded ZipDll and found its entry point.
  static int Probe(const fs::path& program) {
    // No search path of the caller's may find the library instead.
    const std::string command =
        "env -u LD_LIBRARY_PATH '" + program.string() + "' ZipDll.dll ZipDllExec";
    const int status = std::system(command.c_str());
    return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
  }

  fs::path root_;
};

TEST_F(LibraryLocationTest, FindsTheLibrariesWhereThePackagePutsThem) {
  const fs::path program = Place("library_probe", "usr/bin");
  Place("libZipDll.so", "usr/lib/ridideduvure");
  EXPECT_EQ(Probe(program), 0);

  // Started through a link elsewhere (as from a menu or a folder of links), the real path counts.
  fs::create_directories(root_ / "links");
  fs::create_symlink(program, root_ / "links" / "ridideduvure");
  EXPECT_EQ(Probe(root_ / "links" / "ridideduvure"), 0);
}

TEST_F(LibraryLocationTest, FindsTheLibrariesBesideTheProgram) {
  const fs::path program = Place("library_probe", "portable");
  Place("libZipDll.so", "portable");
  EXPECT_EQ(Probe(program), 0);
}

TEST_F(LibraryLocationTest, ReportsALibraryThatIsInNeitherPlace) {
  // A library folder of another name, and one below the program's own folder, do not count.
  const fs::path program = Place("library_probe", "usr/bin");
  Place("libZipDll.so", "usr/lib/other");
  Place("libZipDll.so", "usr/bin/lib/ridideduvure");
  EXPECT_EQ(Probe(program), 1);
}

}  // namespace
