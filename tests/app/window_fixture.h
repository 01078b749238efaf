// The main window over the scripted toolkit, on the test program's own drive C:, with helpers to
// install a copy of the astrology application and to act on the controls as a user would.
#pragma once

#include <gtest/gtest.h>

#include <memory>
#include <string>

#include "app/file_maint.h"
#include "support/temp_folder.h"
#include "ui/headless/headless_toolkit.h"

namespace app {

class WindowTest : public ::testing::Test {
 protected:
  WindowTest();
  ~WindowTest() override;

  // Builds the window and shows it (FormShow runs). Call after preparing drives and settings.
  void Open();

  // The controls, as the headless toolkit made them.
  ui::headless::HeadlessCheckBox& Check(const std::string& name) const;
  ui::headless::HeadlessDirectoryEdit& Edit(const std::string& name) const;
  ui::headless::HeadlessButton& Button(const std::string& name) const;
  ui::headless::HeadlessLabel& Label(const std::string& name) const;
  ui::headless::HeadlessRadioGroup& Mode() const;
  ui::headless::HeadlessProgressBar& Bar() const;

  // The application's settings files on drive C: (Windows folder C:\windows, documents folder
  // C:\users\tester\Documents on Linux; the Wine prefix's own folders on Windows). Removed again
  // when the test ends.
  std::string WindowsFolder() const;
  std::string DocumentsFolder() const;
  void WriteSystemSettings(int version, const std::string& text);
  // The user settings file of versions 7 to 9, below the documents folder.
  void WriteUserSettings(int version, const std::string& text);
  // A version 7 to 9 installation: system settings naming system_data, user settings naming
  // chart_folder (no user settings file when empty).
  void InstallUserFilesVersion(int version, const std::string& system_data,
                               const std::string& chart_folder);
  // A version 4 to 6 installation naming its four folders.
  void InstallOlderVersion(int version, const std::string& interp, const std::string& system_data,
                           const std::string& chart_folder, const std::string& user_data);

  // Texts of the message boxes shown so far.
  std::vector<std::string> Messages() const;

  ui::headless::HeadlessToolkit toolkit_;
  std::unique_ptr<TFileMaint> window_;
  test_support::TempFolder temp_;  // on drive C:

 private:
  void RemoveSettings();
};

}  // namespace app
