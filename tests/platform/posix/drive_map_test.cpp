// Drive letters over host folders: maps set by the environment, Wine prefixes, and none.
#include "platform/posix/drive_map.h"

#include <gtest/gtest.h>
#include <stdlib.h>
#include <sys/stat.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <filesystem>
#include <fstream>
#include <future>
#include <optional>
#include <thread>

#include "locations/locations.h"
#include "platform/platform.h"
#include "support/faults.h"
#include "util/files.h"

namespace platform::posix {
namespace {

namespace fs = std::filesystem;

// Sets environment variables for one test and puts the old values back afterwards.
class ScopedEnv {
 public:
  ~ScopedEnv() {
    for (auto& [name, value] : saved_) {
      if (value) {
        setenv(name.c_str(), value->c_str(), 1);
      } else {
        unsetenv(name.c_str());
      }
    }
  }
  void Set(const std::string& name, const std::string& value) {
    Save(name);
    setenv(name.c_str(), value.c_str(), 1);
  }
  void Unset(const std::string& name) {
    Save(name);
    unsetenv(name.c_str());
  }

 private:
  void Save(const std::string& name) {
    if (saved_.count(name)) return;
    const char* value = getenv(name.c_str());
    saved_[name] = value ? std::optional<std::string>(value) : std::nullopt;
  }
  std::map<std::string, std::optional<std::string>> saved_;
};

class DriveMapTest : public ::testing::Test {
 protected:
  void SetUp() override {
    char pattern[] = "/tmp/rd-drives-XXXXXX";
    ASSERT_NE(mkdtemp(pattern), nullptr);
    root_ = pattern;
  }
  void TearDown() override {
    std::error_code ignored;
    fs::permissions(root_, fs::perms::owner_all, fs::perm_options::add, ignored);
    fs::remove_all(root_, ignored);
  }

  // A host folder below the test's root, created unless asked not to.
  std::string Host(const std::string& relative, bool create = true) {
    fs::path path = root_ / relative;
    if (create) fs::create_directories(path);
    return path.string();
  }
  void HostFile(const std::string& relative, const std::string& contents) {
    fs::path path = root_ / relative;
    fs::create_directories(path.parent_path());
    std::ofstream(path) << contents;
  }
  void UseMap(const std::string& map) { env_.Set("RIDIDEDUVURE_DRIVES", map); }

  fs::path root_;
  ScopedEnv env_;
};

TEST_F(DriveMapTest, TypesAndLabelsComeFromTheMap) {
  HostFile("e/.windows-label", "USBSTICK\n");
  HostFile("e/.windows-serial", "1234abcd\n");
  UseMap("C:=3|SYSTEM|" + Host("c") + "\nD:=5|CHARTS CD|" + Host("d") + "\ne:=2||" + Host("e") +
         "\nF:=4|NAS|" + Host("f") + "\nG:=3|GONE|" + Host("g", false) + "\nnot a line\n");
  EXPECT_EQ(GetDriveType("C:\\"), kDriveFixed);
  EXPECT_EQ(GetDriveType("d:\\"), kDriveCdrom);
  EXPECT_EQ(GetDriveType("E:"), kDriveRemovable);
  EXPECT_EQ(GetDriveType("F:\\"), kDriveRemote);
  EXPECT_EQ(GetDriveType("G:\\"), kDriveNoRootDir);  // its folder is missing
  EXPECT_EQ(GetDriveType("H:\\"), kDriveNoRootDir);
  EXPECT_EQ(GetDriveType(""), kDriveNoRootDir);

  std::string label;
  uint32_t serial = 0;
  ASSERT_TRUE(GetVolumeInformation("D:\\", &label, &serial));
  EXPECT_EQ(label, "CHARTS CD");
  ASSERT_TRUE(GetVolumeInformation("E:\\", &label, &serial));
  EXPECT_EQ(label, "USBSTICK");
  EXPECT_EQ(serial, 0x1234abcdu);
  EXPECT_FALSE(GetVolumeInformation("G:\\", &label, &serial));
  EXPECT_FALSE(GetVolumeInformation("H:\\", &label, &serial));
}

TEST_F(DriveMapTest, FindDriveOfTypeSearchesZDownToCAndSkipsQ) {
  UseMap("A:=2||" + Host("a") + "\nB:=2||" + Host("b") + "\nC:=3||" + Host("c") + "\nQ:=5||" +
         Host("q"));
  EXPECT_EQ(util::FindDriveOfType(kDriveCdrom), "");
  EXPECT_EQ(util::FindDriveOfType(kDriveRemovable), "");
  EXPECT_EQ(util::FindDriveOfType(kDriveFixed), "C:\\");
  UseMap("C:=3||" + Host("c") + "\nD:=5||" + Host("d") + "\nQ:=5||" + Host("q") + "\nz:=5||" +
         Host("z"));
  EXPECT_EQ(util::FindDriveOfType(kDriveCdrom), "Z:\\");
}

TEST_F(DriveMapTest, TypesFromTheMount) {
  const std::string mountinfo =
      "22 1 8:1 / / rw,relatime shared:1 - ext4 /dev/nosuchdisk1 rw\n"
      "40 22 0:50 / /media/cdrom ro - iso9660 /dev/sr0 ro\n"
      "41 22 0:51 / /mnt/dvd ro - udf /dev/sr1 ro\n"
      "42 22 0:52 / /srv/nas rw shared:9 master:2 - nfs4 server:/export rw\n"
      "43 22 0:53 / /mnt/my\\040share rw - cifs //server/share rw\n"
      "44 22 0:54 / /mnt/cdrom/inner rw - ext4 /dev/nosuchdisk2 rw\n";
  EXPECT_EQ(DriveTypeFromMountInfo("/media/cdrom", mountinfo), kDriveCdrom);
  EXPECT_EQ(DriveTypeFromMountInfo("/media/cdrom/Charts", mountinfo), kDriveCdrom);
  EXPECT_EQ(DriveTypeFromMountInfo("/mnt/dvd", mountinfo), kDriveCdrom);
  EXPECT_EQ(DriveTypeFromMountInfo("/srv/nas/charts", mountinfo), kDriveRemote);
  EXPECT_EQ(DriveTypeFromMountInfo("/mnt/my share", mountinfo), kDriveRemote);
  EXPECT_EQ(DriveTypeFromMountInfo("/media/cdromx", mountinfo), kDriveFixed);
  EXPECT_EQ(DriveTypeFromMountInfo("/home/ann", mountinfo), kDriveFixed);

  // A letter without a type in the map takes the type of the mount its folder is on.
  UseMap("C:=0||" + Host("c"));
  EXPECT_EQ(GetDriveType("C:\\"), DriveTypeOfMount(Host("c")));
}

TEST_F(DriveMapTest, EveryElementResolvesWithoutRegardToCase) {
  HostFile("c/windows/Halvane9.INI", "[Halvane]\n");
  HostFile("c/Users/Zoé/Documents/Smith.cht", "chart");
  UseMap("C:=3||" + Host("c"));
  std::string host;
  ASSERT_TRUE(ToHostPath("C:\\WINDOWS\\halvane9.ini", &host));
  EXPECT_EQ(host, Host("c") + "/windows/Halvane9.INI");
  ASSERT_TRUE(ToHostPath("c:/users/ZOÉ/documents/SMITH.CHT", &host));
  EXPECT_EQ(host, Host("c") + "/Users/Zoé/Documents/Smith.cht");
  EXPECT_TRUE(util::FileExistsChecked("C:\\WINDOWS\\halvane9.ini"));

  // Elements that do not exist yet keep the case they are written in.
  ASSERT_TRUE(ToHostPath("C:\\WINDOWS\\New\\Sub.ini", &host));
  EXPECT_EQ(host, Host("c") + "/windows/New/Sub.ini");
  ASSERT_TRUE(WriteWholeFileSafely("C:\\WINDOWS\\Other.INI", "x"));
  EXPECT_TRUE(fs::exists(root_ / "c/windows/Other.INI"));
  EXPECT_FALSE(fs::exists(root_ / "c/WINDOWS"));
}

TEST_F(DriveMapTest, PathsNeverLeaveTheirDrive) {
  UseMap("C:=3||" + Host("c") + "\nD:=3||" + Host("d"));
  std::string host;
  ASSERT_TRUE(ToHostPath("C:\\..\\..\\etc\\passwd", &host));
  EXPECT_EQ(host, Host("c") + "/etc/passwd");
  ASSERT_TRUE(ToHostPath("C:\\a\\.\\..\\b\\", &host));
  EXPECT_EQ(host, Host("c") + "/b");
  ASSERT_TRUE(ToHostPath("C:\\", &host));
  EXPECT_EQ(host, Host("c"));
  EXPECT_FALSE(ToHostPath("\\\\server\\share\\x.cht", &host));
  EXPECT_FALSE(ToHostPath("\\\\?\\C:\\x.cht", &host));
  EXPECT_FALSE(ToHostPath("K:\\x.cht", &host));

  // Relative paths and drive-relative ones go by the current folder.
  const std::string before = GetCurrentDirectory();
  ASSERT_TRUE(SetCurrentDirectory("D:\\"));
  ASSERT_TRUE(ToHostPath("sub\\x.cht", &host));
  EXPECT_EQ(host, Host("d") + "/sub/x.cht");
  ASSERT_TRUE(ToHostPath("\\x.cht", &host));
  EXPECT_EQ(host, Host("d") + "/x.cht");
  ASSERT_TRUE(ToHostPath("C:x.cht", &host));
  EXPECT_EQ(host, Host("c") + "/x.cht");
  EXPECT_EQ(GetCurrentDirectory(), "D:\\");
  EXPECT_TRUE(before.empty() || SetCurrentDirectory(before));
}

TEST_F(DriveMapTest, HostPathsBackToTheClosestDrive) {
  UseMap("C:=3||" + Host("c") + "\nD:=5||" + Host("c/mnt/cd"));
  std::string windows;
  ASSERT_TRUE(ToWindowsPath(Host("c/Charts"), &windows));
  EXPECT_EQ(windows, "C:\\Charts");
  ASSERT_TRUE(ToWindowsPath(Host("c/mnt/cd/Charts/x.cht", false), &windows));
  EXPECT_EQ(windows, "D:\\Charts\\x.cht");
  ASSERT_TRUE(ToWindowsPath(Host("c/mnt/cd"), &windows));
  EXPECT_EQ(windows, "D:\\");
  EXPECT_FALSE(ToWindowsPath(Host("elsewhere"), &windows));
  EXPECT_FALSE(ToWindowsPath(Host("c") + "x", &windows));  // a sibling sharing the prefix
}

TEST_F(DriveMapTest, ListingsGiveWindowsAttributes) {
  HostFile("c/Charts/.hidden.cht", "h");
  HostFile("c/Charts/locked.cht", "l");
  HostFile("c/top.cht", "t");
  fs::permissions(root_ / "c/Charts/locked.cht",
                  fs::perms::owner_write | fs::perms::group_write | fs::perms::others_write,
                  fs::perm_options::remove);
  UseMap("C:=3||" + Host("c"));
  EXPECT_EQ(GetFileAttributes("C:\\Charts\\.hidden.cht"), kAttrArchive | kAttrHidden);
  EXPECT_EQ(GetFileAttributes("C:\\Charts\\locked.cht"), kAttrArchive | kAttrReadOnly);
  EXPECT_EQ(GetFileAttributes("C:\\Charts"), kAttrDirectory);

  ASSERT_TRUE(SetFileAttributes("C:\\Charts\\locked.cht", 0));
  EXPECT_NE(fs::status(root_ / "c/Charts/locked.cht").permissions() & fs::perms::owner_write,
            fs::perms::none);
  ASSERT_TRUE(SetFileAttributes("C:\\Charts\\locked.cht", kAttrReadOnly | kAttrArchive));
  EXPECT_EQ(fs::status(root_ / "c/Charts/locked.cht").permissions() & fs::perms::all,
            fs::perms::owner_read | fs::perms::group_read | fs::perms::others_read);

  // A drive's root lists no "." and "..".
  std::vector<FindEntry> entries;
  ASSERT_TRUE(FindFiles("C:\\*.*", &entries));
  std::vector<std::string> names;
  for (const auto& entry : entries) names.push_back(entry.name);
  std::sort(names.begin(), names.end());
  EXPECT_EQ(names, (std::vector<std::string>{"Charts", "top.cht"}));
}

// The names of a folder are kept between lookups: they must follow the platform's own changes,
// and changes made behind its back, and two names that differ only in case.
TEST_F(DriveMapTest, KeptListingsFollowEveryChange) {
  HostFile("c/Charts/Smith.cht", "s");
  UseMap("C:=3||" + Host("c"));
  const std::string charts = Host("c") + "/Charts/";
  std::string host;
  ASSERT_TRUE(ToHostPath("C:\\charts\\SMITH.CHT", &host));
  EXPECT_EQ(host, charts + "Smith.cht");

  // Renamed behind the platform's back, then by the platform itself.
  fs::rename(charts + "Smith.cht", charts + "Jones.cht");
  ASSERT_TRUE(ToHostPath("C:\\charts\\JONES.CHT", &host));
  EXPECT_EQ(host, charts + "Jones.cht");
  ASSERT_TRUE(ToHostPath("C:\\charts\\SMITH.CHT", &host));
  EXPECT_EQ(host, charts + "SMITH.CHT");
  ASSERT_TRUE(MoveFileReplacing("C:\\charts\\jones.cht", "C:\\Charts\\Brown.cht"));
  ASSERT_TRUE(ToHostPath("C:\\CHARTS\\brown.CHT", &host));
  EXPECT_EQ(host, charts + "Brown.cht");
  ASSERT_TRUE(ToHostPath("C:\\CHARTS\\jones.cht", &host));
  EXPECT_EQ(host, charts + "jones.cht");

  // Two names that fold alike: deleting the one found leaves the other to be found.
  HostFile("c/Charts/twin.cht", "1");
  HostFile("c/Charts/TWIN.CHT", "2");
  ASSERT_TRUE(ToHostPath("C:\\Charts\\Twin.cht", &host));
  const std::string first = host;
  ASSERT_TRUE(first == charts + "twin.cht" || first == charts + "TWIN.CHT") << first;
  ASSERT_TRUE(DeleteFile("C:\\Charts\\Twin.cht"));
  EXPECT_FALSE(fs::exists(first));
  ASSERT_TRUE(ToHostPath("C:\\Charts\\Twin.cht", &host));
  EXPECT_NE(host, first);
  EXPECT_TRUE(fs::exists(host));
  ASSERT_TRUE(DeleteFile("C:\\Charts\\Twin.cht"));
  EXPECT_FALSE(FileExists("C:\\Charts\\twin.CHT"));

  // Created by the platform, then removed behind its back.
  ASSERT_TRUE(CreateDirectory("C:\\Charts\\Old"));
  ASSERT_TRUE(ToHostPath("C:\\charts\\OLD", &host));
  EXPECT_EQ(host, charts + "Old");
  fs::remove(charts + "Old");
  EXPECT_FALSE(FolderExists("C:\\charts\\OLD"));
  ASSERT_TRUE(ToHostPath("C:\\charts\\OLD", &host));
  EXPECT_EQ(host, charts + "OLD");

  // Made behind its back (by another program), then a change of the platform's own in the same
  // folder: the folder's new times are not this change's alone, and the other name is found.
  // (Read once the folder's times are past the clock's tick, the listing is trusted.)
  std::this_thread::sleep_for(std::chrono::milliseconds(50));
  ASSERT_TRUE(ToHostPath("C:\\charts\\brown.cht", &host));
  fs::create_directory(charts + "BACKUP");
  ASSERT_TRUE(DeleteFile("C:\\Charts\\Brown.cht"));
  EXPECT_TRUE(FolderExists("C:\\Charts\\backup"));
}

// More folders than are kept, looked up from several threads while files land in them: every
// lookup still finds what each folder holds.
TEST_F(DriveMapTest, ManyFoldersFromSeveralThreads) {
  constexpr int kFolders = 300;
  for (int i = 0; i < kFolders; ++i) HostFile("c/F" + std::to_string(i) + "/Chart.cht", "c");
  UseMap("C:=3||" + Host("c"));
  std::atomic<int> wrong{0};
  std::vector<std::thread> threads;
  for (int t = 0; t < 3; ++t) {
    threads.emplace_back([&, t] {
      for (int round = 0; round < 2; ++round) {
        for (int i = 0; i < kFolders; ++i) {
          const std::string folder = "C:\\f" + std::to_string(i) + "\\";
          std::string host;
          if (!ToHostPath(folder + "CHART.CHT", &host) ||
              host != Host("c") + "/F" + std::to_string(i) + "/Chart.cht") {
            ++wrong;
          }
          auto file = File::Open(folder + "T" + std::to_string(t) + "R" + std::to_string(round),
                                 File::Mode::kCreateNew);
          if (!file || !FileExists(folder + "t" + std::to_string(t) + "r" + std::to_string(round)))
            ++wrong;
        }
      }
    });
  }
  for (std::thread& thread : threads) thread.join();
  EXPECT_EQ(wrong.load(), 0);
}

// A folder slow to list (on a network drive) holds up the lookups in that folder, not all of them:
// the search's worker and the restore's threads look up names in other folders meanwhile. Each
// folder is looked up from a thread of its own, as folders may share a lock by chance.
TEST_F(DriveMapTest, AFolderSlowToListHoldsUpNoOther) {
  if (!test_support::FaultShimLoaded()) GTEST_SKIP() << "needs the fault shim";
  constexpr int kOthers = 8;
  HostFile("c/Slow/Chart.cht", "c");
  for (int i = 0; i < kOthers; ++i) HostFile("c/Quick" + std::to_string(i) + "/Chart.cht", "c");
  UseMap("C:=3||" + Host("c"));
  const std::string release = (root_ / "release").string();
  test_support::ArmedFault hold("RD_FAULT_HOLD_LIST", "/Slow@" + release);
  // The file's name under another case, so that its folder's listing is read.
  const auto look_up = [](const std::string& folder) {
    std::string host;
    return ToHostPath("C:\\" + folder + "\\CHART.CHT", &host) ? host : std::string();
  };
  std::future<std::string> slow = std::async(std::launch::async, look_up, "Slow");
  for (int i = 0; i < 10000 && !fs::exists(release + ".held"); ++i) {
    std::this_thread::sleep_for(std::chrono::milliseconds(1));
  }
  ASSERT_TRUE(fs::exists(release + ".held"));
  std::vector<std::future<std::string>> others;
  for (int i = 0; i < kOthers; ++i) {
    others.push_back(std::async(std::launch::async, look_up, "Quick" + std::to_string(i)));
  }
  const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(5);
  bool one_done = false;
  for (auto& other : others) {
    one_done = one_done || other.wait_until(deadline) == std::future_status::ready;
  }
  HostFile("release", "");
  EXPECT_TRUE(one_done) << "every lookup in another folder waited for the slow one";
  for (int i = 0; i < kOthers; ++i) {
    EXPECT_EQ(others[i].get(), Host("c") + "/Quick" + std::to_string(i) + "/Chart.cht");
  }
  EXPECT_EQ(slow.get(), Host("c") + "/Slow/Chart.cht");
}

// Names and kinds alone, as the search asks for them, agree with the full listing but for the dots.
TEST_F(DriveMapTest, ListingsOfNamesAndKindsAgreeWithFullOnes) {
  HostFile("c/Data/chart.cht", "c");
  HostFile("c/Data/.hidden", "h");
  Host("c/Data/Sub");
  Host("c/Elsewhere");
  fs::create_directory_symlink(root_ / "c/Elsewhere", root_ / "c/Data/LinkedFolder");
  fs::create_symlink(root_ / "c/Data/chart.cht", root_ / "c/Data/linked.cht");
  fs::create_symlink(root_ / "c/Data/gone", root_ / "c/Data/dangling");
  UseMap("C:=3||" + Host("c"));
  auto listed = [](FindDetail detail) {
    std::vector<FindEntry> entries;
    EXPECT_TRUE(FindFiles("C:\\data\\*.*", &entries, detail));
    std::map<std::string, uint32_t> kinds;
    for (const FindEntry& entry : entries) {
      kinds[entry.name] = entry.attributes & (kAttrDirectory | kAttrHidden);
    }
    return kinds;
  };
  auto full = listed(FindDetail::kFull);
  auto names_and_kinds = listed(FindDetail::kNamesAndKinds);
  EXPECT_EQ(names_and_kinds.count("."), 0u);
  EXPECT_EQ(names_and_kinds.count(".."), 0u);
  names_and_kinds["."] = full.at(".");
  names_and_kinds[".."] = full.at("..");
  EXPECT_EQ(full, names_and_kinds);
  EXPECT_EQ(full.at("LinkedFolder"), kAttrDirectory);
  EXPECT_EQ(full.at(".hidden"), kAttrHidden);
  EXPECT_EQ(full.at(".."), kAttrDirectory);
  EXPECT_EQ(full.size(), 8u);
  base::StringList charts = util::ListFiles("C:\\Data\\*.CHT");
  std::sort(charts.begin(), charts.end());
  EXPECT_EQ(charts, (base::StringList{"chart.cht", "linked.cht"}));
}

TEST_F(DriveMapTest, PathsLongerThanWindowsAllows) {
  UseMap("C:=3||" + Host("c"));
  std::string folder = "C:";
  while (folder.size() < 270) {
    folder += "\\" + std::string(40, 'f');
    ASSERT_TRUE(CreateDirectory(folder));
  }
  const std::string file = folder + "\\chart.cht";
  ASSERT_TRUE(WriteWholeFileSafely(file, "far down"));
  EXPECT_GT(file.size(), 260u);
  EXPECT_EQ(GetFileAttributes(file), kAttrArchive);
  std::string contents;
  EXPECT_TRUE(ReadWholeFile(file, &contents));
  EXPECT_EQ(contents, "far down");
  EXPECT_EQ(util::ListFiles(folder + "\\*.cht"), (base::StringList{"chart.cht"}));
  // The program's own existence check stops at 255 characters, by design.
  EXPECT_FALSE(util::FileExistsChecked(file));
}

TEST_F(DriveMapTest, MakeFolderPathNeverCreatesADriveRoot) {
  UseMap("C:=3||" + Host("c", false));
  util::MakeFolderPath("c:\\temp\\new\\sub\\");
  EXPECT_FALSE(fs::exists(root_ / "c"));
}

TEST_F(DriveMapTest, AWinePrefix) {
  const std::string prefix = Host("prefix");
  Host("prefix/drive_c/users/ann/Documents");
  Host("prefix/drive_c/users/ann/Temp");
  HostFile("prefix/drive_c/windows/HALVANE9.ini", "[Halvane]\r\nSystemDataPath=C:\\H9\\\r\n");
  HostFile("prefix/drive_c/users/ann/Documents/Halvane User Files/Settings/Halvane9.INI",
           "[Halvane]\r\nChartDataPath=D:\\Charts\\\r\n");
  Host("cdrom");
  Host("prefix/dosdevices");
  fs::create_directory_symlink("../drive_c", root_ / "prefix/dosdevices/c:");
  fs::create_directory_symlink(root_ / "cdrom", root_ / "prefix/dosdevices/d:");
  fs::create_symlink("/dev/null", root_ / "prefix/dosdevices/d::");
  HostFile("prefix/system.reg",
           "WINE REGISTRY Version 2\n\n[Software\\\\Wine\\\\Drives] 1700000000\n"
           "#time=1d\n\"d:\"=\"cdrom\"\n\n[Software\\\\Other]\n\"c:\"=\"network\"\n");
  env_.Unset("RIDIDEDUVURE_DRIVES");
  env_.Set("WINEPREFIX", prefix);
  env_.Set("USER", "ann");

  EXPECT_EQ(GetDriveType("D:\\"), kDriveCdrom);
  EXPECT_EQ(GetDriveType("C:\\"), DriveTypeOfMount(prefix + "/drive_c"));
  EXPECT_EQ(GetDriveType("E:\\"), kDriveNoRootDir);
  EXPECT_EQ(GetWindowsDirectory(), "C:\\windows");
  EXPECT_EQ(GetShellFolderPath(kCsidlPersonal), "C:\\users\\ann\\Documents");
  EXPECT_EQ(GetTempPath(), "C:\\users\\ann\\Temp\\");

  locations::Locations found;
  locations::ClearLocations(found);
  locations::LocateApplication(util::GetDocumentsDir(), found);
  EXPECT_EQ(locations::HalvaneVersion, 9);
  EXPECT_EQ(found.SystemDataFolder, "C:\\H9\\");
  EXPECT_EQ(found.ChartFolder, "D:\\Charts\\");
  locations::ClearLocations(found);
}

// Without a prefix the letters are Wine's own: the home folder is C:, so that what the window
// proposes and a search of the whole of C: stay among the user's files, and the root is Z:.
TEST_F(DriveMapTest, NoPrefixMapsTheHomeFolderAsCAndTheRootAsZ) {
  Host("home/Documents");
  env_.Unset("RIDIDEDUVURE_DRIVES");
  env_.Set("WINEPREFIX", Host("no-prefix", false));
  env_.Set("HOME", Host("home"));
  env_.Set("TMPDIR", Host("tmp"));
  EXPECT_EQ(GetWindowsDirectory(), "");
  EXPECT_EQ(GetShellFolderPath(kCsidlPersonal), "C:\\Documents");
  std::string expected_temp = "Z:" + Host("tmp") + "/";
  std::replace(expected_temp.begin(), expected_temp.end(), '/', '\\');
  EXPECT_EQ(GetTempPath(), expected_temp);
  std::string host;
  ASSERT_TRUE(ToHostPath("C:\\Documents", &host));
  EXPECT_EQ(host, Host("home") + "/Documents");
  ASSERT_TRUE(ToHostPath("Z:\\", &host));
  EXPECT_EQ(host, "/");
  // No proposal of a drive of a kind leaves the home folder.
  for (unsigned type : {kDriveRemovable, kDriveFixed, kDriveRemote, kDriveCdrom}) {
    const std::string found = util::FindDriveOfType(type);
    EXPECT_TRUE(found.empty() || found == "C:\\") << type;
  }
  EXPECT_EQ(GetDriveType("D:\\"), kDriveNoRootDir);
  std::string windows;
  ASSERT_TRUE(ToWindowsPath(Host("home/backups"), &windows));
  EXPECT_EQ(windows, "C:\\backups");
  ASSERT_TRUE(ToWindowsPath("/usr/bin", &windows));
  EXPECT_EQ(windows, "Z:\\usr\\bin");

  fs::remove(root_ / "home/Documents");
  EXPECT_EQ(GetShellFolderPath(kCsidlPersonal), "");
}

}  // namespace
}  // namespace platform::posix
