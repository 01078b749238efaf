// The layouts other zip tools write, passwords, and the block checks of the entry point.
#include <gmock/gmock.h>

#include "zipdll/common/zip_crypto.h"
#include "zipdll/unzip_test_fixture.h"
#include "zipformat/byte_order.h"
#include "zipformat/zip_records.h"

namespace unzip_test {
namespace {

using testing::ElementsAre;
using testing::HasSubstr;

TEST_F(UnzipTest, ReadsStoredDescriptorAndZip64Entries) {
  TestArchive archive;
  archive.Add("stored.txt", "stored data").method = 0;
  archive.Add("signed.txt", "descriptor with its signature").descriptor =
      TestEntry::Descriptor::kWithSignature;
  archive.Add("unsigned.txt", "descriptor without a signature").descriptor =
      TestEntry::Descriptor::kWithoutSignature;
  archive.Add("wide.txt", Noise(70000)).zip64 = true;
  archive.zip64_end = true;
  archive.prefix = "MZ a self-extractor's program would be here" + Noise(3000);
  archive.suffix = "trailing bytes after the archive";
  archive.comment = "a comment";
  EXPECT_EQ(driver_.Run(Request(WriteArchive(archive))), 4) << driver_.Messages();
  EXPECT_EQ(folder_.Read("out\\stored.txt"), "stored data");
  EXPECT_EQ(folder_.Read("out\\signed.txt"), "descriptor with its signature");
  EXPECT_EQ(folder_.Read("out\\unsigned.txt"), "descriptor without a signature");
  EXPECT_EQ(folder_.Read("out\\wide.txt"), Noise(70000));
}

// A comment may hold the bytes of an end record; one whose own comment would run past the file
// cannot be the archive's, and the real one in front of it is taken.
TEST_F(UnzipTest, PassesOverAnEndRecordInsideTheComment) {
  TestArchive archive;
  archive.Add("real.txt", "the real directory's entry");
  zipformat::EndRecord decoy;
  decoy.comment_length = 1000;
  zipformat::Bytes bytes;
  decoy.Append(&bytes);
  archive.comment = "before " + std::string(bytes.begin(), bytes.end());
  EXPECT_EQ(driver_.Run(Request(WriteArchive(archive))), 1) << driver_.Messages();
  EXPECT_EQ(folder_.Read("out\\real.txt"), "the real directory's entry");
}

TEST_F(UnzipTest, DecodesUtf8AndCodePage437Names) {
  TestArchive archive;
  archive.Add("Andr\xC3\xA9.txt", "bit 11").flags = zipformat::kFlagUtf8;
  // Info-ZIP style: a code page 437 name with the UTF-8 one in a 0x7075 extra field.
  TestEntry& extra = archive.Add("Z\x81rich.txt", "unicode extra");
  const std::string unicode = "Z\xC3\xBCrich-utf8.txt";
  std::string field;
  zipformat::Put16(&field, zipformat::UnicodePathExtra::kId);
  zipformat::Put16(&field, static_cast<uint16_t>(5 + unicode.size()));
  field += '\x01';
  zipformat::Put32(&field, zipdll::Crc32(0, extra.name.data(), extra.name.size()));
  field += unicode;
  extra.extra = field;
  archive.Add("Caf\x82.txt", "MS-DOS");  // 0x82 is e-acute in code page 437
  EXPECT_EQ(driver_.Run(Request(WriteArchive(archive))), 3) << driver_.Messages();
  EXPECT_EQ(folder_.Read("out\\Andr\xC3\xA9.txt"), "bit 11");
  EXPECT_EQ(folder_.Read("out\\Z\xC3\xBCrich-utf8.txt"), "unicode extra");
  EXPECT_EQ(folder_.Read("out\\Caf\xC3\xA9.txt"), "MS-DOS");
  EXPECT_EQ(driver_.Of(zipdll::kActionFileBegun)[2].text, "Caf\xC3\xA9.txt");
}

TEST_F(UnzipTest, AsksForPasswordsAndRemembersTheOneThatFits) {
  TestArchive archive;
  archive.Add("one.txt", "first secret").password = "right";
  TestEntry& second = archive.Add("two.txt", "second secret");
  second.password = "right";
  second.descriptor = TestEntry::Descriptor::kWithSignature;
  archive.Add("plain.txt", "no secret");
  int asked = 0;
  driver_.answer = [&asked](zipdll::CallbackRecord* record) {
    if (record->action == zipdll::kActionPassword) {
      std::snprintf(record->text, sizeof record->text, "%s", ++asked == 1 ? "wrong" : "right");
      record->flag = 1;
    }
    return 0;
  };
  UnzipRequest request = Request(WriteArchive(archive));
  request.password = "not this one either";
  EXPECT_EQ(driver_.Run(request), 3) << driver_.Messages();
  EXPECT_EQ(folder_.Read("out\\one.txt"), "first secret");
  EXPECT_EQ(folder_.Read("out\\two.txt"), "second secret");
  const auto prompts = driver_.Of(zipdll::kActionPassword);
  ASSERT_EQ(prompts.size(), 2u);
  EXPECT_EQ(prompts[0].text, "one.txt");
  EXPECT_EQ(prompts[0].value, 3);
  EXPECT_EQ(prompts[1].value, 2);
}

TEST_F(UnzipTest, SkipsAnEncryptedEntryWithoutAPasswordThatFits) {
  TestArchive archive;
  archive.Add("locked.txt", "secret").password = "right";
  archive.Add("open.txt", "open");
  const std::string path = WriteArchive(archive);

  // Declined at once.
  EXPECT_EQ(driver_.Run(Request(path)), 1);
  EXPECT_EQ(driver_.Of(zipdll::kActionPassword).size(), 1u);
  EXPECT_THAT(driver_.SkipReasons(), ElementsAre(zipdll::kSkipNoPassword));

  // Wrong every time: asked as often as the block allows.
  driver_.events.clear();
  driver_.answer = [](zipdll::CallbackRecord* record) {
    if (record->action == zipdll::kActionPassword) {
      std::snprintf(record->text, sizeof record->text, "guess");
      record->flag = 1;
    }
    return 0;
  };
  UnzipRequest request = Request(path);
  request.password_attempts = 2;
  EXPECT_EQ(driver_.Run(request), 1);
  EXPECT_EQ(driver_.Of(zipdll::kActionPassword).size(), 2u);
  EXPECT_THAT(driver_.SkipReasons(), ElementsAre(zipdll::kSkipNoPassword));
  EXPECT_THAT(Listing(target_), ElementsAre("open.txt"));
}

// Laid out as WinZip writes AES: method 99 in both headers, the real method in a 0x9901 field,
// salt and verifier where the traditional header would be. No password can open it here, so
// none is asked for, nor whether to overwrite, in a test run or an extraction.
TEST_F(UnzipTest, SkipsAesEntriesAsUnreadableWithoutAsking) {
  std::string field;
  zipformat::Put16(&field, zipformat::kExtraAes);
  zipformat::Put16(&field, 7);
  zipformat::Put16(&field, 2);  // AE-2
  field += "AE";
  field += '\x03';  // 256-bit key
  zipformat::Put16(&field, zipformat::kMethodDeflated);
  TestArchive archive;
  TestEntry& aes = archive.Add("aes.txt", Noise(16 + 2 + 40 + 10));
  aes.method = zipformat::kMethodAes;
  aes.flags = zipformat::kFlagEncrypted;
  aes.crc = 0;  // AE-2 leaves it out
  aes.extra = field;
  archive.Add("open.txt", "open");
  const std::string path = WriteArchive(archive);
  folder_.Write("out\\aes.txt", "the user's own");

  for (const bool test_only : {false, true}) {
    SCOPED_TRACE(test_only ? "test" : "extract");
    driver_.events.clear();
    UnzipRequest request = Request(path);
    request.password = "any";
    request.test_only = test_only;
    request.overwrite = false;
    EXPECT_EQ(driver_.Run(request), 1) << driver_.Messages();
    EXPECT_TRUE(driver_.Of(zipdll::kActionPassword).empty());
    EXPECT_TRUE(driver_.Of(zipdll::kActionOverwrite).empty());
    EXPECT_THAT(driver_.SkipReasons(), ElementsAre(zipdll::kSkipBadData));
    EXPECT_THAT(
        driver_.Messages(),
        HasSubstr("Skipped \"aes.txt\": encrypted with AES, which this program cannot read."));
    EXPECT_EQ(folder_.Read("out\\aes.txt"), "the user's own");
  }
  EXPECT_EQ(folder_.Read("out\\open.txt"), "open");
}

TEST_F(UnzipTest, RefusesABlockOfAnotherVersionOrCheckValue) {
  ASSERT_NE(UnzipDriver::Version(), nullptr);
  EXPECT_GE(UnzipDriver::Version()(), 160);

  TestArchive archive;
  archive.Add("a.txt", "a");
  const std::string path = WriteArchive(archive);
  const std::string target = target_;
  auto block = std::make_unique<zipdll::UnzipCommandBlock>();
  block->archive = path.c_str();
  block->target_folder = target.c_str();
  block->overwrite = zipdll::kTrue;
  block->version = 159;
  block->check = zipdll::kStructureCheck;
  EXPECT_EQ(driver_.RunBlock(block.get()), 0);
  EXPECT_THAT(driver_.Actions(), ElementsAre(zipdll::kActionMessage));

  driver_.events.clear();
  block->version = zipdll::kInterfaceVersion;
  block->check = 6;
  EXPECT_EQ(driver_.RunBlock(block.get()), 0);
  EXPECT_THAT(driver_.Actions(), ElementsAre(zipdll::kActionMessage));
  EXPECT_TRUE(Listing(target_).empty());

  // Without a callback it says nothing and still refuses.
  block->callback = nullptr;
  EXPECT_EQ(UnzipDriver::Exec()(block.get()), 0);
  EXPECT_EQ(UnzipDriver::Exec()(nullptr), 0);

  // The same block, made right, works without a callback too.
  block->check = zipdll::kStructureCheck;
  EXPECT_EQ(UnzipDriver::Exec()(block.get()), 1);
  EXPECT_EQ(folder_.Read("out\\a.txt"), "a");
}

}  // namespace
}  // namespace unzip_test
