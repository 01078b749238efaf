// Archives on removable disks labelled as disks of a set: the prompts for the last disk and for a
// given disk. The drive map of the Linux platform layer provides the removable drive.
#include <gtest/gtest.h>

#include <optional>

#include "platform/platform.h"
#include "support/extra_drives.h"
#include "zip_test_fixture.h"

namespace zip_test {
namespace {

const char kLastDisk1[] =
    "This is [ Disk 1 ] of a multiple disk Zip file.\nInsert the last disk of the Zip file "
    "before pressing [ OK ] to continue ...";

class DiskTest : public ZipTest {
 protected:
  // Puts a disk with this label into drive A: (the files on it stay).
  void InsertDisk(const std::string& label) {
    ASSERT_FALSE(drives_.Set({'A', platform::kDriveRemovable, label}).empty()) << drives_.error();
  }

  test_support::ExtraDrives drives_;
};

TEST_F(DiskTest, AsksForTheLastDiskWhenThereIsNoEndRecord) {
  InsertDisk("PKBACK# 001");
  WriteBytes("A:\\backup.zip", std::string(500, 'd'));
  EXPECT_EQ(zip::TZip::DiskLabelNumber("A:\\backup.zip"), 1);
  zip::TZip zip;
  bool changed = false;
  zip.OnContentsChanged = [&](zip::TZip&) { changed = true; };
  toolkit_.message_answers = {ui::kIdOk, ui::kIdCancel};
  zip.ZipFileName("A:\\backup.zip");
  ASSERT_EQ(toolkit_.messages.size(), 2u) << "OK looks again, Cancel gives up";
  EXPECT_EQ(toolkit_.messages[0].text, kLastDisk1);
  EXPECT_EQ(toolkit_.messages[0].caption, toolkit_.title);
  EXPECT_EQ(toolkit_.messages[0].flags, ui::kMbOkCancel | ui::kMbIconInformation);
  EXPECT_EQ(toolkit_.messages[1].text, kLastDisk1);
  EXPECT_TRUE(zip.Contents.empty());
  EXPECT_TRUE(changed);
}

TEST_F(DiskTest, OnlyPkbackLabelsOnRemovableDrivesCount) {
  InsertDisk("BACKUP 001");
  WriteBytes("A:\\backup.zip", std::string(500, 'd'));
  EXPECT_EQ(zip::TZip::DiskLabelNumber("A:\\backup.zip"), 0);
  zip::TZip zip;
  EXPECT_THROW(zip.ZipFileName("A:\\backup.zip"), zip::ZipException);
  EXPECT_TRUE(toolkit_.messages.empty());

  InsertDisk("PKBACK# x12");
  EXPECT_EQ(zip::TZip::DiskLabelNumber("A:\\backup.zip"), 0);
  InsertDisk("PKBACK# 012");
  EXPECT_EQ(zip::TZip::DiskLabelNumber("A:\\backup.zip"), 12);
  EXPECT_EQ(zip::TZip::DiskLabelNumber("A:\\missing.zip"), 0);
  // The same label on a fixed drive is no disk of a set.
  const std::string fixed = temp_.Write("backup.zip", "d");
  EXPECT_EQ(zip::TZip::DiskLabelNumber(fixed), 0);
}

TEST_F(DiskTest, AsksForTheDiskWhereTheDirectoryStarts) {
  // The last disk (disk 2 of the set) says the directory starts on the first.
  InsertDisk("PKBACK# 002");
  HandLayout layout;
  layout.this_disk = 1;
  layout.directory_disk = 0;
  WriteBytes("A:\\backup.zip", BuildArchive({{"a.txt", "a"}}, layout));
  zip::TZip zip;
  toolkit_.message_answers = {ui::kIdOk, ui::kIdCancel};
  zip.ZipFileName("A:\\backup.zip");
  ASSERT_EQ(toolkit_.messages.size(), 2u) << "the wrong disk asks again";
  for (const auto& message : toolkit_.messages) {
    EXPECT_EQ(message.text,
              "Insert [ Disk 1 ] of the Zip file into the floppy drive\nbefore pressing [ OK ] to "
              "continue ...");
    EXPECT_EQ(message.flags, ui::kMbOkCancel | ui::kMbIconInformation);
  }
  EXPECT_TRUE(zip.Contents.empty());
  EXPECT_TRUE(zip.MultipleDisk());

  // Neither adding nor extracting works on one disk of a set.
  zip.FileSpecs = {temp_.Write("x.txt", "x")};
  EXPECT_EQ(zip.Add(), 0);
  EXPECT_EQ(toolkit_.messages.back().text,
            "Cannot Add, Delete or Extract from a multiple disk Zip file...\nMerge this Zip file "
            "onto the hard disk before retrying.");
}

}  // namespace
}  // namespace zip_test
