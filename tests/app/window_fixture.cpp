#include "window_fixture.h"

#include "base/text.h"
#include "platform/platform.h"
#include "util/files.h"

namespace app {

WindowTest::WindowTest() {
  ui::SetToolkit(&toolkit_);
  StopRequested = false;
  RemoveSettings();
}

WindowTest::~WindowTest() {
  window_.reset();
  RemoveSettings();
  ui::SetToolkit(nullptr);
  StopRequested = false;
  locations::HalvaneVersion = 0;
  locations::HasVersion7 = locations::HasVersion8 = locations::HasVersion9 = false;
}

void WindowTest::Open() {
  window_ = std::make_unique<TFileMaint>(toolkit_);
  window_->Form().Show();
}

ui::headless::HeadlessCheckBox& WindowTest::Check(const std::string& name) const {
  return toolkit_.form->Get<ui::headless::HeadlessCheckBox>(name);
}
ui::headless::HeadlessDirectoryEdit& WindowTest::Edit(const std::string& name) const {
  return toolkit_.form->Get<ui::headless::HeadlessDirectoryEdit>(name);
}
ui::headless::HeadlessButton& WindowTest::Button(const std::string& name) const {
  return toolkit_.form->Get<ui::headless::HeadlessButton>(name);
}
ui::headless::HeadlessLabel& WindowTest::Label(const std::string& name) const {
  return toolkit_.form->Get<ui::headless::HeadlessLabel>(name);
}
ui::headless::HeadlessRadioGroup& WindowTest::Mode() const {
  return toolkit_.form->Get<ui::headless::HeadlessRadioGroup>("RadioGroup1");
}
ui::headless::HeadlessProgressBar& WindowTest::Bar() const {
  return toolkit_.form->Get<ui::headless::HeadlessProgressBar>("AdvProgress1");
}

std::string WindowTest::WindowsFolder() const { return base::AddBackslash(util::GetWindowsDir()); }
std::string WindowTest::DocumentsFolder() const {
  return base::AddBackslash(util::GetDocumentsDir());
}

namespace {

void WriteFile(const std::string& path, const std::string& text) {
  util::MakeFolderPath(base::FolderOf(path));
  auto file = platform::File::Open(path, platform::File::Mode::kCreate);
  ASSERT_TRUE(file) << path;
  ASSERT_TRUE(file->Write(text.data(), text.size()));
}

}  // namespace

void WindowTest::WriteSystemSettings(int version, const std::string& text) {
  WriteFile(WindowsFolder() + "Halvane" + std::to_string(version) + ".INI", text);
}

void WindowTest::WriteUserSettings(int version, const std::string& text) {
  WriteFile(DocumentsFolder() + "Halvane User Files\\Settings\\Halvane" + std::to_string(version) +
                ".INI",
            text);
}

void WindowTest::InstallUserFilesVersion(int version, const std::string& system_data,
                                         const std::string& chart_folder) {
  WriteSystemSettings(version, "[Halvane]\r\nSystemDataPath=" + system_data + "\r\n");
  if (!chart_folder.empty()) {
    WriteUserSettings(version, "[Halvane]\r\nChartDataPath=" + chart_folder + "\r\n");
  }
}

void WindowTest::InstallOlderVersion(int version, const std::string& interp,
                                     const std::string& system_data,
                                     const std::string& chart_folder,
                                     const std::string& user_data) {
  WriteSystemSettings(
      version, "[Halvane]\r\nInterpPath=" + interp + "\r\nSystemDataPath=" + system_data +
                   "\r\nChartDataPath=" + chart_folder + "\r\nUserDataPath=" + user_data + "\r\n");
}

std::vector<std::string> WindowTest::Messages() const {
  std::vector<std::string> texts;
  for (const auto& shown : toolkit_.messages) texts.push_back(shown.text);
  return texts;
}

void WindowTest::RemoveSettings() {
  for (int version = 4; version <= 9; ++version) {
    platform::DeleteFile(WindowsFolder() + "Halvane" + std::to_string(version) + ".INI");
  }
  test_support::RemoveTree(DocumentsFolder() + "Halvane User Files");
}

}  // namespace app
