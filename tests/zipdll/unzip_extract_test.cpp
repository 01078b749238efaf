// Extracting through the library's C interface: the callbacks, every switch of the block, and
// the formats other zip tools write.
#include <gmock/gmock.h>

#include "zipdll/unzip_test_fixture.h"

namespace unzip_test {
namespace {

using testing::ElementsAre;
using zipdll::Slot;

Slot Sum(const std::vector<CallbackEvent>& events, size_t from, size_t to) {
  Slot sum = 0;
  for (size_t i = from; i < to; ++i) {
    if (events[i].action == zipdll::kActionProgress) sum += events[i].value;
  }
  return sum;
}

TEST_F(UnzipTest, ReportsBatchThenEachFileWithProgressThenTheEnd) {
  TestArchive archive;
  const std::string big = Noise(200 * 1024);
  archive.Add("Charts/", "").method = 0;
  archive.Add("Charts/big.bin", big);
  archive.Add("small.txt", "hello");
  archive.Add("empty.txt", "");
  EXPECT_EQ(driver_.Run(Request(WriteArchive(archive))), 3);

  const auto& events = driver_.events;
  ASSERT_GE(events.size(), 9u);
  EXPECT_EQ(events[0].action, zipdll::kActionBatchFiles);
  EXPECT_EQ(events[0].value, 3);
  EXPECT_EQ(events[1].action, zipdll::kActionBatchBytes);
  EXPECT_EQ(events[1].value, static_cast<Slot>(big.size() + 5));
  EXPECT_EQ(events.back().action, zipdll::kActionEndOfBatch);

  // Each file: begun with its name and size, then progress adding up to exactly its size.
  std::vector<size_t> begun;
  for (size_t i = 0; i < events.size(); ++i) {
    if (events[i].action == zipdll::kActionFileBegun) begun.push_back(i);
  }
  ASSERT_EQ(begun.size(), 3u);
  begun.push_back(events.size() - 1);
  EXPECT_EQ(events[begun[0]].text, "Charts/big.bin");
  EXPECT_EQ(events[begun[0]].value, static_cast<Slot>(big.size()));
  EXPECT_EQ(events[begun[1]].text, "small.txt");
  EXPECT_EQ(events[begun[2]].text, "empty.txt");
  EXPECT_EQ(Sum(events, begun[0], begun[1]), static_cast<Slot>(big.size()));
  EXPECT_EQ(Sum(events, begun[1], begun[2]), 5);
  EXPECT_EQ(Sum(events, begun[2], begun[3]), 0);
  for (size_t f = 0; f < 3; ++f) {
    EXPECT_EQ(events[begun[f] + 1].action, zipdll::kActionProgress) << "file " << f;
  }
  // At least every 64 KiB within a file.
  for (size_t i = begun[0] + 1; i < begun[1]; ++i) {
    EXPECT_EQ(events[i].action, zipdll::kActionProgress);
    EXPECT_LE(events[i].value, 2 * 64 * 1024);
  }
  EXPECT_GE(begun[1] - begun[0] - 1, 3u);

  EXPECT_EQ(folder_.Read("out\\big.bin"), big);
  EXPECT_EQ(folder_.Read("out\\small.txt"), "hello");
  EXPECT_THAT(Listing(target_), ElementsAre("big.bin", "empty.txt", "small.txt"));
}

TEST_F(UnzipTest, SetsTheEntryTimeOnTheWrittenFile) {
  TestArchive archive;
  TestEntry& entry = archive.Add("dated.txt", "x");
  entry.dos_date = (2019 - 1980) << 9 | 7 << 5 | 14;
  entry.dos_time = 9 << 11 | 41 << 5 | 12;
  EXPECT_EQ(driver_.Run(Request(WriteArchive(archive))), 1);
  EXPECT_EQ(platform::GetFileAge(target_ + "dated.txt"), DosAge(entry));
}

TEST_F(UnzipTest, DropsOrRecreatesStoredFolders) {
  TestArchive archive;
  archive.Add("Charts/Smith.cht", "smith");
  archive.Add("Charts/Sub/Jones.cht", "jones");
  archive.Add("Empty/", "").method = 0;
  archive.Add("./", "").method = 0;  // the target itself, as some tools store it
  const std::string path = WriteArchive(archive);

  EXPECT_EQ(driver_.Run(Request(path)), 2);
  EXPECT_THAT(Listing(target_), ElementsAre("Jones.cht", "Smith.cht"));

  test_support::TempFolder other;
  UnzipRequest request = Request(path);
  request.target = other.path();
  request.recreate_folders = true;
  EXPECT_EQ(driver_.Run(request), 2);
  EXPECT_EQ(other.Read("Charts\\Smith.cht"), "smith");
  EXPECT_EQ(other.Read("Charts\\Sub\\Jones.cht"), "jones");
  EXPECT_NE(platform::GetFileAttributes(other / "Empty") & platform::kAttrDirectory, 0u);
  EXPECT_TRUE(driver_.Of(zipdll::kActionSkipped).empty()) << driver_.Messages();
}

TEST_F(UnzipTest, SpecsMatchTheFileNameWithoutRegardToCase) {
  TestArchive archive;
  archive.Add("Charts/SMITH.CHT", "smith");
  archive.Add("Charts/notes.txt", "notes");
  archive.Add("Other/jones.Cht", "jones");
  UnzipRequest request = Request(WriteArchive(archive));
  request.specs = {"*.cht", "missing.dat"};
  EXPECT_EQ(driver_.Run(request), 2);
  EXPECT_THAT(Listing(target_), ElementsAre("SMITH.CHT", "jones.Cht"));
  EXPECT_EQ(driver_.Of(zipdll::kActionBatchFiles).at(0).value, 2);
  ASSERT_EQ(driver_.Of(zipdll::kActionSkipped).size(), 1u);
  EXPECT_EQ(driver_.Of(zipdll::kActionSkipped)[0].text, "missing.dat");
  EXPECT_EQ(driver_.Of(zipdll::kActionSkipped)[0].value, zipdll::kSkipNotFound);

  // A file file_spec with a folder is matched against the whole stored name.
  driver_.events.clear();
  test_support::TempFolder other;
  request.target = other.path();
  request.specs = {"other\\*"};
  EXPECT_EQ(driver_.Run(request), 1);
  EXPECT_THAT(Listing(other.path()), ElementsAre("jones.Cht"));
}

// Three targets: one older than its entry, one newer, one missing.
class UnzipAgeTest : public UnzipTest {
 protected:
  void SetUp() override {
    archive_.Add("older.txt", "new contents");
    archive_.Add("newer.txt", "new contents");
    archive_.Add("missing.txt", "new contents");
    const int32_t entry_age = DosAge(archive_.entries[0]);
    path_ = WriteArchive(archive_);
    folder_.Write("out\\older.txt", "old");
    folder_.Write("out\\newer.txt", "old");
    // A year earlier and a year later: the year sits in the top seven bits.
    constexpr int32_t kYear = 1 << 25;
    ASSERT_TRUE(platform::SetFileAge(target_ + "older.txt", entry_age - kYear));
    ASSERT_TRUE(platform::SetFileAge(target_ + "newer.txt", entry_age + kYear));
  }
  TestArchive archive_;
  std::string path_;
};

TEST_F(UnzipAgeTest, UpdateReplacesOlderFilesAndAddsMissingOnes) {
  UnzipRequest request = Request(path_);
  request.update = true;
  request.overwrite = false;
  driver_.answer = [](zipdll::CallbackRecord* record) {
    if (record->action == zipdll::kActionOverwrite) record->value = record->flag & 1;
    return 0;
  };
  EXPECT_EQ(driver_.Run(request), 2);
  EXPECT_EQ(folder_.Read("out\\older.txt"), "new contents");
  EXPECT_EQ(folder_.Read("out\\newer.txt"), "old");
  EXPECT_EQ(folder_.Read("out\\missing.txt"), "new contents");
  ASSERT_EQ(driver_.Of(zipdll::kActionOverwrite).size(), 1u);
  EXPECT_EQ(driver_.Of(zipdll::kActionOverwrite)[0].text, target_ + "older.txt");
  EXPECT_EQ(driver_.Of(zipdll::kActionOverwrite)[0].flag & 1, 1);
  EXPECT_THAT(driver_.SkipReasons(), ElementsAre(zipdll::kSkipNotNewer));
}

TEST_F(UnzipAgeTest, FreshenOnlyReplacesOlderFiles) {
  UnzipRequest request = Request(path_);
  request.freshen = true;
  request.overwrite = false;
  EXPECT_EQ(driver_.Run(request), 1);
  EXPECT_EQ(folder_.Read("out\\older.txt"), "new contents");
  EXPECT_EQ(folder_.Read("out\\newer.txt"), "old");
  EXPECT_THAT(Listing(target_), ElementsAre("newer.txt", "older.txt"));
  EXPECT_THAT(driver_.SkipReasons(), ElementsAre(zipdll::kSkipNotNewer, zipdll::kSkipNotNewer));
}

TEST_F(UnzipAgeTest, OverwriteFollowsTheAnswerToEachExistingFile) {
  driver_.answer = [](zipdll::CallbackRecord* record) {
    if (record->action == zipdll::kActionOverwrite) {
      // Keep the newer file, replace the older one.
      record->value = std::string(record->text).find("newer") == std::string::npos ? 1 : 0;
    }
    return 0;
  };
  EXPECT_EQ(driver_.Run(Request(path_)), 2);
  EXPECT_EQ(folder_.Read("out\\older.txt"), "new contents");
  EXPECT_EQ(folder_.Read("out\\newer.txt"), "old");
  const auto asked = driver_.Of(zipdll::kActionOverwrite);
  ASSERT_EQ(asked.size(), 2u);
  EXPECT_EQ(asked[0].flag & 1, 1);  // older
  EXPECT_EQ(asked[1].flag & 1, 0);  // newer
  EXPECT_THAT(driver_.SkipReasons(), ElementsAre(zipdll::kSkipUserDeclined));
}

TEST_F(UnzipTest, TestOnlyChecksEveryEntryAndWritesNothing) {
  TestArchive archive;
  archive.Add("good.txt", "good");
  archive.Add("bad.txt", "bad").crc = 0x12345678;
  archive.Add("stored.txt", "stored").method = 0;
  UnzipRequest request = Request(WriteArchive(archive));
  request.test_only = true;
  EXPECT_EQ(driver_.Run(request), 2);
  EXPECT_TRUE(Listing(target_).empty());
  EXPECT_THAT(driver_.SkipReasons(), ElementsAre(zipdll::kSkipBadData));
  EXPECT_THAT(driver_.Messages(), testing::HasSubstr("bad.txt"));
  EXPECT_TRUE(driver_.Of(zipdll::kActionCrcError).empty());
}

// Enough entries that a test reads them ahead on a worker: the damaged ones are still reported,
// each once and in the archive's order, among the others begun in that order.
TEST_F(UnzipTest, ATestOfManyEntriesReportsEachDamagedOneInTurn) {
  TestArchive archive;
  std::vector<std::string> names;
  for (int i = 0; i < 40; ++i) {
    names.push_back("f" + std::to_string(i) + ".txt");
    TestEntry& entry = archive.Add(names.back(), std::string(100 + i * 37, 'a' + i % 26));
    if (i % 3 == 0) entry.method = 0;
    if (i == 5 || i == 21 || i == 39) entry.crc = 0x12345678;
  }
  UnzipRequest request = Request(WriteArchive(archive));
  request.test_only = true;
  EXPECT_EQ(driver_.Run(request), 37);
  EXPECT_TRUE(Listing(target_).empty());
  std::vector<std::string> begun;
  for (const auto& event : driver_.Of(zipdll::kActionFileBegun)) begun.push_back(event.text);
  EXPECT_THAT(begun, testing::ElementsAreArray(names));
  EXPECT_THAT(driver_.SkipReasons(),
              ElementsAre(zipdll::kSkipBadData, zipdll::kSkipBadData, zipdll::kSkipBadData));
  const std::string messages = driver_.Messages();
  const size_t f5 = messages.find("f5.txt"), f21 = messages.find("f21.txt"),
               f39 = messages.find("f39.txt");
  ASSERT_NE(f39, std::string::npos) << messages;
  EXPECT_LT(f5, f21);
  EXPECT_LT(f21, f39);
}

TEST_F(UnzipTest, CrcErrorAnswerKeepsOrDropsTheFile) {
  TestArchive archive;
  archive.Add("bad.txt", "damaged data").crc = 0x12345678;
  const std::string path = WriteArchive(archive);
  folder_.Write("out\\bad.txt", "what was there");

  driver_.answer = [](zipdll::CallbackRecord* record) {
    if (record->action == zipdll::kActionCrcError) record->flag = 0;
    return 0;
  };
  EXPECT_EQ(driver_.Run(Request(path)), 0);
  EXPECT_EQ(folder_.Read("out\\bad.txt"), "what was there");
  ASSERT_EQ(driver_.Of(zipdll::kActionCrcError).size(), 1u);
  EXPECT_EQ(driver_.Of(zipdll::kActionCrcError)[0].text, "bad.txt");
  EXPECT_THAT(driver_.SkipReasons(), ElementsAre(zipdll::kSkipBadData));
  EXPECT_THAT(Listing(target_), ElementsAre("bad.txt"));  // no work file left behind

  driver_.answer = [](zipdll::CallbackRecord* record) {
    if (record->action == zipdll::kActionCrcError) record->flag = 1;
    return 0;
  };
  EXPECT_EQ(driver_.Run(Request(path)), 1);
  EXPECT_EQ(folder_.Read("out\\bad.txt"), "damaged data");
}

// A new file is written under its own name: one that fails on the way is not left there half
// written, and the files after it are still written.
TEST_F(UnzipTest, NewFileThatFailsIsNotLeftUnderItsName) {
  TestArchive archive;
  archive.Add("bad.txt", "damaged data").crc = 0x12345678;
  archive.Add("good.txt", "fine");
  const std::string path = WriteArchive(archive);
  driver_.answer = [](zipdll::CallbackRecord* record) {
    if (record->action == zipdll::kActionCrcError) record->flag = 0;
    return 0;
  };
  EXPECT_EQ(driver_.Run(Request(path)), 1);
  EXPECT_THAT(Listing(target_), ElementsAre("good.txt"));
  EXPECT_EQ(folder_.Read("out\\good.txt"), "fine");
}

TEST_F(UnzipTest, EmptyAndMissingArchives) {
  TestArchive empty;
  empty.comment = "nothing here";
  EXPECT_EQ(driver_.Run(Request(WriteArchive(empty))), 0);
  EXPECT_THAT(driver_.Actions(), ElementsAre(zipdll::kActionBatchFiles, zipdll::kActionBatchBytes,
                                             zipdll::kActionEndOfBatch));

  driver_.events.clear();
  EXPECT_EQ(driver_.Run(Request(folder_ / "absent.zip")), 0);
  EXPECT_THAT(driver_.Actions(), ElementsAre(zipdll::kActionMessage));
  EXPECT_THAT(driver_.Messages(), testing::HasSubstr("absent.zip"));

  driver_.events.clear();
  EXPECT_EQ(driver_.Run(Request(folder_.Write("text.zip", "just some text, no archive"))), 0);
  EXPECT_THAT(driver_.Actions(), ElementsAre(zipdll::kActionMessage));
}

}  // namespace
}  // namespace unzip_test
