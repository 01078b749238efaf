// The question a restore asks before it writes anything: its counts against what the restore then
// does, file by file, and a No that leaves every file and folder as it was.
#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <map>
#include <regex>

#include "platform/platform.h"
#include "base/wildcard.h"
#include "restore_fixture.h"
#include "util/ini_file.h"

namespace app {
namespace {

using ::testing::HasSubstr;

const int32_t kOld = DosTime(2018, 2, 3, 10, 0);
const int32_t kMid = DosTime(2020, 7, 9, 12, 30);
const int32_t kNew = DosTime(2022, 12, 24, 18, 2);

// Every file and folder below folder: its path (folded, as the file system compares names), and
// for a file its age and contents.
using Tree = std::map<std::string, std::string>;
void AddTree(const std::string& folder, Tree* tree) {
  std::vector<platform::FindEntry> entries;
  if (!platform::FindFiles(base::AddBackslash(folder) + "*", &entries)) return;
  for (const platform::FindEntry& entry : entries) {
    if (entry.name == "." || entry.name == "..") continue;
    const std::string path = base::AddBackslash(folder) + entry.name;
    if (entry.attributes & platform::kAttrDirectory) {
      (*tree)[base::FoldCase(path + "\\")] = "folder";
      AddTree(path, tree);
    } else {
      std::string contents;
      platform::ReadWholeFile(path, &contents);
      (*tree)[base::FoldCase(path)] = std::to_string(entry.dos_time) + ":" + contents;
    }
  }
}

// "   12 into C:\Folder\" lines of a question: folder -> count.
std::map<std::string, size_t> IntoLines(const std::string& question) {
  std::map<std::string, size_t> into;
  const std::regex line(R"(\n   (\d+) into ([^\n]*?)(, each into[^\n]*)?(?=\n))");
  for (std::sregex_iterator it(question.begin(), question.end(), line), end; it != end; ++it) {
    into[base::FoldCase((*it)[2].str())] = std::stoul((*it)[1]);
  }
  return into;
}

// A version 9 installation whose charts are still in an old folder, its settings naming them
// and listing recent charts; a chart backup (two charts of one name among them) and a user-data
// backup beside it; and files already in place, one older and two newer than the backup's.
class RestoreQuestionTest : public RestoreTest {
 protected:
  void SetUp() override {
    InstallUserFilesVersion(9, "C:\\Halvane\\System", temp_ / "OldCharts\\");
    WriteUserSettings(9, "[Halvane]\r\nChartDataPath=" + temp_ / "OldCharts\\" +
                             "\r\n[ChartsMRU]\r\nFile1=" + temp_ / "OldCharts\\Smith.cht\r\n");
    Put("old\\a\\Smith.cht", "smith", kMid);
    Put("old\\a\\Smith.CHM", "smith companion", kMid);
    Put("old\\Older.omb", "older program", kMid);
    Put("old\\x\\Twin.cht", "older twin", kOld);
    Put("old\\y\\Twin.cht", "newer twin", kNew);
    Put("old\\notes.txt", "not a chart", kMid);
    MakeArchive(Source() + command::kChartArchiveName, {temp_ / "old\\*.*"}, kChartOptions,
                command::kBackupCommentPrefix + (temp_ / "old\\"));
    for (const char* name : {"Trad.asp", "Old.sav", "dynsetup.fil", "Daily.tsk"}) {
      Put(std::string("data\\") + name, std::string("data of ") + name, kMid);
    }
    MakeArchive(Source() + command::kUserDataArchiveName, {temp_ / "data\\*.*"}, kUserDataOptions,
                std::string(command::kBackupCommentPrefix) + "C:\\Halvane\\System");
    Put("OldCharts\\Smith.cht", "in the old folder", kOld);
    util::MakeFolderPath(UserFiles() + "Charts");
    util::MakeFolderPath(UserFiles() + "Settings");
    PutAbsolute(UserFiles() + "Charts\\Smith.cht", "newer than the backup", kNew);
    PutAbsolute(UserFiles() + "Charts\\Older.omb", "older than the backup", kOld);
    PutAbsolute(UserFiles() + "Settings\\Old.sav", "newer than the backup", kNew);
  }
  void PutAbsolute(const std::string& path, const std::string& contents, int32_t age) {
    ASSERT_TRUE(platform::WriteWholeFileSafely(path, contents));
    ASSERT_TRUE(platform::SetFileAge(path, age));
  }
  std::string Source() const { return temp_ / "backup\\"; }
  // File by file, each file new or changed since before, but the settings file, counted for its
  // folder; *replaced counts those that were there before.
  std::map<std::string, size_t> Written(const Tree& before, const Tree& after,
                                        size_t* replaced = nullptr) const {
    std::map<std::string, size_t> written;
    for (const auto& [path, state] : after) {
      if (path == base::FoldCase(SettingsFile()) || path.back() == '\\') continue;
      const auto was = before.find(path);
      if (was != before.end() && was->second == state) continue;
      ++written[path.substr(0, path.rfind('\\') + 1)];
      if (replaced && was != before.end()) ++*replaced;
    }
    return written;
  }
  std::string SettingsFile() const { return UserFiles() + "Settings\\Halvane9.INI"; }
  // What a restore may touch: the documents folder, the old chart folder, the settings of the
  // Windows folder.
  Tree Everything() const {
    Tree tree;
    AddTree(DocumentsFolder(), &tree);
    AddTree(temp_ / "OldCharts", &tree);
    for (int version = 4; version <= 9; ++version) {
      AddTree(WindowsFolder() + "Halvane" + std::to_string(version) + ".INI", &tree);
    }
    return tree;
  }
};

TEST_F(RestoreQuestionTest, NoChangesNothingAndYesDoesWhatTheQuestionSaid) {
  Open();
  const Tree before = Everything();
  question_answer_ = ui::kIdNo;
  RestoreFrom(Source(), "", true);
  ASSERT_EQ(questions_.size(), 1u);
  EXPECT_EQ(Everything(), before);
  EXPECT_EQ(Label("PLabel").caption, "Restore cancelled.");
  EXPECT_EQ(Bar().position, 0);
  EXPECT_TRUE(Messages().empty());
  EXPECT_FALSE(toolkit_.busy);

  question_answer_ = ui::kIdYes;
  RestoreFrom(Source(), "", true);
  ASSERT_EQ(questions_.size(), 2u);
  const std::string& question = questions_[1];
  EXPECT_EQ(questions_[0], question);
  EXPECT_EQ(Label("PLabel").caption, "Finished.");
  const Tree after = Everything();
  size_t replaced = 0;
  std::map<std::string, size_t> written = Written(before, after, &replaced);
  EXPECT_EQ(IntoLines(question), written) << question;
  // Smith's companion, the older program, the newer twin; the user data's four categories, with
  // "dynsetup.fil" in three of them.
  EXPECT_EQ(written[base::FoldCase(UserFiles() + "Charts\\")], 3u);
  EXPECT_THAT(question, HasSubstr("\n8 files will be written:\n"));
  EXPECT_EQ(replaced, 1u);
  EXPECT_THAT(question, HasSubstr("\nOf these, 1 replaces an older file of the same name.\n"));
  // Smith's chart and the settings' "Old.sav" are newer where they are.
  const std::string smith = base::FoldCase(UserFiles() + "Charts\\Smith.cht");
  EXPECT_EQ(after.at(smith), before.at(smith));
  EXPECT_THAT(question, HasSubstr("\n2 files already there are as new as the backup's copy or "
                                  "newer, and will be kept.\n"));
  EXPECT_THAT(question, HasSubstr("\n1 file of the backup shares a name with another of its "));
  EXPECT_THAT(Messages(), ::testing::ElementsAre(HasSubstr("x\\Twin.cht in the backup): another")));
  EXPECT_THAT(question,
              ::testing::StartsWith("Restore from " + Source() + command::kChartArchiveName +
                                    " (\"" + command::kBackupCommentPrefix + temp_ / "old\\" +
                                    "\")\nand from " + Source() + command::kUserDataArchiveName));

  // The settings: as the question said, and only after the Yes.
  EXPECT_THAT(question, HasSubstr("\nThe Halvane settings file " + SettingsFile() +
                                  " will be pointed at the chart folder " + UserFiles() +
                                  "Charts\\, and its list of recent charts will be cleared.\n"));
  std::string text;
  ASSERT_TRUE(platform::ReadWholeFile(SettingsFile(), &text));
  const util::IniFile settings = util::IniFile::FromText(SettingsFile(), text);
  EXPECT_EQ(settings.ReadString("Halvane", "ChartDataPath"), UserFiles() + "Charts\\");
  EXPECT_FALSE(settings.SectionExists("ChartsMRU"));
}

// Without an archive the chart files found below the source, and in the old chart folder, are
// copied into the user-files folder: two pairs of them share a name.
TEST_F(RestoreQuestionTest, ALooseRestoreAsksToo) {
  platform::DeleteFile(temp_ / "old\\notes.txt");
  Open();
  const Tree before = Everything();
  question_answer_ = ui::kIdNo;
  RestoreFrom(temp_ / "old\\");
  ASSERT_EQ(questions_.size(), 1u);
  EXPECT_EQ(Everything(), before);
  EXPECT_EQ(Label("PLabel").caption, "Restore cancelled.");

  question_answer_ = ui::kIdYes;
  RestoreFrom(temp_ / "old\\");
  ASSERT_EQ(questions_.size(), 2u);
  const std::string& question = questions_[1];
  EXPECT_EQ(Label("PLabel").caption, "Finished.");
  std::map<std::string, size_t> written = Written(before, Everything());
  EXPECT_EQ(IntoLines(question), written) << question;
  EXPECT_EQ(written[base::FoldCase(UserFiles())], 4u);
  EXPECT_THAT(question, ::testing::StartsWith("Restore from loose chart files found below " +
                                              temp_ / "old\\.\n"));
  EXPECT_THAT(question, HasSubstr("\n2 files of the backup share a name with another of its "));
  EXPECT_THAT(question, HasSubstr("will be pointed at the chart folder " + UserFiles() + "Charts\\"));
  EXPECT_EQ(Messages().size(), 1u);
}

}  // namespace
}  // namespace app
