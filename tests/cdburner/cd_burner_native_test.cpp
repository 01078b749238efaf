// The component over this system's own CD service: xorriso on Linux, burning here onto its
// file-backed drive; under Wine (where the Windows tests run) a shell without the CD burning class.
#include <gmock/gmock.h>
#include <gtest/gtest.h>
#include <stdlib.h>

#include "cdburner/cd_burner.h"
#include "platform/platform.h"
#include "support/temp_folder.h"
#include "support/tools.h"
#include "ui/headless/headless_form.h"
#include "ui/headless/headless_toolkit.h"

#if !defined(_WIN32)
#include "support/host_entries.h"
#endif

namespace {

class CdBurnerNativeTest : public ::testing::Test {
 protected:
  CdBurnerNativeTest() { ui::SetToolkit(&toolkit_); }
  ~CdBurnerNativeTest() override { ui::SetToolkit(nullptr); }

  ui::headless::HeadlessToolkit toolkit_;
  ui::headless::HeadlessForm form_{toolkit_, "Owner", 324, 432};
};

#if defined(_WIN32)
TEST_F(CdBurnerNativeTest, WithoutTheShellServiceNeverEquippedAndStartBurnReportsMinusOne) {
  cdburner::TCDBurner burner(&form_);
  std::vector<int> results;
  burner.OnBurnDone = [&](cdburner::TCDBurner&, int result) { results.push_back(result); };

  EXPECT_FALSE(burner.Equipped());
  RecordProperty("last_error", burner.LastError());
  RecordProperty("burn_area", burner.BurnArea());
  EXPECT_EQ(burner.BurnerDrive(), "");
  const std::string prefix = "No XP Compatible CDR API present: ";
  ASSERT_EQ(burner.LastError().substr(0, prefix.size()), prefix);
  // The system's own words for the failure follow, without a trailing line break.
  const std::string reason = burner.LastError().substr(prefix.size());
  EXPECT_FALSE(reason.empty());
  EXPECT_NE(reason.back(), '\n');
  const std::string area = burner.BurnArea();
  if (!area.empty()) {
    EXPECT_EQ(area.back(), '\\');
  }

  burner.StartBurn();
  EXPECT_EQ(results, std::vector<int>{-1});
  EXPECT_FALSE(burner.IsBurning());
  EXPECT_FALSE(toolkit_.WaitForCall(200)) << "no burn thread";
}
#else
// Sets an environment variable for one test.
class ScopedVariable {
 public:
  ScopedVariable(const char* name, const std::string& value) : name_(name) {
    if (const char* old = getenv(name)) {
      old_ = old;
      had_ = true;
    }
    setenv(name, value.c_str(), 1);
  }
  ~ScopedVariable() { had_ ? setenv(name_, old_.c_str(), 1) : unsetenv(name_); }

 private:
  const char* name_;
  std::string old_;
  bool had_ = false;
};

// The writer is xorriso's stdio: drive, an image file: a burn writes one ISO 9660 session with
// Joliet and Rock Ridge names, in which every queued file has its name, size and bytes; and the
// program's own progress window shows the burn from start to end.
TEST_F(CdBurnerNativeTest, XorrisoBurnsTheQueueOntoTheWriterAsOneSession) {
  test_support::TempFolder temp;
  const ScopedVariable cache("XDG_CACHE_HOME", test_support::HostPathOf(temp / "cache"));
  const std::string image = test_support::HostPathOf(temp / "cd.iso");
  const ScopedVariable writer("RIDIDEDUVURE_CD_WRITER", "stdio:" + image);
  std::string big(700000, '\0');
  for (size_t i = 0; i < big.size(); ++i) big[i] = static_cast<char>(i * 7919 % 251);
  const std::string files[] = {temp.Write("Src\\ChartBackup.zip", big),
                               temp.Write("Src\\Long name, Mixed Case.zev", "user data"),
                               temp.Write("Src\\autorun.inf", "[autorun]\r\n")};

  cdburner::TCDBurner burner(&form_);
  ASSERT_TRUE(burner.Equipped()) << burner.LastError();
  ASSERT_FALSE(burner.BurnArea().empty());
  std::vector<int> results;
  burner.OnBurnDone = [&](cdburner::TCDBurner&, int result) { results.push_back(result); };
  for (const std::string& file : files) ASSERT_TRUE(burner.AddFile(file));
  burner.StartBurn();
  for (int i = 0; i < 600 && burner.IsBurning(); ++i) toolkit_.WaitForCall(100);
  ASSERT_EQ(results, std::vector<int>{0});
  EXPECT_TRUE(toolkit_.messages.empty()) << toolkit_.messages[0].text;
  EXPECT_THAT(toolkit_.progress_log, ::testing::Contains("caption:Writing the CD"));
  EXPECT_THAT(toolkit_.progress_log, ::testing::Contains("position:100"));
  EXPECT_EQ(toolkit_.progress_log.back(), "freed");

  std::string out;
  ASSERT_EQ(test_support::RunTool("xorriso -indev stdio:" + image + " -toc 2>&1", &out), 0);
  EXPECT_THAT(out, ::testing::HasSubstr("1 session"));
  EXPECT_THAT(out, ::testing::HasSubstr("Joliet"));
  const std::string extracted = test_support::HostPathOf(temp / "back");
  ASSERT_EQ(
      test_support::RunTool(
          "xorriso -osirrox on -indev stdio:" + image + " -extract / " + extracted + " 2>&1", &out),
      0)
      << out;
  EXPECT_EQ(temp.Read("back\\ChartBackup.zip"), big);
  EXPECT_EQ(temp.Read("back\\Long name, Mixed Case.zev"), "user data");
  EXPECT_EQ(temp.Read("back\\autorun.inf"), "[autorun]\r\n");
}

// No writer: the component is not equipped and says so, and a burn never starts.
TEST_F(CdBurnerNativeTest, WithoutAWriterNeverEquippedAndStartBurnReportsMinusOne) {
  test_support::TempFolder temp;
  const ScopedVariable writer("RIDIDEDUVURE_CD_WRITER",
                              "stdio:" + test_support::HostPathOf(temp / "no-such-folder\\cd.iso"));
  cdburner::TCDBurner burner(&form_);
  std::vector<int> results;
  burner.OnBurnDone = [&](cdburner::TCDBurner&, int result) { results.push_back(result); };
  EXPECT_FALSE(burner.Equipped());
  EXPECT_EQ(burner.LastError(), "No CD Burner was found");
  EXPECT_EQ(burner.BurnerDrive(), "");
  burner.StartBurn();
  EXPECT_EQ(results, std::vector<int>{-1});
  EXPECT_FALSE(burner.IsBurning());
}
#endif

}  // namespace
