// The component over this system's own CD service: none on Linux, and under Wine (where the
// Windows tests run) a shell without the CD burning class.
#include <gtest/gtest.h>

#include "cdburner/cd_burner.h"
#include "ui/headless/headless_form.h"
#include "ui/headless/headless_toolkit.h"

namespace {

TEST(CdBurnerNativeTest, WithoutTheShellServiceNeverEquippedAndStartBurnReportsMinusOne) {
  ui::headless::HeadlessToolkit toolkit;
  ui::SetToolkit(&toolkit);
  ui::headless::HeadlessForm form(toolkit, "Owner", 324, 432);
  cdburner::TCDBurner burner(&form);
  std::vector<int> results;
  burner.OnBurnDone = [&](cdburner::TCDBurner&, int result) { results.push_back(result); };

  EXPECT_FALSE(burner.Equipped());
  RecordProperty("last_error", burner.LastError());
  RecordProperty("burn_area", burner.BurnArea());
  EXPECT_EQ(burner.BurnerDrive(), "");
  const std::string prefix = "No XP Compatible CDR API present: ";
  ASSERT_EQ(burner.LastError().substr(0, prefix.size()), prefix);
#ifdef _WIN32
  // The system's own words for the failure follow, without a trailing line break.
  const std::string reason = burner.LastError().substr(prefix.size());
  EXPECT_FALSE(reason.empty());
  EXPECT_NE(reason.back(), '\n');
  const std::string area = burner.BurnArea();
  if (!area.empty()) {
    EXPECT_EQ(area.back(), '\\');
  }
#else
  EXPECT_EQ(burner.LastError(),
            prefix + "the Windows shell's CD writing service is not available on this system");
  EXPECT_EQ(burner.BurnArea(), "");
#endif

  burner.StartBurn();
  EXPECT_EQ(results, std::vector<int>{-1});
  EXPECT_FALSE(burner.IsBurning());
  EXPECT_FALSE(toolkit.WaitForCall(200)) << "no burn thread";
  ui::SetToolkit(nullptr);
}

}  // namespace
