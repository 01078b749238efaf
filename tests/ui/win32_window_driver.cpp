// Starts the program beside this one, switches its main window to Restore with a click, keeps a
// picture of the window and leaves by Exit: the window as a user meets it.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdio>
#include <filesystem>

#include "win32_driver.h"

#ifndef RD_DRIVEN_PROGRAM
#define RD_DRIVEN_PROGRAM "ridideduvure.exe"
#endif

namespace ui::win32::driver {
namespace {

constexpr int kStartTimeoutMs = 60000;  // a first start under Wine can be slow
constexpr int kStepTimeoutMs = 15000;
constexpr char kMainCaption[] = "Ridideduvure 4.0";

// RD_SCREENSHOT_DIR (a Windows path, or a Linux one that Wine's drive Z: reaches), else the
// screenshots folder beside the bin folder.
std::string ScreenshotFolder() {
  char value[MAX_PATH] = {};
  std::string folder(value, GetEnvironmentVariableA("RD_SCREENSHOT_DIR", value, MAX_PATH));
  if (folder.empty() || folder.size() >= MAX_PATH) {
    folder = OwnFolder() + "..\\screenshots";
  } else if (folder[0] == '/') {
    std::replace(folder.begin(), folder.end(), '/', '\\');
    folder = "Z:" + folder;
  }
  char full[MAX_PATH] = {};
  const DWORD length = GetFullPathNameA(folder.c_str(), MAX_PATH, full, nullptr);
  if (length > 0 && length < MAX_PATH) folder = full;
  if (folder.back() != '\\') folder += '\\';
  return folder;
}

// Ends the program however the test ends, so that a failure leaves no window behind.
struct KillAtEnd {
  Program& program;
  ~KillAtEnd() { program.Kill(); }
};

TEST(Win32WindowDriverTest, SwitchesToRestoreTakesAPictureAndExits) {
  const std::string path = OwnFolder() + RD_DRIVEN_PROGRAM;
  WineDrawsTheFrame frame_drawn_by_wine(RD_DRIVEN_PROGRAM);
  Program program = StartProgram(path);
  ASSERT_TRUE(program.Started()) << "cannot start " << path;
  KillAtEnd kill_at_end{program};

  HWND main =
      WaitFor([&] { return FindTopWindow(program.Id(), "", kMainCaption); }, kStartTimeoutMs);
  ASSERT_NE(main, nullptr) << "no window \"" << kMainCaption << "\" appeared";
  RECT frame;
  GetWindowRect(main, &frame);
  EXPECT_EQ(frame.right - frame.left, 324);
  EXPECT_EQ(frame.bottom - frame.top, 432);

  HWND backup_item = FindChildByText(main, "Backup", Kind::kRadioButton);
  HWND restore_item = FindChildByText(main, "Restore", Kind::kRadioButton);
  HWND backup_button = FindChildByText(main, "Backup", Kind::kPushButton);
  HWND restore_button = FindChildByText(main, "Restore", Kind::kPushButton);
  HWND exit_button = FindChildByText(main, "Exit", Kind::kPushButton);
  ASSERT_TRUE(backup_item && restore_item && backup_button && restore_button && exit_button);
  EXPECT_TRUE(IsChecked(backup_item));
  EXPECT_TRUE(IsWindowVisible(backup_button));
  EXPECT_FALSE(IsWindowVisible(restore_button));

  Click(restore_item);
  EXPECT_TRUE(WaitUntil([&] { return !IsWindowVisible(backup_button); }, kStepTimeoutMs))
      << "the Backup button stayed after the click on Restore";
  EXPECT_TRUE(IsChecked(restore_item));
  EXPECT_FALSE(IsChecked(backup_item));
  EXPECT_TRUE(IsWindowVisible(restore_button));
  EXPECT_EQ(FindTopWindow(program.Id(), "#32770", ""), nullptr) << "an unexpected message box";

  // In front and fully painted before the screen is read.
  SetForegroundWindow(main);
  RedrawWindow(main, nullptr, nullptr, RDW_INVALIDATE | RDW_ERASE | RDW_ALLCHILDREN);
  WaitUntil([] { return false; }, 700);
  const std::string folder = ScreenshotFolder();
  std::error_code ignored;
  std::filesystem::create_directories(folder, ignored);
  std::string error;
  EXPECT_TRUE(CaptureWindowPng(main, folder + "win32-restore.png", &error)) << error;
  std::printf("Screenshot: %swin32-restore.png\n", folder.c_str());

  // A command refuses an empty source with a box of the program's, and the window stays.
  HWND source = FindChildByText(main, "Source Folder containing Chart Files", Kind::kLabel);
  HWND source_edit = NextOfKind(source, Kind::kEdit);
  ASSERT_NE(source_edit, nullptr);
  TypeText(source_edit, "");
  Click(restore_button);
  std::string caption;
  EXPECT_EQ(AnswerMessageBox(program.Id(), IDOK, kStepTimeoutMs, &caption),
            "Both Source and Dest must be selected.");
  EXPECT_EQ(caption, "RidideDuvure");

  Click(exit_button);
  const std::optional<DWORD> exit_code = program.WaitForExit(kStepTimeoutMs);
  ASSERT_TRUE(exit_code.has_value()) << "the program did not end after Exit";
  EXPECT_EQ(*exit_code, 0u);
}

// Accessibility and automation tools press Exit or close the window from their own process by
// sending the message; the program must end then, with 0, as after a click of the mouse.
TEST(Win32WindowDriverTest, ExitOrCloseSentFromAnotherProgramEndsIt) {
  struct Way {
    const char* name;
    bool to_exit_button;
    UINT message;
    WPARAM wparam;
  };
  const Way ways[] = {
      {"BM_CLICK to Exit", true, BM_CLICK, 0},
      {"WM_CLOSE", false, WM_CLOSE, 0},
      {"the close box (WM_SYSCOMMAND SC_CLOSE)", false, WM_SYSCOMMAND, SC_CLOSE},
  };
  const std::string path = OwnFolder() + RD_DRIVEN_PROGRAM;
  WineDrawsTheFrame frame_drawn_by_wine(RD_DRIVEN_PROGRAM);
  for (const Way& way : ways) {
    SCOPED_TRACE(way.name);
    Program program = StartProgram(path);
    ASSERT_TRUE(program.Started()) << "cannot start " << path;
    KillAtEnd kill_at_end{program};
    HWND main =
        WaitFor([&] { return FindTopWindow(program.Id(), "", kMainCaption); }, kStartTimeoutMs);
    ASSERT_NE(main, nullptr) << "no window \"" << kMainCaption << "\" appeared";
    HWND target = way.to_exit_button ? FindChildByText(main, "Exit", Kind::kPushButton) : main;
    ASSERT_NE(target, nullptr);

    EXPECT_TRUE(SendAndWait(target, way.message, way.wparam, 0, kStepTimeoutMs))
        << "the program did not take the message";
    EXPECT_TRUE(WaitUntil([&] { return !IsWindowVisible(main); }, kStepTimeoutMs))
        << "the window stayed";
    const std::optional<DWORD> exit_code = program.WaitForExit(kStepTimeoutMs);
    ASSERT_TRUE(exit_code.has_value()) << "the program went on without its window";
    EXPECT_EQ(*exit_code, 0u);
  }
}

}  // namespace
}  // namespace ui::win32::driver
