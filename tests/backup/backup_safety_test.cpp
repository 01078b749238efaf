// The last good backup survives whatever happens to the next one: a cancel, a full disk, a
// target that cannot be written, a write damaged on its way to the disk, a refused rename, source
// files gone after the search, a killed run, or Exit in the middle of the run. And a source holding
// what is no file (a FIFO, a device, a socket) or folder links that loop is still backed up.
#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <algorithm>
#include <chrono>
#include <random>

#include "backup/backup_command.h"
#include "backup/backup_history.h"
#include "backup_fixture.h"
#include "base/stop_token.h"
#include "locations/locations.h"
#include "platform/platform.h"
#include "platform/work_files.h"
#include "zip/tzip.h"
#include "zipformat/zip_records.h"

#if !defined(_WIN32)
#include "support/faults.h"
#include "support/host_entries.h"
#include "support/host_process.h"
#else
#include "support/held_file.h"
#endif

namespace app {
namespace {

using ::testing::AllOf;
using ::testing::Contains;
using ::testing::ElementsAre;
using ::testing::EndsWith;
using ::testing::HasSubstr;
using ::testing::StartsWith;

// Bytes that do not compress, so the archive is as large as the files.
std::string Noise(size_t size, unsigned seed) {
  std::mt19937 random(seed);
  std::string bytes(size, '\0');
  for (char& c : bytes) c = static_cast<char>(random());
  return bytes;
}

// A few words in random order: deflate at level 9 takes seconds over a few megabytes of them.
std::string Wordy(size_t size) {
  static const char* const kWords[] = {"sun ", "moon ", "mars ", "trine ", "cusp ", "node "};
  std::mt19937 random(11);
  std::string text;
  while (text.size() < size) text += kWords[random() % 6];
  text.resize(size);
  return text;
}

class BackupSafetyTest : public BackupTest {
 protected:
  // A first, good backup of one small chart and of the user data of an installed version 9, chart
  // and user-data archive both; then a source with more in it for the run that is to fail.
  void MakeGoodBackup() {
    InstallUserFilesVersion(9, temp_ / "Halvane9", temp_ / "Charts");
    temp_.MakeFolder("Charts");
    const std::string user = DocumentsFolder() + "Halvane User Files\\";
    ASSERT_TRUE(platform::CreateDirectory(user + "Pages"));
    ASSERT_TRUE(platform::WriteWholeFileSafely(user + "Pages\\p.pag", Noise(50000, 7)));
    ASSERT_TRUE(platform::WriteWholeFileSafely(user + "places.plc", "the user's places"));
    temp_.Write("Src\\old.cht", "the old chart");
    RunBackup(temp_ / "Src", temp_ / "Dest", /*user_data=*/true);
    ASSERT_EQ(Label("PLabel").caption, "Finished.");
    good_charts_ = Bytes(chart_archive());
    good_user_data_ = Bytes(user_archive());
    ASSERT_THAT(Entries(chart_archive()), ElementsAre(EntryName(temp_ / "Src\\old.cht")));
    for (int i = 0; i < 3; ++i) {
      temp_.Write("Src\\big" + std::to_string(i) + ".cht", Noise(100000, i));
    }
    toolkit_.messages.clear();
    toolkit_.progress_log.clear();
    Label("PLabel").history.clear();
  }
  void ExpectGoodBackupKept() {
    EXPECT_TRUE(Bytes(chart_archive()) == good_charts_) << "the chart archive was changed";
    EXPECT_TRUE(Bytes(user_archive()) == good_user_data_) << "the user-data archive was changed";
    EXPECT_THAT(FilesIn(temp_ / "Dest"),
                ::testing::UnorderedElementsAre("ChartBackup.zip", "RUDadoze.zev"));
    // Nothing was replaced, so nothing went to the earlier backups either.
    EXPECT_FALSE(platform::FolderExists(temp_ / "Dest\\" + backup::kHistoryFolderName));
    EXPECT_THAT(Label("PLabel").history, ::testing::Not(Contains("Finished.")));
    EXPECT_FALSE(toolkit_.busy);
  }
  std::string chart_archive() const { return temp_ / "Dest\\ChartBackup.zip"; }
  std::string user_archive() const { return temp_ / "Dest\\RUDadoze.zev"; }

  std::string good_charts_, good_user_data_;
};

TEST_F(BackupSafetyTest, CancelKeepsThePreviousArchives) {
  MakeGoodBackup();
  int cancels = 0;
  toolkit_.on_process_messages = [&](int) {
    if (cancels == 0 && toolkit_.progress && toolkit_.progress->Visible()) {
      ++cancels;
      toolkit_.progress->Click();
    }
  };
  RunBackup(temp_ / "Src", temp_ / "Dest", true);
  EXPECT_EQ(cancels, 1);
  ExpectGoodBackupKept();
  // Cancelled by the user: no further step, and nothing to tell.
  EXPECT_THAT(Messages(), ElementsAre());
  EXPECT_THAT(toolkit_.progress_log,
              ::testing::Not(Contains("caption:Zipping up User Data Files.")));
}

// Cancel is heard while the library is still reading and packing a large chart, not only once
// it is done with it.
TEST_F(BackupSafetyTest, CancelWhileAChartIsReadKeepsThePreviousArchives) {
  MakeGoodBackup();
  const std::string slow = temp_.Write("Src\\words.cht", Wordy(6 << 20));
  using Clock = std::chrono::steady_clock;
  Clock::time_point shown;
  int cancels = 0;
  toolkit_.on_process_messages = [&](int) {
    if (cancels > 0 || !toolkit_.progress || !toolkit_.progress->Visible()) return;
    if (shown == Clock::time_point()) shown = Clock::now();
    if (Clock::now() - shown >= std::chrono::milliseconds(300)) {
      ++cancels;
      toolkit_.progress->Click();
    }
  };
  RunBackup(temp_ / "Src", temp_ / "Dest", true);
  EXPECT_EQ(cancels, 1);
  ExpectGoodBackupKept();
  EXPECT_THAT(Messages(), ElementsAre());
  // The large chart was never begun: the cancel came while it was read.
  EXPECT_THAT(toolkit_.progress_log, ::testing::Not(Contains(HasSubstr("words.cht"))));
  EXPECT_THAT(toolkit_.progress_log,
              ::testing::Not(Contains("caption:Zipping up User Data Files.")));
}

#if !defined(_WIN32)
using test_support::HostEntry;

TEST_F(BackupSafetyTest, PipesDevicesAndSocketsAreSkippedAndTheRestBackedUp) {
  temp_.Write("Src\\real.cht", "a chart");
  // A FIFO no one writes to, a link to a device without end, and a socket.
  const HostEntry fifo = HostEntry::Fifo(temp_ / "Src\\pipe.cht");
  const HostEntry zero = HostEntry::Link(temp_ / "Src\\zero.cht", "/dev/zero");
  const HostEntry socket = HostEntry::Socket(temp_ / "Src\\socket.cht");
  ASSERT_TRUE(fifo.made() && zero.made() && socket.made());
  Open();
  std::vector<std::string> not_storable;
  window_->Zip1->OnZEDSkippedEvent = [&](zip::TZip&, const std::string& what, int reason,
                                         platform::Cause) {
    if (reason == zipdll::kSkipNotStorable) not_storable.push_back(what);
  };
  RunBackup(temp_ / "Src", temp_ / "Dest", /*user_data=*/false);
  EXPECT_EQ(Label("PLabel").caption, "Finished.");
  // Not files: they are named as left out, and the backup of the rest is kept.
  ASSERT_THAT(Messages(), ElementsAre(AllOf(HasSubstr("ChartBackup.zip holds 1 of 4 files"),
                                            HasSubstr(temp_ / "Src\\pipe.cht"),
                                            HasSubstr(temp_ / "Src\\socket.cht"))));
  EXPECT_THAT(Entries(chart_archive()), ElementsAre(EntryName(temp_ / "Src\\real.cht")));
  EXPECT_THAT(not_storable,
              ::testing::UnorderedElementsAre(temp_ / "Src\\pipe.cht", temp_ / "Src\\zero.cht",
                                              temp_ / "Src\\socket.cht"));
}

// As an ordinary user, so that permissions bind: a chart and a user-data file that cannot be
// read, a folder that cannot be searched and a name no Windows path can hold are each named with
// why, once, at the end; the archives of everything else are kept, and the run finishes.
TEST_F(BackupSafetyTest, WhatCannotBeReadIsNamedWithWhyAndTheRestIsKept) {
  if (!test_support::RunUnprivileged()) return;
  MakeGoodBackup();
  const std::string user = DocumentsFolder() + "Halvane User Files\\";
  temp_.Write("Src\\locked.cht", "private");
  temp_.Write("Src\\Closed\\inside.cht", "never found");
  temp_.Write("Src\\odd:name.cht", "a name only Linux allows");
  ASSERT_TRUE(platform::WriteWholeFileSafely(user + "secret.plc", "private places"));
  const test_support::AccessMode locked(temp_ / "Src\\locked.cht", 0);
  const test_support::AccessMode closed(temp_ / "Src\\Closed", 0);
  const test_support::AccessMode secret(user + "secret.plc", 0);
  ASSERT_TRUE(locked.made() && closed.made() && secret.made());
  RunBackup(temp_ / "Src", temp_ / "Dest", /*user_data=*/true);

  EXPECT_EQ(Label("PLabel").caption, "Finished.");
  EXPECT_EQ(Entries(chart_archive()).size(), 4u);
  EXPECT_THAT(Entries(user_archive()), Contains(HasSubstr("places.plc")));
  EXPECT_THAT(
      Messages(),
      ElementsAre(AllOf(
          StartsWith("The backup is not complete: 3 files and 1 folder were left out."),
          HasSubstr("ChartBackup.zip holds 4 of 6 files."),
          HasSubstr("RUDadoze.zev holds 3 of 4 files."),
          HasSubstr(temp_ / "Src\\locked.cht: access is denied\n"),
          HasSubstr(temp_ / "Src\\Closed\\ (a folder that could not be searched, so its "
                            "files are missing): access is denied\n"),
          HasSubstr(temp_ / "Src\\odd:name.cht: its name holds a \\ or a :"),
          HasSubstr(user + "secret.plc: access is denied\n"), HasSubstr("it has been kept"))));
}

// Two folder links, each pointing at the folder it is in, in the user data.
TEST_F(BackupSafetyTest, FolderLinksThatLoopAreWalkedOnce) {
  const std::string user = temp_ / "User5";
  temp_.Write("User5\\places.plc", "places");
  temp_.Write("User5\\Wheels\\w.wh1", "wheel");
  temp_.Write("Charts\\c.cht", "chart");
  const HostEntry loop = HostEntry::Link(user + "\\loop", ".");
  const HostEntry wheels_loop = HostEntry::Link(user + "\\Wheels\\loop", ".");
  ASSERT_TRUE(loop.made() && wheels_loop.made());
  InstallOlderVersion(5, temp_ / "Interp5", temp_ / "App", temp_ / "Charts", user);
  const auto start = std::chrono::steady_clock::now();
  RunBackup(temp_ / "Charts", temp_ / "Dest", /*user_data=*/true);
  EXPECT_LT(std::chrono::steady_clock::now() - start, std::chrono::seconds(60));
  EXPECT_EQ(Label("PLabel").caption, "Finished.");
  EXPECT_THAT(Entries(user_archive()),
              ElementsAre(EntryName(user + "\\"), EntryName(user + "\\places.plc"),
                          EntryName(user + "\\Wheels\\"), EntryName(user + "\\Wheels\\w.wh1")));
}

// The process may write no file beyond a few kilobytes: as good as a full disk.
TEST_F(BackupSafetyTest, FullDiskKeepsThePreviousArchivesAndSaysSo) {
  MakeGoodBackup();
  {
    const test_support::FileSizeLimit limit(64 * 1024);
    ASSERT_TRUE(limit.set());
    RunBackup(temp_ / "Src", temp_ / "Dest", true);
  }

  ExpectGoodBackupKept();
  EXPECT_THAT(Messages(),
              ElementsAre(AllOf(StartsWith("The backup could not be written to " + chart_archive() +
                                           ": the drive is full (the backup needs about "),
                                EndsWith("An earlier backup there has been left as it was."))));
}

TEST_F(BackupSafetyTest, TargetThatCannotBeWrittenKeepsThePreviousArchives) {
  if (!test_support::RunUnprivileged()) return;
  MakeGoodBackup();
  {
    const test_support::AccessMode read_only(temp_ / "Dest", 0555);
    ASSERT_TRUE(read_only.made());
    RunBackup(temp_ / "Src", temp_ / "Dest", /*user_data=*/true);
  }
  ExpectGoodBackupKept();
  EXPECT_THAT(Messages(), ElementsAre("The backup could not be written to " + chart_archive() +
                                      ": access is denied. An earlier backup there has been left "
                                      "as it was."));
}
#endif

#if defined(_WIN32)
// A chart that another handle holds open without sharing (the application with the chart it
// shows, a scanner) cannot be read: the backup names it with that cause and keeps the rest.
TEST_F(BackupSafetyTest, AChartHeldOpenWithoutSharingIsNamedAsInUse) {
  MakeGoodBackup();
  const test_support::HeldFile held(temp_ / "Src\\big1.cht");
  ASSERT_TRUE(held.held());
  RunBackup(temp_ / "Src", temp_ / "Dest", /*user_data=*/false);
  EXPECT_EQ(Label("PLabel").caption, "Finished.");
  EXPECT_EQ(Entries(chart_archive()).size(), 3u);
  EXPECT_THAT(
      Messages(),
      ElementsAre(AllOf(HasSubstr("ChartBackup.zip holds 3 of 4 files."),
                        HasSubstr(temp_ / "Src\\big1.cht: another program is using the file\n"))));
}
#endif

TEST_F(BackupSafetyTest, EachNewArchiveIsReadBackBeforeItReplacesTheOldOne) {
  MakeGoodBackup();
  RunBackup(temp_ / "Src", temp_ / "Dest", true);
  EXPECT_THAT(Messages(), ElementsAre());
  EXPECT_EQ(Entries(chart_archive()).size(), 4u);
  std::vector<std::string> captions;
  for (const std::string& entry : toolkit_.progress_log) {
    if (entry.rfind("caption:", 0) == 0) captions.push_back(entry);
  }
  EXPECT_THAT(captions,
              ElementsAre("caption:Zipping up Chart Files.", "caption:Verifying the backup.",
                          "caption:Zipping up User Data Files.", "caption:Verifying the backup."));
  // The status line says what the command does, not how the component checks its work.
  EXPECT_THAT(Label("PLabel").history, ::testing::Not(Contains("Verifying the backup.")));
  EXPECT_EQ(Label("PLabel").caption, "Finished.");
}

TEST_F(BackupSafetyTest, SourceFilesGoneAfterTheSearchKeepThePreviousArchives) {
  MakeGoodBackup();
  // As a source drive unplugged between the search and the archive: the add has listed its
  // files when it first lets messages run, and reads them only afterwards.
  bool removed = false;
  toolkit_.on_process_messages = [&](int) {
    if (removed || !toolkit_.progress || !toolkit_.progress->Visible()) return;
    removed = true;
    for (const char* name : {"old.cht", "big0.cht", "big1.cht", "big2.cht"}) {
      ASSERT_TRUE(platform::DeleteFile(temp_ / (std::string("Src\\") + name)));
    }
  };
  RunBackup(temp_ / "Src", temp_ / "Dest", true);
  EXPECT_TRUE(removed);
  EXPECT_TRUE(Bytes(chart_archive()) == good_charts_) << "the chart archive was changed";
  // The user data are on another drive: their backup goes on, and one box tells the whole run.
  EXPECT_THAT(Entries(user_archive()), Contains(HasSubstr("places.plc")));
  EXPECT_EQ(Label("PLabel").caption, "Finished.");
  std::vector<::testing::Matcher<std::string>> told = {
      StartsWith(
          "None of the chart files found below " + (temp_ / "Src\\") +
          " could be read, so nothing of them was backed up. The backup ChartBackup.zip in " +
          (temp_ / "Dest\\") + " has been left as it was."),
      HasSubstr("The backup is not complete: 4 files were left out.")};
  for (const char* name : {"old.cht", "big0.cht", "big1.cht", "big2.cht"}) {
    told.push_back(HasSubstr(temp_ / (std::string("Src\\") + name) +
                             ": the file or folder no longer exists\n"));
  }
  EXPECT_THAT(Messages(), ElementsAre(::testing::AllOfArray(told)));
}

#if !defined(_WIN32)
// The faults below the program: a write damaged on its way to the disk, a refused rename.
class BackupFaultTest : public BackupSafetyTest {
 protected:
  void SetUp() override {
    ASSERT_TRUE(test_support::FaultShimLoaded())
        << "run through ctest, which preloads tests/support/fault_shim.c";
  }
};

// Where in the new chart archive a byte is damaged. The archive is first made whole in another
// folder from the same files, and the place found in it: its layout does not depend on the
// folder it is written to.
struct Damage {
  const char* name;
  size_t (*where)(const std::string& archive);
};

// The position of a record's field, found as the first byte that changes with the field's bits
// of mask.
template <typename Record, typename Field>
size_t FieldAt(const Record& record, Field Record::*field, Field mask = static_cast<Field>(~0)) {
  Record changed = record;
  changed.*field = static_cast<Field>(record.*field ^ mask);
  zipformat::Bytes before, after;
  record.Append(&before);
  changed.Append(&after);
  return static_cast<size_t>(std::mismatch(before.begin(), before.end(), after.begin()).first -
                             before.begin());
}

size_t EndRecordAt(const std::string& archive, zipformat::EndRecord* end) {
  for (size_t at = archive.size() - zipformat::EndRecord::kSize;; --at) {
    const auto parsed = zipformat::EndRecord::Parse(zipformat::AsBytes(archive).subspan(at));
    if (parsed && at + zipformat::EndRecord::kSize + parsed->comment_length == archive.size()) {
      *end = *parsed;
      return at;
    }
    if (at == 0) return 0;
  }
}

// The first central header of the archive.
zipformat::CentralHeader FirstCentral(const std::string& archive, size_t* at) {
  zipformat::EndRecord end;
  EndRecordAt(archive, &end);
  *at = end.directory_offset;
  return zipformat::CentralHeader::Parse(zipformat::AsBytes(archive).subspan(*at)).value();
}

const Damage kDamages[] = {
    {"InTheData", [](const std::string&) -> size_t { return 1000; }},
    // Streaming readers go by the local headers, so their names count too.
    {"InAName", [](const std::string&) { return zipformat::LocalHeader::kSize + 2; }},
    {"InTheComment", [](const std::string& archive) { return archive.size() - 1; }},
    {"InACentralDate",
     [](const std::string& archive) {
       size_t at = 0;
       const auto central = FirstCentral(archive, &at);
       return at + FieldAt(central, &zipformat::CentralHeader::dos_date);
     }},
    {"InCentralAttributes",
     [](const std::string& archive) {
       size_t at = 0;
       const auto central = FirstCentral(archive, &at);
       return at + FieldAt(central, &zipformat::CentralHeader::external_attributes);
     }},
    {"InTheFirstHostSystem",
     [](const std::string& archive) {
       size_t at = 0;
       const auto central = FirstCentral(archive, &at);
       // The system, which decides the code page its names are read in.
       return at + FieldAt(central, &zipformat::CentralHeader::version_made_by, uint16_t{0xFF00});
     }},
    {"InTheEndRecordsCount",
     [](const std::string& archive) {
       zipformat::EndRecord end;
       const size_t at = EndRecordAt(archive, &end);
       return at + FieldAt(end, &zipformat::EndRecord::disk_entries);
     }},
};

void PrintTo(const Damage& damage, std::ostream* out) { *out << damage.name; }

class DamagedWriteTest : public BackupFaultTest, public ::testing::WithParamInterface<Damage> {};

TEST_P(DamagedWriteTest, IsCaughtBeforeItReplacesAnything) {
  MakeGoodBackup();
  RunBackup(temp_ / "Src", temp_ / "Probe", false);
  const std::string made = Bytes(temp_ / "Probe\\ChartBackup.zip");
  ASSERT_THAT(made, ::testing::Not(::testing::IsEmpty()));
  zipformat::EndRecord end;
  EndRecordAt(made, &end);
  ASSERT_GT(end.comment_length, 0) << "a chart archive has a comment";
  toolkit_.messages.clear();
  Label("PLabel").history.clear();
  {
    const test_support::ArmedFault flip(
        "RD_FAULT_FLIP", "/Dest/~ridideduvure-add-@" + std::to_string(GetParam().where(made)));
    RunBackup(temp_ / "Src", temp_ / "Dest", true);
  }
  ExpectGoodBackupKept();
  EXPECT_THAT(Messages(),
              ElementsAre(AllOf(StartsWith("The backup written to " + chart_archive() +
                                           " did not read back correctly: "),
                                EndsWith(". An earlier backup there has been left as it was."))));
}

INSTANTIATE_TEST_SUITE_P(OneByte, DamagedWriteTest, ::testing::ValuesIn(kDamages),
                         [](const ::testing::TestParamInfo<Damage>& info) {
                           return std::string(info.param.name);
                         });

struct RefusedRename {
  const char* name;
  const char* variable;  // of the fault shim
  const char* path;
  const char* told;      // how the box begins, after its first words
};

class RefusedRenameTest : public BackupFaultTest,
                          public ::testing::WithParamInterface<RefusedRename> {};

TEST_P(RefusedRenameTest, KeepsThePreviousArchivesAndSaysSo) {
  MakeGoodBackup();
  {
    const test_support::ArmedFault refuse(GetParam().variable, GetParam().path);
    RunBackup(temp_ / "Src", temp_ / "Dest", true);
  }
  ExpectGoodBackupKept();
  EXPECT_THAT(Messages(), ElementsAre(AllOf(StartsWith(GetParam().told + chart_archive()),
                                            EndsWith("An earlier backup there has been left as "
                                                     "it was."))));
}

// The adding library's own rename of its work file over the new archive; the move of the archive
// replaced into the earlier backups; and the last step of the command, the new archive over the
// old one, after which the old one comes back from the earlier backups.
INSTANTIATE_TEST_SUITE_P(
    EachRename, RefusedRenameTest,
    ::testing::Values(
        RefusedRename{"LibraryOntoTheNewArchive", "RD_FAULT_RENAME", "/Dest/~ridideduvure-backup-",
                      "The backup could not be written to "},
        RefusedRename{"OldIntoTheEarlierBackups", "RD_FAULT_RENAME", "/Dest/Earlier backups/",
                      "The earlier backup "},
        RefusedRename{"NewOverTheOld", "RD_FAULT_RENAME_FROM", "/Dest/~ridideduvure-backup-",
                      "The backup could not be written to "}),
    [](const ::testing::TestParamInfo<RefusedRename>& info) {
      return std::string(info.param.name);
    });

// Work files in the backup folder: the names that start with a prefix of the program's own.
std::vector<std::string> WorkFilesIn(const std::vector<std::string>& names) {
  std::vector<std::string> work;
  for (const std::string& name : names) {
    if (name.rfind(platform::kWorkFilePrefix, 0) == 0) work.push_back(name);
  }
  return work;
}

using test_support::ChildProcess;

struct KillPoint {
  const char* caption;  // of the progress window at the moment
  int pump;             // how many times messages ran under that caption
  bool charts_done;     // the new chart archive had replaced the old one by then
};

class KilledRunTest : public BackupSafetyTest, public ::testing::WithParamInterface<KillPoint> {};

TEST_P(KilledRunTest, LeavesTheOldArchivesAndTheNextRunRemovesItsWorkFiles) {
  MakeGoodBackup();
  ChildProcess child;
  const bool reached = child.Start([&](ChildProcess& self) {
    int pumps = 0;
    toolkit_.on_process_messages = [&](int) {
      if (!toolkit_.progress || !toolkit_.progress->Visible()) return;
      if (toolkit_.progress_log.empty()) return;
      std::string caption;
      for (const std::string& entry : toolkit_.progress_log) {
        if (entry.rfind("caption:", 0) == 0) caption = entry.substr(8);
      }
      if (caption == GetParam().caption && ++pumps == GetParam().pump) self.Reached();
    };
    RunBackup(temp_ / "Src", temp_ / "Dest", true);
  });
  ASSERT_TRUE(reached) << "the run never got to " << GetParam().caption;
  child.Kill();
  if (GetParam().charts_done) {
    EXPECT_EQ(Entries(chart_archive()).size(), 4u);
  } else {
    EXPECT_EQ(Bytes(chart_archive()), good_charts_);
  }
  EXPECT_EQ(Bytes(user_archive()), good_user_data_);
  const std::vector<std::string> left = WorkFilesIn(FilesIn(temp_ / "Dest"));
  EXPECT_FALSE(left.empty()) << "the killed run left nothing to clean";

  RunBackup(temp_ / "Src", temp_ / "Dest", true);
  EXPECT_EQ(Label("PLabel").caption, "Finished.");
  EXPECT_THAT(FilesIn(temp_ / "Dest"),
              ::testing::UnorderedElementsAre("ChartBackup.zip", "RUDadoze.zev"));
  EXPECT_EQ(Entries(chart_archive()).size(), 4u);
}

INSTANTIATE_TEST_SUITE_P(AtSeveralPoints, KilledRunTest,
                         ::testing::Values(KillPoint{"Zipping up Chart Files.", 5, false},
                                           KillPoint{"Verifying the backup.", 3, false},
                                           KillPoint{"Zipping up User Data Files.", 3, true}));

// Only the program's own work files are removed, and only those no process has open; the user's
// files that look like the work files of other programs, or of this one before, stay.
TEST_F(BackupSafetyTest, WorkFilesInUseAndFilesNotOursAreLeftAlone) {
  MakeGoodBackup();
  const std::string prefix = platform::kWorkFilePrefix;
  const std::string in_use = temp_.Write("Dest\\" + prefix + "backup-1F.tmp", "another run's");
  temp_.Write("Dest\\" + prefix + "add-2A.tmp", "what a killed run left");
  const std::vector<std::string> users = {"zipfeed.tmp", "RDB1.TMP", "zipABC.tmp", "zip2A.TMP"};
  for (const std::string& name : users) temp_.Write("Dest\\" + name, "the user's");
  // The component's copy of an archive is kept in the temporary folder.
  const std::string left_in_temp = platform::GetTempPath() + platform::WorkFileName("copy");
  ASSERT_TRUE(platform::WriteWholeFileSafely(left_in_temp, "a killed run's copy"));
  ChildProcess holder;
  ASSERT_TRUE(holder.Start([&](ChildProcess& self) {
    const auto file = platform::File::Open(in_use, platform::File::Mode::kRead);
    if (file) self.Reached();
  }));
  RunBackup(temp_ / "Src", temp_ / "Dest", false);
  EXPECT_EQ(Label("PLabel").caption, "Finished.");
  std::vector<std::string> kept = {"ChartBackup.zip", "RUDadoze.zev"};
  kept.insert(kept.end(), users.begin(), users.end());
  kept.push_back(prefix + "backup-1F.tmp");
  EXPECT_THAT(FilesIn(temp_ / "Dest"), ::testing::UnorderedElementsAreArray(kept));
  EXPECT_EQ(platform::GetFileAttributes(left_in_temp), platform::kInvalidAttributes);
  holder.Kill();
  RunBackup(temp_ / "Src", temp_ / "Dest", false);
  kept.pop_back();
  EXPECT_THAT(FilesIn(temp_ / "Dest"), ::testing::UnorderedElementsAreArray(kept));
  for (const std::string& name : users) EXPECT_EQ(temp_.Read("Dest\\" + name), "the user's");
}
#endif

TEST_F(BackupSafetyTest, ExitDuringTheWalkWritesNothing) {
  MakeGoodBackup();
  for (int i = 0; i < 120; ++i) temp_.MakeFolder("Src\\F" + std::to_string(i));
  // The walk lets messages run every 100 folders, the first time before it says what it does.
  toolkit_.on_process_messages = [&](int) {
    if (!StopRequested && Label("PLabel").caption.starts_with("Inspecting Folders")) {
      ASSERT_TRUE(Button("BitBtn2").Click());
    }
  };
  RunBackup(temp_ / "Src", temp_ / "Dest", true);
  EXPECT_TRUE(StopRequested);
  EXPECT_FALSE(window_->FoundFiles);
  ExpectGoodBackupKept();
  EXPECT_THAT(toolkit_.progress_log, ::testing::Not(Contains("show")));
}

TEST_F(BackupSafetyTest, ExitDuringTheChartArchiveFinishesItAndStopsThere) {
  MakeGoodBackup();
  size_t progress_at_exit = 0;
  toolkit_.on_process_messages = [&](int) {
    if (!StopRequested && toolkit_.progress && toolkit_.progress->Visible()) {
      progress_at_exit = toolkit_.progress_log.size();
      ASSERT_TRUE(Button("BitBtn2").Click());
    }
  };
  RunBackup(temp_ / "Src", temp_ / "Dest", true);
  EXPECT_TRUE(StopRequested);
  EXPECT_FALSE(window_->FoundFiles);
  // The chart archive was complete, so it replaced the old one; the user data were not started.
  EXPECT_EQ(Entries(chart_archive()).size(), 4u);
  EXPECT_EQ(Bytes(user_archive()), good_user_data_);
  ASSERT_EQ(window_->Report().tallies().size(), 1u);
  EXPECT_EQ(window_->Report().tallies()[0].archive, command::kChartArchiveName);
  EXPECT_THAT(toolkit_.progress_log,
              ::testing::Not(Contains("caption:Zipping up User Data Files.")));
  EXPECT_THAT(Label("PLabel").history, ::testing::Not(Contains("Finished.")));
  EXPECT_THAT(FilesIn(temp_ / "Dest"),
              ::testing::UnorderedElementsAre("ChartBackup.zip", "RUDadoze.zev"));
  // Every window went with the click: the progress window at once, and the check of the new
  // archive read it back without one.
  ASSERT_GT(progress_at_exit, 0u);
  const std::vector<std::string> after_exit(toolkit_.progress_log.begin() + progress_at_exit,
                                            toolkit_.progress_log.end());
  ASSERT_FALSE(after_exit.empty());
  EXPECT_EQ(after_exit.front(), "hide");
  EXPECT_THAT(after_exit, ::testing::Not(Contains("show")));
}

// The command on its own, with no window to close and none to show its status: the stop token
// alone ends the run at its next step, and what it had not replaced stays as it was.
TEST_F(BackupSafetyTest, TheStopTokenAloneEndsTheCommandWithoutAWindow) {
  MakeGoodBackup();
  temp_.Write("Src\\new.cht", "a new chart");
  locations::Locations found;
  locations::ClearLocations(found);
  locations::LocateApplication(DocumentsFolder(), found);
  backup::BackupRequest request;
  request.source = temp_ / "Src\\";
  request.destination = temp_ / "Dest\\";
  // Stopped before anything is written, then while the chart archive is written (run in this
  // order: the second replaces the chart archive).
  for (const bool during_archive : {false, true}) {
    SCOPED_TRACE(during_archive ? "while the chart archive is written" : "before the archives");
    zip::TZip zip;
    zip.ShowProgressDialog = true;
    base::StopSource stop;
    toolkit_.on_process_messages = [&](int) {
      if (!during_archive || (toolkit_.progress && toolkit_.progress->Visible())) stop.Request();
    };
    const command::Tools tools{toolkit_, zip, stop.Token()};
    backup::BackupCommand command(tools, found, nullptr);
    const backup::BackupResult result = command.Run(request);
    EXPECT_EQ(result.outcome, command::Outcome::kStopped);
    EXPECT_TRUE(stop.Requested());
    // An archive begun is finished, for half a one would replace nothing; the next is not begun.
    const std::vector<std::string> entries = Entries(chart_archive());
    EXPECT_EQ(std::count(entries.begin(), entries.end(), EntryName(temp_ / "Src\\new.cht")),
              during_archive ? 1 : 0);
    std::vector<std::string> written;
    for (const command::RunReport::Tally& tally : result.report.tallies()) {
      written.push_back(tally.archive);
    }
    EXPECT_EQ(written, during_archive ? std::vector<std::string>{command::kChartArchiveName}
                                      : std::vector<std::string>{});
    EXPECT_EQ(Bytes(user_archive()), good_user_data_);
    EXPECT_EQ(platform::FolderExists(temp_ / "Dest\\" + backup::kHistoryFolderName),
              during_archive);
  }
  toolkit_.on_process_messages = nullptr;
}

}  // namespace
}  // namespace app
