// The archive writer and the naming of an add on their own, for what is too slow to reach through
// real files or what no file system here can hold.
#include "zipdll/add/zip_writer.h"

#include <gtest/gtest.h>

#include <memory>

#include "platform/platform.h"
#include "support/temp_folder.h"
#include "zipdll/add/file_specs.h"
#include "zipdll/common/zip_crypto.h"
#include "zipdll/zip_driver.h"
#include "zipformat/byte_order.h"
#include "zipformat/zip_records.h"

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
    zipdll::add::ZipWriter writer(file.get());
    for (size_t i = 0; i < kCount; ++i) {
      zipdll::add::CentralRecord record;
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
  zipformat::Put16(&extra, 0x5455);
  zipformat::Put16(&extra, 5);
  extra +=
      "\x01"
      "abcd";
  std::string with = extra;
  zipformat::Put16(&with, zipformat::Zip64Extra::kId);
  zipformat::Put16(&with, 8);
  zipformat::Put64(&with, 1);
  zipformat::Put16(&with, 0x7075);
  zipformat::Put16(&with, 1);
  with += "z";
  EXPECT_EQ(zipdll::add::WithoutZip64Extra(with), extra + with.substr(with.size() - 5));
  // A field running past the end is dropped with what follows.
  EXPECT_EQ(zipdll::add::WithoutZip64Extra(extra + "\x01\x02\x30\x00"), extra);
}

// A path deep enough to be 70,000 bytes once stored: a Windows long path in UTF-8 can be.
std::string DeepName(const std::string& element, size_t size) {
  std::string name;
  while (name.size() + element.size() + 1 + 5 <= size) name += element + "/";
  return name + std::string(size - name.size() - 4, 'n') + ".cht";
}

// A length the format cannot hold would wrap its 16 bits and leave an archive no tool can read.
TEST(ZipWriter, RefusesRecordsTheFormatCannotHoldAndStaysGood) {
  test_support::TempFolder folder;
  const std::string archive = folder / "long.zip";
  zipdll::add::CentralRecord record;
  record.crc = zipdll::Crc32(0, "x", 1);
  record.compressed_size = record.uncompressed_size = 1;
  {
    std::unique_ptr<platform::File> file =
        platform::File::Open(archive, platform::File::Mode::kCreate);
    ASSERT_TRUE(file);
    zipdll::add::ZipWriter writer(file.get());
    record.name = DeepName("Société des astrologues de Genève", 70000);
    EXPECT_NE(zipdll::add::RecordMisfit(record).find("70000 bytes long"), std::string::npos);
    EXPECT_FALSE(writer.BeginEntry(record));
    EXPECT_TRUE(writer.refused());
    EXPECT_FALSE(writer.BeginStreamedEntry(record));
    EXPECT_TRUE(writer.refused());
    // Extra fields that leave no room for the zip64 field the writer may have to add.
    zipdll::add::CentralRecord extra = record;
    extra.name = "extra.cht";
    zipformat::Put16(&extra.extra, 0x6666);
    zipformat::Put16(&extra.extra, 65510);
    extra.extra.append(65510, 'e');
    EXPECT_FALSE(zipdll::add::RecordMisfit(extra).empty());
    EXPECT_FALSE(writer.BeginEntry(extra));
    EXPECT_TRUE(writer.refused());
    EXPECT_EQ(writer.Position(), 0u);  // nothing of them written

    record.name = "after.cht";
    ASSERT_TRUE(writer.BeginEntry(record) && writer.Write("x", 1));
    EXPECT_FALSE(writer.refused());
    ASSERT_TRUE(writer.Finish(""));
  }
  ArchiveContents contents = ReadArchive(archive);
  ASSERT_TRUE(contents.ok) << contents.error;
  ASSERT_EQ(contents.Names(), std::vector<std::string>{"after.cht"});
  EXPECT_TRUE(contents.members[0].data_ok);

  // The longest name there can be still goes in.
  const std::string edge = folder / "edge.zip";
  record.name = DeepName("x", zipdll::add::kMaxFieldLength);
  EXPECT_TRUE(zipdll::add::RecordMisfit(record).empty());
  {
    std::unique_ptr<platform::File> file =
        platform::File::Open(edge, platform::File::Mode::kCreate);
    ASSERT_TRUE(file);
    zipdll::add::ZipWriter writer(file.get());
    ASSERT_TRUE(writer.BeginEntry(record) && writer.Write("x", 1) && writer.Finish(""));
  }
  contents = ReadArchive(edge);
  ASSERT_TRUE(contents.ok) << contents.error;
  ASSERT_EQ(contents.Names(), std::vector<std::string>{record.name});

  if (!ToolsAvailable()) return;
  std::string out;
  EXPECT_EQ(RunTool("unzip -t " + HostQuoted(archive), &out), 0) << out;
  // unzip cuts names beyond a few kilobytes; Python reads them whole.
  EXPECT_EQ(RunTool("python3 -c 'import sys,zipfile; z=zipfile.ZipFile(sys.argv[1]); "
                    "assert z.testzip() is None; print([len(n) for n in z.namelist()])' " +
                        HostQuoted(edge),
                    &out),
            0)
      << out.substr(0, 2000);
  EXPECT_EQ(out, "[65535]\n");
}

// The names are final only once short names are made: only then is a name too long to store.
TEST(FinishNames, SkipsNamesTooLongToStoreOnceTheyAreFinal) {
  const auto source = [](const std::string& path, const std::string& name) {
    zipdll::add::SourceFile file;
    file.path = path;
    file.name = name;
    return file;
  };
  const std::string deep = DeepName("Société des astrologues de Genève", 70000);
  const std::vector<zipdll::add::SourceFile> planned = {source("C:\\deep\\last.cht", deep),
                                                        source("C:\\a.cht", "a.cht")};
  zipdll::add::SpecOptions options;
  std::vector<zipdll::add::SourceFile> files = planned;
  std::vector<zipdll::add::SkippedItem> skipped;
  zipdll::add::FinishNames(options, &files, &skipped);
  ASSERT_EQ(files.size(), 1u);
  EXPECT_EQ(files[0].name, "a.cht");
  ASSERT_EQ(skipped.size(), 1u);
  EXPECT_EQ(skipped[0].reason, zipdll::kSkipNotStorable);
  EXPECT_EQ(skipped[0].what, "C:\\deep\\last.cht");
  // The reason comes first: the path would push it past what a callback carries.
  EXPECT_EQ(
      skipped[0].message.find("Skipped, as its name in the archive would be 70000 bytes long"), 0u)
      << skipped[0].message.substr(0, 200);

  // In 8.3 names the same folders fit.
  options.force_dos_names = true;
  files = planned;
  skipped.clear();
  zipdll::add::FinishNames(options, &files, &skipped);
  EXPECT_TRUE(skipped.empty());
  ASSERT_EQ(files.size(), 2u);
  EXPECT_LE(files[0].name.size(), zipdll::add::kMaxFieldLength);
  EXPECT_EQ(files[0].name.substr(0, 9), "SOCI_T~1/");
}

}  // namespace
}  // namespace zip_test
