#include "ui/win32/win32_progress_view.h"

#include <gtest/gtest.h>

#include <cstdlib>

#include "ui/win32/win32_toolkit.h"
#include "win32_test_windows.h"
#include "zip/progress_form.h"
#include "zip/tzip.h"

namespace ui::win32 {
namespace {

HWND Child(const Win32ProgressView& view, int id) { return GetDlgItem(view.Handle(), id); }

BOOL CALLBACK MatchProgressWindow(HWND candidate, LPARAM result) {
  char name[64] = {};
  GetClassNameA(candidate, name, sizeof(name));
  if (std::string(name) != Win32ProgressView::kClassName) return TRUE;
  *reinterpret_cast<HWND*>(result) = candidate;
  return FALSE;
}

// The progress window this thread has, or null.
HWND FindProgressWindow() {
  HWND found = nullptr;
  EnumThreadWindows(GetCurrentThreadId(), MatchProgressWindow, reinterpret_cast<LPARAM>(&found));
  return found;
}

// A control's bounds within the window's client area.
RECT ClientBounds(HWND control) {
  RECT bounds;
  GetWindowRect(control, &bounds);
  MapWindowPoints(nullptr, GetParent(control), reinterpret_cast<POINT*>(&bounds), 2);
  return bounds;
}

TEST(Win32ProgressViewTest, IsAHiddenFixedTopmostWindowWithTheClientAreaAsked) {
  Win32ProgressView view(300, 100);
  HWND window = view.Handle();
  ASSERT_NE(window, nullptr) << "no window could be made; under Wine, run with a display";
  EXPECT_FALSE(IsWindowVisible(window));
  EXPECT_FALSE(view.Visible());

  RECT client;
  GetClientRect(window, &client);
  EXPECT_EQ(client.right - client.left, 300);
  EXPECT_EQ(client.bottom - client.top, 100);

  const LONG_PTR style = GetWindowLongPtrA(window, GWL_STYLE);
  const LONG_PTR ex_style = GetWindowLongPtrA(window, GWL_EXSTYLE);
  EXPECT_TRUE(ex_style & WS_EX_TOPMOST);
  EXPECT_TRUE(ex_style & WS_EX_DLGMODALFRAME);
  EXPECT_TRUE(style & WS_CAPTION);
  EXPECT_FALSE(style & (WS_THICKFRAME | WS_MINIMIZEBOX | WS_MAXIMIZEBOX | WS_CHILD));

  // The frame is the whole window, larger than its client area by the border and caption.
  RECT outer;
  GetWindowRect(window, &outer);
  const Rect frame = view.Frame();
  EXPECT_EQ(frame,
            (Rect{outer.left, outer.top, outer.right - outer.left, outer.bottom - outer.top}));
  EXPECT_GT(frame.width, 300);
  EXPECT_GT(frame.height, 100);
}

TEST(Win32ProgressViewTest, ShowsHidesAndMovesWithoutResizing) {
  Win32ProgressView view(300, 100);
  const Rect before = view.Frame();
  view.MoveTo(-20, 37);
  const Rect after = view.Frame();
  EXPECT_EQ(after, (Rect{-20, 37, before.width, before.height}));

  view.Show();
  EXPECT_TRUE(view.Visible());
  EXPECT_TRUE(IsWindowVisible(view.Handle()));
  view.Hide();
  EXPECT_FALSE(view.Visible());
  view.Show();
  // The close box only hides the window.
  SendMessageA(view.Handle(), WM_CLOSE, 0, 0);
  EXPECT_TRUE(IsWindow(view.Handle()));
  EXPECT_FALSE(view.Visible());
}

TEST(Win32ProgressViewTest, ControlsTakeTheirTextsPlacesAndRange) {
  Win32ProgressView view(300, 100);
  view.SetCaption("Unzipping and Restoring User Data files to C:\\Données");
  view.SetLabel("Smith & Jones.cht", 10, 15, 280);
  view.SetBar(10, 35, 280);
  view.SetButton("&Cancel", 112, 60, true);
  view.SetBarMaximum(65535);
  view.SetBarPosition(40000);

  EXPECT_EQ(TextOf(view.Handle()), "Unzipping and Restoring User Data files to C:\\Données");
  HWND label = Child(view, Win32ProgressView::kLabelId);
  HWND bar = Child(view, Win32ProgressView::kBarId);
  HWND button = Child(view, Win32ProgressView::kButtonId);
  ASSERT_TRUE(label && bar && button);
  EXPECT_EQ(TextOf(label), "Smith & Jones.cht");
  EXPECT_EQ(TextOf(button), "&Cancel");

  RECT bounds = ClientBounds(label);
  EXPECT_EQ(bounds.left, 10);
  EXPECT_EQ(bounds.top, 15);
  EXPECT_EQ(bounds.right - bounds.left, 280);
  bounds = ClientBounds(bar);
  EXPECT_EQ(bounds.left, 10);
  EXPECT_EQ(bounds.top, 35);
  EXPECT_EQ(bounds.right - bounds.left, 280);
  bounds = ClientBounds(button);
  EXPECT_EQ(bounds.left, 112);
  EXPECT_EQ(bounds.top, 60);
  EXPECT_EQ(bounds.right - bounds.left, view.StandardButtonWidth());
  EXPECT_LE(bounds.bottom, 100);  // inside the client area

  EXPECT_EQ(SendMessageA(bar, PBM_GETRANGE, FALSE, 0), 65535);
  EXPECT_EQ(SendMessageA(bar, PBM_GETPOS, 0, 0), 40000);
  EXPECT_EQ(GetWindowLongPtrA(button, GWL_STYLE) & 0x0F, BS_DEFPUSHBUTTON);
}

TEST(Win32ProgressViewTest, ClickEnterAndEscapePressTheButtonAndFreeingDestroysTheWindow) {
  Win32Toolkit toolkit;
  HWND window;
  int presses = 0;
  {
    auto view = toolkit.CreateProgressView(300, 100);
    auto& win32_view = static_cast<Win32ProgressView&>(*view);
    window = win32_view.Handle();
    view->SetButton("&Cancel", 112, 60, true);
    view->on_button = [&] { ++presses; };
    view->Show();
    HWND button = GetDlgItem(window, Win32ProgressView::kButtonId);

    SendMessageA(window, WM_COMMAND, MAKEWPARAM(Win32ProgressView::kButtonId, BN_CLICKED),
                 reinterpret_cast<LPARAM>(button));
    EXPECT_EQ(presses, 1);
    // Enter reaches the default button through the toolkit's message pump.
    PostMessageA(button, WM_KEYDOWN, VK_RETURN, 0);
    toolkit.ProcessMessages();
    EXPECT_EQ(presses, 2);
    PostMessageA(button, WM_KEYDOWN, VK_ESCAPE, 0);  // Cancel
    toolkit.ProcessMessages();
    EXPECT_EQ(presses, 3);
  }
  EXPECT_FALSE(IsWindow(window));
}

// The progress window's logic over the real window and the real desktop.
TEST(Win32ProgressViewTest, ProgressFormCentresOnTheDesktopOrTheMainWindow) {
  Win32Toolkit toolkit;
  SetToolkit(&toolkit);
  zip::TZip zip;
  RECT work;
  ASSERT_TRUE(SystemParametersInfoA(SPI_GETWORKAREA, 0, &work, 0));
  EXPECT_EQ(toolkit.WorkArea(),
            (Rect{work.left, work.top, work.right - work.left, work.bottom - work.top}));
  EXPECT_EQ(toolkit.MainWindowFrame(), std::nullopt);
  {
    zip::TProgressForm form(zip);
    HWND window = FindProgressWindow();
    ASSERT_NE(window, nullptr);
    RECT outer;
    GetWindowRect(window, &outer);
    // Centred within a pixel (the halves truncate), wholly inside the work area.
    EXPECT_LE(std::abs((outer.left - work.left) - (work.right - outer.right)), 1);
    EXPECT_LE(std::abs((outer.top - work.top) - (work.bottom - outer.bottom)), 1);
    EXPECT_FALSE(IsWindowVisible(window));

    form.Show();
    SendMessageA(window, WM_COMMAND, MAKEWPARAM(Win32ProgressView::kButtonId, BN_CLICKED),
                 reinterpret_cast<LPARAM>(GetDlgItem(window, Win32ProgressView::kButtonId)));
    EXPECT_TRUE(zip.Cancelled);
    EXPECT_FALSE(IsWindowVisible(window));
  }

  // A main window at an odd place and size.
  HWND main_window = CreateWindowExA(0, "STATIC", "main", WS_POPUP, -31, 45, 641, 481, nullptr,
                                     nullptr, GetModuleHandleA(nullptr), nullptr);
  ASSERT_NE(main_window, nullptr);
  toolkit.SetMainWindow(main_window);
  EXPECT_EQ(toolkit.MainWindowFrame(), (Rect{-31, 45, 641, 481}));
  {
    auto view = toolkit.CreateProgressView(300, 100);
    const Rect size = view->Frame();
    view.reset();
    zip::TProgressForm form(zip);
    HWND window = FindProgressWindow();
    ASSERT_NE(window, nullptr);
    RECT outer;
    GetWindowRect(window, &outer);
    EXPECT_EQ(outer.left, -31 + (641 - size.width) / 2);
    EXPECT_EQ(outer.top, 45 + (481 - size.height) / 2);
    EXPECT_EQ(outer.right - outer.left, size.width);
  }
  DestroyWindow(main_window);
  EXPECT_EQ(toolkit.MainWindowFrame(), std::nullopt);  // a destroyed main window is no owner
  SetToolkit(nullptr);
}

}  // namespace
}  // namespace ui::win32
