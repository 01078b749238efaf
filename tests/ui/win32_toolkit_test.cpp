#include "ui/win32/win32_toolkit.h"

#include <gtest/gtest.h>

#include "ui/win32/win32_input_box.h"
#include "win32_test_windows.h"

namespace ui::win32 {
namespace {

// The answers come from a timer that runs inside each box's own modal loop, the way a user's
// click arrives: the box is real, only the hand is scripted.

TEST(Win32InputBoxTest, OkReturnsTheEditedTextAndShowsPromptAndDefault) {
  Win32Toolkit toolkit("Backup Test");
  std::string prompt_seen, default_seen, caption_seen;
  WhenShown(kInputBoxClassName, [&](HWND box) {
    caption_seen = TextOf(box);
    prompt_seen = TextOf(GetDlgItem(box, kInputPromptId));
    default_seen = TextOf(GetDlgItem(box, kInputEditId));
    SetWindowTextA(GetDlgItem(box, kInputEditId), "pässwörd");
    PostMessageA(box, WM_COMMAND, MAKEWPARAM(IDOK, BN_CLICKED), 0);
  });
  const auto answer = toolkit.InputBox(toolkit.ApplicationTitle(),
                                       "A new password is required for \"Smith.cht\"", "old");
  ASSERT_TRUE(WhenShownDone());
  EXPECT_EQ(answer, "pässwörd");
  EXPECT_EQ(caption_seen, "Backup Test");
  EXPECT_EQ(prompt_seen, "A new password is required for \"Smith.cht\"");
  EXPECT_EQ(default_seen, "old");
  EXPECT_FALSE(FindWindowA(kInputBoxClassName, nullptr));  // gone once answered
}

TEST(Win32InputBoxTest, EnterIsOkAndAnEmptyEntryIsNotACancel) {
  Win32Toolkit toolkit;
  WhenShown(kInputBoxClassName, [](HWND box) {
    HWND edit = GetDlgItem(box, kInputEditId);
    SetWindowTextA(edit, "");
    PostMessageA(edit, WM_KEYDOWN, VK_RETURN, 0);
  });
  const auto answer = toolkit.InputBox("T", "Password is invalid, please retry ...", "x");
  ASSERT_TRUE(WhenShownDone());
  EXPECT_EQ(answer, std::optional<std::string>(""));
}

TEST(Win32InputBoxTest, CancelEscapeAndTheCloseBoxAnswerNothing) {
  Win32Toolkit toolkit;
  WhenShown(kInputBoxClassName, [](HWND box) {
    SetWindowTextA(GetDlgItem(box, kInputEditId), "typed");
    PostMessageA(box, WM_COMMAND, MAKEWPARAM(IDCANCEL, BN_CLICKED), 0);
  });
  EXPECT_EQ(toolkit.InputBox("T", "p", ""), std::nullopt);
  EXPECT_TRUE(WhenShownDone());

  WhenShown(kInputBoxClassName, [](HWND box) {
    PostMessageA(GetDlgItem(box, kInputEditId), WM_KEYDOWN, VK_ESCAPE, 0);
  });
  EXPECT_EQ(toolkit.InputBox("T", "p", "kept?"), std::nullopt);
  EXPECT_TRUE(WhenShownDone());

  WhenShown(kInputBoxClassName, [](HWND box) { PostMessageA(box, WM_CLOSE, 0, 0); });
  EXPECT_EQ(toolkit.InputBox("T", "p", "kept?"), std::nullopt);
  EXPECT_TRUE(WhenShownDone());
}

TEST(Win32InputBoxTest, TheMainWindowIsDisabledWhileTheBoxIsUp) {
  Win32Toolkit toolkit;
  HWND main_window = CreateWindowExA(0, "STATIC", "main", WS_POPUP | WS_VISIBLE, 0, 0, 200, 100,
                                     nullptr, nullptr, GetModuleHandleA(nullptr), nullptr);
  ASSERT_NE(main_window, nullptr);
  toolkit.SetMainWindow(main_window);
  bool enabled_meanwhile = true;
  HWND owner = nullptr;
  WhenShown(kInputBoxClassName, [&](HWND box) {
    enabled_meanwhile = IsWindowEnabled(main_window);
    owner = GetWindow(box, GW_OWNER);
    PostMessageA(box, WM_COMMAND, IDOK, 0);
  });
  EXPECT_EQ(toolkit.InputBox("T", "p", "d"), "d");
  ASSERT_TRUE(WhenShownDone());
  EXPECT_FALSE(enabled_meanwhile);
  EXPECT_EQ(owner, main_window);
  EXPECT_TRUE(IsWindowEnabled(main_window));
  DestroyWindow(main_window);
}

TEST(Win32ToolkitTest, MessageBoxShowsTextCaptionAndButtonsAndReturnsTheAnswer) {
  Win32Toolkit toolkit;
  std::string caption_seen;
  bool has_yes = false, has_no = false, has_cancel = false, has_ok = true;
  WhenShown("#32770", [&](HWND box) {
    caption_seen = TextOf(box);
    has_yes = GetDlgItem(box, IDYES) != nullptr;
    has_no = GetDlgItem(box, IDNO) != nullptr;
    has_cancel = GetDlgItem(box, IDCANCEL) != nullptr;
    has_ok = GetDlgItem(box, IDOK) != nullptr;
    PostMessageA(box, WM_COMMAND, MAKEWPARAM(IDNO, BN_CLICKED), 0);
  });
  const int answer =
      toolkit.MessageBox("\"a.cht\" may be corrupted (CRC error).", toolkit.ApplicationTitle(),
                         kMbYesNoCancel | kMbIconQuestion | kMbDefButton2);
  ASSERT_TRUE(WhenShownDone());
  EXPECT_EQ(answer, kIdNo);
  EXPECT_EQ(caption_seen, "RidideDuvure");
  EXPECT_TRUE(has_yes && has_no && has_cancel);
  EXPECT_FALSE(has_ok);

  WhenShown("#32770", [&](HWND box) {
    has_ok = GetDlgItem(box, IDOK) != nullptr;
    PostMessageA(box, WM_COMMAND, MAKEWPARAM(IDOK, BN_CLICKED), 0);
  });
  EXPECT_EQ(toolkit.MessageBox("done", "T", kMbOk | kMbIconInformation), kIdOk);
  EXPECT_TRUE(has_ok);
}

TEST(Win32ToolkitTest, ProcessMessagesRunsWhatIsPendingAndLeavesQuitForTheMainLoop) {
  Win32Toolkit toolkit;
  HWND window = CreateWindowExA(0, "STATIC", "", WS_POPUP, 0, 0, 10, 10, nullptr, nullptr,
                                GetModuleHandleA(nullptr), nullptr);
  ASSERT_NE(window, nullptr);
  PostMessageA(window, WM_CLOSE, 0, 0);  // a plain window destroys itself on this
  PostQuitMessage(3);
  toolkit.ProcessMessages();
  EXPECT_FALSE(IsWindow(window));
  MSG message;
  ASSERT_TRUE(PeekMessageA(&message, nullptr, WM_QUIT, WM_QUIT, PM_REMOVE));
  EXPECT_EQ(message.wParam, 3u);
}

}  // namespace
}  // namespace ui::win32
