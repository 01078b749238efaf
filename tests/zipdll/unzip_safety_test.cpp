// Archives are foreign input: names that leave the target, damage anywhere in the file, and a
// caller that cancels. None of it may write outside the target or cost the user a file. The
// named hostile archives (sizes that lie, overlapping entries, broken records) are in
// tests/corpus.
#include <gmock/gmock.h>

#include "zipdll/unzip_test_fixture.h"
#include "zipdll/zip_format.h"

namespace unzip_test {
namespace {

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

// Cancelling at each kind of callback leaves the existing file exactly as it was, and nothing is
// reported after the answer -1.
class UnzipAbortTest : public UnzipTest, public testing::WithParamInterface<zipdll::Slot> {};

TEST_P(UnzipAbortTest, CancelLeavesTheExistingFileIntact) {
  const zipdll::Slot cancel_at = GetParam();
  TestArchive archive;
  TestEntry& entry = archive.Add("chart.cht", Noise(300000));
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
