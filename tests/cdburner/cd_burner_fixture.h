// A CD burner owned by a headless form, over the fake CD service with a staging folder of the
// test's own.
#pragma once

#include <gtest/gtest.h>

#include <memory>
#include <string>
#include <vector>

#include "cdburner/cd_burner.h"
#include "support/fake_cd_burn.h"
#include "support/temp_folder.h"
#include "ui/headless/headless_form.h"
#include "ui/headless/headless_toolkit.h"

namespace cdburner_test {

// A form with a window handle, so a test can see it reach the shell's wizard.
class WindowedForm : public ui::headless::HeadlessForm {
 public:
  using HeadlessForm::HeadlessForm;
  void* NativeHandle() const override { return const_cast<WindowedForm*>(this); }
};

// One OnBurnDone call as the handler saw it.
struct BurnDone {
  int result;
  bool is_burning;
  bool on_main_thread;
};

class CdBurnerTest : public testing::Test {
 protected:
  CdBurnerTest() {
    ui::SetToolkit(&toolkit_);
    fake_.Install(staging_.path().substr(0, staging_.path().size() - 1));
  }
  ~CdBurnerTest() override { ui::SetToolkit(nullptr); }

  // A component recording its OnBurnDone calls into done_.
  std::unique_ptr<cdburner::TCDBurner> MakeBurner();
  // Runs the main thread's side of a burn: waits for the burn thread's hand-over and runs it.
  bool RunHandOver() { return toolkit_.WaitForCall(10000); }
  // Names of the staging folder's entries, sorted, "." and ".." left out.
  std::vector<std::string> Staged() const;

  ui::headless::HeadlessToolkit toolkit_;
  WindowedForm form_{toolkit_, "Owner", 324, 432};
  test_support::TempFolder staging_;
  test_support::TempFolder sources_;
  test_support::FakeCdBurnService fake_;
  std::vector<BurnDone> done_;
};

}  // namespace cdburner_test
