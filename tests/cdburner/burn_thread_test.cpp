// A burn: staging on the burn thread, the wizard, and the hand-over on the main thread.
#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <chrono>
#include <future>
#include <thread>

#include "cdburner/cd_burner_fixture.h"
#include "platform/platform.h"

namespace cdburner_test {
namespace {

using testing::ElementsAre;

// Holds the burn thread inside the wizard until the test lets it go.
class WizardGate {
 public:
  explicit WizardGate(test_support::FakeCdBurnService& fake) {
    std::shared_future<void> opened = open_.get_future().share();
    fake.on_burn = [this, opened] {
      entered_.set_value();
      opened.wait();
    };
  }
  // True once the burn thread is inside Burn.
  bool WaitEntered() {
    return entered_.get_future().wait_for(std::chrono::seconds(10)) == std::future_status::ready;
  }
  void Open() { open_.set_value(); }

 private:
  std::promise<void> entered_;
  std::promise<void> open_;
};

TEST_F(CdBurnerTest, BurnCopiesThenBurnsThenHandsOverOnTheMainThread) {
  auto burner = MakeBurner();
  const std::string zip = sources_.Write("backup\\ChartBackup.zip", "charts");
  const std::string inf = sources_.Write("prog\\autorun.inf", "[autorun]");
  ASSERT_TRUE(burner->AddFile(zip));
  ASSERT_TRUE(burner->AddFile(inf));
  ASSERT_TRUE(burner->AddFile(zip)) << "the same file twice is queued twice";

  // What the wizard finds when it opens.
  std::vector<std::string> staged_at_burn;
  fake_.on_burn = [&] { staged_at_burn = Staged(); };
  burner->StartBurn();
  // Once the wizard has closed the burn thread waits: the end is the main thread's to run.
  for (int i = 0; i < 500 && fake_.burn_calls == 0; ++i) {
    std::this_thread::sleep_for(std::chrono::milliseconds(10));
  }
  ASSERT_EQ(fake_.burn_calls, 1);
  std::this_thread::sleep_for(std::chrono::milliseconds(50));
  EXPECT_TRUE(burner->IsBurning());
  EXPECT_TRUE(done_.empty());

  ASSERT_TRUE(RunHandOver());
  EXPECT_THAT(staged_at_burn, ElementsAre("ChartBackup.zip", "autorun.inf"));
  EXPECT_EQ(fake_.LastOwnerWindow(), static_cast<void*>(&form_));
  EXPECT_NE(fake_.LastBurnThread(), std::this_thread::get_id());
  ASSERT_EQ(done_.size(), 1u);
  EXPECT_EQ(done_[0].result, 0);
  EXPECT_FALSE(done_[0].is_burning) << "IsBurning is cleared before OnBurnDone fires";
  EXPECT_TRUE(done_[0].on_main_thread);
  EXPECT_FALSE(burner->IsBurning());
  EXPECT_EQ(staging_.Read("ChartBackup.zip"), "charts");
  // The sources stay where they were.
  EXPECT_EQ(sources_.Read("backup\\ChartBackup.zip"), "charts");
}

TEST_F(CdBurnerTest, StartBurnThatCannotStartOnlyReportsMinusOne) {
  {
    SCOPED_TRACE("while burning");
    WizardGate gate(fake_);
    auto burner = MakeBurner();
    staging_.Write("earlier.zip", "earlier");
    burner->AddFile(sources_.Write("new.zip"));
    burner->StartBurn();
    ASSERT_TRUE(gate.WaitEntered());

    burner->StartBurn();
    ASSERT_EQ(done_.size(), 1u);
    EXPECT_EQ(done_[0].result, -1);
    EXPECT_TRUE(burner->IsBurning());

    // Nor may the staging folder be emptied under the wizard.
    EXPECT_FALSE(burner->ClearFiles());
    EXPECT_EQ(burner->LastError(), "Cannot delete staging files while burning!");
    EXPECT_EQ(staging_.Read("earlier.zip"), "earlier");

    gate.Open();
    ASSERT_TRUE(RunHandOver());
    EXPECT_EQ(fake_.burn_calls, 1);
    ASSERT_EQ(done_.size(), 2u);
    EXPECT_EQ(done_[1].result, 0);
    // The queue survived the refused clearing.
    EXPECT_THAT(Staged(), ElementsAre("earlier.zip", "new.zip"));
  }
  done_.clear();
  {
    SCOPED_TRACE("not equipped");
    test_support::FakeCdBurnService fake;
    fake.has_drive = false;
    fake.Install(staging_.path());
    auto burner = MakeBurner();
    const int64_t staged = burner->BurnSize();
    burner->AddFile(sources_.Write("other.zip"));
    burner->StartBurn();
    ASSERT_EQ(done_.size(), 1u);
    EXPECT_EQ(done_[0].result, -1);
    EXPECT_FALSE(burner->IsBurning());
    EXPECT_EQ(burner->BurnSize(), staged + 1) << "a burn that did not start leaves the queue";
    EXPECT_FALSE(toolkit_.WaitForCall(200)) << "no thread was started";
    EXPECT_EQ(fake.burn_calls, 0);
    EXPECT_EQ(staging_.Read("other.zip"), "");
  }
}

TEST_F(CdBurnerTest, QueuedFilesReplaceStagedFilesFromBeforeTheBurn) {
  auto burner = MakeBurner();
  staging_.Write("ChartBackup.zip", "previous run");
  platform::SetFileAttributes(staging_.Write("RUDadoze.zev", "previous run"),
                              platform::kAttrReadOnly);
  staging_.Write("notes.txt", "someone else's");
  staging_.Write("autorun.inf", "previous autorun");

  burner->AddFile(sources_.Write("run\\ChartBackup.zip", "this run"));
  burner->AddFile(sources_.Write("run\\RUDadoze.zev", "this run"));
  // Of two queued files with one name, the first wins.
  burner->AddFile(sources_.Write("other\\ChartBackup.zip", "other folder"));
  // A queued file that has gone by burn time leaves the staged one alone.
  const std::string vanished = sources_.Write("prog\\autorun.inf", "new autorun");
  burner->AddFile(vanished);
  platform::DeleteFile(vanished);

  burner->StartBurn();
  ASSERT_TRUE(RunHandOver());
  EXPECT_EQ(staging_.Read("ChartBackup.zip"), "this run");
  EXPECT_EQ(staging_.Read("RUDadoze.zev"), "this run");
  EXPECT_EQ(staging_.Read("notes.txt"), "someone else's");
  EXPECT_EQ(staging_.Read("autorun.inf"), "previous autorun");

  // A second backup re-queues the same paths; the files staged by the first burn are now the
  // stale ones.
  sources_.Write("run\\ChartBackup.zip", "second run");
  burner->AddFile(sources_ / "run\\ChartBackup.zip");
  burner->StartBurn();
  ASSERT_TRUE(RunHandOver());
  EXPECT_EQ(staging_.Read("ChartBackup.zip"), "second run");
  EXPECT_EQ(fake_.burn_calls, 2);
}

// Each burn takes the queue with it: a later backup's archives are never shadowed by the
// same-named files of an earlier run, nor joined by files that run did not queue.
TEST_F(CdBurnerTest, EachBurnStagesWhatWasQueuedSinceTheLastOneStarted) {
  auto burner = MakeBurner();
  burner->AddFile(sources_.Write("first\\ChartBackup.zip", "first run"));
  burner->AddFile(sources_.Write("first\\RUDadoze.zev", "first user data"));
  burner->StartBurn();
  ASSERT_TRUE(RunHandOver());
  EXPECT_THAT(Staged(), ElementsAre("ChartBackup.zip", "RUDadoze.zev"));
  EXPECT_EQ(burner->BurnSize(), 9 + 15) << "only the staged files count now";

  // The shell empties its staging folder once the disc is written.
  platform::DeleteFile(staging_ / "ChartBackup.zip");
  platform::DeleteFile(staging_ / "RUDadoze.zev");

  burner->AddFile(sources_.Write("second\\ChartBackup.zip", "second run"));
  burner->StartBurn();
  ASSERT_TRUE(RunHandOver());
  EXPECT_THAT(Staged(), ElementsAre("ChartBackup.zip"));
  EXPECT_EQ(staging_.Read("ChartBackup.zip"), "second run");
  EXPECT_EQ(fake_.burn_calls, 2);
}

// A burn outlives what started it: its component (destroyed with the window's command), or the
// toolkit (the window closed and the program let its toolkit go, as main does before destroying
// it). Neither hears of the burn's end, and the files stay staged.
TEST_F(CdBurnerTest, ABurnOutlivingItsComponentOrTheToolkitHandsOverToNothing) {
  for (const bool toolkit_gone : {false, true}) {
    SCOPED_TRACE(toolkit_gone ? "the toolkit let go of" : "the component destroyed");
    WizardGate gate(fake_);
    auto burner = MakeBurner();
    burner->AddFile(sources_.Write("a.zip", "a"));
    burner->StartBurn();
    ASSERT_TRUE(gate.WaitEntered());
    if (toolkit_gone) {
      ui::SetToolkit(nullptr);
    } else {
      burner.reset();
    }
    gate.Open();
    if (toolkit_gone) {
      EXPECT_FALSE(toolkit_.WaitForCall(300)) << "the burn thread called a toolkit let go of";
      ui::SetToolkit(&toolkit_);
    } else {
      ASSERT_TRUE(RunHandOver());
    }
    EXPECT_TRUE(done_.empty());
    EXPECT_EQ(staging_.Read("a.zip"), "a");
  }
}

}  // namespace
}  // namespace cdburner_test
