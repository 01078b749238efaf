// Archives of other zip tools, made by the build (make_foreign): the fuzzers' seeds, each a
// feature another tool offers, and archives kept for one thing in particular. They reach the
// Windows test program through drive Z:, so the Windows libraries read the same files.
#include <gmock/gmock.h>

#include <algorithm>

#include "corpus/corpus.h"
#include "platform/platform.h"
#include "zipdll/common/zip_crypto.h"
#include "zipdll/common/zip_reader.h"
#include "zipformat/zip_records.h"

namespace corpus {
namespace {

using testing::IsEmpty;

const char kMissing[] =
    " is missing: the build makes it with make_foreign, which needs Info-ZIP zip, 7zz, bsdtar and "
    "python3 (scripts/setup all)";

std::string Relative(std::string name, bool folders) {
  if (name.rfind("./", 0) == 0) name.erase(0, 2);  // as bsdtar stores them
  if (!folders) return name.substr(name.rfind('/') + 1);
  std::replace(name.begin(), name.end(), '/', '\\');
  return name;
}

// Each seed lists alike in the shared reader and the component and extracts whole, with its
// folders and without, each file to the size and checksum its entry states; testing it writes
// nothing.
TEST(ForeignArchives, EverySeedListsAndExtractsWhole) {
  const std::vector<std::string> seeds = CorpusFiles("seeds");
  ASSERT_GE(seeds.size(), 10u) << CorpusFolder() << "seeds" << kMissing;
  for (const std::string& name : seeds) {
    SCOPED_TRACE(name);
    std::string bytes;
    ASSERT_TRUE(platform::ReadWholeFile(CorpusFolder() + "seeds\\" + name, &bytes));
    Sandbox sandbox;
    const std::string archive = sandbox.PutArchive(name, bytes);

    zipdll::Directory directory;
    {
      auto file = platform::File::Open(archive, platform::File::Mode::kRead);
      ASSERT_NE(file, nullptr);
      std::string error;
      ASSERT_TRUE(zipdll::ReadDirectory(*file, &directory, &error)) << error;
    }
    std::vector<const zipdll::EntryInfo*> files;
    for (const auto& entry : directory.entries) {
      if (!entry.IsFolder()) files.push_back(&entry);
    }
    ASSERT_FALSE(files.empty());
    const Listing component = ReadWithComponent(archive);
    const auto component_lists_it = [&] {
      EXPECT_TRUE(component.opened && component.names.size() == directory.entries.size())
          << "the component lists " << component.names.size() << " of " << directory.entries.size()
          << " entries: " << component.refused;
    };
    // Among them "zip-stream.zip": Info-ZIP zip, streaming, writes a zip64 end record and locator
    // in front of an end record whose own fields are below their limits.
    component_lists_it();

    for (const bool folders : {false, true}) {
      SCOPED_TRACE(folders ? "folders recreated" : "folders dropped");
      sandbox.ClearTarget();
      Extraction run;
      unzip_test::UnzipRequest request;
      request.recreate_folders = folders;
      Extract(&sandbox, archive, request, &run);
      EXPECT_EQ(run.result, static_cast<int>(files.size())) << run.driver.Messages();
      EXPECT_THAT(run.outside_changes, IsEmpty());
      EXPECT_THAT(run.driver.SkipReasons(), IsEmpty()) << run.driver.Messages();
      for (const zipdll::EntryInfo* entry : files) {
        const auto written = run.written.find(Relative(entry->name, folders));
        ASSERT_NE(written, run.written.end()) << entry->name;
        EXPECT_EQ(written->second.size(), entry->uncompressed_size) << entry->name;
        EXPECT_EQ(zipdll::Crc32(0, written->second.data(), written->second.size()), entry->crc)
            << entry->name;
      }
    }

    sandbox.ClearTarget();
    Extraction tested;
    unzip_test::UnzipRequest request;
    request.test_only = true;
    Extract(&sandbox, archive, request, &tested);
    EXPECT_EQ(tested.result, static_cast<int>(files.size())) << tested.driver.Messages();
    EXPECT_THAT(tested.written, IsEmpty());
    EXPECT_THAT(tested.outside_changes, IsEmpty());
  }
}

// Written by Info-ZIP zip with -P "s3cret pw": deflated, encrypted, with a signed data
// descriptor; so the cipher is checked against another implementation, not only against itself.
TEST(ForeignArchives, InfoZipEncryptedWithADescriptorReadsWithItsPassword) {
  const std::string path = CorpusFolder() + "foreign\\infozip-encrypted-descriptor.zip";
  std::string bytes;
  ASSERT_TRUE(platform::ReadWholeFile(path, &bytes)) << path << kMissing;
  Sandbox sandbox;
  const std::string archive = sandbox.PutArchive("foreign.zip", bytes);
  Extraction run;
  unzip_test::UnzipRequest request;
  request.password = "s3cret pw";
  Extract(&sandbox, archive, request, &run);
  EXPECT_EQ(run.result, 1) << run.driver.Messages();
  EXPECT_THAT(run.outside_changes, IsEmpty());
  ASSERT_EQ(run.written.count("note.txt"), 1u);
  EXPECT_EQ(run.written.at("note.txt"), "Encrypted by another tool, read back by ours.\n");
  // 2024-01-02 15:30:20
  EXPECT_EQ(platform::GetFileAge(sandbox.target() + "note.txt"),
            static_cast<int32_t>(((44u << 9 | 1u << 5 | 2u) << 16) | (15u << 11 | 30u << 5 | 10u)));
  EXPECT_TRUE(run.driver.Of(zipdll::kActionPassword).empty());

  // Without the password the entry is skipped after the one try the callback gives, and the
  // component still lists it as encrypted. The cipher's check is one byte of a header the other
  // tool makes at random each time the corpus is made, so once in 256 the empty password passes
  // it: the data then fails its CRC and the entry is skipped as damaged instead.
  sandbox.ClearTarget();
  Extraction locked;
  Extract(&sandbox, archive, {}, &locked);
  EXPECT_EQ(locked.result, 0);
  EXPECT_THAT(locked.driver.SkipReasons(),
              testing::ElementsAre(testing::AnyOf(zipdll::kSkipNoPassword, zipdll::kSkipBadData)));
  EXPECT_THAT(locked.written, IsEmpty());
  EXPECT_EQ(ReadWithComponent(archive).names, std::vector<std::string>{"note.txt"});
}

}  // namespace
}  // namespace corpus
