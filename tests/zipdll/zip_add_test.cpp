// Adding through the C interface: the block checks, the callbacks, and what lands in the archive.
#include <gtest/gtest.h>

#include <numeric>
#include <random>

#include "platform/platform.h"
#include "support/temp_folder.h"
#include "zipdll/zip_driver.h"
#include "zipdll/zip_format.h"

namespace zip_test {
namespace {

using test_support::TempFolder;
using zipdll::Slot;

std::string Compressible(size_t size) {
  std::string text;
  for (size_t i = 0; text.size() < size; ++i)
    text += "chart record " + std::to_string(i % 97) + ";";
  text.resize(size);
  return text;
}

std::string Noise(size_t size, unsigned seed) {
  std::mt19937 random(seed);
  std::string bytes(size, '\0');
  for (char& c : bytes) c = static_cast<char>(random() & 0xFF);
  return bytes;
}

TEST(ZipDllInterface, ExportsVersionAndRefusesForeignBlocks) {
  ASSERT_NE(ZipDriver::Exec(), nullptr);
  ASSERT_NE(ZipDriver::Version(), nullptr);
  EXPECT_GE(ZipDriver::Version()(), 160);

  TempFolder folder;
  const std::string file = folder.Write("a.txt", "hello");
  const std::string archive = folder / "refused.zip";
  for (int broken = 0; broken < 2; ++broken) {
    ZipDriver driver;
    const int result = driver.Add({archive, {file}}, [&](zipdll::ZipCommandBlock& block) {
      if (broken == 0) block.version = 150;
      if (broken == 1) block.check = 6;
    });
    EXPECT_EQ(result, 0);
    ASSERT_EQ(driver.Actions(), std::vector<Slot>{zipdll::kActionMessage}) << broken;
    EXPECT_FALSE(driver.events[0].text.empty());
    EXPECT_EQ(platform::GetFileAttributes(archive), platform::kInvalidAttributes);
  }
  // Without a callback nothing can be said, but nothing breaks either.
  ZipDriver quiet;
  EXPECT_EQ(quiet.Add({archive, {file}},
                      [](zipdll::ZipCommandBlock& block) {
                        block.version = 1;
                        block.callback = nullptr;
                      }),
            0);
  EXPECT_EQ(ZipDriver::Exec()(nullptr), 0);

  // Blocks that pass the checks but name nothing usable end with a message or an empty batch.
  ZipDriver no_archive;
  EXPECT_EQ(no_archive.Add({"", {file}}), 0);
  EXPECT_FALSE(no_archive.Messages().empty());
  ZipDriver no_entries;
  EXPECT_EQ(no_entries.Add({archive, {file}},
                           [](zipdll::ZipCommandBlock& block) {
                             block.entries = nullptr;
                             block.entry_count = 3;
                           }),
            0);
  ZipDriver negative;
  EXPECT_EQ(negative.Add({archive, {file}},
                         [](zipdll::ZipCommandBlock& block) { block.entry_count = -2; }),
            0);
  EXPECT_EQ(negative.Of(zipdll::kActionBatchFiles).at(0).value, 0);
}

TEST(ZipDllAdd, CallbacksComeInOrderAndAddUp) {
  TempFolder folder;
  const std::string big = Compressible(200000);
  folder.Write("src\\big.txt", big);
  folder.Write("src\\empty.dat", "");
  folder.Write("src\\small.txt", "small");
  const std::string archive = folder / "out.zip";
  ZipDriver driver;
  ASSERT_EQ(driver.Add({archive, {folder / "src\\*.*"}}), 3) << driver.Messages();

  const std::vector<Event>& events = driver.events;
  ASSERT_GE(events.size(), 3u);
  EXPECT_EQ(events[0].action, zipdll::kActionBatchFiles);
  EXPECT_EQ(events[0].value, 3);
  EXPECT_EQ(events[1].action, zipdll::kActionBatchBytes);
  EXPECT_EQ(events[1].value, static_cast<Slot>(big.size() + 5));
  EXPECT_EQ(events.back().action, zipdll::kActionEndOfBatch);
  // Each file: begun, then its progress reports, each at most 64 KiB and adding up to its size.
  std::vector<std::string> begun;
  Slot expected = -1, progress = 0;
  for (size_t i = 2; i + 1 < events.size(); ++i) {
    const Event& event = events[i];
    if (event.action == zipdll::kActionFileBegun) {
      if (expected >= 0) {
        EXPECT_EQ(progress, expected);
      }
      begun.push_back(event.text);
      expected = event.value;
      progress = 0;
      EXPECT_EQ(events[i + 1].action, zipdll::kActionProgress) << "no report for " << event.text;
    } else {
      ASSERT_EQ(event.action, zipdll::kActionProgress) << event.text;
      ASSERT_GE(expected, 0);
      EXPECT_LE(event.value, 65536);
      progress += event.value;
    }
  }
  EXPECT_EQ(progress, expected);
  EXPECT_EQ(begun.size(), 3u);
  EXPECT_EQ(driver.Of(zipdll::kActionProgress).size(), 1u + 4u + 1u);  // 200000 bytes: 4 reports

  const ArchiveContents contents = ReadArchive(archive);
  ASSERT_TRUE(contents.ok) << contents.error;
  ASSERT_EQ(contents.Names(), (std::vector<std::string>{"big.txt", "empty.dat", "small.txt"}));
  for (const Member& member : contents.members) EXPECT_TRUE(member.data_ok) << member.name;
  EXPECT_EQ(contents.Find("big.txt")->data, big);
  EXPECT_EQ(contents.Find("big.txt")->method, zipdll::kMethodDeflated);
  EXPECT_LT(contents.Find("big.txt")->compressed_size, big.size() / 4);
  EXPECT_EQ(contents.Find("empty.dat")->method, zipdll::kMethodStored);
}

TEST(ZipDllAdd, StoresWhatDeflateCannotShrinkAndKeepsNamesTimesAttributes) {
  TempFolder folder;
  const std::string noise = Noise(70000, 7);
  const std::string noisy = folder.Write("data\\noise.bin", noise);
  const std::string accented = folder.Write("data\\Zoé chart.cht", Compressible(3000));
  const int32_t when = (46 << 25) | (3 << 21) | (14 << 16) | (9 << 11) | (26 << 5) | 10;
  ASSERT_TRUE(platform::SetFileAge(noisy, when));
  ASSERT_TRUE(platform::SetFileAttributes(accented, platform::kAttrReadOnly));
  const std::string archive = folder / "names.zip";
  ZipDriver driver;
  ASSERT_EQ(driver.Add({archive, {noisy, accented}}), 2) << driver.Messages();
  platform::SetFileAttributes(accented, 0);

  const ArchiveContents contents = ReadArchive(archive);
  ASSERT_TRUE(contents.ok) << contents.error;
  const Member* stored = contents.Find("noise.bin");
  const Member* utf8 = contents.Find("Zoé chart.cht");
  ASSERT_TRUE(stored && utf8);
  EXPECT_EQ(stored->method, zipdll::kMethodStored);
  EXPECT_EQ(stored->data, noise);
  EXPECT_EQ(stored->dos_time, when);
  EXPECT_EQ(stored->flags & zipdll::kFlagUtf8, 0);
  EXPECT_NE(utf8->flags & zipdll::kFlagUtf8, 0);
  EXPECT_NE(utf8->external_attributes & platform::kAttrReadOnly, 0u);
  EXPECT_EQ(stored->external_attributes & platform::kAttrReadOnly, 0u);
  EXPECT_TRUE(utf8->data_ok);

  if (!ToolsAvailable()) return;
  std::string out;
  EXPECT_EQ(RunTool("unzip -t " + HostQuoted(archive), &out), 0) << out;
  EXPECT_EQ(RunTool("python3 -c 'import sys,zipfile; z=zipfile.ZipFile(sys.argv[1]); "
                    "assert z.testzip() is None; print(z.namelist()); "
                    "print(z.getinfo(\"noise.bin\").date_time)' " +
                        HostQuoted(archive),
                    &out),
            0)
      << out;
  EXPECT_NE(out.find("Zoé chart.cht"), std::string::npos) << out;
  EXPECT_NE(out.find("(2026, 3, 14, 9, 26, 20)"), std::string::npos) << out;
}

TEST(ZipDllAdd, EncryptsWithThePasswordAndWritesTheComment) {
  TempFolder folder;
  const std::string secret = Compressible(5000);
  const std::string file = folder.Write("secret.txt", secret);
  const std::string archive = folder / "locked.zip";
  AddRequest request{archive, {file}};
  request.password = "pa55 wörd";
  request.comment = "Backup of C:\\Charts";
  ZipDriver driver;
  ASSERT_EQ(driver.Add(request), 1) << driver.Messages();

  const ArchiveContents contents = ReadArchive(archive, request.password);
  ASSERT_TRUE(contents.ok) << contents.error;
  EXPECT_EQ(contents.comment, request.comment);
  ASSERT_EQ(contents.members.size(), 1u);
  EXPECT_NE(contents.members[0].flags & zipdll::kFlagEncrypted, 0);
  EXPECT_TRUE(contents.members[0].data_ok);
  EXPECT_EQ(contents.members[0].data, secret);
  EXPECT_FALSE(ReadArchive(archive, "wrong").members[0].data_ok);

  if (!ToolsAvailable()) return;
  std::string out;
  EXPECT_EQ(RunTool("unzip -P 'pa55 wörd' -t " + HostQuoted(archive), &out), 0) << out;
  EXPECT_NE(RunTool("unzip -P wrong -t " + HostQuoted(archive), &out), 0) << out;
  EXPECT_EQ(RunTool("unzip -z " + HostQuoted(archive), &out), 0);
  EXPECT_NE(out.find("Backup of C:\\Charts"), std::string::npos) << out;
}

TEST(ZipDllAdd, ManyFilesInParallelKeepTheirOrder) {
  TempFolder folder;
  std::vector<std::string> expected;
  for (int i = 0; i < 60; ++i) {
    const std::string name = "f" + std::to_string(100 + i) + ".cht";
    folder.Write("many\\" + name, i % 3 ? Compressible(1000 + i * 977) : Noise(i * 500, i));
    expected.push_back(name);
  }
  const std::string archive = folder / "many.zip";
  ZipDriver driver;
  ASSERT_EQ(driver.Add({archive, {folder / "many\\*.cht"}}), 60) << driver.Messages();
  std::vector<std::string> begun;
  for (const Event& event : driver.Of(zipdll::kActionFileBegun)) {
    begun.push_back(event.text.substr(event.text.rfind('\\') + 1));
  }
  EXPECT_EQ(begun, expected);
  const ArchiveContents contents = ReadArchive(archive);
  ASSERT_TRUE(contents.ok) << contents.error;
  EXPECT_EQ(contents.Names(), expected);
  for (const Member& member : contents.members) EXPECT_TRUE(member.data_ok) << member.name;
}

TEST(ZipDllAdd, LargeFilesGoInPiecesDeflatedOrStored) {
  TempFolder folder;
  const std::string text = Compressible(40 << 20);
  const std::string noise = Noise(34 << 20, 3);
  folder.Write("big\\a.log", text);
  folder.Write("big\\b.bin", noise);
  folder.Write("big\\c.txt", "small one after");
  const std::string archive = folder / "big.zip";
  AddRequest request(archive, {folder / "big\\*.*"});
  request.password = "large";
  ZipDriver driver;
  ASSERT_EQ(driver.Add(request), 3) << driver.Messages();
  Slot progress = 0;
  for (const Event& event : driver.Of(zipdll::kActionProgress)) {
    EXPECT_LE(event.value, 65536);
    progress += event.value;
  }
  EXPECT_EQ(progress, static_cast<Slot>(text.size() + noise.size() + 15));

  const ArchiveContents contents = ReadArchive(archive, request.password);
  ASSERT_TRUE(contents.ok) << contents.error;
  ASSERT_EQ(contents.Names(), (std::vector<std::string>{"a.log", "b.bin", "c.txt"}));
  for (const Member& member : contents.members) {
    EXPECT_TRUE(member.data_ok) << member.name;
    EXPECT_NE(member.flags & zipdll::kFlagEncrypted, 0) << member.name;
  }
  EXPECT_EQ(contents.members[0].method, zipdll::kMethodDeflated);
  EXPECT_TRUE(contents.members[0].data == text);
  EXPECT_EQ(contents.members[1].method, zipdll::kMethodStored);
  EXPECT_TRUE(contents.members[1].data == noise);

  if (!ToolsAvailable()) return;
  std::string out;
  EXPECT_EQ(RunTool("unzip -P large -t " + HostQuoted(archive), &out), 0) << out;
}

}  // namespace
}  // namespace zip_test
