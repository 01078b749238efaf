// The whole road: the sample installation is backed up through the window, removed, and restored
// through the window into an empty installation of the same version; every file must come back
// with its bytes and its time.
#include <gtest/gtest.h>

#include "platform/platform.h"
#include "restore_fixture.h"
#include "sample_installation.h"

namespace app {
namespace {

// Creates the folders of path one by one, keeping the case of their names.
void MakeFoldersFor(const std::string& path) {
  for (size_t at = path.find('\\', 3); at != std::string::npos; at = path.find('\\', at + 1)) {
    platform::CreateDirectory(path.substr(0, at));
  }
}

class RoundTripTest : public RestoreTest {
 protected:
  sample::SampleOptions Options() const {
    sample::SampleOptions options;
    options.windows_folder = util::GetWindowsDir();
    options.documents_folder = util::GetDocumentsDir();
    options.system_data_folder = temp_ / "Halvane 9\\System";
    options.seed = 2024;
    options.chart_count = 240;
    return options;
  }

  void Reopen() {
    window_.reset();
    toolkit_.form = nullptr;  // the next form is the main window again
    Open();
  }
};

TEST_F(RoundTripTest, SampleInstallationComesBackWhole) {
  const sample::SampleOptions options = Options();
  const std::vector<sample::SampleFile> files = sample::MakeSampleInstallation(options);
  for (const sample::SampleFile& file : files) {
    MakeFoldersFor(file.path);
    ASSERT_TRUE(platform::WriteWholeFileSafely(file.path, file.contents)) << file.path;
    ASSERT_TRUE(platform::SetFileAge(file.path, file.dos_time)) << file.path;
  }
  const std::string user_files = sample::UserFilesFolder(options);
  const std::string backup = temp_.MakeFolder("backup");

  Open();
  ASSERT_EQ(Edit("ESource").text, sample::ChartFolder(options));
  Edit("EDest").Type(backup);
  ASSERT_TRUE(Button("BackupButt").Click());
  ASSERT_EQ(Label("PLabel").caption, "Finished.");
  ASSERT_TRUE(Messages().empty()) << Messages()[0];

  // A fresh machine: the same version installed, none of the user's files.
  test_support::RemoveTree(user_files);
  InstallUserFilesVersion(9, options.system_data_folder, sample::ChartFolder(options));
  Reopen();
  RestoreFrom(backup, "", true);
  ASSERT_EQ(Label("PLabel").caption, "Finished.");
  ASSERT_TRUE(Messages().empty()) << Messages()[0];

  int compared = 0;
  for (const sample::SampleFile& file : files) {
    if (file.path.rfind(user_files, 0) != 0) continue;  // system files stay on the machine
    // The restore points the settings file at its own chart folder: not the user's file.
    if (file.path == user_files + "Settings\\Halvane9.INI") continue;
    // Charts come back flat into the chart folder; the rest into their category folders.
    std::string restored = file.path;
    if (file.path.rfind(sample::ChartFolder(options), 0) == 0) {
      restored = sample::ChartFolder(options) + util::WordWithDot(file.path);
    }
    SCOPED_TRACE(file.path);
    ASSERT_EQ(Contents(restored), file.contents);
    EXPECT_EQ(platform::GetFileAge(restored), file.dos_time);
    ++compared;
  }
  EXPECT_GT(compared, 240);
}

}  // namespace
}  // namespace app
