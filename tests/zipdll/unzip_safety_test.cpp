// Archives are foreign input: names that leave the target, damage anywhere in the file, and a
// caller that cancels. None of it may write outside the target or cost the user a file. The
// named hostile archives (sizes that lie, overlapping entries, broken records) are in
// tests/corpus.
#include <gmock/gmock.h>

#include <algorithm>
#include <cstdio>
#include <memory>
#include <utility>

#include "platform/platform.h"
#include "zipdll/unzip_test_fixture.h"
#include "zipformat/byte_order.h"
#include "zipformat/zip_records.h"
#if !defined(_WIN32)
#include "support/extra_drives.h"
#include "support/host_process.h"
#endif

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
    // Ports with a superscript digit (UTF-8) or 0 are devices too, on Windows.
    "COM\xC2\xB9",
    "Sub/com\xC2\xB2.txt",
    "LPT\xC2\xB3.log",
    "lpt\xC2\xB9 .txt",
    "COM0",
    "Sub/lpt0.txt",
    // Windows drops a trailing dot or blank, so these would not be the files stored.
    "trailing.txt.",
    "trailing.txt ",
};

// Folders Windows cannot make: refused when folders are recreated, while with the folders
// dropped each gives its file, whose own name is sound.
const char* const kUnsafeFolders[] = {"COM\xC2\xB3/in1.txt", "dir./in2.txt", "Sub /in3.txt",
                                      "aux/in4.txt", "Clients: 2020/in5.txt"};

// Names that are near the refused ones and still ordinary files.
const char* const kSafeNames[] = {"Sub/good.txt", "Sub/COM10.txt", "Sub/LPT\xC2\xB9\xC2\xB9.txt",
                                  "Sub/.dot.txt"};

class UnzipUnsafeNameTest : public UnzipTest, public testing::WithParamInterface<bool> {};

TEST_P(UnzipUnsafeNameTest, SkipsEveryNameThatWouldLeaveTheTarget) {
  test_support::TempFolder outer;
  const std::string target = outer.MakeFolder("a\\b\\target");
  TestArchive archive;
  // The names are UTF-8, and the archive says so.
  for (const char* name : kUnsafeNames) archive.Add(name, "bad").flags = zipformat::kFlagUtf8;
  for (const char* name : kSafeNames) archive.Add(name, "good").flags = zipformat::kFlagUtf8;
  for (const char* name : kUnsafeFolders) archive.Add(name, "flat").flags = zipformat::kFlagUtf8;
  const bool folders = GetParam();
  UnzipRequest request = Request(WriteArchive(archive));
  request.target = target;
  request.recreate_folders = folders;
  const size_t unsafe_folders = sizeof kUnsafeFolders / sizeof kUnsafeFolders[0];
  EXPECT_EQ(driver_.Run(request), folders ? 4 : 4 + static_cast<int>(unsafe_folders));

  std::vector<std::string> refused(std::begin(kUnsafeNames), std::end(kUnsafeNames));
  if (folders) refused.insert(refused.end(), std::begin(kUnsafeFolders), std::end(kUnsafeFolders));
  EXPECT_EQ(driver_.SkipReasons(),
            std::vector<zipdll::Slot>(refused.size(), zipdll::kSkipUnsafeName));
  for (const std::string& name : refused) {
    EXPECT_THAT(driver_.Messages(), HasSubstr("\"" + name + "\"")) << name;
  }
  EXPECT_THAT(Listing(outer.path()), ElementsAre("a"));
  EXPECT_THAT(Listing(outer / "a\\"), ElementsAre("b"));
  EXPECT_THAT(Listing(outer / "a\\b\\"), ElementsAre("target"));
  const auto safe = ElementsAre(".dot.txt", "COM10.txt", "LPT\xC2\xB9\xC2\xB9.txt", "good.txt");
  if (folders) {
    EXPECT_THAT(Listing(target), ElementsAre("Sub"));
    EXPECT_THAT(Listing(target + "Sub\\"), safe);
  } else {
    EXPECT_THAT(Listing(target),
                ElementsAre(".dot.txt", "COM10.txt", "LPT\xC2\xB9\xC2\xB9.txt", "good.txt",
                            "in1.txt", "in2.txt", "in3.txt", "in4.txt", "in5.txt"));
  }
}

INSTANTIATE_TEST_SUITE_P(WithAndWithoutFolders, UnzipUnsafeNameTest, testing::Bool());

// No drive holds a petabyte: the entry is turned away by the free space of the real drive before
// a byte of it is written, and the entry after it is still written.
TEST_F(UnzipTest, EntryLargerThanTheDriveIsSkippedBeforeItIsWritten) {
  TestArchive archive;
  TestEntry& huge = archive.Add("huge.bin", std::string(100000, 'h'));
  huge.uncompressed_size = 0xFFFFFFFF;  // the true size is in the zip64 field
  zipformat::Put16(&huge.extra, 1);
  zipformat::Put16(&huge.extra, 8);
  zipformat::Put64(&huge.extra, uint64_t{1} << 50);
  archive.Add("after.txt", "after");
  folder_.Write("out\\huge.bin", "precious");
  EXPECT_EQ(driver_.Run(Request(WriteArchive(archive))), 1);
  EXPECT_EQ(driver_.SkipReasons(), std::vector<zipdll::Slot>{zipdll::kSkipNoRoom});
  EXPECT_THAT(driver_.Messages(), HasSubstr("\"huge.bin\": it needs 1125899906842624 bytes"));
  EXPECT_EQ(folder_.Read("out\\huge.bin"), "precious");
  EXPECT_EQ(folder_.Read("out\\after.txt"), "after");
  EXPECT_THAT(Listing(target_), ElementsAre("after.txt", "huge.bin"));
}

#if !defined(_WIN32)
// A drive S: of 2 MiB (a small file system of its own, which takes root).
class UnzipSmallDriveTest : public UnzipTest {
 protected:
  static constexpr char kSmall[] = "S:\\";

  void SetUp() override {
    test_support::ExtraDrive small('S', platform::kDriveFixed);
    small.size_limit = 2 << 20;
    if (drives_.Set(small).empty()) GTEST_SKIP() << drives_.error();
  }
  uint64_t FreeBytes() const {
    uint64_t available = 0;
    return platform::GetDiskFreeSpaceEx(kSmall, &available) ? available : 0;
  }
  UnzipRequest Request(const std::string& archive) {
    UnzipRequest request = UnzipTest::Request(archive);
    request.target = kSmall;
    return request;
  }
  static void Write(const std::string& name, const std::string& contents) {
    ASSERT_TRUE(platform::WriteWholeFileSafely(kSmall + name, contents)) << name;
  }
  static std::string Read(const std::string& name) {
    std::string contents;
    return platform::ReadWholeFile(kSmall + name, &contents) ? contents : std::string();
  }

  test_support::ExtraDrives drives_;
};

// Zeros shrink a thousand to one: three honest megabytes in a few kilobytes of archive.
TEST_F(UnzipSmallDriveTest, EntryLargerThanTheFreeSpaceIsSkippedWithoutFillingTheDrive) {
  const std::string small_data = Noise(100000);
  TestArchive archive;
  archive.Add("big.bin", std::string(3 << 20, '\0'));
  archive.Add("small.bin", small_data);
  const std::string path = WriteArchive(archive);
  ASSERT_LT(archive.Bytes().size(), 120000u);
  Write("big.bin", "precious");
  uint64_t least_free = FreeBytes();
  driver_.answer = [&](zipdll::CallbackRecord* record) {
    if (record->action == zipdll::kActionOverwrite) record->value = 1;
    least_free = std::min(least_free, FreeBytes());
    return 0;
  };
  EXPECT_EQ(driver_.Run(Request(path)), 1);
  EXPECT_EQ(driver_.SkipReasons(), std::vector<zipdll::Slot>{zipdll::kSkipNoRoom});
  EXPECT_THAT(driver_.Messages(), HasSubstr("Skipped \"big.bin\": it needs 3145728 bytes"));
  EXPECT_EQ(Read("big.bin"), "precious");
  EXPECT_EQ(Read("small.bin"), small_data);
  EXPECT_THAT(Listing(kSmall), ElementsAre("big.bin", "small.bin"));
  EXPECT_GT(least_free, 1u << 20) << "the drive was filled before the entry was refused";
}

// The drive fills up while an entry that fitted is written (another program took the room): the
// work file goes, the old file stays, and the next entry is tried once there is room again.
TEST_F(UnzipSmallDriveTest, DriveFullInMidEntryKeepsTheOldFileAndGoesOn) {
  TestArchive archive;
  archive.Add("chart.cht", Noise(1 << 20));
  archive.Add("next.txt", "next");
  const std::string path = WriteArchive(archive);
  Write("chart.cht", "the user's chart");
  const std::string filler = std::string(kSmall) + "filler";
  bool filled = false;
  driver_.answer = [&](zipdll::CallbackRecord* record) {
    if (record->action == zipdll::kActionOverwrite) record->value = 1;
    if (record->action == zipdll::kActionProgress && !std::exchange(filled, true)) {
      const std::unique_ptr<platform::File> file =
          platform::File::Open(filler, platform::File::Mode::kCreate);
      const std::string block(64 * 1024, 'f');
      while (file && file->Write(block.data(), block.size())) {
      }
    }
    if (record->action == zipdll::kActionSkipped) platform::DeleteFile(filler);
    return 0;
  };
  EXPECT_EQ(driver_.Run(Request(path)), 1);
  EXPECT_EQ(driver_.SkipReasons(), std::vector<zipdll::Slot>{zipdll::kSkipNotWritten});
  EXPECT_THAT(driver_.Messages(), HasSubstr("Skipped \"chart.cht\": writing"));
  EXPECT_EQ(Read("chart.cht"), "the user's chart");
  EXPECT_EQ(Read("next.txt"), "next");
  EXPECT_THAT(Listing(kSmall), ElementsAre("chart.cht", "next.txt"));
}
#endif

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
  int result = -1;
  {
    const test_support::FileSizeLimit limit(600 << 10);
    ASSERT_TRUE(limit.set());
    result = driver_.Run(Request(path));
  }

  EXPECT_EQ(result, 1);
  EXPECT_EQ(driver_.SkipReasons(), std::vector<zipdll::Slot>(2, zipdll::kSkipNotWritten));
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

// Many small files are written ahead of the reports on other threads. What the caller sees must
// not change: a cancel leaves exactly the files reported before it, answers to overwrite
// questions hold for their own entries, and entries whose names fold alike (or a file and a
// folder of one name) come out as the archive's order makes them.
std::string ReadTarget(const std::string& path) {
  std::string contents;
  return platform::ReadWholeFile(path, &contents) ? contents : std::string("(missing)");
}

std::string Numbered(const char* stem, int i) {
  char name[32];
  std::snprintf(name, sizeof name, "%s%03d.txt", stem, i);
  return name;
}

// Each file alone in a folder of its own, the folders made ahead with the files: a cancel takes
// back the folders of the files it takes back.
TEST_F(UnzipTest, CancelRemovesTheFilesWrittenAheadOfIt) {
  int round = 0;
  for (const char* form : {"f%03d.txt", "d%03d/f.txt", "d%03d/e/f.txt"}) {
    SCOPED_TRACE(form);
    const std::string target = folder_.MakeFolder("cancel" + std::to_string(round++));
    TestArchive archive;
    std::vector<std::string> expected;
    for (int i = 0; i < 300; ++i) {
      char name[32];
      std::snprintf(name, sizeof name, form, i);
      archive.Add(name, "contents of " + std::to_string(i));
      const std::string top = std::string(name).substr(0, std::string(name).find('/'));
      if (i < 99) expected.push_back(top);
    }
    int begun = 0;
    driver_.answer = [&begun](zipdll::CallbackRecord* record) {
      return record->action == zipdll::kActionFileBegun && ++begun == 100 ? -1 : 0;
    };
    UnzipRequest request = Request(WriteArchive(archive));
    request.target = target;
    request.recreate_folders = true;
    EXPECT_EQ(driver_.Run(request), 99);
    EXPECT_EQ(Listing(target), expected);
  }
}

TEST_F(UnzipTest, ExistingFilesAmongManyAreAskedAboutInTurn) {
  TestArchive archive;
  for (int i = 0; i < 60; ++i) {
    archive.Add(Numbered("f", i), "new " + std::to_string(i));
    if (i % 5 == 0) folder_.Write("out\\" + Numbered("f", i), "old");
  }
  UnzipRequest request = Request(WriteArchive(archive));
  request.overwrite = false;
  int asked = 0;
  driver_.answer = [&asked](zipdll::CallbackRecord* record) {
    if (record->action == zipdll::kActionOverwrite) record->value = ++asked % 2;
    return 0;
  };
  EXPECT_EQ(driver_.Run(request), 54);
  const std::vector<CallbackEvent> questions = driver_.Of(zipdll::kActionOverwrite);
  ASSERT_EQ(questions.size(), 12u);
  for (int n = 0; n < 12; ++n) {
    SCOPED_TRACE(n);
    const int i = n * 5;
    EXPECT_EQ(questions[n].text, target_ + Numbered("f", i));
    // The first, third ... question was answered yes.
    EXPECT_EQ(ReadTarget(target_ + Numbered("f", i)),
              n % 2 == 0 ? "new " + std::to_string(i) : std::string("old"));
  }
  for (int i = 1; i < 60; i += 5) {
    EXPECT_EQ(ReadTarget(target_ + Numbered("f", i)), "new " + std::to_string(i));
  }
}

TEST_F(UnzipTest, NamesThatFoldAlikeComeOutInTheArchivesOrder) {
  for (int round = 0; round < 5; ++round) {
    SCOPED_TRACE(round);
    const std::string target = folder_.MakeFolder("round" + std::to_string(round));
    TestArchive archive;
    // Side by side, where two threads would take them at once.
    for (int i = 0; i < 40; ++i) archive.Add(Numbered("a/f", i), std::to_string(i));
    archive.Add("Same.txt", "first");
    archive.Add("SAME.TXT", "second");
    archive.Add("Clash", "a file");
    archive.Add("clash/inside.txt", "cannot be: Clash is a file");
    for (int i = 0; i < 40; ++i) archive.Add(Numbered("b/f", i), std::to_string(i));
    UnzipRequest request = Request(WriteArchive(archive));
    request.target = target;
    request.recreate_folders = true;
    driver_.events.clear();
    driver_.answer = [](zipdll::CallbackRecord* record) {
      if (record->action == zipdll::kActionOverwrite) record->value = 1;
      return 0;
    };
    EXPECT_EQ(driver_.Run(request), 83);
    EXPECT_EQ(ReadTarget(target + "same.txt"), "second");
    EXPECT_EQ(ReadTarget(target + "clash"), "a file");
    EXPECT_EQ(driver_.Of(zipdll::kActionOverwrite).size(), 1u);
    EXPECT_EQ(driver_.SkipReasons().size(), 1u);
  }
}

}  // namespace
}  // namespace unzip_test
