#include "ui/win32/win32_form.h"

#include <gtest/gtest.h>

#include <functional>
#include <stdexcept>
#include <thread>

#include "ui/win32/win32_toolkit.h"
#include "win32_driver.h"
#include "win32_test_windows.h"
// After windows.h, which it needs.
#include <shlobj.h>

namespace ui::win32 {
namespace {

using driver::FindChildByText;
using driver::Kind;

// The main window's layout, built the way the window logic builds it.
struct Layout {
  explicit Layout(Form& form)
      : mode(form.AddRadioGroup("RadioGroup1", "Choose an Action", {"Backup", "Restore"},
                                {68, 2, 139, 57})),
        cd(form.AddCheckBox("CDRomCB", "Burn CDRom (Windows XP Only)", {9, 62, 290, 17})),
        source_label(form.AddLabel("Lsource", "Source Folder containing Chart Files", 16, 136)),
        source(form.AddDirectoryEdit("ESource", "c:\\", {16, 170, 280, 21})),
        backup(form.AddButton("BackupButt", "Backup", {16, 263, 89, 33}, ButtonRole::kOk)),
        restore(form.AddButton("RestoreButt", "Restore", {111, 263, 89, 33}, ButtonRole::kOk)),
        exit(form.AddButton("BitBtn2", "Exit", {206, 263, 89, 33}, ButtonRole::kCancel)),
        status(form.AddLabel("PLabel", "", 10, 306)),
        progress(form.AddProgressBar("AdvProgress1", {49, 332, 194, 17})),
        notice(form.AddLabel("Label1", "A one-line notice.", 12, 358, 12, "Arial")) {
    mode.SetItemIndex(0);
  }
  RadioGroup& mode;
  CheckBox& cd;
  Label& source_label;
  DirectoryEdit& source;
  Button& backup;
  Button& restore;
  Button& exit;
  Label& status;
  ProgressBar& progress;
  Label& notice;
};

class Win32FormTest : public testing::Test {
 protected:
  void SetUp() override {
    SetToolkit(&toolkit);
    form = toolkit.CreateForm("Ridideduvure 4.0", 324, 432);
    window = static_cast<HWND>(form->NativeHandle());
    ASSERT_NE(window, nullptr) << "no window could be made; under Wine, run with a display";
    layout = std::make_unique<Layout>(*form);
  }
  void TearDown() override { SetToolkit(nullptr); }

  HWND Child(const std::string& text, Kind kind) { return FindChildByText(window, text, kind); }

  // A control's bounds within the form's client area.
  Bounds ClientBounds(HWND control) {
    RECT bounds;
    GetWindowRect(control, &bounds);
    MapWindowPoints(nullptr, window, reinterpret_cast<POINT*>(&bounds), 2);
    return {bounds.left, bounds.top, bounds.right - bounds.left, bounds.bottom - bounds.top};
  }

  LONG_PTR ButtonType(HWND button) { return GetWindowLongPtrA(button, GWL_STYLE) & BS_TYPEMASK; }

  Win32Toolkit toolkit{"Form Test"};
  std::unique_ptr<Form> form;
  HWND window = nullptr;
  std::unique_ptr<Layout> layout;
};

TEST_F(Win32FormTest, IsAFixedCentredWindowInTheDialogColourAndTheToolkitsMainWindow) {
  EXPECT_EQ(form->Caption(), "Ridideduvure 4.0");
  const LONG_PTR style = GetWindowLongPtrA(window, GWL_STYLE);
  EXPECT_TRUE((style & WS_CAPTION) == WS_CAPTION && (style & WS_SYSMENU) &&
              (style & WS_MINIMIZEBOX));
  EXPECT_FALSE(style & (WS_THICKFRAME | WS_MAXIMIZEBOX | WS_CHILD));
  EXPECT_EQ(static_cast<LONG_PTR>(GetClassLongPtrA(window, GCLP_HBRBACKGROUND)), COLOR_BTNFACE + 1);

  const Rect work = toolkit.WorkArea();
  const std::optional<Rect> frame = toolkit.MainWindowFrame();
  ASSERT_TRUE(frame.has_value());
  EXPECT_EQ(*frame, (Rect{work.left + (work.width - 324) / 2, work.top + (work.height - 432) / 2,
                          324, 432}));

  // A second form does not take over: boxes stay modal to the first.
  auto second = toolkit.CreateForm("Other", 200, 100);
  HWND owner = nullptr;
  WhenShown("#32770", [&](HWND box) {
    owner = GetWindow(box, GW_OWNER);
    PostMessageA(box, WM_COMMAND, IDOK, 0);
  });
  toolkit.MessageBox("text", "caption", kMbOk);
  ASSERT_TRUE(WhenShownDone());
  EXPECT_EQ(owner, window);
}

TEST_F(Win32FormTest, EveryControlIsARealWin32ControlAtItsPlace) {
  HWND group = Child("Choose an Action", Kind::kGroupBox);
  HWND backup_item = Child("Backup", Kind::kRadioButton);
  HWND restore_item = Child("Restore", Kind::kRadioButton);
  ASSERT_TRUE(group && backup_item && restore_item);
  EXPECT_EQ(ClientBounds(group), (Bounds{68, 2, 139, 57}));
  RECT group_rect, item_rect, inside;
  GetWindowRect(group, &group_rect);
  for (HWND item : {backup_item, restore_item}) {
    GetWindowRect(item, &item_rect);
    EXPECT_TRUE(IntersectRect(&inside, &group_rect, &item_rect) && EqualRect(&inside, &item_rect))
        << "the items lie inside their group box";
  }
  EXPECT_EQ(SendMessageA(backup_item, BM_GETCHECK, 0, 0), BST_CHECKED);
  EXPECT_EQ(layout->mode.ItemIndex(), 0);

  HWND cd = Child("Burn CDRom (Windows XP Only)", Kind::kCheckBox);
  ASSERT_NE(cd, nullptr);
  EXPECT_EQ(ClientBounds(cd), (Bounds{9, 62, 290, 17}));
  EXPECT_FALSE(layout->cd.Checked());

  // The edit box and its "..." button share the control's bounds.
  HWND edit = Child("c:\\", Kind::kEdit);
  HWND browse = Child("...", Kind::kPushButton);
  ASSERT_TRUE(edit && browse);
  const Bounds edit_bounds = ClientBounds(edit), browse_bounds = ClientBounds(browse);
  EXPECT_EQ(edit_bounds.left, 16);
  EXPECT_EQ(browse_bounds.left + browse_bounds.width, 16 + 280);
  EXPECT_LE(edit_bounds.left + edit_bounds.width, browse_bounds.left);

  HWND bar = FindWindowExA(window, nullptr, PROGRESS_CLASSA, nullptr);
  ASSERT_NE(bar, nullptr);
  EXPECT_EQ(SendMessageA(bar, PBM_GETRANGE, FALSE, 0), 100);
  layout->progress.SetPosition(37);
  EXPECT_EQ(SendMessageA(bar, PBM_GETPOS, 0, 0), 37);
  EXPECT_EQ(layout->progress.Position(), 37);

  // Enter's button is drawn as the default: the first OK button while it shows, else the next.
  HWND backup = Child("Backup", Kind::kPushButton);
  HWND restore = Child("Restore", Kind::kPushButton);
  HWND exit = Child("Exit", Kind::kPushButton);
  ASSERT_TRUE(backup && restore && exit);
  EXPECT_EQ(ClientBounds(exit), (Bounds{206, 263, 89, 33}));
  EXPECT_EQ(ButtonType(backup), BS_DEFPUSHBUTTON);
  EXPECT_EQ(ButtonType(restore), BS_PUSHBUTTON);
  layout->backup.SetVisible(false);
  EXPECT_EQ(ButtonType(backup), BS_PUSHBUTTON);
  EXPECT_EQ(ButtonType(restore), BS_DEFPUSHBUTTON);
  EXPECT_EQ(ButtonType(exit), BS_PUSHBUTTON);
}

TEST_F(Win32FormTest, LabelsFitTheirTextAndFont) {
  HWND status = FindWindowExA(window, nullptr, "Static", "");
  HWND source_label = Child("Source Folder containing Chart Files", Kind::kLabel);
  HWND notice = Child("A one-line notice.", Kind::kLabel);
  ASSERT_TRUE(status && source_label && notice);
  EXPECT_EQ(ClientBounds(notice).left, 12);
  EXPECT_EQ(ClientBounds(notice).top, 358);

  LOGFONTA font{};
  ASSERT_TRUE(GetObjectA(HGDIOBJ(SendMessageA(notice, WM_GETFONT, 0, 0)), sizeof(font), &font));
  EXPECT_EQ(font.lfHeight, -12);
  EXPECT_STREQ(font.lfFaceName, "Arial");
  EXPECT_EQ(HGDIOBJ(SendMessageA(source_label, WM_GETFONT, 0, 0)),
            GetStockObject(DEFAULT_GUI_FONT));

  // A longer text widens the label, a shorter one narrows it again: no text is cut off and no
  // old text is left showing.
  const int empty_width = ClientBounds(status).width;
  layout->status.SetCaption("Searching for Chart Files");
  const int long_width = ClientBounds(status).width;
  layout->status.SetCaption("Finished.");
  const int short_width = ClientBounds(status).width;
  EXPECT_EQ(layout->status.Caption(), "Finished.");
  EXPECT_LT(empty_width, short_width);
  EXPECT_LT(short_width, long_width);
  EXPECT_GT(ClientBounds(status).height, 0);
}

TEST_F(Win32FormTest, ControlsEnableAndShowAllTheirWindowsTogether) {
  HWND edit = Child("c:\\", Kind::kEdit);
  HWND browse = Child("...", Kind::kPushButton);
  layout->source.SetEnabled(false);
  EXPECT_FALSE(layout->source.Enabled());
  EXPECT_FALSE(IsWindowEnabled(edit) || IsWindowEnabled(browse));
  layout->source.SetEnabled(true);
  EXPECT_TRUE(IsWindowEnabled(edit) && IsWindowEnabled(browse));

  // Visible is the control's own state, also while the form is not on screen yet.
  EXPECT_TRUE(layout->mode.Visible());
  layout->mode.SetVisible(false);
  EXPECT_FALSE(layout->mode.Visible());
  for (const char* text : {"Backup", "Restore"}) {
    EXPECT_FALSE(GetWindowLongPtrA(Child(text, Kind::kRadioButton), GWL_STYLE) & WS_VISIBLE);
  }
  EXPECT_FALSE(GetWindowLongPtrA(Child("Choose an Action", Kind::kGroupBox), GWL_STYLE) &
               WS_VISIBLE);
}

TEST_F(Win32FormTest, TheTextChangeEventFiresOncePerRealChange) {
  int changes = 0;
  std::string seen;
  layout->source.on_change = [&] {
    ++changes;
    seen = layout->source.Text();
  };
  layout->source.SetText("D:\\Charts\\");
  EXPECT_EQ(changes, 1);
  EXPECT_EQ(seen, "D:\\Charts\\");
  layout->source.SetText("D:\\Charts\\");
  EXPECT_EQ(changes, 1) << "the same text again is no change";

  // Typing reaches the handler too (the edit box reports it as for a key press).
  SetWindowTextA(Child("D:\\Charts\\", Kind::kEdit), "E:\\");
  EXPECT_EQ(changes, 2);
  EXPECT_EQ(seen, "E:\\");

  // A programmatic change hands the handler's exception to the code that made it.
  layout->source.on_change = [] { throw std::runtime_error("not a zip file"); };
  EXPECT_THROW(layout->source.SetText("F:\\"), std::runtime_error);
  EXPECT_EQ(layout->source.Text(), "F:\\");
}

TEST_F(Win32FormTest, UserClicksReachTheHandlersWithTheNewState) {
  form->Show();
  std::vector<bool> cd_states;
  std::vector<int> mode_indexes;
  layout->cd.on_click = [&] { cd_states.push_back(layout->cd.Checked()); };
  layout->mode.on_click = [&] { mode_indexes.push_back(layout->mode.ItemIndex()); };

  HWND cd = Child("Burn CDRom (Windows XP Only)", Kind::kCheckBox);
  HWND restore_item = Child("Restore", Kind::kRadioButton);
  PostMessageA(cd, BM_CLICK, 0, 0);
  PostMessageA(cd, BM_CLICK, 0, 0);
  PostMessageA(restore_item, BM_CLICK, 0, 0);
  PostMessageA(restore_item, BM_CLICK, 0, 0);  // already selected: nothing new
  toolkit.ProcessMessages();
  EXPECT_EQ(cd_states, (std::vector<bool>{true, false}));
  EXPECT_EQ(mode_indexes, (std::vector<int>{1}));
  HWND backup_item = Child("Backup", Kind::kRadioButton);
  EXPECT_EQ(SendMessageA(backup_item, BM_GETCHECK, 0, 0), BST_UNCHECKED);
  // Tab now enters the group at the selected item.
  EXPECT_TRUE(GetWindowLongPtrA(restore_item, GWL_STYLE) & WS_TABSTOP);
  EXPECT_FALSE(GetWindowLongPtrA(backup_item, GWL_STYLE) & WS_TABSTOP);

  // The program's own changes fire nothing.
  layout->cd.SetChecked(true);
  layout->mode.SetItemIndex(0);
  toolkit.ProcessMessages();
  EXPECT_EQ(cd_states.size(), 2u);
  EXPECT_EQ(mode_indexes.size(), 1u);
  EXPECT_EQ(SendMessageA(cd, BM_GETCHECK, 0, 0), BST_CHECKED);
  EXPECT_EQ(SendMessageA(restore_item, BM_GETCHECK, 0, 0), BST_UNCHECKED);
  form->Close();
}

TEST_F(Win32FormTest, EnterPressesTheDefaultOkButtonAndEscapeNothing) {
  std::vector<std::string> pressed;
  for (Button* button : {&layout->backup, &layout->restore, &layout->exit}) {
    button->on_click = [&pressed, button] { pressed.push_back(button->Caption()); };
  }
  form->Show();
  HWND edit = Child("c:\\", Kind::kEdit);
  SetFocus(edit);
  PostMessageA(edit, WM_KEYDOWN, VK_RETURN, 0);
  toolkit.ProcessMessages();
  layout->backup.SetVisible(false);  // as in Restore mode
  SetFocus(edit);
  PostMessageA(edit, WM_KEYDOWN, VK_RETURN, 0);
  PostMessageA(edit, WM_KEYDOWN, VK_ESCAPE, 0);  // not Exit, though it is a Cancel button
  toolkit.ProcessMessages();
  EXPECT_EQ(pressed, (std::vector<std::string>{"Backup", "Restore"}));
  form->Close();
}

TEST_F(Win32FormTest, AHandlersExceptionIsShownAndTheLoopGoesOn) {
  int closes = 0, shows = 0;
  form->on_close = [&] { ++closes; };
  layout->backup.on_click = [] { throw std::runtime_error("Drive A: is not accessible"); };
  layout->exit.on_click = [&] { form->Close(); };
  HWND backup = Child("Backup", Kind::kPushButton);
  HWND exit = Child("Exit", Kind::kPushButton);
  std::string caption, text;
  form->on_show = [&] {
    ++shows;
    WhenShown("#32770", [&](HWND box) {
      caption = TextOf(box);
      text = TextOf(GetDlgItem(box, 0xFFFF));
      PostMessageA(box, WM_COMMAND, IDOK, 0);
      PostMessageA(exit, BM_CLICK, 0, 0);  // reaches the main loop once the box is gone
    });
    PostMessageA(backup, BM_CLICK, 0, 0);
  };
  EXPECT_EQ(toolkit.Run(*form), 0);
  ASSERT_TRUE(WhenShownDone());
  EXPECT_EQ(caption, "Form Test");
  EXPECT_EQ(text, "Drive A: is not accessible");
  EXPECT_EQ(shows, 1);
  EXPECT_EQ(closes, 1);
  EXPECT_FALSE(IsWindowVisible(window));
}

TEST_F(Win32FormTest, TheCloseBoxClosesTheFormAsCloseDoes) {
  int closes = 0;
  form->on_close = [&] { ++closes; };
  form->on_show = [&] { PostMessageA(window, WM_SYSCOMMAND, SC_CLOSE, 0); };
  EXPECT_EQ(toolkit.Run(*form), 0);
  EXPECT_EQ(closes, 1);
  EXPECT_TRUE(IsWindow(window)) << "the window stays until the form goes";
  EXPECT_FALSE(IsWindowVisible(window));
  form->Close();
  EXPECT_EQ(closes, 1);
}

TEST_F(Win32FormTest, AnotherThreadsCallsRunOnTheLoopsThread) {
  const DWORD main_thread = GetCurrentThreadId();
  DWORD ran_on = 0;
  bool went_on = false;
  std::string failure;
  std::thread worker;
  form->on_show = [&] {
    WhenShown("#32770", [&](HWND box) {
      failure = TextOf(GetDlgItem(box, 0xFFFF));
      PostMessageA(box, WM_COMMAND, IDOK, 0);
    });
    worker = std::thread([&] {
      toolkit.RunOnMainThread([&] { ran_on = GetCurrentThreadId(); });
      toolkit.RunOnMainThread([] { throw std::runtime_error("The burn failed."); });
      went_on = true;  // the exception stayed on the main thread
      toolkit.RunOnMainThread([&] { form->Close(); });
    });
  };
  EXPECT_EQ(toolkit.Run(*form), 0);
  worker.join();
  EXPECT_EQ(ran_on, main_thread);
  EXPECT_EQ(failure, "The burn failed.");
  EXPECT_TRUE(went_on);
}

// Runs the form while another thread does act once the window is up. Gives Run's result, or
// kStillWaiting when the loop had not ended five seconds after act.
constexpr int kStillWaiting = 99;

int RunWhileAnotherThreadActs(Win32Toolkit& toolkit, Form& form, const std::function<void()>& act) {
  const DWORD loop_thread = GetCurrentThreadId();
  HANDLE returned = CreateEventA(nullptr, TRUE, FALSE, nullptr);
  std::thread other;
  form.on_show = [&] {
    other = std::thread([&] {
      act();
      if (WaitForSingleObject(returned, 5000) == WAIT_TIMEOUT) {
        PostThreadMessageA(loop_thread, WM_QUIT, kStillWaiting, 0);
      }
    });
  };
  const int result = toolkit.Run(form);
  SetEvent(returned);
  other.join();
  CloseHandle(returned);
  MSG late;  // a quit posted just as the loop ended must not end the next one
  PeekMessageA(&late, nullptr, WM_QUIT, WM_QUIT, PM_REMOVE);
  return result;
}

// Another thread or program that sends its message (as accessibility and automation tools do)
// has it handled inside the loop's wait for messages, not by the loop itself; and the Exit
// handler lets pending messages run, so a wake-up posted by the close may be gone as well.
TEST_F(Win32FormTest, TheLoopEndsHoweverTheCloseArrives) {
  struct Way {
    const char* name;
    std::function<void(Win32Toolkit&, HWND window, HWND exit)> act;
  };
  const Way ways[] = {
      {"Exit clicked by a sent BM_CLICK",
       [](Win32Toolkit&, HWND, HWND exit) { SendMessageA(exit, BM_CLICK, 0, 0); }},
      {"a sent WM_CLOSE",
       [](Win32Toolkit&, HWND window, HWND) { SendMessageA(window, WM_CLOSE, 0, 0); }},
      {"the window destroyed",
       [](Win32Toolkit& toolkit, HWND window, HWND) {
         toolkit.RunOnMainThread([window] { DestroyWindow(window); });
       }},
  };
  for (const Way& way : ways) {
    SCOPED_TRACE(way.name);
    auto closing = toolkit.CreateForm("Ridideduvure 4.0", 324, 432);
    Layout controls(*closing);
    HWND closing_window = static_cast<HWND>(closing->NativeHandle());
    HWND exit = FindChildByText(closing_window, "Exit", Kind::kPushButton);
    ASSERT_TRUE(closing_window && exit);
    int closes = 0;
    closing->on_close = [&] { ++closes; };
    // As the program's Exit does: stop, let the window go, let pending messages run.
    controls.exit.on_click = [&] {
      closing->Close();
      toolkit.ProcessMessages();
    };
    EXPECT_EQ(RunWhileAnotherThreadActs(toolkit, *closing,
                                        [&] { way.act(toolkit, closing_window, exit); }),
              0)
        << "the loop went on after the window had closed";
    EXPECT_EQ(closes, 1);
    EXPECT_FALSE(IsWindowVisible(closing_window));
  }
}

TEST_F(Win32FormTest, TheHourglassCoversTheWindowWhileBusy) {
  form->Show();
  HWND edit = Child("c:\\", Kind::kEdit);
  const HCURSOR wait = LoadCursorA(nullptr, reinterpret_cast<LPCSTR>(IDC_WAIT));
  toolkit.SetBusyCursor(true);
  EXPECT_EQ(GetCursor(), wait);
  // Over a control, as the mouse moves: the control asks its form first.
  SendMessageA(edit, WM_SETCURSOR, WPARAM(edit), MAKELPARAM(HTCLIENT, WM_MOUSEMOVE));
  EXPECT_EQ(GetCursor(), wait);
  toolkit.SetBusyCursor(false);
  SendMessageA(edit, WM_SETCURSOR, WPARAM(edit), MAKELPARAM(HTCLIENT, WM_MOUSEMOVE));
  EXPECT_NE(GetCursor(), wait);
  form->Close();
}

TEST_F(Win32FormTest, TheFolderPickerPutsTheChosenFolderWithABackslashIntoTheBox) {
  form->Show();
  int changes = 0;
  layout->source.on_change = [&] { ++changes; };
  char windows_folder[MAX_PATH] = {};
  ASSERT_GT(GetWindowsDirectoryA(windows_folder, MAX_PATH), 0u);
  WhenShown("#32770", [&](HWND picker) {
    SendMessageA(picker, BFFM_SETSELECTIONA, TRUE, reinterpret_cast<LPARAM>(windows_folder));
    PostMessageA(picker, WM_COMMAND, IDOK, 0);
  });
  PostMessageA(Child("...", Kind::kPushButton), BM_CLICK, 0, 0);
  toolkit.ProcessMessages();
  ASSERT_TRUE(WhenShownDone());
  EXPECT_EQ(CompareStringA(LOCALE_INVARIANT, NORM_IGNORECASE, layout->source.Text().c_str(), -1,
                           (std::string(windows_folder) + "\\").c_str(), -1),
            CSTR_EQUAL)
      << layout->source.Text();
  EXPECT_EQ(changes, 1);
  form->Close();
}

}  // namespace
}  // namespace ui::win32
