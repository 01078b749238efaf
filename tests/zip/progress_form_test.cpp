#include "zip/progress_form.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include "ui/headless/headless_toolkit.h"
#include "zip/tzip.h"

namespace zip {
namespace {

using ::testing::ElementsAre;
using ui::headless::HeadlessToolkit;

class ProgressFormTest : public testing::Test {
 protected:
  ProgressFormTest() : saved_caption_(ProgressCaption) { ui::SetToolkit(&toolkit_); }
  ~ProgressFormTest() override {
    ui::SetToolkit(nullptr);
    ProgressCaption = saved_caption_;
  }

  HeadlessToolkit toolkit_;
  TZip zip_;

 private:
  std::string saved_caption_;
};

TEST_F(ProgressFormTest, StartsHiddenWithItsLayoutAndTheCurrentCaption) {
  EXPECT_EQ(ProgressCaption, "Zipping Up Your Files");
  ProgressCaption = "Zipping up Chart Files.";
  TProgressForm form(zip_);
  ProgressCaption = "changed afterwards";  // the window keeps the caption it was made with

  const ui::headless::HeadlessProgressView& view = *toolkit_.progress;
  EXPECT_FALSE(form.Visible());
  EXPECT_EQ(view.caption, "Zipping up Chart Files.");
  EXPECT_EQ(view.label_text, "wait ...");
  EXPECT_EQ(view.label_left, 10);
  EXPECT_EQ(view.label_top, 15);
  EXPECT_EQ(view.label_width, 280);
  EXPECT_EQ(view.bar_left, 10);
  EXPECT_EQ(view.bar_top, 35);
  EXPECT_EQ(view.bar_width, 280);
  EXPECT_EQ(view.button_caption, "&Cancel");
  EXPECT_TRUE(view.button_default);
  EXPECT_EQ(view.button_top, 60);
  EXPECT_EQ(view.button_left, 112);  // (300 - 75) / 2 with the headless button width
  // The client area asked of the toolkit, seen through the headless border.
  EXPECT_EQ(view.frame.width, 306);
  EXPECT_EQ(view.frame.height, 125);
}

TEST_F(ProgressFormTest, CentredOnTheWorkAreaWithoutAMainWindow) {
  {
    TProgressForm form(zip_);
    EXPECT_EQ(toolkit_.progress->frame, (ui::Rect{359, 321, 306, 125}));
  }
  // A work area left of the primary screen, below a task bar at the top.
  toolkit_.work_area = {-1280, 30, 1280, 995};
  TProgressForm form(zip_);
  EXPECT_EQ(toolkit_.progress->frame, (ui::Rect{-793, 465, 306, 125}));
}

TEST_F(ProgressFormTest, CentredOnTheMainWindowWhenThereIsOne) {
  {
    toolkit_.main_window = ui::Rect{-7, 13, 801, 599};
    TProgressForm form(zip_);
    EXPECT_EQ(toolkit_.progress->frame, (ui::Rect{240, 250, 306, 125}));
  }
  // A main window smaller than the progress window: the halves are negative and round toward
  // zero, so the window sits one pixel further right and down than a floor would put it.
  toolkit_.main_window = ui::Rect{100, 50, 201, 100};
  TProgressForm form(zip_);
  EXPECT_EQ(toolkit_.progress->frame, (ui::Rect{48, 38, 306, 125}));
  // Placing moves the window once and never shows it.
  EXPECT_EQ(toolkit_.progress_log.back(), "move:48,38");
  EXPECT_FALSE(toolkit_.progress->visible);
}

TEST_F(ProgressFormTest, FileTextIsCentredAndTheBarFollows) {
  TProgressForm form(zip_);
  toolkit_.progress_log.clear();
  form.SetMaximum(65535);
  form.SetFileText("C:\\Charts\\Smith.cht");
  form.SetPosition(32767);
  form.Show();
  form.Hide();
  const auto& view = *toolkit_.progress;
  EXPECT_EQ(view.label_text, "C:\\Charts\\Smith.cht");
  EXPECT_EQ(view.label_left, 10);
  EXPECT_EQ(view.label_width, 280);
  EXPECT_EQ(view.bar_maximum, 65535);
  EXPECT_EQ(view.bar_position, 32767);
  EXPECT_THAT(toolkit_.progress_log, ElementsAre("max:65535", "label:C:\\Charts\\Smith.cht",
                                                 "position:32767", "show", "hide"));
}

TEST_F(ProgressFormTest, CancelSetsCancelledAndHides) {
  auto form = std::make_unique<TProgressForm>(zip_);
  form->Show();
  ASSERT_TRUE(form->Visible());
  EXPECT_FALSE(zip_.Cancelled);
  toolkit_.progress->Click();
  EXPECT_TRUE(zip_.Cancelled);
  EXPECT_FALSE(form->Visible());
  form.reset();
  EXPECT_EQ(toolkit_.progress, nullptr);
  EXPECT_EQ(toolkit_.progress_log.back(), "freed");
}

}  // namespace
}  // namespace zip
