// The directory reader and format helpers that both libraries share.
#include <gmock/gmock.h>

#include "support/temp_folder.h"
#include "zipdll/common/zip_crypto.h"
#include "zipdll/common/zip_reader.h"
#include "zipdll/unzip_test_archive.h"
#include "zipformat/byte_order.h"
#include "zipformat/zip_records.h"

namespace unzip_test {
namespace {

class ZipReaderTest : public testing::Test {
 protected:
  bool Read(const std::string& bytes, zipdll::Directory* directory) {
    file_.reset();  // Windows will not replace a file that is open
    const std::string path = folder_.Write("archive.zip", bytes);
    file_ = platform::File::Open(path, platform::File::Mode::kRead);
    EXPECT_NE(file_, nullptr);
    error_.clear();
    return file_ && zipdll::ReadDirectory(*file_, directory, &error_);
  }
  test_support::TempFolder folder_;
  std::unique_ptr<platform::File> file_;
  std::string error_;
};

TEST(ZipFormatTest, LittleEndianFieldsAndCrc) {
  std::string out;
  zipformat::Put16(&out, 0x1234);
  zipformat::Put32(&out, 0x89ABCDEF);
  zipformat::Put64(&out, 0x0102030405060708ull);
  EXPECT_EQ(out, std::string("\x34\x12\xEF\xCD\xAB\x89\x08\x07\x06\x05\x04\x03\x02\x01", 14));
  const auto* bytes = reinterpret_cast<const uint8_t*>(out.data());
  EXPECT_EQ(zipformat::Get16(bytes), 0x1234);
  EXPECT_EQ(zipformat::Get32(bytes + 2), 0x89ABCDEFu);
  EXPECT_EQ(zipformat::Get64(bytes + 6), 0x0102030405060708ull);
  EXPECT_EQ(zipdll::Crc32(0, "123456789", 9), 0xCBF43926u);
  EXPECT_EQ(zipdll::Crc32(zipdll::Crc32(0, "1234", 4), "56789", 5), 0xCBF43926u);
}

TEST(ZipFormatTest, CipherRoundTripsAndDependsOnThePassword) {
  std::string text = "chart data chart data";
  std::string sealed = text;
  zipdll::TraditionalCipher(std::string_view("pw"))
      .Encrypt(reinterpret_cast<uint8_t*>(sealed.data()), sealed.size());
  EXPECT_NE(sealed, text);
  std::string opened = sealed;
  zipdll::TraditionalCipher(std::string_view("pw"))
      .Decrypt(reinterpret_cast<uint8_t*>(opened.data()), opened.size());
  EXPECT_EQ(opened, text);
  std::string wrong = sealed;
  zipdll::TraditionalCipher(std::string_view("pW"))
      .Decrypt(reinterpret_cast<uint8_t*>(wrong.data()), wrong.size());
  EXPECT_NE(wrong, text);
}

TEST_F(ZipReaderTest, FindsTheArchiveBehindOtherDataAndBeforeAComment) {
  TestArchive archive;
  archive.Add("a.txt", "aaaa");
  archive.Add("Folder/", "").method = 0;
  archive.prefix = std::string(1234, 'P');
  archive.comment = std::string(60000, 'c');
  zipdll::Directory directory;
  ASSERT_TRUE(Read(archive.Bytes(), &directory)) << error_;
  EXPECT_EQ(directory.archive_start, 1234u);
  EXPECT_EQ(directory.comment, archive.comment);
  EXPECT_FALSE(directory.zip64);
  ASSERT_EQ(directory.entries.size(), 2u);
  EXPECT_EQ(directory.entries[0].local_header_offset, 1234u);
  EXPECT_EQ(directory.entries[0].uncompressed_size, 4u);
  EXPECT_FALSE(directory.entries[0].IsFolder());
  EXPECT_TRUE(directory.entries[1].IsFolder());
  uint64_t offset = 0;
  ASSERT_TRUE(zipdll::EntryDataOffset(*file_, directory, directory.entries[0], &offset, &error_));
  EXPECT_EQ(offset, 1234u + 30 + 5);
}

TEST_F(ZipReaderTest, TakesSizesAndOffsetsFromZip64Records) {
  TestArchive archive;
  archive.Add("x.bin", "0123456789").zip64 = true;
  archive.Add("y.bin", "abc").zip64 = true;
  archive.zip64_end = true;
  archive.prefix = "stub";
  zipdll::Directory directory;
  ASSERT_TRUE(Read(archive.Bytes(), &directory)) << error_;
  EXPECT_TRUE(directory.zip64);
  EXPECT_EQ(directory.archive_start, 4u);
  ASSERT_EQ(directory.entries.size(), 2u);
  EXPECT_EQ(directory.entries[1].uncompressed_size, 3u);
  EXPECT_GT(directory.entries[1].local_header_offset, directory.entries[0].local_header_offset);
}

TEST_F(ZipReaderTest, NamesAreUtf8ByFlagByExtraOrFromCodePage437) {
  TestArchive archive;
  archive.Add("\xC3\xA9t\xC3\xA9", "").flags = zipformat::kFlagUtf8;
  archive.Add("\x82t\x82", "");  // MS-DOS host, code page 437
  TestEntry& stale = archive.Add("\x81.txt", "");
  // A Unicode extra field for a different stored name is ignored.
  zipformat::Put16(&stale.extra, zipformat::UnicodePathExtra::kId);
  zipformat::Put16(&stale.extra, 5 + 5);
  stale.extra += '\x01';
  zipformat::Put32(&stale.extra, 0xDEADBEEF);
  stale.extra += "wrong";
  zipdll::Directory directory;
  ASSERT_TRUE(Read(archive.Bytes(), &directory)) << error_;
  ASSERT_EQ(directory.entries.size(), 3u);
  EXPECT_EQ(directory.entries[0].name, "\xC3\xA9t\xC3\xA9");
  EXPECT_EQ(directory.entries[1].name, "\xC3\xA9t\xC3\xA9");
  EXPECT_EQ(directory.entries[2].name, "\xC3\xBC.txt");
}

}  // namespace
}  // namespace unzip_test
