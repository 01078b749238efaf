// The malformed and hostile archives of the corpus, one line each: its name, how it is made, and
// what must happen to it. Each is written under its name into the corpus folder and then goes
// through the extracting library (in a sandbox: nothing may change outside the target, and the
// user's files stay unless the archive holds a good copy), the archive component's reader and
// the shared directory reader.
#include <gmock/gmock.h>

#include <cstdio>
#include <map>

#include "corpus/corpus.h"
#include "platform/platform.h"
#include "zipdll/unzip_test_archive.h"
#include "zipformat/byte_order.h"
#include "zipformat/zip_records.h"
#if !defined(_WIN32)
#include "support/host_process.h"
#endif

namespace corpus {
namespace {

using testing::ElementsAreArray;
using testing::HasSubstr;
using unzip_test::TestArchive;
using unzip_test::TestEntry;
using zipdll::kSkipBadData;
using zipdll::kSkipUnsafeName;
using zipdll::Slot;

const char kUsers[] = "the user's file";

struct Outcome {
  int extracted = 0;                          // what the library returns: files written
  std::map<std::string, std::string> target;  // every file in the target afterwards
  std::map<std::string, std::string> target_with_folders;  // the same with folders, if not alike
  std::vector<Slot> skipped;                               // reasons, in order
  // What differs when folders are recreated, if anything.
  std::optional<int> extracted_with_folders;
  std::optional<std::vector<Slot>> skipped_with_folders;
  std::string message;  // a text the library's messages hold
  // The archive component: the names it lists, or the text it refuses the archive with ("%s"
  // stands for the archive's path).
  std::vector<std::string> listed;
  std::string refused;
  std::string reader_refused;  // a text of the shared reader's error; empty: it lists the archive
};

struct Case {
  const char* name;
  const char* how;
  std::string (*make)();
  std::vector<std::string> user_files;  // in the target before the run, holding kUsers
  Outcome outcome;
  // Tested rather than extracted: every entry read, nothing written (an archive of very many
  // files, which would take minutes to write under Wine).
  bool test_only = false;
};

// Data deflate cannot shrink much, so that sizes stay large.
std::string Noise(size_t size) {
  std::string data(size, '\0');
  uint32_t seed = 1;
  for (char& c : data) {
    seed = seed * 1103515245 + 12345;
    c = static_cast<char>(seed >> 16);
  }
  return data;
}

std::string Lying(std::optional<uint32_t> TestEntry::*field, uint32_t value, uint16_t method,
                  const std::string& data) {
  TestArchive archive;
  TestEntry& entry = archive.Add("lying.bin", data);
  entry.method = method;
  entry.*field = value;
  archive.Add("after.txt", "the next entry");
  return archive.Bytes();
}

std::string InflatesPastItsSize() {
  return Lying(&TestEntry::uncompressed_size, 1000, 8, Noise(100000) + std::string(100000, 'z'));
}
std::string InflatesShortOfItsSize() {
  return Lying(&TestEntry::uncompressed_size, 300000, 8, Noise(100000) + std::string(100000, 'z'));
}
std::string StoredSizesDisagree() { return Lying(&TestEntry::uncompressed_size, 3, 0, "stored"); }
std::string DataPastTheArchive() { return Lying(&TestEntry::compressed_size, 0x7FFFFFF0, 8, "x"); }

std::string OverlappingEntries() {
  TestArchive archive;
  archive.Add("first.txt", "first data");
  archive.Add("second.txt", "second data").offset = 0;           // the first entry's header again
  archive.Add("third.txt", "third data").compressed_size = 200;  // runs over the fourth entry
  archive.Add("fourth.txt", "fourth data");
  return archive.Bytes();
}

// An end record that claims far more entries, and a bigger directory, than the file holds.
std::string GreedyEndRecord() {
  std::string record;
  zipformat::Put32(&record, zipformat::EndRecord::kSignature);
  zipformat::Put32(&record, 0);
  zipformat::Put16(&record, 0xFFFE);
  zipformat::Put16(&record, 0xFFFE);
  zipformat::Put32(&record, 0x7FFFFFFF);
  zipformat::Put32(&record, 0);
  zipformat::Put16(&record, 0);
  return record;
}
std::string GreedyEndRecordBehindNoise() { return Noise(1000) + GreedyEndRecord(); }

// Names that climb out of the target into the sandbox around it, one and two levels up.
std::string ClimbsOutOfTheTarget() {
  TestArchive archive;
  archive.Add("../evil.txt", "one level up");
  archive.Add("Sub/../../../evil.txt", "two levels up");
  archive.Add("..\\..\\in.zip", "over the archive");
  archive.Add("Sub/good.txt", "good");
  return archive.Bytes();
}

std::string NotAnArchive() { return "These are not the bytes of an archive."; }
std::string JustPK() { return "PK"; }

TestArchive OneEntry() {
  TestArchive archive;
  archive.Add("a.txt", "a");
  return archive;
}

// Disk numbers no real set of disks reaches.
std::string Disk1001() {
  std::string bytes = OneEntry().Bytes();
  bytes[bytes.size() - 22 + 4] = static_cast<char>(1001 & 0xFF);
  bytes[bytes.size() - 22 + 5] = static_cast<char>(1001 >> 8);
  return bytes;
}

std::string DirectoryLargerThanTheFile() {
  std::string bytes = OneEntry().Bytes();
  bytes[bytes.size() - 10] = '\x7F';  // the high byte of the directory's size
  return bytes;
}

std::string LocalHeaderPastTheDirectory() {
  TestArchive archive = OneEntry();
  archive.entries[0].offset = 5000;
  return archive.Bytes();
}

// The second central header's signature spoiled: the directory is not where the record says.
std::string BrokenCentralHeader() {
  TestArchive archive;
  archive.Add("a.txt", "a");
  archive.Add("b.txt", "b");
  std::string bytes = archive.Bytes();
  const size_t directory = static_cast<uint8_t>(bytes[bytes.size() - 6]) |
                           static_cast<uint8_t>(bytes[bytes.size() - 5]) << 8;
  bytes[directory + 46 + 5 + 1] = 'X';
  return bytes;
}

// The end record is looked for in the last 64 KiB only: a comment of the longest length fits,
// one byte more behind it does not.
std::string CommentOfTheLongestLength() {
  TestArchive archive = OneEntry();
  archive.comment = std::string(65535 - 22, 'c');
  return archive.Bytes();
}
std::string EndRecordBeyond64KiB() { return CommentOfTheLongestLength() + "c"; }

// Four names of 32,700 one-letter folders each, as long as a name can be: no drive makes them,
// and what a run spends on them must grow with their length, not their length times their depth.
constexpr int kDeepFolders = 32700;
std::string DeepName(int k, char slash) {
  std::string name;
  for (int i = 0; i < kDeepFolders; ++i) name += {static_cast<char>('a' + k), slash};
  return name + "deep" + std::to_string(k) + ".cht";
}
std::string DeepNames() {
  TestArchive archive;
  for (int k = 0; k < 4; ++k) archive.Add(DeepName(k, '/'), "deep").method = 0;
  archive.Add("after.txt", "after");
  return archive.Bytes();
}
std::vector<std::string> DeepListing() {
  std::vector<std::string> names;
  for (int k = 0; k < 4; ++k) names.push_back(DeepName(k, '\\'));
  names.push_back("after.txt");
  return names;
}

// More entries than the 16-bit count of the end record holds, without a zip64 record: it holds
// the count modulo 65536, as older writers leave it.
constexpr int kManyEntries = 70000;
std::string Numbered(int i) {
  char name[16];
  std::snprintf(name, sizeof name, "f%05d.txt", i);
  return name;
}
std::string WrappedCount() {
  TestArchive archive;
  for (int i = 0; i < kManyEntries; ++i) archive.Add(Numbered(i), "").method = 0;
  return archive.Bytes();
}
std::vector<std::string> ManyNames() {
  std::vector<std::string> names;
  for (int i = 0; i < kManyEntries; ++i) names.push_back(Numbered(i));
  return names;
}

// Three headers where the end record counts two: no wrapping of the count explains that.
std::string CountShortOfTheHeaders() {
  TestArchive archive;
  for (const char* name : {"a.txt", "b.txt", "c.txt"}) archive.Add(name, name);
  std::string bytes = archive.Bytes();
  bytes[bytes.size() - 22 + 8] = bytes[bytes.size() - 22 + 10] = 2;
  return bytes;
}

const char kNotValid[] = "\"%s\"\nis not a valid Zip file.";
const char kBadDirectory[] = "Error reading CentralFileHeader.";

// Each line names only what its case needs; the rest keeps its default.
#pragma GCC diagnostic push
#pragma GCC diagnostic ignored "-Wmissing-field-initializers"

const Case kCases[] = {
    {"inflates-past-its-size.zip",
     "deflated data longer than its declared size",
     InflatesPastItsSize,
     {"lying.bin"},
     {.extracted = 1,
      .target = {{"after.txt", "the next entry"}, {"lying.bin", kUsers}},
      .skipped = {kSkipBadData},
      .listed = {"lying.bin", "after.txt"}}},
    {"inflates-short-of-its-size.zip",
     "deflated data shorter than its declared size",
     InflatesShortOfItsSize,
     {"lying.bin"},
     {.extracted = 1,
      .target = {{"after.txt", "the next entry"}, {"lying.bin", kUsers}},
      .skipped = {kSkipBadData},
      .listed = {"lying.bin", "after.txt"}}},
    {"stored-sizes-disagree.zip",
     "a stored entry whose two sizes differ",
     StoredSizesDisagree,
     {"lying.bin"},
     {.extracted = 1,
      .target = {{"after.txt", "the next entry"}, {"lying.bin", kUsers}},
      .skipped = {kSkipBadData},
      .listed = {"lying.bin", "after.txt"}}},
    {"data-past-the-archive.zip",
     "compressed size of nearly 2 GiB in a file of 200 bytes",
     DataPastTheArchive,
     {"lying.bin"},
     {.extracted = 1,
      .target = {{"after.txt", "the next entry"}, {"lying.bin", kUsers}},
      .skipped = {kSkipBadData},
      .listed = {"lying.bin", "after.txt"}}},
    {"overlapping-entries.zip",
     "the second entry points at the first's header, the third runs over the fourth",
     OverlappingEntries,
     {},
     {.extracted = 1,
      .target = {{"fourth.txt", "fourth data"}},
      .skipped = {kSkipBadData, kSkipBadData, kSkipBadData},
      .listed = {"first.txt", "second.txt", "third.txt", "fourth.txt"}}},
    {"climbs-out-of-the-target.zip",
     "names through \"..\" to the folders around the target",
     ClimbsOutOfTheTarget,
     {},
     {.extracted = 1,
      .target = {{"good.txt", "good"}},
      .target_with_folders = {{"Sub\\", "<folder>"}, {"Sub\\good.txt", "good"}},
      .skipped = {kSkipUnsafeName, kSkipUnsafeName, kSkipUnsafeName},
      .listed = {"..\\evil.txt", "Sub\\..\\..\\..\\evil.txt", "..\\..\\in.zip", "Sub\\good.txt"}}},
    {"greedy-end-record.zip",
     "only an end record, claiming 65534 entries and a 2 GiB directory",
     GreedyEndRecord,
     {},
     {.extracted = 0,
      .message = "The central directory is larger than the archive",
      .refused = kBadDirectory,
      .reader_refused = "The central directory is larger than the archive"}},
    {"greedy-end-record-behind-noise.zip",
     "the same end record after 1000 bytes of noise",
     GreedyEndRecordBehindNoise,
     {},
     {.extracted = 0,
      .message = "The central directory is larger than the archive",
      .refused = kBadDirectory,
      .reader_refused = "The central directory is larger than the archive"}},
    {"not-an-archive.zip",
     "a line of text",
     NotAnArchive,
     {},
     {.extracted = 0,
      .message = "this is not a zip archive",
      .refused = kNotValid,
      .reader_refused = "this is not a zip archive"}},
    {"just-pk.zip",
     "the two bytes \"PK\"",
     JustPK,
     {},
     {.extracted = 0, .message = "too short", .refused = kNotValid, .reader_refused = "too short"}},
    {"disk-1001.zip",
     "an end record of disk 1001 of a set",
     Disk1001,
     {},
     {.extracted = 0,
      .message = "spread over several disks",
      .refused = kNotValid,
      .reader_refused = "spread over several disks"}},
    {"directory-larger-than-the-file.zip",
     "the directory's size far beyond the file",
     DirectoryLargerThanTheFile,
     {},
     {.extracted = 0,
      .message = "The central directory is larger than the archive",
      .refused = kBadDirectory,
      .reader_refused = "The central directory is larger than the archive"}},
    {"local-header-past-the-directory.zip",
     "an entry whose local header is past the directory",
     LocalHeaderPastTheDirectory,
     {},
     // The component reads the directory only; the library checks every local header first.
     {.extracted = 0,
      .message = "\"a.txt\" lies outside the archive",
      .listed = {"a.txt"},
      .reader_refused = "\"a.txt\" lies outside the archive"}},
    {"central-header-broken.zip",
     "the second central header's signature spoiled",
     BrokenCentralHeader,
     {},
     {.extracted = 0,
      .message = "a header signature is wrong",
      .refused = "Error reading CentralFileHeader.",
      .reader_refused = "a header signature is wrong"}},
    {"comment-of-the-longest-length.zip",
     "a comment of 65513 bytes: the record ends the file's "
     "last 64 KiB",
     CommentOfTheLongestLength,
     {},
     {.extracted = 1, .target = {{"a.txt", "a"}}, .listed = {"a.txt"}}},
    // The component looks for the record in the last 64 KiB only; the library, as other tools,
    // as far back as the longest comment reaches.
    {"end-record-beyond-64k.zip",
     "the same and one byte more: out of the component's reach",
     EndRecordBeyond64KiB,
     {},
     {.extracted = 1, .target = {{"a.txt", "a"}}, .refused = kNotValid}},
    {"deep-names.zip",
     "four names 32,700 folders deep, then a plain one",
     DeepNames,
     {},
     {.extracted = 5,
      .target = {{"after.txt", "after"},
                 {"deep0.cht", "deep"},
                 {"deep1.cht", "deep"},
                 {"deep2.cht", "deep"},
                 {"deep3.cht", "deep"}},
      .target_with_folders = {{"after.txt", "after"}},
      .extracted_with_folders = 1,
      .skipped_with_folders = std::vector<Slot>(4, kSkipUnsafeName),
      .listed = DeepListing()}},
    {"wrapped-count.zip",
     "70,000 entries, the end record counting 70,000 modulo 65,536",
     WrappedCount,
     {},
     {.extracted = kManyEntries, .listed = ManyNames()},
     /*test_only=*/true},
    {"count-short-of-the-headers.zip",
     "three central headers, the end record counting two",
     CountShortOfTheHeaders,
     {},
     {.extracted = 0,
      .message = "holds 3 entries where the end record counts 2",
      .refused = "\"%s\"\nis damaged: its central directory holds 3 entries where its end "
                 "record counts 2.",
      .reader_refused = "holds 3 entries where the end record counts 2"}},
};
#pragma GCC diagnostic pop

// Tests and failures name a case by its file.
void PrintTo(const Case& c, std::ostream* out) { *out << c.name; }

std::string Format(const std::string& pattern, const std::string& path) {
  const size_t at = pattern.find("%s");
  return at == std::string::npos ? pattern : pattern.substr(0, at) + path + pattern.substr(at + 2);
}

class HostileArchive : public testing::TestWithParam<Case> {};

TEST_P(HostileArchive, IsHandledAsItsEntrySays) {
  const Case& c = GetParam();
  const Outcome& want = c.outcome;
  SCOPED_TRACE(std::string(c.name) + ": " + c.how);
  // The named file, kept in the corpus folder for a look afterwards.
  const std::string bytes = c.make();
  platform::CreateDirectory(CorpusFolder() + "made");
  ASSERT_TRUE(platform::WriteWholeFileSafely(CorpusFolder() + "made\\" + c.name, bytes));

  Sandbox sandbox;
  const std::string archive = sandbox.PutArchive(c.name, bytes);
  for (const bool folders : {false, true}) {
    SCOPED_TRACE(folders ? "folders recreated" : "folders dropped");
    sandbox.ClearTarget();
    for (const std::string& name : c.user_files) sandbox.PutUserFile(name, kUsers);
    Extraction run;
    unzip_test::UnzipRequest request;
    request.recreate_folders = folders;
    request.test_only = c.test_only;
    Extract(&sandbox, archive, request, &run);
    const std::string messages = run.driver.Messages();
    const int extracted =
        folders ? want.extracted_with_folders.value_or(want.extracted) : want.extracted;
    const std::vector<Slot>& skipped =
        folders ? want.skipped_with_folders.value_or(want.skipped) : want.skipped;
    EXPECT_EQ(run.result, extracted) << messages;
    EXPECT_THAT(run.outside_changes, testing::IsEmpty());
    EXPECT_EQ(run.written,
              folders && !want.target_with_folders.empty() ? want.target_with_folders : want.target)
        << messages;
    EXPECT_THAT(run.driver.SkipReasons(), ElementsAreArray(skipped)) << messages;
    for (const auto& skip : run.driver.Of(zipdll::kActionSkipped)) {
      // A name longer than the record's text is cut short in both.
      if (skip.text.size() + 64 > zipdll::kCallbackTextSize) continue;
      EXPECT_THAT(messages, HasSubstr("\"" + skip.text + "\"")) << "a skip without its reason";
    }
    if (extracted == 0 && skipped.empty()) {
      EXPECT_THAT(messages, HasSubstr(want.message));
    }
  }

  const Listing component = ReadWithComponent(archive);
  if (want.refused.empty()) {
    EXPECT_TRUE(component.opened) << component.refused;
    EXPECT_EQ(component.names, want.listed);
    EXPECT_EQ(RewriteCommentAndReopen(archive), "");
  } else {
    EXPECT_FALSE(component.opened);
    EXPECT_FALSE(component.changed) << "a refused archive reported as opened";
    EXPECT_TRUE(component.names.empty());
    EXPECT_EQ(component.refused, Format(want.refused, archive));
  }
  const Listing reader = ReadWithReader(archive);
  if (want.reader_refused.empty()) {
    EXPECT_TRUE(reader.opened) << reader.refused;
    if (component.opened) {
      EXPECT_EQ(component.comment, reader.comment);
    }
  } else {
    EXPECT_FALSE(reader.opened);
    EXPECT_THAT(reader.refused, HasSubstr(want.reader_refused));
  }
}

#if !defined(_WIN32)
// The deep names once took 4.2 GB and seconds with their folders recreated. Address space counts
// the stacks and heaps reserved for threads too, so the bound is looser than the memory used.
TEST(DeepNames, CostTheirLengthNotTheirDepth) {
  Sandbox sandbox;
  const std::string archive = sandbox.PutArchive("deep-names.zip", DeepNames());
  test_support::ChildProcess child;
  const bool done = child.Start([&](test_support::ChildProcess& self) {
    if (!test_support::LimitAddressSpace(256 << 20)) return;
    Extraction run;
    unzip_test::UnzipRequest request;
    request.recreate_folders = true;
    Extract(&sandbox, archive, request, &run);
    if (run.result == 1) self.Reached();
  });
  EXPECT_TRUE(done) << "the run took more than 256 MB, or did not extract the plain entry";
}
#endif

std::string TestName(const testing::TestParamInfo<Case>& info) {
  std::string name = info.param.name;
  for (char& c : name) {
    if (!std::isalnum(static_cast<unsigned char>(c))) c = '_';
  }
  return name;
}

INSTANTIATE_TEST_SUITE_P(Corpus, HostileArchive, testing::ValuesIn(kCases), TestName);

}  // namespace
}  // namespace corpus
