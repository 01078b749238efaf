// The archive writer on its own, for what is too slow to reach through real files.
#include "zipdll/zip_writer.h"

#include <gtest/gtest.h>

#include <memory>

#include "platform/platform.h"
#include "support/temp_folder.h"
#include "zipdll/zip_driver.h"
#include "zipdll/zip_format.h"

namespace zip_test {
namespace {

TEST(ZipWriter, MoreEntriesThanTheEndRecordCountsGetZip64Records) {
  test_support::TempFolder folder;
  const std::string archive = folder / "many.zip";
  constexpr size_t kCount = 70000;
  {
    std::unique_ptr<platform::File> file =
        platform::File::Open(archive, platform::File::Mode::kCreate);
    ASSERT_TRUE(file);
    zipdll::ZipWriter writer(file.get());
    for (size_t i = 0; i < kCount; ++i) {
      zipdll::CentralRecord record;
      record.name = "d/" + std::to_string(i);
      record.dos_date_time = (44 << 25) | (1 << 21) | (1 << 16);
      record.crc = zipdll::Crc32(0, "x", 1);
      record.compressed_size = record.uncompressed_size = 1;
      ASSERT_TRUE(writer.BeginEntry(record) && writer.Write("x", 1));
    }
    ASSERT_TRUE(writer.Finish("many"));
  }
  const ArchiveContents contents = ReadArchive(archive);
  ASSERT_TRUE(contents.ok) << contents.error;
  ASSERT_EQ(contents.members.size(), kCount);
  EXPECT_EQ(contents.members.back().name, "d/69999");
  EXPECT_TRUE(contents.members.back().data_ok);
  EXPECT_EQ(contents.comment, "many");

  if (!ToolsAvailable()) return;
  std::string out;
  EXPECT_EQ(RunTool("python3 -c 'import sys,zipfile; z=zipfile.ZipFile(sys.argv[1]); "
                    "assert z.testzip() is None; print(len(z.infolist()))' " +
                        HostQuoted(archive),
                    &out),
            0)
      << out;
  EXPECT_EQ(out, "70000\n");
}

TEST(ZipWriter, ExtraFieldsLoseOnlyTheirZip64Part) {
  std::string extra;
  zipdll::Put16(&extra, 0x5455);
  zipdll::Put16(&extra, 5);
  extra +=
      "\x01"
      "abcd";
  std::string with = extra;
  zipdll::Put16(&with, zipdll::kExtraZip64);
  zipdll::Put16(&with, 8);
  zipdll::Put64(&with, 1);
  zipdll::Put16(&with, 0x7075);
  zipdll::Put16(&with, 1);
  with += "z";
  EXPECT_EQ(zipdll::WithoutZip64Extra(with), extra + with.substr(with.size() - 5));
  // A field running past the end is dropped with what follows.
  EXPECT_EQ(zipdll::WithoutZip64Extra(extra + "\x01\x02\x30\x00"), extra);
}

}  // namespace
}  // namespace zip_test
