// The component's runs with the real Win32 progress window, prompts still scripted.
#include <gtest/gtest.h>

#include "platform/platform.h"
#include "ui/win32/win32_progress_view.h"
#include "zip/progress_form.h"
#include "zip_test_fixture.h"

namespace zip_test {
namespace {

class Win32WindowTest : public ZipTest {
 protected:
  void SetUp() override {
    ZipTest::SetUp();
    toolkit_.progress_factory = [this](int width, int height) {
      auto view = std::make_unique<ui::win32::Win32ProgressView>(width, height);
      view_ = view.get();
      return view;
    };
  }

  ui::win32::Win32ProgressView* view_ = nullptr;
};

TEST_F(Win32WindowTest, ShowsTheWindowDuringARunAndAroundPrompts) {
  MakeArchive("ab.zip", {{"src\\a.txt", "new a"}, {"src\\b.txt", "new b"}});
  zip::TZip zip;
  zip.ZipFileName(temp_ / "ab.zip");
  const std::string out = temp_.MakeFolder("out");
  temp_.Write("out\\a.txt", "old a");
  zip.ExtrBaseDir = out;
  zip.ExtrOptions = zip::kExtrAskOverwrite;
  std::vector<bool> visible;
  toolkit_.on_process_messages = [&](int) {
    if (view_) visible.push_back(view_->Visible());
  };
  toolkit_.message_answers = {ui::kIdYes};
  EXPECT_EQ(zip.Extract(), 2);
  ASSERT_NE(view_, nullptr);
  ASSERT_FALSE(visible.empty());
  EXPECT_TRUE(visible.front()) << "shown before the library runs";
  EXPECT_EQ(toolkit_.messages.size(), 1u);
  EXPECT_EQ(temp_.Read("out\\a.txt"), "new a");

  // Cancel pressed in the window stops an add and leaves the archive as it was.
  const std::string before = ReadBytes(temp_ / "ab.zip");
  view_ = nullptr;
  bool pressed = false;
  toolkit_.on_process_messages = [&](int) {
    if (view_ && !pressed) {
      pressed = true;
      view_->PressButton();
      EXPECT_FALSE(view_->Visible());
    }
  };
  zip.FileSpecs = {temp_.Write("c.txt", std::string(500000, 'c'))};
  zip.Add();
  EXPECT_TRUE(zip.Cancelled);
  EXPECT_TRUE(ReadBytes(temp_ / "ab.zip") == before);
}

}  // namespace
}  // namespace zip_test
