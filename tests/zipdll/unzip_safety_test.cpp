// Archives are foreign input: names that leave the target, sizes that lie, damage, and a caller
// that cancels. None of it may write outside the target or cost the user a file.
#include <gmock/gmock.h>

#if !defined(_WIN32)
#include <signal.h>
#include <sys/resource.h>
#endif

#include "zipdll/unzip_test_fixture.h"
#include "zipdll/zip_format.h"

namespace unzip_test {
namespace {

using testing::Each;
using testing::ElementsAre;
using testing::HasSubstr;

const char* const kUnsafeNames[] = {
    "../evil.txt",
    "Sub/../../evil.txt",
    "..\\evil.txt",
    "Sub/.. /evil.txt",
    "/abs.txt",
    "\\abs.txt",
    "C:/drive.txt",
    "C:drive.txt",
    "\\\\?\\C:\\device.txt",
    "//server/share/x.txt",
    "CON",
    "nul.txt",
    "Sub/LPT1.log",
    "com9",
    "aux .txt",
    "name:stream.txt",
    "Sub/..",
};

class UnzipUnsafeNameTest : public UnzipTest, public testing::WithParamInterface<bool> {};

TEST_P(UnzipUnsafeNameTest, SkipsEveryNameThatWouldLeaveTheTarget) {
  test_support::TempFolder outer;
  const std::string target = outer.MakeFolder("a\\b\\target");
  TestArchive archive;
  for (const char* name : kUnsafeNames) archive.Add(name, "bad");
  archive.Add("Sub/good.txt", "good");
  UnzipRequest request = Request(WriteArchive(archive));
  request.target = target;
  request.recreate_folders = GetParam();
  EXPECT_EQ(driver_.Run(request), 1);

  const size_t unsafe = sizeof kUnsafeNames / sizeof kUnsafeNames[0];
  EXPECT_EQ(driver_.SkipReasons(), std::vector<zipdll::Slot>(unsafe, zipdll::kSkipUnsafeName));
  for (const char* name : kUnsafeNames) {
    EXPECT_THAT(driver_.Messages(), HasSubstr(std::string("\"") + name + "\"")) << name;
  }
  EXPECT_THAT(Listing(outer.path()), ElementsAre("a"));
  EXPECT_THAT(Listing(outer / "a\\"), ElementsAre("b"));
  EXPECT_THAT(Listing(outer / "a\\b\\"), ElementsAre("target"));
  if (GetParam()) {
    EXPECT_THAT(Listing(target), ElementsAre("Sub"));
    EXPECT_THAT(Listing(target + "Sub\\"), ElementsAre("good.txt"));
  } else {
    EXPECT_THAT(Listing(target), ElementsAre("good.txt"));
  }
}

INSTANTIATE_TEST_SUITE_P(WithAndWithoutFolders, UnzipUnsafeNameTest, testing::Bool());

TEST_F(UnzipTest, RefusesSizesThatLieAndKeepsTheExistingFile) {
  const std::string data = Noise(100000) + std::string(100000, 'z');
  TestArchive archive;
  archive.Add("short.bin", data).uncompressed_size = 1000;   // inflates past its size
  archive.Add("long.bin", data).uncompressed_size = 300000;  // inflates short of its size
  archive.Add("stored.bin", "stored").method = 0;
  archive.entries.back().uncompressed_size = 3;                 // stored sizes disagree
  archive.Add("beyond.bin", "x").compressed_size = 0x7FFFFFF0;  // data past the archive
  const std::string path = WriteArchive(archive);
  for (const char* name : {"short.bin", "long.bin", "stored.bin", "beyond.bin"}) {
    folder_.Write(std::string("out\\") + name, "precious");
  }
  EXPECT_EQ(driver_.Run(Request(path)), 0);
  EXPECT_THAT(driver_.SkipReasons(), Each(zipdll::kSkipBadData));
  EXPECT_EQ(driver_.SkipReasons().size(), 4u);
  for (const char* name : {"short.bin", "long.bin", "stored.bin", "beyond.bin"}) {
    EXPECT_EQ(folder_.Read(std::string("out\\") + name), "precious") << name;
  }
  EXPECT_EQ(Listing(target_).size(), 4u);  // no work files left
}

TEST_F(UnzipTest, RefusesEntriesThatShareOrRunIntoOtherData) {
  TestArchive archive;
  archive.Add("first.txt", "first data");
  archive.Add("second.txt", "second data").offset = 0;  // the first entry's header again
  archive.Add("third.txt", "third data");
  archive.Add("fourth.txt", "fourth data");
  archive.entries[2].compressed_size = 200;  // runs over the fourth entry
  EXPECT_EQ(driver_.Run(Request(WriteArchive(archive))), 1);
  EXPECT_THAT(Listing(target_), ElementsAre("fourth.txt"));
  EXPECT_THAT(driver_.SkipReasons(), Each(zipdll::kSkipBadData));
}

TEST_F(UnzipTest, DamagedArchivesEndWithAMessageAndAResult) {
  TestArchive archive;
  archive.Add("a.txt", Noise(5000));
  archive.Add("b.txt", "bbbbbbbbbbbbbbbbbbbbbbbbbbbbbbbbbbbbbbbbbbbb");
  archive.comment = "comment";
  const std::string whole = archive.Bytes();
  std::vector<std::string> damaged;
  for (size_t cut = 0; cut < whole.size(); cut += 97) damaged.push_back(whole.substr(0, cut));
  for (size_t at = 0; at + 4 < whole.size(); at += 61) {
    std::string flipped = whole;
    flipped[at] = static_cast<char>(flipped[at] ^ 0x5A);
    flipped[at + 3] = static_cast<char>(flipped[at + 3] ^ 0xFF);
    damaged.push_back(flipped);
  }
  // An end record that claims far more entries, and a bigger directory, than the file holds.
  std::string greedy;
  zipdll::Put32(&greedy, zipdll::kEndRecordSignature);
  zipdll::Put32(&greedy, 0);
  zipdll::Put16(&greedy, 0xFFFE);
  zipdll::Put16(&greedy, 0xFFFE);
  zipdll::Put32(&greedy, 0x7FFFFFFF);
  zipdll::Put32(&greedy, 0);
  zipdll::Put16(&greedy, 0);
  damaged.push_back(greedy);
  damaged.push_back(Noise(1000) + greedy);

  for (size_t i = 0; i < damaged.size(); ++i) {
    test_support::TempFolder out;
    driver_.events.clear();
    UnzipRequest request = Request(folder_.Write("damaged.zip", damaged[i]));
    request.target = out.path();
    const int result = driver_.Run(request);
    EXPECT_GE(result, 0) << i;
    EXPECT_LE(result, 2) << i;
    if (result < 2) {
      EXPECT_FALSE(driver_.Messages().empty()) << i;
    }
  }
}

#if !defined(_WIN32)
// The process may write no file beyond 600 KiB, as good as a full disk: a large file fails while
// it is written, replacing one or new, whether the failure comes on the way or with its last
// bytes, and the run goes on with the next entry.
TEST_F(UnzipTest, AWriteThatFailsKeepsTheExistingFileAndLeavesNoWorkFile) {
  TestArchive archive;
  archive.Add("large.bin", Noise(2 << 20, 5));
  archive.Add("new.bin", Noise(700 << 10, 6));
  archive.Add("small.txt", "fits");
  const std::string path = WriteArchive(archive);
  folder_.Write("out\\large.bin", "precious");
  driver_.answer = [](zipdll::CallbackRecord* record) {
    if (record->action == zipdll::kActionOverwrite) record->value = 1;
    return 0;
  };
  struct rlimit saved;
  ASSERT_EQ(getrlimit(RLIMIT_FSIZE, &saved), 0);
  struct rlimit small = saved;
  small.rlim_cur = 600 << 10;
  const sighandler_t old_handler = signal(SIGXFSZ, SIG_IGN);
  ASSERT_EQ(setrlimit(RLIMIT_FSIZE, &small), 0);
  const int result = driver_.Run(Request(path));
  setrlimit(RLIMIT_FSIZE, &saved);
  signal(SIGXFSZ, old_handler);

  EXPECT_EQ(result, 1);
  EXPECT_EQ(driver_.SkipReasons(), std::vector<zipdll::Slot>(2, zipdll::kSkipBadData));
  EXPECT_EQ(folder_.Read("out\\large.bin"), "precious");
  EXPECT_EQ(folder_.Read("out\\small.txt"), "fits");
  EXPECT_THAT(Listing(target_), ElementsAre("large.bin", "small.txt"));
}
#endif

// Cancelling at each kind of callback leaves the existing file exactly as it was, and nothing is
// reported after the answer -1.
class UnzipAbortTest : public UnzipTest, public testing::WithParamInterface<zipdll::Slot> {};

TEST_P(UnzipAbortTest, CancelLeavesTheExistingFileIntact) {
  const zipdll::Slot cancel_at = GetParam();
  TestArchive archive;
  // Large enough to be written on a thread of its own while it is inflated.
  TestEntry& entry = archive.Add("chart.cht", Noise(1 << 20));
  if (cancel_at == zipdll::kActionPassword) entry.password = "pw";
  if (cancel_at == zipdll::kActionCrcError) entry.crc = 1;
  folder_.Write("out\\chart.cht", "the user's chart");
  driver_.answer = [cancel_at](zipdll::CallbackRecord* record) {
    if (record->action == zipdll::kActionOverwrite) record->value = 1;
    if (record->action == zipdll::kActionCrcError) record->flag = 1;
    return record->action == cancel_at ? -1 : 0;
  };
  EXPECT_EQ(driver_.Run(Request(WriteArchive(archive))), 0);
  ASSERT_FALSE(driver_.events.empty());
  EXPECT_EQ(driver_.events.back().action, cancel_at);
  EXPECT_EQ(folder_.Read("out\\chart.cht"), "the user's chart");
  EXPECT_THAT(Listing(target_), ElementsAre("chart.cht"));
}

INSTANTIATE_TEST_SUITE_P(EachCallback, UnzipAbortTest,
                         testing::Values(zipdll::kActionBatchFiles, zipdll::kActionBatchBytes,
                                         zipdll::kActionFileBegun, zipdll::kActionOverwrite,
                                         zipdll::kActionPassword, zipdll::kActionProgress,
                                         zipdll::kActionCrcError));

TEST_F(UnzipTest, CancelAfterSomeFilesCountsThem) {
  TestArchive archive;
  archive.Add("one.txt", "1");
  archive.Add("two.txt", "2");
  archive.Add("three.txt", "3");
  int begun = 0;
  driver_.answer = [&begun](zipdll::CallbackRecord* record) {
    return record->action == zipdll::kActionFileBegun && ++begun == 3 ? -1 : 0;
  };
  EXPECT_EQ(driver_.Run(Request(WriteArchive(archive))), 2);
  EXPECT_THAT(Listing(target_), ElementsAre("one.txt", "two.txt"));
}

}  // namespace
}  // namespace unzip_test
