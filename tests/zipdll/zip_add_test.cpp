// Adding through the C interface: the block checks, the callbacks, and what lands in the archive.
#include <gtest/gtest.h>

#include <algorithm>
#include <chrono>
#include <numeric>
#include <random>

#include "platform/platform.h"
#include "support/temp_folder.h"
#include "zipdll/zip_driver.h"
#include "zipformat/zip_records.h"

#if !defined(_WIN32)
#include "support/host_entries.h"
#include "support/host_process.h"
#endif

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

// Text of a few words in random order: deflate at level 9 takes seconds over a few megabytes of it.
std::string Wordy(size_t size, unsigned seed) {
  static const char* const kWords[] = {"sun ",  "moon ",  "mars ", "venus ",  "trine ",
                                       "cusp ", "house ", "node ", "aspect ", "square "};
  std::mt19937 random(seed);
  std::string text;
  while (text.size() < size) {
    text += kWords[random() % 10];
    if (random() % 7 == 0) text += std::to_string(random() % 1000);
  }
  text.resize(size);
  return text;
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
  EXPECT_EQ(contents.Find("big.txt")->method, zipformat::kMethodDeflated);
  EXPECT_LT(contents.Find("big.txt")->compressed_size, big.size() / 4);
  EXPECT_EQ(contents.Find("empty.dat")->method, zipformat::kMethodStored);
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
  EXPECT_EQ(stored->method, zipformat::kMethodStored);
  EXPECT_EQ(stored->data, noise);
  EXPECT_EQ(stored->dos_time, when);
  EXPECT_EQ(stored->flags & zipformat::kFlagUtf8, 0);
  EXPECT_NE(utf8->flags & zipformat::kFlagUtf8, 0);
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

// Photos and archives do not shrink: a file whose start does not shrink at the fastest level is
// stored at once, however well the rest of it would deflate; one whose start shrinks is deflated
// whole, however little the rest does.
TEST(ZipDllAdd, AFileWhoseStartDoesNotShrinkIsStoredWithoutASlowPass) {
  TempFolder folder;
  const std::string photo = Noise(300 << 10, 11) + Compressible(700 << 10);
  const std::string tagged = Compressible(200 << 10) + Noise(800 << 10, 12);
  const std::string short_photo = Noise(100 << 10, 13) + Compressible(150 << 10);
  folder.Write("user\\photo.jpg", photo);
  folder.Write("user\\tagged.dat", tagged);
  folder.Write("user\\short.jpg", short_photo);
  const std::string archive = folder / "user.zip";
  ZipDriver driver;
  ASSERT_EQ(driver.Add({archive, {folder / "user\\*.*"}}), 3) << driver.Messages();

  const ArchiveContents contents = ReadArchive(archive);
  ASSERT_TRUE(contents.ok) << contents.error;
  const Member* stored = contents.Find("photo.jpg");
  const Member* deflated = contents.Find("tagged.dat");
  const Member* whole = contents.Find("short.jpg");
  ASSERT_TRUE(stored && deflated && whole) << ::testing::PrintToString(contents.Names());
  EXPECT_EQ(stored->method, zipformat::kMethodStored);
  EXPECT_TRUE(stored->data == photo);
  EXPECT_EQ(deflated->method, zipformat::kMethodDeflated);
  EXPECT_LT(deflated->compressed_size, tagged.size() - (150 << 10));
  EXPECT_TRUE(deflated->data == tagged);
  // No longer than two probes: deflated whole, as that costs little more than the probe.
  EXPECT_EQ(whole->method, zipformat::kMethodDeflated);
  EXPECT_TRUE(whole->data == short_photo);
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
  EXPECT_NE(contents.members[0].flags & zipformat::kFlagEncrypted, 0);
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
  // A start that does not shrink: stored in one reading, although the rest would deflate.
  const std::string noise = Noise(1 << 20, 3) + Compressible(33 << 20);
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
    EXPECT_NE(member.flags & zipformat::kFlagEncrypted, 0) << member.name;
  }
  EXPECT_EQ(contents.members[0].method, zipformat::kMethodDeflated);
  EXPECT_TRUE(contents.members[0].data == text);
  EXPECT_EQ(contents.members[1].method, zipformat::kMethodStored);
  EXPECT_TRUE(contents.members[1].data == noise);

  if (!ToolsAvailable()) return;
  std::string out;
  EXPECT_EQ(RunTool("unzip -P large -t " + HostQuoted(archive), &out), 0) << out;
}

// The writer waits while a worker packs a file; the caller still hears from the run meanwhile,
// and a stop then ends it at once rather than once the file is packed.
TEST(ZipDllAdd, TheCallerHearsFromARunBusyPackingAFileAndCanStopIt) {
  using Clock = std::chrono::steady_clock;
  TempFolder folder;
  const std::string text = Wordy(6 << 20, 5);
  folder.Write("slow\\words.txt", text);
  const std::string archive = folder / "slow.zip";
  const AddRequest request(archive, {folder / "slow\\words.txt"});

  ZipDriver full;
  const Clock::time_point full_start = Clock::now();
  ASSERT_EQ(full.Add(request), 1) << full.Messages();
  const Clock::duration full_time = Clock::now() - full_start;
  ASSERT_GE(full.events.size(), 4u);
  // Reports of no bytes come while the file is packed, before it is begun.
  EXPECT_EQ(full.events[2].action, zipdll::kActionProgress);
  EXPECT_EQ(full.events[2].value, 0);
  const ArchiveContents contents = ReadArchive(archive);
  ASSERT_TRUE(contents.ok) << contents.error;
  ASSERT_EQ(contents.members.size(), 1u);
  EXPECT_TRUE(contents.members[0].data == text);
  ASSERT_TRUE(platform::DeleteFile(archive));

  ZipDriver stopped;
  stopped.abort_at = 2;
  const Clock::time_point stopped_start = Clock::now();
  EXPECT_EQ(stopped.Add(request), 0);
  const Clock::duration stopped_time = Clock::now() - stopped_start;
  EXPECT_EQ(stopped.events.size(), 3u);
  EXPECT_EQ(Listing(folder.path()), std::vector<std::string>{"slow"});  // no archive, no work file
  EXPECT_LT(stopped_time, full_time / 3)
      << std::chrono::duration_cast<std::chrono::milliseconds>(stopped_time).count() << " ms of "
      << std::chrono::duration_cast<std::chrono::milliseconds>(full_time).count() << " ms";
}

#if !defined(_WIN32)
using test_support::HostEntry;

// Opening a FIFO waits for a writer, /dev/zero never ends and a socket holds nothing to read:
// none is a file to back up.
TEST(ZipDllAdd, DevicesPipesAndSocketsAreSkippedWithAReason) {
  TempFolder folder;
  folder.Write("src\\a.cht", "chart");
  folder.Write("src\\sub\\b.cht", "another");
  const HostEntry fifo = HostEntry::Fifo(folder / "src\\pipe.cht");
  const HostEntry zero = HostEntry::Link(folder / "src\\sub\\zero.cht", "/dev/zero");
  const HostEntry socket = HostEntry::Socket(folder / "src\\socket.cht");
  ASSERT_TRUE(fifo.made() && zero.made() && socket.made());
  const std::string stored = folder.path().substr(3);
  std::vector<std::string> stored_names;
  for (const char* name : {"src/a.cht", "src/sub/b.cht"}) {
    stored_names.push_back(stored + name);
    for (char& c : stored_names.back()) c = c == '\\' ? '/' : c;
  }
  // A whole folder, a mask, and the FIFO named by itself.
  const std::vector<std::vector<std::string>> spec_lists = {
      {folder / "src"}, {folder / "src\\*.cht"}, {folder / "src\\pipe.cht", folder / "src\\a.cht"}};
  for (const std::vector<std::string>& specs : spec_lists) {
    const std::string archive = folder / "out.zip";
    platform::DeleteFile(archive);
    ZipDriver driver;
    const bool one_by_one = specs.size() == 2;
    ASSERT_EQ(driver.Add({archive, specs, zip::kAddUpdate | zip::kAddRecurse}), one_by_one ? 1 : 2)
        << driver.Messages();
    const ArchiveContents contents = ReadArchive(archive);
    ASSERT_TRUE(contents.ok) << contents.error;
    EXPECT_EQ(contents.Names(),
              one_by_one ? std::vector<std::string>{stored_names[0]} : stored_names)
        << specs[0];
    const std::vector<Slot> reasons = driver.SkipReasons();
    EXPECT_EQ(reasons, std::vector<Slot>(one_by_one ? 1 : 3, zipdll::kSkipNotStorable)) << specs[0];
    const std::string messages = driver.Messages();
    EXPECT_NE(messages.find("pipe.cht: it is a device, pipe or socket"), std::string::npos)
        << messages;
    if (!one_by_one) {
      EXPECT_NE(messages.find("zero.cht"), std::string::npos) << messages;
      EXPECT_NE(messages.find("socket.cht"), std::string::npos) << messages;
    }
  }
}

// Files of /proc say they are empty and then give bytes: read as far as their size, they would
// be stored cut, read to their end they could be without end.
TEST(ZipDllAdd, AFileHoldingMoreThanItsSizeSaysIsSkipped) {
  TempFolder folder;
  folder.Write("src\\a.cht", "chart");
  const HostEntry status = HostEntry::Link(folder / "src\\status.cht", "/proc/self/status");
  ASSERT_TRUE(status.made());
  const std::string archive = folder / "out.zip";
  ZipDriver driver;
  ASSERT_EQ(driver.Add({archive, {folder / "src\\*.cht"}}), 1) << driver.Messages();
  EXPECT_EQ(ReadArchive(archive).Names(), std::vector<std::string>{"a.cht"});
  EXPECT_EQ(driver.SkipReasons(), std::vector<Slot>{zipdll::kSkipNotFound});
  EXPECT_NE(driver.Messages().find("status.cht: it grew while it was read"), std::string::npos)
      << driver.Messages();
}

// A file that grows between the listing and its packing, past what may be held in memory: it is
// read a piece at a time, as a large file is, and stored whole; read whole into memory, as its
// size at the opening says, it would take the memory of every file packed ahead.
TEST(ZipDllAdd, AFileThatGrewSinceTheListingIsReadAPieceAtATime) {
  TempFolder folder;
  folder.Write("src\\a.cht", "chart");
  folder.Write("src\\growing.cht", "small when listed");
  const std::string archive = folder / "out.zip";
  constexpr size_t kGrownTo = 96 << 20;
  const test_support::BoundedRun run = test_support::RunWithinMemory(
      [&] {
        ZipDriver driver;
        // The batch's size is told once the files are listed and before any is packed.
        driver.on_event = [&](const Event& event) {
          if (event.action != zipdll::kActionBatchBytes) return;
          std::unique_ptr<platform::File> file =
              platform::File::Open(folder / "src\\growing.cht", platform::File::Mode::kCreate);
          const std::string noise = Noise(1 << 20, 7);
          for (size_t at = 0; at < kGrownTo; at += noise.size())
            file->Write(noise.data(), noise.size());
        };
        return std::to_string(driver.Add({archive, {folder / "src\\*.cht"}})) + " " +
               driver.Messages();
      },
      48 << 20, 60);
  ASSERT_TRUE(run.finished) << "the add went beyond 48 MiB or a minute";
  EXPECT_EQ(run.output.substr(0, 2), "2 ") << run.output;
  const ArchiveContents contents = ReadArchive(archive);
  ASSERT_TRUE(contents.ok) << contents.error;
  const Member* grown = contents.Find("growing.cht");
  ASSERT_NE(grown, nullptr);
  EXPECT_TRUE(grown->data_ok);
  EXPECT_EQ(grown->data.size(), kGrownTo);
}

// A link to the folder it is in and one to the folder above its own: a walk that followed them
// would not end for many minutes.
TEST(ZipDllAdd, AFolderReachedThroughLinksIsWalkedOnce) {
  TempFolder folder;
  folder.Write("top\\a.cht", "a");
  folder.Write("top\\sub\\b.cht", "b");
  folder.Write("outside\\c.cht", "c");
  const HostEntry up = HostEntry::Link(folder / "top\\loop", ".");
  const HostEntry sub_up = HostEntry::Link(folder / "top\\sub\\loop", "..");
  // A link out of the tree leads to a folder not walked otherwise: it is followed as before.
  const HostEntry out = HostEntry::Link(folder / "top\\sub\\out", "../../outside");
  ASSERT_TRUE(up.made() && sub_up.made() && out.made());
  std::string top = folder.path().substr(3) + "top/";
  for (char& c : top) c = c == '\\' ? '/' : c;
  for (const std::string& file_spec : {folder / "top", folder / "top\\*.cht"}) {
    const std::string archive = folder / "loops.zip";
    platform::DeleteFile(archive);
    ZipDriver driver;
    ASSERT_EQ(
        driver.Add(
            {archive, {file_spec}, zip::kAddUpdate | zip::kAddRecurse | zip::kAddFolderEntries}),
        3)
        << driver.Messages();
    const ArchiveContents contents = ReadArchive(archive);
    ASSERT_TRUE(contents.ok) << contents.error;
    EXPECT_EQ(contents.Names(),
              (std::vector<std::string>{top, top + "a.cht", top + "sub/", top + "sub/b.cht",
                                        top + "sub/out/", top + "sub/out/c.cht"}))
        << file_spec;
    EXPECT_TRUE(driver.SkipReasons().empty()) << driver.Messages();
  }
}
#endif

}  // namespace
}  // namespace zip_test
