// The component's creation, queue, sizes and staging-folder clean-up, over the fake CD service.
#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <stdexcept>

#include "cdburner/cd_burner_fixture.h"
#include "platform/platform.h"

namespace cdburner_test {
namespace {

using testing::ElementsAre;
using testing::IsEmpty;

TEST_F(CdBurnerTest, RefusesAnOwnerThatIsNotAForm) {
  ui::Component not_a_form;
  for (ui::Component* owner : {&not_a_form, static_cast<ui::Component*>(nullptr)}) {
    try {
      cdburner::TCDBurner burner(owner);
      ADD_FAILURE() << "created without a form";
    } catch (const std::runtime_error& error) {
      EXPECT_STREQ(error.what(), "Error: Component must be owned by TForm");
    }
  }
  EXPECT_EQ(fake_.created, 0) << "the owner is checked before the service is made";
}

TEST_F(CdBurnerTest, EquippedWithTheServicesDriveAndStagingFolder) {
  auto burner = MakeBurner();
  EXPECT_TRUE(burner->Equipped());
  EXPECT_FALSE(burner->IsBurning());
  EXPECT_EQ(burner->LastError(), "");
  EXPECT_EQ(burner->BurnerDrive(), "E:\\");
  // The shell gives the folder without its backslash; the component adds it.
  EXPECT_EQ(burner->BurnArea(), staging_.path());
  EXPECT_EQ(burner->BurnSize(), 0);
  EXPECT_EQ(fake_.created, 1);
}

TEST_F(CdBurnerTest, EachReasonForNotBeingEquippedHasItsText) {
  struct Case {
    const char* what;
    void (*set)(test_support::FakeCdBurnService&);
    const char* error;
  };
  const Case cases[] = {
      {"no service", [](auto& f) { f.creatable = false; },
       "No XP Compatible CDR API present: Class not registered"},
      {"no drive", [](auto& f) { f.has_drive = false; }, "No CD Burner was found"},
      {"drive query fails", [](auto& f) { f.drive_status = 0x80004005L; },
       "CD Recording not enabled on Burn drive."},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    test_support::FakeCdBurnService fake;
    c.set(fake);
    fake.Install(staging_.path());
    auto burner = MakeBurner();
    EXPECT_FALSE(burner->Equipped());
    EXPECT_EQ(burner->LastError(), c.error);
    EXPECT_EQ(burner->BurnerDrive(), "");
    // The staging folder is asked for before the service, so it is known either way.
    EXPECT_EQ(burner->BurnArea(), staging_.path());
  }
}

TEST_F(CdBurnerTest, ClearFilesRefusesAMissingOrUnnamedStagingFolder) {
  struct Case {
    std::string staging, area, error;
  };
  const Case cases[] = {
      {"", "", "ASSERT FAILED:  Will not EmptyFolder without explicit path."},
      {sources_ / "gone", sources_ / "gone\\", "ASSERT FAILED:  Folder not Found"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.staging);
    test_support::FakeCdBurnService fake;
    fake.Install(c.staging);
    auto burner = MakeBurner();
    EXPECT_TRUE(burner->Equipped());
    EXPECT_EQ(burner->BurnArea(), c.area);
    ASSERT_TRUE(burner->AddFile(sources_.Write("a.zip", "12345")));
    EXPECT_EQ(burner->BurnSize(), 5) << "only the queue counts";
    try {
      burner->ClearFiles();
      ADD_FAILURE() << "emptied a folder that is not there";
    } catch (const std::runtime_error& error) {
      EXPECT_EQ(error.what(), c.error);
    }
  }
}

TEST_F(CdBurnerTest, AddFileQueuesExistingFilesOnlyAndBurnSizeCountsQueueAndStaging) {
  auto burner = MakeBurner();
  EXPECT_FALSE(burner->AddFile(sources_ / "missing.zip"));
  EXPECT_FALSE(burner->AddFile(""));
  EXPECT_EQ(burner->BurnSize(), 0);

  const std::string hidden = sources_.Write("hidden.inf", "123");
  platform::SetFileAttributes(hidden, platform::kAttrHidden);
  EXPECT_TRUE(burner->AddFile(sources_.Write("one.zip", std::string(1000, 'a'))));
  EXPECT_TRUE(burner->AddFile(hidden));
  EXPECT_EQ(burner->BurnSize(), 1003);

  // What an earlier run left in the staging folder counts too, subfolders included.
  staging_.Write("old.zip", std::string(20, 'o'));
  staging_.Write("sub\\deeper\\old.txt", std::string(7, 'o'));
  EXPECT_EQ(burner->BurnSize(), 1030);
}

TEST_F(CdBurnerTest, AddFolderQueuesTheWholeTree) {
  auto burner = MakeBurner();
  EXPECT_FALSE(burner->AddFolder(sources_ / "none"));
  EXPECT_FALSE(burner->AddFolder(""));
  EXPECT_FALSE(burner->AddFolder(sources_.Write("plain.txt"))) << "a file is not a folder";

  sources_.Write("tree\\top.cht", "1");
  sources_.Write("tree\\sub\\mid.cht", "22");
  sources_.Write("tree\\sub\\deeper\\low.cht", "333");
  sources_.MakeFolder("tree\\empty");
  EXPECT_TRUE(burner->AddFolder(sources_ / "tree"));  // without a trailing backslash
  EXPECT_EQ(burner->BurnSize(), 6);

  // The copy puts every file under its bare name: the tree arrives flat.
  burner->StartBurn();
  ASSERT_TRUE(RunHandOver());
  EXPECT_THAT(Staged(), ElementsAre("low.cht", "mid.cht", "top.cht"));
  EXPECT_EQ(staging_.Read("low.cht"), "333");
}

TEST_F(CdBurnerTest, ClearFilesEmptiesQueueAndStagingFolder) {
  auto burner = MakeBurner();
  burner->AddFile(sources_.Write("a.zip", "aaaa"));
  staging_.Write("left.zip", "x");
  staging_.Write("sub\\deeper\\left.txt", "x");
  const std::string hidden = staging_.Write("hidden.dat", "x");
  platform::SetFileAttributes(hidden, platform::kAttrHidden);

  EXPECT_TRUE(burner->ClearFiles());
  EXPECT_THAT(Staged(), IsEmpty());
  EXPECT_EQ(burner->BurnSize(), 0);
  EXPECT_EQ(burner->LastError(), "");

  // The queue is gone too: a burn now stages nothing.
  burner->StartBurn();
  ASSERT_TRUE(RunHandOver());
  EXPECT_THAT(Staged(), IsEmpty());
  EXPECT_EQ(fake_.burn_calls, 1);
}

TEST_F(CdBurnerTest, ClearFilesCountsWhatCannotBeDeleted) {
  auto burner = MakeBurner();
  staging_.Write("goes.zip");
  platform::SetFileAttributes(staging_.Write("stays.zip"), platform::kAttrReadOnly);
  // A read-only file in a subfolder: the file stays, and so its folder.
  platform::SetFileAttributes(staging_.Write("sub\\stays.txt"), platform::kAttrReadOnly);
  staging_.Write("sub\\goes.txt");

  EXPECT_FALSE(burner->ClearFiles());
  EXPECT_EQ(burner->LastError(), "Could not delete 3 files/folders in burn area");
  EXPECT_THAT(Staged(), ElementsAre("stays.zip", "sub"));
}

}  // namespace
}  // namespace cdburner_test
