// The whole road: the sample installation is backed up through the window, removed, and restored
// through the window into an empty installation of the same version; every file must come back
// with its bytes and its time.
#include <gtest/gtest.h>

#include "platform/platform.h"
#include "restore_fixture.h"
#include "sample_installation.h"

#if !defined(_WIN32)
#include "support/host_entries.h"
#endif

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

  // The program lets go of every folder it works in once a run ends: the current folder is the
  // one the runs found, by identity, however they end.
  const platform::CurrentDirectoryKeeper put_back_after_the_test;
  const std::string elsewhere = temp_.MakeFolder("elsewhere");
  ASSERT_TRUE(platform::SetCurrentDirectory(elsewhere));
  platform::FolderIdentity before, after;
  ASSERT_TRUE(platform::GetFolderIdentity(elsewhere, &before));
  const auto current_folder_kept = [&] {
    return platform::GetFolderIdentity(platform::GetCurrentDirectory(), &after) && after == before;
  };

  Open();
  ASSERT_EQ(Edit("ESource").text, sample::ChartFolder(options));
#if defined(_WIN32)
  Edit("EDest").Type(backup);
#else
  // Typed as a Linux user writes it: the box then shows the drive path of that folder.
  Edit("EDest").Type(test_support::HostPathOf(backup));
#endif
  ASSERT_TRUE(Button("BackupButt").Click());
  ASSERT_EQ(Label("PLabel").caption, "Finished.");
  ASSERT_TRUE(Messages().empty()) << Messages()[0];
  EXPECT_EQ(Edit("EDest").text, backup);
  EXPECT_TRUE(current_folder_kept());

  // A fresh machine: the same version installed, none of the user's files.
  test_support::RemoveTree(user_files);
  InstallUserFilesVersion(9, options.system_data_folder, sample::ChartFolder(options));
  Reopen();
  RestoreFrom(backup, "", true);
  ASSERT_EQ(Label("PLabel").caption, "Finished.");
  ASSERT_TRUE(Messages().empty()) << Messages()[0];
  EXPECT_TRUE(current_folder_kept());

  int compared = 0;
  for (const sample::SampleFile& file : files) {
    if (file.path.rfind(user_files, 0) != 0) continue;  // system files stay on the machine
    // The restore points the settings file at its own chart folder: not the user's file.
    if (file.path == user_files + "Settings\\Halvane9.INI") continue;
    // Charts come back flat into the chart folder; the rest into their category folders.
    std::string restored = file.path;
    if (file.path.rfind(sample::ChartFolder(options), 0) == 0) {
      restored = sample::ChartFolder(options) + base::WordWithDot(file.path);
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
