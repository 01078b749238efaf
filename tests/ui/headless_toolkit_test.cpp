#include "ui/headless/headless_toolkit.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

namespace ui::headless {
namespace {

using ::testing::ElementsAre;

TEST(HeadlessToolkitTest, MessageBoxesAreRecordedAndAnsweredFromTheScript) {
  HeadlessToolkit toolkit;
  toolkit.message_answers = {kIdNo, kIdYes};
  EXPECT_EQ(toolkit.MessageBox("one", "T", kMbYesNo | kMbIconQuestion), kIdNo);
  EXPECT_EQ(toolkit.MessageBox("two", "T", kMbYesNoCancel), kIdYes);
  // Once the script runs out: OK where OK is the only button, Cancel elsewhere.
  EXPECT_EQ(toolkit.MessageBox("three", "T", kMbOk | kMbIconInformation), kIdOk);
  EXPECT_EQ(toolkit.MessageBox("four", "T", kMbOkCancel | kMbIconInformation), kIdCancel);
  EXPECT_EQ(toolkit.MessageBox("five", "T", kMbYesNoCancel | kMbDefButton2), kIdCancel);

  ASSERT_EQ(toolkit.messages.size(), 5u);
  EXPECT_EQ(toolkit.messages[0].text, "one");
  EXPECT_EQ(toolkit.messages[0].flags, kMbYesNo | kMbIconQuestion);
  EXPECT_EQ(toolkit.messages[2].flags, kMbOk | kMbIconInformation);
  EXPECT_EQ(toolkit.messages[4].text, "five");
  EXPECT_EQ(toolkit.messages[4].caption, "T");
  EXPECT_EQ(toolkit.ApplicationTitle(), "RidideDuvure");
}

TEST(HeadlessToolkitTest, InputBoxesAreRecordedAndCancelWhenTheScriptRunsOut) {
  HeadlessToolkit toolkit;
  toolkit.input_answers = {std::string("secret"), std::nullopt, std::string()};
  EXPECT_EQ(toolkit.InputBox("T", "first", ""), "secret");
  EXPECT_EQ(toolkit.InputBox("T", "second", "d"), std::nullopt);
  EXPECT_EQ(toolkit.InputBox("T", "third", ""), "");  // an empty entry is not a Cancel
  EXPECT_EQ(toolkit.InputBox("T", "fourth", ""), std::nullopt);
  ASSERT_EQ(toolkit.inputs.size(), 4u);
  EXPECT_EQ(toolkit.inputs[1].prompt, "second");
  EXPECT_EQ(toolkit.inputs[1].default_text, "d");
  EXPECT_EQ(toolkit.inputs[3].caption, "T");
}

TEST(HeadlessToolkitTest, ProcessMessagesCountsAndLetsTheTestAct) {
  HeadlessToolkit toolkit;
  std::vector<int> seen;
  toolkit.ProcessMessages();
  toolkit.on_process_messages = [&](int pump) { seen.push_back(pump); };
  toolkit.ProcessMessages();
  toolkit.ProcessMessages();
  EXPECT_EQ(toolkit.pumps, 3);
  EXPECT_THAT(seen, ElementsAre(2, 3));
}

TEST(HeadlessToolkitTest, ProgressViewRecordsItsStateAndIsForgottenWhenFreed) {
  HeadlessToolkit toolkit;
  auto view = toolkit.CreateProgressView(300, 100);
  ASSERT_EQ(toolkit.progress, view.get());
  HeadlessProgressView& progress = *toolkit.progress;
  EXPECT_FALSE(progress.Visible());  // created hidden
  EXPECT_EQ(view->Frame(), (Rect{0, 0, 306, 125}));

  int presses = 0;
  view->on_button = [&] { ++presses; };
  view->SetCaption("Working");
  view->SetBarMaximum(65535);
  view->SetBarPosition(12);
  view->MoveTo(-5, 7);
  view->Show();
  progress.Click();
  view->Hide();
  EXPECT_EQ(presses, 1);
  EXPECT_EQ(progress.caption, "Working");
  EXPECT_EQ(progress.bar_position, 12);
  EXPECT_EQ(view->Frame(), (Rect{-5, 7, 306, 125}));  // moving keeps the size

  view.reset();
  EXPECT_EQ(toolkit.progress, nullptr);
  EXPECT_THAT(toolkit.progress_log, ElementsAre("caption:Working", "max:65535", "position:12",
                                                "move:-5,7", "show", "hide", "freed"));
}

TEST(HeadlessToolkitTest, ProgressFactoryReplacesTheRecordingView) {
  HeadlessToolkit toolkit;
  HeadlessToolkit other;  // owns the views the factory hands out
  std::pair<int, int> asked;
  toolkit.progress_factory = [&](int width, int height) -> std::unique_ptr<ProgressView> {
    asked = {width, height};
    return other.CreateProgressView(width, height);
  };
  auto view = toolkit.CreateProgressView(300, 100);
  EXPECT_EQ(asked, std::make_pair(300, 100));
  EXPECT_EQ(toolkit.progress, nullptr);
  EXPECT_EQ(other.progress, view.get());
}

}  // namespace
}  // namespace ui::headless
