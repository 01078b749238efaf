// The command line of a run without a window: its words, and the real program started as a child
// for a backup and a check, as the system's scheduler starts it, with its exit status, its
// console output and its log.
#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <memory>
#include <string>
#include <vector>

#include "app/command_line.h"
#include "app/file_maint.h"
#include "app/unattended_run.h"
#include "platform/folder_lock.h"
#include "platform/platform.h"
#include "support/temp_folder.h"

#include "support/program_run.h"
#if defined(_WIN32)
#include "support/held_file.h"
#else
#include "support/host_entries.h"
#endif

namespace app {
namespace {

using ::testing::HasSubstr;
using Action = CommandLine::Action;

TEST(CommandLineTest, WordsAreReadAsTheUsageSays) {
  struct Case {
    std::vector<std::string> words;
    bool slash_options;
    Action action;
    std::string destination, source, verify;
    std::optional<bool> user_data;
    bool whole_disk;
    std::optional<int> keep = std::nullopt;
  };
  const Case cases[] = {
      {{}, false, Action::kWindow, "", "", "", std::nullopt, false},
      {{"--version"}, false, Action::kVersion, "", "", "", std::nullopt, false},
      {{"/?"}, false, Action::kHelp, "", "", "", std::nullopt, false},
      {{"--backup", "D:\\B"}, false, Action::kBackup, "D:\\B", "", "", std::nullopt, false},
      {{"--backup=D:\\B", "--source", "C:\\Charts", "--no-user-data"}, false, Action::kBackup,
       "D:\\B", "C:\\Charts", "", false, false},
      {{"--whole-disk", "--user-data", "--backup", "/home/ann/b"}, false, Action::kBackup,
       "/home/ann/b", "", "", true, true},
      {{"/backup", "D:\\B", "/whole-disk"}, true, Action::kBackup, "D:\\B", "", "", std::nullopt,
       true},
      {{"/backup:D:\\B", "/no-user-data"}, true, Action::kBackup, "D:\\B", "", "", false, false},
      {{"--backup", "D:\\B", "--keep", "0"}, false, Action::kBackup, "D:\\B", "", "", std::nullopt,
       false, 0},
      {{"--keep", "x", "--backup", "D:\\B"}, false, Action::kWrong, "", "", "", std::nullopt,
       false},
      {{"--verify", "D:\\B"}, false, Action::kVerify, "", "", "D:\\B", std::nullopt, false},
      // Wrong: a path where an option belongs, a slash where it means a path, a missing folder,
      // options that contradict each other or go with nothing.
      {{"D:\\B"}, false, Action::kWrong, "", "", "", std::nullopt, false},
      {{"/backup", "/tmp/b"}, false, Action::kWrong, "", "", "", std::nullopt, false},
      {{"--backup"}, false, Action::kWrong, "", "", "", std::nullopt, false},
      {{"--backup", ""}, false, Action::kWrong, "", "", "", std::nullopt, false},
      {{"--backup", "D:\\B", "--backup", "E:\\B"}, false, Action::kWrong, "", "", "",
       std::nullopt, false},
      {{"--backup", "D:\\B", "--user-data", "--no-user-data"}, false, Action::kWrong, "", "", "",
       std::nullopt, false},
      {{"--backup", "D:\\B", "--source", "C:\\X", "--whole-disk"}, false, Action::kWrong, "", "",
       "", std::nullopt, false},
      {{"--source", "C:\\X"}, false, Action::kWrong, "", "", "", std::nullopt, false},
      {{"--verify", "D:\\B", "--whole-disk"}, false, Action::kWrong, "", "", "", std::nullopt,
       false},
      {{"--whole-disk=yes", "--backup", "D:\\B"}, false, Action::kWrong, "", "", "", std::nullopt,
       false},
      {{"--restore", "D:\\B"}, false, Action::kWrong, "", "", "", std::nullopt, false},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(::testing::PrintToString(c.words));
    const CommandLine line = ReadCommandLine(c.words, c.slash_options);
    EXPECT_EQ(line.action, c.action);
    EXPECT_EQ(line.destination, c.destination);
    EXPECT_EQ(line.source, c.source);
    EXPECT_EQ(line.verify, c.verify);
    EXPECT_EQ(line.user_data, c.user_data);
    EXPECT_EQ(line.whole_disk, c.whole_disk);
    EXPECT_EQ(line.keep, c.keep);
    EXPECT_EQ(line.error.empty(), c.action != Action::kWrong) << line.error;
  }
}

// The log keeps whole records, the newest last, and no more than its bound.
TEST(CommandLineTest, TheLogKeepsTheLastRunsWhole) {
  std::string log;
  for (size_t run = 1; run <= kLoggedRuns + 5; ++run) {
    log = WithRecord(log, "run " + std::to_string(run) + "\n  line one\n  line two");
  }
  size_t records = 0;
  for (size_t at = 0; (at = log.find("run ", at)) != std::string::npos; ++at) ++records;
  EXPECT_EQ(records, kLoggedRuns);
  EXPECT_EQ(log.rfind("run 6\r\n  line one\r\n  line two\r\n", 0), 0u) << log.substr(0, 80);
  EXPECT_THAT(log, ::testing::EndsWith("run " + std::to_string(kLoggedRuns + 5) +
                                       "\r\n  line one\r\n  line two\r\n"));
}

// The program beside this test program, run as a scheduler runs it.
class ProgramRunTest : public ::testing::Test {
 protected:
  struct Ran {
    int status = -1;
    std::string output;
  };

  Ran Run(const std::vector<std::string>& arguments) {
    Ran ran;
    ran.status = test_support::RunProgram(test_support::ProgramBesideThisOne("ridideduvure"),
                                          arguments, &ran.output);
    return ran;
  }
  std::string Contents(const std::string& path) const {
    std::string text;
    platform::ReadWholeFile(path, &text);
    return text;
  }
  // Chart files of some size, so that a byte in the middle of their archive is data.
  void WriteCharts() {
    for (const char* name : {"a\\Moon.cht", "a\\Moon.chm", "b\\Sun.cht", "Venus.omb"}) {
      std::string text;
      for (int line = 0; text.size() < 20000; ++line) {
        text += std::string(name) + " line " + std::to_string(line * 7919 % 1009) + "\n";
      }
      temp_.Write(std::string("src\\") + name, text);
    }
  }
  std::string Source() const { return temp_ / "src\\"; }
  std::string Backup() const { return temp_ / "backup\\"; }
  std::vector<std::string> BackupWords() const {
    return {"--backup", Backup(), "--source", Source(), "--no-user-data"};
  }

  test_support::TempFolder temp_;
};

TEST_F(ProgramRunTest, ACompleteRunALeftOutFileAndAFolderInUse) {
  WriteCharts();
  Ran ran = Run(BackupWords());
  EXPECT_EQ(ran.status, kExitDone) << ran.output;
  EXPECT_THAT(ran.output, HasSubstr("Zipping up Chart Files: 4 files, "));
  EXPECT_THAT(ran.output, HasSubstr("Result: every file found was backed up and verified."));
  EXPECT_THAT(Contents(Backup() + kBackupLogName),
              HasSubstr("  ChartBackup.zip: 4 files, 0.1 MB stored\r\n"));
  ran = Run({"--verify", Backup()});
  EXPECT_EQ(ran.status, kExitDone) << ran.output;
  EXPECT_THAT(ran.output, HasSubstr("ChartBackup.zip: all 4 files are sound."));

  // A chart that cannot be read: the backup is written, and the file is named in the log.
  const std::string unreadable = temp_ / "src\\b\\Mars.cht";
#if defined(_WIN32)
  temp_.Write("src\\b\\Mars.cht", "held");
  const test_support::HeldFile held(unreadable);
  ASSERT_TRUE(held.held());
#else
  // A pipe: reading it could wait for ever.
  const test_support::HostEntry pipe = test_support::HostEntry::Fifo(unreadable);
  ASSERT_TRUE(pipe.made());
#endif
  ran = Run(BackupWords());
  EXPECT_EQ(ran.status, kExitLeftOut) << ran.output;
  std::string log = Contents(Backup() + kBackupLogName);
  EXPECT_THAT(log, HasSubstr("  Left out: " + unreadable + ": "));
  EXPECT_THAT(log, HasSubstr("(exit status 3)"));

  // Another backup into the folder holds it: this one waits, then gives up, leaving the
  // backup there as it was.
  const std::string before = Contents(Backup() + command::kChartArchiveName);
  ASSERT_FALSE(before.empty());
  temp_.Write("src\\New.cht", "a chart made since");
  {
    bool held_by_other = false;
    const std::unique_ptr<platform::FolderLock> other =
        platform::FolderLock::Take(Backup(), 0, &held_by_other);
    ASSERT_TRUE(other);
    ran = Run(BackupWords());
  }
  EXPECT_EQ(ran.status, kExitFailed) << ran.output;
  EXPECT_THAT(ran.output, HasSubstr("another backup into this folder is running"));
  EXPECT_EQ(Contents(Backup() + command::kChartArchiveName), before);
  ran = Run({"--verify", Backup()});
  EXPECT_EQ(ran.status, kExitDone) << ran.output;
}

TEST_F(ProgramRunTest, VerifyNamesADamagedEntry) {
  WriteCharts();
  ASSERT_EQ(Run(BackupWords()).status, kExitDone);
  const std::string archive = Backup() + command::kChartArchiveName;
  std::string bytes = Contents(archive);
  ASSERT_GT(bytes.size(), 1000u);
  // A byte of the first entry's data, past its local header.
  bytes[200] = static_cast<char>(bytes[200] ^ 0x55);
  ASSERT_TRUE(platform::WriteWholeFileSafely(temp_ / "damaged.zip", bytes));
  const Ran ran = Run({"--verify", temp_ / "damaged.zip"});
  EXPECT_EQ(ran.status, kExitFailed) << ran.output;
  EXPECT_THAT(ran.output, HasSubstr("1 of 4 files are damaged or cannot be read:"));

  const Ran missing = Run({"--verify", temp_ / "nowhere"});
  EXPECT_EQ(missing.status, kExitFailed) << missing.output;
  EXPECT_EQ(Run({"--backup", Backup(), "--frobnicate"}).status, kExitWrongWords);
}

}  // namespace
}  // namespace app
