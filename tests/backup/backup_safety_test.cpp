// The last good backup survives whatever happens to the next one: a cancel, a full disk, a
// target that cannot be written, or Exit in the middle of the run. And a source holding what is
// no file (a FIFO, a device, a socket) or folder links that loop is still backed up.
#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <chrono>
#include <random>

#include "backup_fixture.h"
#include "platform/platform.h"
#include "zip/tzip.h"

#if !defined(_WIN32)
#include <signal.h>
#include <sys/resource.h>
#include <unistd.h>

#include "platform/posix/drive_map.h"
#include "support/host_entries.h"
#endif

namespace app {
namespace {

using ::testing::Contains;
using ::testing::ElementsAre;
using ::testing::HasSubstr;
using ::testing::StartsWith;

// Bytes that do not compress, so the archive is as large as the files.
std::string Noise(size_t size, unsigned seed) {
  std::mt19937 random(seed);
  std::string bytes(size, '\0');
  for (char& c : bytes) c = static_cast<char>(random());
  return bytes;
}

// A few words in random order: deflate at level 9 takes seconds over a few megabytes of them.
std::string Wordy(size_t size) {
  static const char* const kWords[] = {"sun ", "moon ", "mars ", "trine ", "cusp ", "node "};
  std::mt19937 random(11);
  std::string text;
  while (text.size() < size) text += kWords[random() % 6];
  text.resize(size);
  return text;
}

class BackupSafetyTest : public BackupTest {
 protected:
  // A first, good backup of one small chart, chart and user-data archive both; then a source
  // with more in it for the run that is to fail.
  void MakeGoodBackup() {
    temp_.Write("Src\\old.cht", "the old chart");
    RunBackup(temp_ / "Src", temp_ / "Dest", /*user_data=*/true);
    ASSERT_EQ(Label("PLabel").caption, "Finished.");
    good_charts_ = Bytes(chart_archive());
    good_user_data_ = Bytes(user_archive());
    ASSERT_THAT(Entries(chart_archive()), ElementsAre(EntryName(temp_ / "Src\\old.cht")));
    for (int i = 0; i < 3; ++i) {
      temp_.Write("Src\\big" + std::to_string(i) + ".cht", Noise(100000, i));
    }
    toolkit_.messages.clear();
    toolkit_.progress_log.clear();
    Label("PLabel").history.clear();
  }
  void ExpectGoodBackupKept() {
    EXPECT_EQ(Bytes(chart_archive()), good_charts_);
    EXPECT_EQ(Bytes(user_archive()), good_user_data_);
    EXPECT_THAT(FilesIn(temp_ / "Dest"),
                ::testing::UnorderedElementsAre("ChartBackup.zip", "RUDadoze.zev"));
    EXPECT_THAT(Label("PLabel").history, ::testing::Not(Contains("Finished.")));
    EXPECT_FALSE(toolkit_.busy);
  }
  std::string chart_archive() const { return temp_ / "Dest\\ChartBackup.zip"; }
  std::string user_archive() const { return temp_ / "Dest\\RUDadoze.zev"; }

  std::string good_charts_, good_user_data_;
};

TEST_F(BackupSafetyTest, CancelKeepsThePreviousArchives) {
  MakeGoodBackup();
  int cancels = 0;
  toolkit_.on_process_messages = [&](int) {
    if (cancels == 0 && toolkit_.progress && toolkit_.progress->Visible()) {
      ++cancels;
      toolkit_.progress->Click();
    }
  };
  RunBackup(temp_ / "Src", temp_ / "Dest", true);
  EXPECT_EQ(cancels, 1);
  ExpectGoodBackupKept();
  // Cancelled by the user: no further step, and nothing to tell.
  EXPECT_THAT(Messages(), ElementsAre());
  EXPECT_THAT(toolkit_.progress_log,
              ::testing::Not(Contains("caption:Zipping up User Data Files.")));
}

// Cancel is heard while the library is still reading and packing a large chart, not only once
// it is done with it.
TEST_F(BackupSafetyTest, CancelWhileAChartIsReadKeepsThePreviousArchives) {
  MakeGoodBackup();
  const std::string slow = temp_.Write("Src\\words.cht", Wordy(6 << 20));
  using Clock = std::chrono::steady_clock;
  Clock::time_point shown;
  int cancels = 0;
  toolkit_.on_process_messages = [&](int) {
    if (cancels > 0 || !toolkit_.progress || !toolkit_.progress->Visible()) return;
    if (shown == Clock::time_point()) shown = Clock::now();
    if (Clock::now() - shown >= std::chrono::milliseconds(300)) {
      ++cancels;
      toolkit_.progress->Click();
    }
  };
  RunBackup(temp_ / "Src", temp_ / "Dest", true);
  EXPECT_EQ(cancels, 1);
  ExpectGoodBackupKept();
  EXPECT_THAT(Messages(), ElementsAre());
  // The large chart was never begun: the cancel came while it was read.
  EXPECT_THAT(toolkit_.progress_log, ::testing::Not(Contains(HasSubstr("words.cht"))));
  EXPECT_THAT(toolkit_.progress_log,
              ::testing::Not(Contains("caption:Zipping up User Data Files.")));
}

#if !defined(_WIN32)
using test_support::HostEntry;

TEST_F(BackupSafetyTest, PipesDevicesAndSocketsAreSkippedAndTheRestBackedUp) {
  temp_.Write("Src\\real.cht", "a chart");
  // A FIFO no one writes to, a link to a device without end, and a socket.
  const HostEntry fifo = HostEntry::Fifo(temp_ / "Src\\pipe.cht");
  const HostEntry zero = HostEntry::Link(temp_ / "Src\\zero.cht", "/dev/zero");
  const HostEntry socket = HostEntry::Socket(temp_ / "Src\\socket.cht");
  ASSERT_TRUE(fifo.made() && zero.made() && socket.made());
  RunBackup(temp_ / "Src", temp_ / "Dest", /*user_data=*/false);
  EXPECT_EQ(Label("PLabel").caption, "Finished.");
  EXPECT_THAT(Messages(), ElementsAre());
  EXPECT_THAT(Entries(chart_archive()), ElementsAre(EntryName(temp_ / "Src\\real.cht")));
  EXPECT_EQ(window_->Zip1->SkippedCount, 3);
}

// Two folder links, each pointing at the folder it is in, in the user data.
TEST_F(BackupSafetyTest, FolderLinksThatLoopAreWalkedOnce) {
  const std::string user = temp_ / "User5";
  temp_.Write("User5\\places.plc", "places");
  temp_.Write("User5\\Wheels\\w.wh1", "wheel");
  temp_.Write("Charts\\c.cht", "chart");
  const HostEntry loop = HostEntry::Link(user + "\\loop", ".");
  const HostEntry wheels_loop = HostEntry::Link(user + "\\Wheels\\loop", ".");
  ASSERT_TRUE(loop.made() && wheels_loop.made());
  InstallOlderVersion(5, temp_ / "Interp5", temp_ / "App", temp_ / "Charts", user);
  const auto start = std::chrono::steady_clock::now();
  RunBackup(temp_ / "Charts", temp_ / "Dest", /*user_data=*/true);
  EXPECT_LT(std::chrono::steady_clock::now() - start, std::chrono::seconds(60));
  EXPECT_EQ(Label("PLabel").caption, "Finished.");
  EXPECT_THAT(Entries(user_archive()),
              ElementsAre(EntryName(user + "\\"), EntryName(user + "\\places.plc"),
                          EntryName(user + "\\Wheels\\"), EntryName(user + "\\Wheels\\w.wh1")));
}

// The process may write no file beyond a few kilobytes: as good as a full disk.
TEST_F(BackupSafetyTest, FullDiskKeepsThePreviousArchivesAndSaysSo) {
  MakeGoodBackup();
  struct rlimit saved;
  ASSERT_EQ(getrlimit(RLIMIT_FSIZE, &saved), 0);
  struct rlimit small = saved;
  small.rlim_cur = 64 * 1024;
  const sighandler_t old_handler = signal(SIGXFSZ, SIG_IGN);
  ASSERT_EQ(setrlimit(RLIMIT_FSIZE, &small), 0);
  RunBackup(temp_ / "Src", temp_ / "Dest", true);
  setrlimit(RLIMIT_FSIZE, &saved);
  signal(SIGXFSZ, old_handler);

  ExpectGoodBackupKept();
  EXPECT_THAT(Messages(),
              ElementsAre(StartsWith("The backup could not be written to " + chart_archive())));
}

TEST_F(BackupSafetyTest, TargetThatCannotBeWrittenKeepsThePreviousArchives) {
  if (geteuid() == 0) GTEST_SKIP() << "permissions do not bind root";
  MakeGoodBackup();
  std::string host;
  ASSERT_TRUE(platform::posix::ToHostPath(temp_ / "Dest", &host));
  ASSERT_EQ(chmod(host.c_str(), 0555), 0);
  ASSERT_TRUE(Edit("ESource").Type(temp_ / "Src"));
  ASSERT_TRUE(Edit("EDest").Type(temp_ / "Dest"));
  EXPECT_FALSE(Button("BackupButt").Click());  // the error leaves the handler for the event loop
  chmod(host.c_str(), 0755);
  ExpectGoodBackupKept();
  ASSERT_EQ(Messages().size(), 1u);  // the component's own error, with the archive's real name
  EXPECT_NE(Messages()[0].find(chart_archive()), std::string::npos) << Messages()[0];
}
#endif

TEST_F(BackupSafetyTest, ExitDuringTheWalkWritesNothing) {
  MakeGoodBackup();
  for (int i = 0; i < 120; ++i) temp_.MakeFolder("Src\\F" + std::to_string(i));
  toolkit_.on_process_messages = [&](int) {
    if (!StopRequested && window_->SearchFolders && window_->SearchFolders->size() > 100) {
      ASSERT_TRUE(Button("BitBtn2").Click());
    }
  };
  RunBackup(temp_ / "Src", temp_ / "Dest", true);
  EXPECT_TRUE(StopRequested);
  EXPECT_FALSE(window_->FoundFiles);
  ExpectGoodBackupKept();
  EXPECT_THAT(toolkit_.progress_log, ::testing::Not(Contains("show")));
}

TEST_F(BackupSafetyTest, ExitDuringTheChartArchiveFinishesItAndStopsThere) {
  MakeGoodBackup();
  toolkit_.on_process_messages = [&](int) {
    if (!StopRequested && toolkit_.progress && toolkit_.progress->Visible()) {
      ASSERT_TRUE(Button("BitBtn2").Click());
    }
  };
  RunBackup(temp_ / "Src", temp_ / "Dest", true);
  EXPECT_TRUE(StopRequested);
  EXPECT_FALSE(window_->FoundFiles);
  // The chart archive was complete, so it replaced the old one; the user data were not started.
  EXPECT_EQ(Entries(chart_archive()).size(), 4u);
  EXPECT_EQ(Bytes(user_archive()), good_user_data_);
  EXPECT_THAT(toolkit_.progress_log,
              ::testing::Not(Contains("caption:Zipping up User Data Files.")));
  EXPECT_THAT(Label("PLabel").history, ::testing::Not(Contains("Finished.")));
  EXPECT_THAT(FilesIn(temp_ / "Dest"),
              ::testing::UnorderedElementsAre("ChartBackup.zip", "RUDadoze.zev"));
}

}  // namespace
}  // namespace app
