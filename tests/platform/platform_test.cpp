// The platform services that every layer above relies on, checked the same way on Linux and on
// Windows (under Wine in the test run).
#include "platform/platform.h"

#include <gtest/gtest.h>

#include "support/temp_folder.h"

#if !defined(_WIN32)
#include <chrono>
#include <future>
#include <thread>

#include "support/extra_drives.h"
#include "support/host_entries.h"
#endif

namespace platform {
namespace {

using test_support::TempFolder;

// 2026-03-04 05:06:08 local time as a DOS date and time.
constexpr int32_t kDosTime =
    ((2026 - 1980) << 25) | (3 << 21) | (4 << 16) | (5 << 11) | (6 << 5) | 4;

const FindEntry* Find(const std::vector<FindEntry>& entries, const std::string& name) {
  for (const auto& entry : entries) {
    if (entry.name == name) return &entry;
  }
  return nullptr;
}

TEST(PlatformTest, ListingGivesAttributesSizesAndAges) {
  TempFolder temp;
  temp.Write("Charts\\Smith.cht", "12345");
  const std::string locked = temp.Write("Charts\\Locked.cht");
  temp.MakeFolder("Charts\\Sub");
  ASSERT_TRUE(SetFileAge(temp / "Charts\\Smith.cht", kDosTime));
  ASSERT_TRUE(SetFileAttributes(locked, kAttrReadOnly));

  std::vector<FindEntry> entries;
  ASSERT_TRUE(FindFiles(temp / "Charts\\*", &entries));
  const FindEntry* smith = Find(entries, "Smith.cht");
  const FindEntry* sub = Find(entries, "Sub");
  const FindEntry* locked_entry = Find(entries, "Locked.cht");
  ASSERT_TRUE(smith && sub && locked_entry);
  EXPECT_EQ(smith->size, 5u);
  EXPECT_EQ(smith->dos_time, kDosTime);
  EXPECT_EQ(smith->attributes & (kAttrDirectory | kAttrReadOnly), 0u);
  EXPECT_NE(sub->attributes & kAttrDirectory, 0u);
  EXPECT_NE(locked_entry->attributes & kAttrReadOnly, 0u);
  // Below a drive's root a listing holds "." and "..", as Windows lists them.
  EXPECT_TRUE(Find(entries, ".") && Find(entries, ".."));

  EXPECT_TRUE(FindFiles(temp / "CHARTS\\*.CHT", &entries));
  EXPECT_EQ(entries.size(), 2u);
  EXPECT_FALSE(FindFiles(temp / "Charts\\*.omb", &entries));
  EXPECT_TRUE(entries.empty());
  EXPECT_FALSE(FindFiles(temp / "Missing\\*", &entries));
}

TEST(PlatformTest, AgesHaveTheTwoSecondResolutionOfDosTimes) {
  TempFolder temp;
  const std::string file = temp.Write("a.cht");
  ASSERT_TRUE(SetFileAge(file, kDosTime));
  EXPECT_EQ(GetFileAge(file), kDosTime);
  EXPECT_EQ(GetFileAge(temp.path()), -1);  // folders have no age here
  EXPECT_EQ(GetFileAge(temp / "missing.cht"), -1);
}

TEST(PlatformTest, CopyKeepsContentsAndTimeAndRespectsFailIfExists) {
  TempFolder temp;
  const std::string source = temp.Write("a.cht", std::string(300000, 'a'));
  const std::string target = temp.Write("b.cht", "old");
  ASSERT_TRUE(SetFileAge(source, kDosTime));
  EXPECT_FALSE(CopyFile(source, target, true));
  EXPECT_EQ(temp.Read("b.cht"), "old");
  EXPECT_TRUE(CopyFile(source, target, false));
  EXPECT_EQ(temp.Read("b.cht"), std::string(300000, 'a'));
  EXPECT_EQ(GetFileAge(target), kDosTime);
  EXPECT_FALSE(CopyFile(temp / "missing.cht", target, false));
  EXPECT_EQ(temp.Read("b.cht").size(), 300000u);
}

TEST(PlatformTest, ReplacingAndDeleting) {
  TempFolder temp;
  const std::string a = temp.Write("a.ini", "new");
  const std::string b = temp.Write("b.ini", "old");
  EXPECT_TRUE(MoveFileReplacing(a, b));
  EXPECT_EQ(temp.Read("b.ini"), "new");
  EXPECT_EQ(GetFileAttributes(a), kInvalidAttributes);

  SetFileAttributes(b, kAttrReadOnly);
  EXPECT_FALSE(DeleteFile(b));  // Windows will not delete a read-only file
  EXPECT_FALSE(WriteWholeFileSafely(b, "other"));
  EXPECT_EQ(temp.Read("b.ini"), "new");
  SetFileAttributes(b, 0);
  EXPECT_TRUE(WriteWholeFileSafely(b, "other"));
  EXPECT_EQ(temp.Read("b.ini"), "other");
  EXPECT_TRUE(DeleteFile(b));

  temp.MakeFolder("dir");
  EXPECT_FALSE(CreateDirectory(temp / "dir"));  // exists already
  EXPECT_FALSE(DeleteFile(temp / "dir"));
  EXPECT_TRUE(RemoveDirectory(temp / "dir"));
  EXPECT_FALSE(CreateDirectory(temp / "no\\such\\parent"));
}

TEST(PlatformTest, TemporaryNamesAreUniqueAndCreated) {
  TempFolder temp;
  const std::string first = GetTempFileName(temp.path(), "zzz");
  const std::string second = GetTempFileName(temp.path(), "zzz");
  ASSERT_FALSE(first.empty());
  EXPECT_NE(first, second);
  EXPECT_EQ(first.rfind(temp / "zzz", 0), 0u);
  EXPECT_NE(GetFileAttributes(first), kInvalidAttributes);
  EXPECT_EQ(GetTempFileName(temp / "missing", "zzz"), "");
  const std::string temp_path = GetTempPath();
  ASSERT_FALSE(temp_path.empty());
  EXPECT_EQ(temp_path.back(), '\\');
}

TEST(PlatformTest, CurrentFolderAndProgramPath) {
  TempFolder temp;
  const std::string before = GetCurrentDirectory();
  temp.Write("Sub\\here.txt", "here");
  ASSERT_TRUE(SetCurrentDirectory(temp / "Sub"));
  EXPECT_EQ(GetFileAttributes("here.txt") & kAttrDirectory, 0u);
  std::string contents;
  EXPECT_TRUE(ReadWholeFile("here.txt", &contents));
  EXPECT_EQ(contents, "here");
  EXPECT_TRUE(SetCurrentDirectory(before));
  EXPECT_FALSE(SetCurrentDirectory(temp / "missing"));

  const std::string program = GetModuleFileName();
  ASSERT_GT(program.size(), 3u);
  EXPECT_EQ(program[1], ':');
  EXPECT_NE(GetFileAttributes(program), kInvalidAttributes);
}

TEST(PlatformTest, OemCodePage437) {
  EXPECT_EQ(OemToAnsi("SMITH\x82\x9A.CHT"), "SMITHéÜ.CHT");
  EXPECT_EQ(OemToAnsi("\xE1\xFF"), "ß\xC2\xA0");
  EXPECT_EQ(AnsiToOem("Zoé Ñandú"),
            "Zo\x82 \xA5"
            "and\xA3");
  EXPECT_EQ(AnsiToOem("€"), "?");
  EXPECT_EQ(OemToAnsi(AnsiToOem("Ça·va")), "Ça·va");
}

TEST(PlatformTest, VolumeOfTheSystemDrive) {
  std::string label = "unset";
  uint32_t serial = 0;
  EXPECT_TRUE(GetVolumeInformation(GetTempPath().substr(0, 3), &label, &serial));
  EXPECT_NE(label, "unset");
  EXPECT_EQ(GetDriveType(GetTempPath().substr(0, 3)), kDriveFixed);
  unsigned before = SetErrorMode(kSemFailCriticalErrors);
  EXPECT_EQ(SetErrorMode(before), kSemFailCriticalErrors);
}

TEST(PlatformTest, FilesReadAndWrittenFromAPosition) {
  TempFolder temp;
  const std::string path = temp / "data.bin";
  EXPECT_EQ(File::Open(path, File::Mode::kRead), nullptr);
  {
    auto file = File::Open(path, File::Mode::kCreateNew);
    ASSERT_NE(file, nullptr);
    ASSERT_TRUE(file->Write("0123456789", 10));
    ASSERT_TRUE(file->Seek(4));
    ASSERT_TRUE(file->Write("ab", 2));
    EXPECT_EQ(file->Position(), 6u);
    ASSERT_TRUE(file->Seek(8));
    ASSERT_TRUE(file->Truncate());
    ASSERT_TRUE(file->Flush());
    ASSERT_TRUE(file->SetAge(kDosTime));
  }
  EXPECT_EQ(File::Open(path, File::Mode::kCreateNew), nullptr);
  EXPECT_EQ(temp.Read("data.bin"), "0123ab67");
  EXPECT_EQ(GetFileAge(path), kDosTime);

  auto file = File::Open(path, File::Mode::kRead);
  ASSERT_NE(file, nullptr);
  uint64_t size = 0;
  ASSERT_TRUE(file->Size(&size));
  EXPECT_EQ(size, 8u);
  char buffer[16] = {};
  ASSERT_TRUE(file->Seek(6));
  size_t got = 0;
  ASSERT_TRUE(file->Read(buffer, sizeof buffer, &got));
  EXPECT_EQ(std::string(buffer, got), "67");
  ASSERT_TRUE(file->Read(buffer, sizeof buffer, &got));
  EXPECT_EQ(got, 0u);  // the end
  ASSERT_TRUE(file->Seek(0));
  EXPECT_FALSE(file->ReadExact(buffer, 9));
  ASSERT_TRUE(file->Seek(0));
  ASSERT_TRUE(file->ReadExact(buffer, 8));
  EXPECT_EQ(std::string(buffer, 8), "0123ab67");
  file.reset();

  SetFileAttributes(path, kAttrReadOnly);
  EXPECT_EQ(File::Open(path, File::Mode::kReadWrite), nullptr);
  EXPECT_EQ(File::Open(path, File::Mode::kCreate), nullptr);
  EXPECT_NE(File::Open(path, File::Mode::kRead), nullptr);
  EXPECT_EQ(temp.Read("data.bin"), "0123ab67");
  EXPECT_EQ(File::Open(temp.path(), File::Mode::kRead), nullptr);  // a folder
}

TEST(PlatformTest, AFolderHasOneIdentityUnderEveryName) {
  TempFolder temp;
  temp.MakeFolder("One\\Inner");
  temp.MakeFolder("Two");
  const std::string file = temp.Write("One\\file.cht");
  FolderIdentity one, one_again, inner, two;
  ASSERT_TRUE(GetFolderIdentity(temp / "One", &one));
  ASSERT_TRUE(GetFolderIdentity(temp / "ONE\\Inner\\..\\", &one_again));
  ASSERT_TRUE(GetFolderIdentity(temp / "One\\Inner", &inner));
  ASSERT_TRUE(GetFolderIdentity(temp / "Two\\", &two));
  EXPECT_EQ(one, one_again);
  EXPECT_FALSE(one == inner || one == two || inner == two);
  EXPECT_TRUE(one < two || two < one);
  EXPECT_FALSE(GetFolderIdentity(file, &two));
  EXPECT_FALSE(GetFolderIdentity(temp / "Missing", &two));
#if !defined(_WIN32)
  const test_support::HostEntry link = test_support::HostEntry::Link(temp / "Alias", "One");
  ASSERT_TRUE(link.made());
  FolderIdentity through_link;
  ASSERT_TRUE(GetFolderIdentity(temp / "Alias", &through_link));
  EXPECT_EQ(through_link, one);
#endif
}

// Reading a device, a pipe or a socket could wait for ever or never end: none opens as a file.
TEST(PlatformTest, OnlyFilesOnADiskOpenAsFiles) {
#if defined(_WIN32)
  EXPECT_EQ(File::Open("NUL", File::Mode::kRead), nullptr);
  EXPECT_EQ(File::Open("CON", File::Mode::kRead), nullptr);
#else
  TempFolder temp;
  const std::string file = temp.Write("Data\\file.cht", "chart");
  temp.MakeFolder("Data\\Sub");
  using test_support::HostEntry;
  const HostEntry fifo = HostEntry::Fifo(temp / "Data\\pipe.cht");
  const HostEntry zero = HostEntry::Link(temp / "Data\\zero.cht", "/dev/zero");
  const HostEntry socket = HostEntry::Socket(temp / "Data\\socket.cht");
  const HostEntry dangling = HostEntry::Link(temp / "Data\\gone.cht", "nothing-here");
  ASSERT_TRUE(fifo.made() && zero.made() && socket.made() && dangling.made());

  std::vector<FindEntry> entries;
  ASSERT_TRUE(FindFiles(temp / "Data\\*", &entries));
  for (const char* name : {"pipe.cht", "zero.cht", "socket.cht"}) {
    ASSERT_TRUE(Find(entries, name)) << name;
    EXPECT_NE(Find(entries, name)->attributes & kAttrDevice, 0u) << name;
    EXPECT_EQ(Find(entries, name)->size, 0u) << name;
    EXPECT_NE(GetFileAttributes(temp / "Data\\" + name) & kAttrDevice, 0u) << name;
  }
  for (const char* name : {"file.cht", "Sub", "gone.cht"}) {
    ASSERT_TRUE(Find(entries, name)) << name;
    EXPECT_EQ(Find(entries, name)->attributes & kAttrDevice, 0u) << name;
  }

  // Were the FIFO's open to wait for a writer, one comes after a while: the test then fails
  // rather than hangs.
  std::promise<void> opened;
  std::thread writer([&fifo, done = opened.get_future()] {
    if (done.wait_for(std::chrono::seconds(3)) == std::future_status::ready) return;
    fifo.OpenAsWriter();
  });
  for (const File::Mode mode : {File::Mode::kRead, File::Mode::kReadWrite}) {
    EXPECT_EQ(File::Open(temp / "Data\\pipe.cht", mode), nullptr);
    EXPECT_EQ(File::Open(temp / "Data\\zero.cht", mode), nullptr);
    EXPECT_EQ(File::Open(temp / "Data\\socket.cht", mode), nullptr);
  }
  opened.set_value();
  writer.join();
  // What was refused is left as it was.
  EXPECT_TRUE(fifo.IsFifo());
  EXPECT_NE(File::Open(file, File::Mode::kRead), nullptr);
  EXPECT_EQ(temp.Read("Data\\file.cht"), "chart");
#endif
}

TEST(PlatformTest, MissingLibrariesAndSymbols) {
  EXPECT_EQ(LoadLibrary("NoSuchLibrary.dll"), nullptr);
  EXPECT_EQ(GetProcAddress(nullptr, "ZipDllExec"), nullptr);
}

#if !defined(_WIN32)
// A settings file rewritten on a drive without room for the new text: the old text stays, and
// the work file written beside it goes.
TEST(PlatformTest, ARewriteThatDoesNotFitKeepsTheOldFile) {
  test_support::ExtraDrives drives;
  test_support::ExtraDrive small('S', kDriveFixed);
  small.size_limit = 1 << 20;
  if (drives.Set(small).empty()) GTEST_SKIP() << drives.error();
  ASSERT_TRUE(WriteWholeFileSafely("S:\\settings.ini", "old text"));
  EXPECT_FALSE(WriteWholeFileSafely("S:\\settings.ini", std::string(2 << 20, 'x')));
  std::string contents;
  ASSERT_TRUE(ReadWholeFile("S:\\settings.ini", &contents));
  EXPECT_EQ(contents, "old text");
  std::vector<FindEntry> entries;
  ASSERT_TRUE(FindFiles("S:\\*", &entries));
  ASSERT_EQ(entries.size(), 1u);
  EXPECT_EQ(entries[0].name, "settings.ini");
}
#endif

}  // namespace
}  // namespace platform
