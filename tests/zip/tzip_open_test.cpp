// Opening, creating and listing archives, and their comments.
#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <functional>

#include "platform/platform.h"
#include "zip_test_fixture.h"

namespace zip_test {
namespace {

using ::testing::ElementsAre;

std::vector<std::string> Names(const zip::TZip& zip) {
  std::vector<std::string> names;
  for (const zip::TFileInfo& info : zip.Contents) names.push_back(info.FileName);
  return names;
}

std::string ExceptionText(const std::function<void()>& action) {
  try {
    action();
  } catch (const zip::ZipException& e) {
    return e.what();
  }
  return "(no ZipException)";
}

using OpenTest = ZipTest;

TEST_F(OpenTest, MissingFileBecomesAnEmptyArchive) {
  zip::TZip zip;
  int changes = 0;
  zip.OnContentsChanged = [&](zip::TZip& sender) {
    EXPECT_EQ(&sender, &zip);
    ++changes;
  };
  zip.Password = "old";
  zip.ZipFileName(temp_ / "new.zip");
  EXPECT_EQ(ReadBytes(temp_ / "new.zip"), std::string("PK\x05\x06", 4) + std::string(18, '\0'));
  EXPECT_TRUE(zip.Contents.empty());
  EXPECT_EQ(zip.EndRecord().position, 0);
  EXPECT_EQ(zip.Password, "");
  EXPECT_EQ(changes, 1);

  // An empty name closes the archive and still reports the change.
  zip.ZipFileName("");
  EXPECT_EQ(zip.EndRecord().position, -1);
  EXPECT_EQ(changes, 2);
}

TEST_F(OpenTest, RefusesADriveThatCannotBeReached) {
  zip::TZip zip;
  EXPECT_EQ(ExceptionText([&] { zip.ZipFileName("Q:\\backup.zip"); }),
            "Unable to access the selected drive!");
  EXPECT_EQ(ExceptionText([&] { zip.ZipFileName(temp_ / "no\\such\\folder\\new.zip"); }),
            "Unable to create \n\"" + (temp_ / "no\\such\\folder\\new.zip") + "\"");
}

TEST_F(OpenTest, ListsAnArchiveWithDataInFront) {
  const std::string made = MakeArchive("made.zip", {{"one.txt", "1"}, {"two.txt", "22"}});
  const std::string stub = temp_ / "stub.exe";
  WriteBytes(stub, std::string(3000, 'M') + ReadBytes(made));
  zip::TZip zip;
  zip.ZipFileName(stub);
  EXPECT_THAT(Names(zip), ElementsAre("one.txt", "two.txt"));
  EXPECT_EQ(zip.Contents[1].UncompressedSize(), 2u);

  // The same holds for a hand-made archive, with its stored fields as they were.
  const std::string hand = temp_ / "hand.zip";
  HandLayout layout;
  layout.prefix = "stub";
  WriteBytes(hand, BuildArchive({{"x/y.txt", "xy", 3, 20, "about y"}}, layout));
  zip.ZipFileName(hand);
  ASSERT_EQ(zip.Contents.size(), 1u);
  EXPECT_EQ(zip.Contents[0].FileName, "x\\y.txt");
  EXPECT_EQ(zip.Contents[0].FileComment, "about y");
  EXPECT_FALSE(zip.Contents[0].Encrypted);
  EXPECT_EQ(zip.Contents[0].LocalHeaderOffset(), 0u);
  EXPECT_FALSE(zip.OemNames);
}

TEST_F(OpenTest, FindsTheEndRecordOnlyWithinTheLast64KiB) {
  const std::string name = MakeArchive("long.zip", {{"a.txt", "a"}});
  {
    zip::TZip zip;
    zip.ZipFileName(name);
    zip.ZipComment(std::string(65535 - 22, 'c'));
  }
  zip::TZip zip;
  zip.ZipFileName(name);
  EXPECT_EQ(zip.ZipComment().size(), 65535u - 22);
  EXPECT_THAT(Names(zip), ElementsAre("a.txt"));

  WriteBytes(name, ReadBytes(name) + "c");
  EXPECT_EQ(ExceptionText([&] { zip.ZipFileName(name); }),
            "\"" + name + "\"\nis not a valid Zip file.");
}

TEST_F(OpenTest, ConvertsNamesOfMsDosArchives) {
  const std::string dos = temp_ / "dos.zip";
  // 0x82 and 0x94 are e acute and o umlaut in code page 437.
  WriteBytes(dos, BuildArchive({{"CHARTS/CAF\x82.CHT", "1", 0, 20, "G\x94tz"},
                                {"CHARTS/B\x94HM.CHT", "2", 3, 30, ""}}));
  zip::TZip zip;
  zip.ZipFileName(dos);
  EXPECT_TRUE(zip.OemNames);
  EXPECT_THAT(Names(zip), ElementsAre("CHARTS\\CAF\xC3\xA9.CHT", "CHARTS\\B\xC3\xB6HM.CHT"));
  EXPECT_EQ(zip.Contents[0].FileComment, "G\xC3\xB6tz");

  // A comment written to such an archive is stored in the OEM code page too.
  zip.ZipComment("Caf\xC3\xA9");
  const std::string stored = ReadBytes(dos);
  EXPECT_EQ(stored.substr(stored.size() - 4), "Caf\x82");
  EXPECT_EQ(zip.ZipComment(), "Caf\xC3\xA9");

  // Windows NTFS with zip format version 5.0 is taken as OEM too; a Unix host is not.
  const std::string ntfs = temp_ / "ntfs.zip";
  WriteBytes(ntfs, BuildArchive({{"CAF\x82.CHT", "1", 11, 50, ""}}));
  zip.ZipFileName(ntfs);
  EXPECT_TRUE(zip.OemNames);
  EXPECT_THAT(Names(zip), ElementsAre("CAF\xC3\xA9.CHT"));
  const std::string unix_made = temp_ / "unix.zip";
  WriteBytes(unix_made, BuildArchive({{"caf\xC3\xA9.cht", "1", 3, 30, ""}}));
  zip.ZipFileName(unix_made);
  EXPECT_FALSE(zip.OemNames);
  EXPECT_THAT(Names(zip), ElementsAre("caf\xC3\xA9.cht"));
}

TEST_F(OpenTest, RewritesTheCommentInPlace) {
  const std::string name = MakeArchive("comment.zip", {{"a.txt", "aaa"}});
  const std::string before = ReadBytes(name);
  const std::string comment = "Charts of 7 Dec 2026 \xE2\x80\x94 Caf\xC3\xA9";
  int changes = 0;
  {
    zip::TZip zip;
    zip.ZipFileName(name);
    zip.OnContentsChanged = [&](zip::TZip&) { ++changes; };
    zip.ZipComment(comment);
    EXPECT_EQ(zip.ZipComment(), comment);
  }
  EXPECT_EQ(changes, 1);
  std::string after = ReadBytes(name);
  ASSERT_EQ(after.size(), before.size() + comment.size());
  EXPECT_EQ(after.substr(after.size() - comment.size()), comment);

  zip::TZip zip;
  zip.ZipFileName(name);
  EXPECT_EQ(zip.ZipComment(), comment);
  EXPECT_THAT(Names(zip), ElementsAre("a.txt"));

  // The same comment again leaves the file alone, time included.
  const int32_t old_time = (20 << 25) | (1 << 21) | (1 << 16);
  ASSERT_TRUE(platform::SetFileAge(name, old_time));
  zip.OnContentsChanged = [&](zip::TZip&) { ++changes; };
  zip.ZipComment(comment);
  EXPECT_EQ(platform::GetFileAge(name), old_time);
  EXPECT_EQ(ReadBytes(name), after);
  EXPECT_EQ(changes, 1);

  // A shorter comment cuts the file after it.
  zip.ZipComment("x");
  after = ReadBytes(name);
  ASSERT_EQ(after.size(), before.size() + 1);
  EXPECT_EQ(after.back(), 'x');
  EXPECT_EQ(after[after.size() - 3], 1) << "the comment length";
  EXPECT_EQ(changes, 2);
}

TEST_F(OpenTest, ReadsTheLargerEndRecordOfBigArchives) {
  HandLayout layout;
  layout.zip64 = true;
  const std::vector<HandEntry> entries = {{"a.txt", "alpha"}, {"b/c.txt", "gamma"}};
  const std::string name = temp_ / "big.zip";
  WriteBytes(name, BuildArchive(entries, layout));
  zip::TZip zip;
  zip.ZipFileName(name);
  EXPECT_THAT(Names(zip), ElementsAre("a.txt", "b\\c.txt"));

  // With data in front, the record is found just ahead of its locator.
  layout.prefix = std::string(777, 'S');
  const std::string stub = temp_ / "big_stub.zip";
  WriteBytes(stub, BuildArchive(entries, layout));
  zip.ZipFileName(stub);
  EXPECT_THAT(Names(zip), ElementsAre("a.txt", "b\\c.txt"));

  const std::string out = temp_.MakeFolder("out");
  zip.ShowProgressDialog = false;
  zip.ExtrBaseDir = out;
  zip.ExtrOptions = 0;  // overwrite without asking
  EXPECT_EQ(zip.Extract(), 2);
  EXPECT_EQ(temp_.Read("out\\a.txt"), "alpha");
  EXPECT_EQ(temp_.Read("out\\c.txt"), "gamma");
}

}  // namespace
}  // namespace zip_test
