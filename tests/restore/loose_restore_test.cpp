// The loose-file restore: no chart archive in the source, so the chart files found below it are
// copied into the user-data folder, replacing only older files.
#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include "platform/platform.h"
#include "restore_fixture.h"

namespace app {
namespace {

using Names = std::vector<std::string>;

const int32_t kOld = DosTime(2018, 2, 3, 10, 0);
const int32_t kMid = DosTime(2020, 7, 9, 12, 30);
const int32_t kNew = DosTime(2022, 12, 24, 18, 2);

class LooseRestoreTest : public RestoreTest {
 protected:
  void SetUp() override {
    InstallUserFilesVersion(9, "C:\\Halvane\\System", "");
    Put("loose\\a\\Twin.cht", "older twin", kOld);
    Put("loose\\b\\Twin.cht", "newer twin", kNew);
    Put("loose\\Kept.cht", "older than the one in place", kOld);
    Put("loose\\deep\\er\\Fresh.HVcht", "fresh", kMid);
    Put("loose\\deep\\notes.txt", "no chart", kMid);
  }
  std::string Source() const { return temp_ / "loose\\"; }
};

TEST_F(LooseRestoreTest, CopiesTheNewestOfEachNameIntoTheUserFilesRoot) {
  util::MakeFolderPath(UserFiles());
  const std::string in_place = UserFiles() + "Kept.cht";
  ASSERT_TRUE(platform::WriteWholeFileSafely(in_place, "in place and newer"));
  ASSERT_TRUE(platform::SetFileAge(in_place, kMid));
  // A read-only source: its copy must not stay read-only.
  ASSERT_TRUE(
      platform::SetFileAttributes(temp_ / "loose\\deep\\er\\Fresh.HVcht", platform::kAttrReadOnly));
  Open();
  RestoreFrom(Source());

  EXPECT_EQ(FilesIn(UserFiles()), (Names{"Fresh.HVcht", "Kept.cht", "Twin.cht"}));
  EXPECT_EQ(Contents(UserFiles() + "Twin.cht"), "newer twin");
  EXPECT_EQ(platform::GetFileAge(UserFiles() + "Twin.cht"), kNew);
  EXPECT_EQ(Contents(in_place), "in place and newer");
  EXPECT_EQ(Contents(UserFiles() + "Fresh.HVcht"), "fresh");
  EXPECT_EQ(platform::GetFileAge(UserFiles() + "Fresh.HVcht"), kMid);
  EXPECT_EQ(platform::GetFileAttributes(UserFiles() + "Fresh.HVcht") & platform::kAttrReadOnly, 0u);
  EXPECT_EQ(FilesIn(UserFiles() + "Charts"), Names{});  // the root, not its chart folder
  const auto& history = Label("PLabel").history;
  ASSERT_GE(history.size(), 2u);
  EXPECT_EQ(Names(history.end() - 2, history.end()), (Names{"Restoring files.", "Finished."}));
  EXPECT_EQ(Bar().position, 100);
  EXPECT_FALSE(toolkit_.busy);
  // The older twin is a file the user does not get back: it is named, the one kept on purpose
  // (older than the file in place) is not.
  EXPECT_THAT(
      Messages(),
      testing::ElementsAre(testing::AllOf(
          testing::HasSubstr("2 of 3 files restored"),
          testing::HasSubstr(temp_ / "loose\\a\\Twin.cht: only one file of that name can be "
                                     "restored, and " +
                             (temp_ / "loose\\b\\Twin.cht") + " is newer"),
          testing::Not(testing::HasSubstr("Kept.cht")))));
}

TEST_F(LooseRestoreTest, AFileInTheDestinationItselfIsLeftAlone) {
  const std::string self = UserFiles() + "Self.cht";
  util::MakeFolderPath(UserFiles());
  ASSERT_TRUE(platform::WriteWholeFileSafely(self, "mine"));
  ASSERT_TRUE(platform::SetFileAge(self, kMid));
  Open();
  RestoreFrom(UserFiles());
  EXPECT_EQ(Contents(self), "mine");
  EXPECT_EQ(Label("PLabel").caption, "Finished.");
}

TEST_F(LooseRestoreTest, OtherDestinationCopiesNothingAndSaysSo) {
  const std::string elsewhere = temp_.MakeFolder("elsewhere");
  Open();
  RestoreFrom(Source(), elsewhere);
  EXPECT_TRUE(questions_.empty());  // nothing to ask about
  EXPECT_EQ(FilesIn(elsewhere), Names{});
  EXPECT_EQ(FilesIn(UserFiles()), Names{});
  ASSERT_EQ(Messages().size(), 1u);
  EXPECT_NE(Messages()[0].find("No chart files were restored."), std::string::npos);
  EXPECT_NE(Messages()[0].find(DocumentsFolder() + "Halvane User Files"), std::string::npos);
  EXPECT_EQ(Label("PLabel").caption, "Finished.");
  EXPECT_EQ(Bar().position, 100);
}

TEST_F(LooseRestoreTest, NothingFoundSaysSoOnTheStatusLine) {
  temp_.MakeFolder("empty\\sub");
  Open();
  RestoreFrom(temp_ / "empty\\");
  EXPECT_EQ(Label("PLabel").caption, "No Files Found");
  EXPECT_EQ(Bar().position, 0);
  EXPECT_TRUE(Messages().empty());
  EXPECT_FALSE(toolkit_.busy);
}

TEST_F(LooseRestoreTest, ExitDuringTheCopyStopsIt) {
  Open();
  PrepareRestore(Source(), "", false);
  bool clicked = false;
  toolkit_.on_process_messages = [&](int) {
    if (!clicked && Label("PLabel").caption == "Restoring files.") {
      clicked = true;
      Button("BitBtn2").Click();
    }
  };
  ASSERT_TRUE(Button("RestoreButt").Click());
  ASSERT_TRUE(clicked);
  EXPECT_TRUE(toolkit_.form->closed);
  EXPECT_EQ(window_->FoundFiles, nullptr);
  EXPECT_EQ(FilesIn(UserFiles()), Names{});
  EXPECT_NE(Label("PLabel").caption, "Finished.");
}

}  // namespace
}  // namespace app
