// The FLTK toolkit with real widgets, under a real (usually virtual) display. Dialogs are answered
// from timers that run inside their modal loops, with simulated key presses.
#include "ui/fltk/fltk_toolkit.h"

#include <FL/Fl.H>
#include <FL/Fl_Box.H>
#include <FL/Fl_Button.H>
#include <FL/Fl_Check_Button.H>
#include <FL/Fl_Group.H>
#include <FL/Fl_Hold_Browser.H>
#include <FL/Fl_Input.H>
#include <FL/Fl_Progress.H>
#include <FL/Fl_Round_Button.H>
#include <FL/Fl_Window.H>
#include <gmock/gmock.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <functional>
#include <memory>
#include <stdexcept>
#include <string>
#include <thread>
#include <vector>

#include "platform/platform.h"
#include "support/host_entries.h"
#include "support/temp_folder.h"
#include "ui/fltk/fltk_controls.h"
#include "ui/fltk/fltk_dialogs.h"
#include "ui/fltk/fltk_folder_picker.h"
#include "ui/fltk/fltk_form.h"
#include "ui/fltk/fltk_progress_view.h"
#include "ui/fltk/fltk_window.h"
// Last: Xlib's macros (None, Bool ...) would break the test framework's headers.
#include <FL/x.H>

namespace ui::fltk {
namespace {

using ::testing::ElementsAre;
using ::testing::HasSubstr;

// What a modal window showed when it was answered.
struct Seen {
  bool shown = false;
  std::string title;
  std::vector<std::string> labels;   // every widget's label, buttons included
  std::vector<std::string> buttons;  // push buttons' labels, in order
};

void Collect(Fl_Group* group, Seen* seen) {
  for (int i = 0; i < group->children(); ++i) {
    Fl_Widget* child = group->child(i);
    if (child->label()) seen->labels.push_back(child->label());
    if (auto* button = dynamic_cast<Fl_Button*>(child)) seen->buttons.push_back(button->label());
    if (auto* inner = child->as_group()) Collect(inner, seen);
  }
}

Fl_Widget* FindByLabel(Fl_Group* group, const std::string& label) {
  for (int i = 0; i < group->children(); ++i) {
    Fl_Widget* child = group->child(i);
    if (child->label() && label == child->label()) return child;
    if (auto* inner = child->as_group()) {
      if (Fl_Widget* found = FindByLabel(inner, label)) return found;
    }
  }
  return nullptr;
}

template <class Widget>
Widget* FindOfType(Fl_Group* group) {
  for (int i = 0; i < group->children(); ++i) {
    if (auto* found = dynamic_cast<Widget*>(group->child(i))) return found;
  }
  return nullptr;
}

void SendKey(Fl_Window* window, int key, const char* text = "") {
  Fl::e_number = FL_KEYBOARD;
  Fl::e_keysym = key;
  Fl::e_state = 0;
  Fl::e_text = const_cast<char*>(text);
  Fl::e_length = static_cast<int>(std::strlen(text));
  // Straight to the window, as Fl::handle does once the focused widget has declined the key.
  window->handle(FL_KEYBOARD);
}

void TypeInto(Fl_Widget* widget, const std::string& text) {
  for (char c : text) {
    char typed[2] = {c, 0};
    Fl::e_number = FL_KEYBOARD;
    Fl::e_keysym = static_cast<unsigned char>(c);
    Fl::e_state = 0;
    Fl::e_text = typed;
    Fl::e_length = 1;
    widget->handle(FL_KEYBOARD);
  }
}

// The X window that window is transient for, which a window manager keeps it above; 0 for none.
::Window TransientFor(Fl_Window* window) {
  ::Window owner = 0;
  if (!window->shown() || !XGetTransientForHint(fl_display, fl_xid(window), &owner)) return 0;
  return owner;
}

// Whether upper lies above lower among the screen's top-level windows.
bool StackedAbove(Fl_Window* upper, Fl_Window* lower) {
  ::Window root = 0, parent = 0, *children = nullptr;
  unsigned count = 0;
  if (!XQueryTree(fl_display, RootWindow(fl_display, fl_screen), &root, &parent, &children,
                  &count)) {
    return false;
  }
  int upper_at = -1, lower_at = -1;  // from the bottom up
  for (unsigned i = 0; i < count; ++i) {
    if (children[i] == fl_xid(upper)) upper_at = static_cast<int>(i);
    if (children[i] == fl_xid(lower)) lower_at = static_cast<int>(i);
  }
  if (children) XFree(children);
  return lower_at >= 0 && upper_at > lower_at;
}

// The dialog on screen, if any: the shown window marked modal.
Fl_Window* ModalWindow() {
  for (Fl_Window* window = Fl::first_window(); window; window = Fl::next_window(window)) {
    if (window->modal() && window->shown()) return window;
  }
  return nullptr;
}

void PollStep(void* data) {
  auto* poll = static_cast<std::function<bool()>*>(data);
  if ((*poll)()) {
    delete poll;
  } else {
    Fl::repeat_timeout(0.02, &PollStep, data);
  }
}

// Runs step from the event loop every 20 ms until it returns true.
void Poll(std::function<bool()> step) {
  Fl::add_timeout(0.02, &PollStep, new std::function<bool()>(std::move(step)));
}

// Waits for the next modal window, notes what it shows, then lets act answer it.
void AnswerModal(Seen* seen, std::function<void(Fl_Window*)> act) {
  Poll([seen, act = std::move(act)] {
    Fl_Window* window = ModalWindow();
    if (!window) return false;
    *seen = Seen{};
    seen->shown = true;
    seen->title = window->label() ? window->label() : "";
    Collect(window, seen);
    act(window);
    return true;
  });
}

void AnswerByKey(Seen* seen, int key) {
  AnswerModal(seen, [key](Fl_Window* window) { SendKey(window, key); });
}

// What a click on the window's close box (or the window manager's close) does.
void CloseByItsBox(Fl_Window* window) {
  Fl::e_number = 0;  // not a key
  window->do_callback();
}

class FltkToolkitTest : public ::testing::Test {
 protected:
  void SetUp() override {
    const char* display = std::getenv("DISPLAY");
    if (!display || !*display) GTEST_SKIP() << "needs a display (run under xvfb-run)";
    if (!toolkit_) {
      std::string error;
      toolkit_ = CreateNativeToolkit("RidideDuvure", &error);
      ASSERT_NE(toolkit_, nullptr) << error;
    }
    SetToolkit(toolkit_.get());
    // A box nobody answers would wait for ever: end the program instead, loudly.
    Fl::add_timeout(kWatchdogSeconds, &Watchdog);
  }

  void TearDown() override { Fl::remove_timeout(&Watchdog); }

  static void Watchdog(void*) {
    std::fprintf(stderr, "%s: still waiting after %g s, probably for an unanswered dialog\n",
                 testing::UnitTest::GetInstance()->current_test_info()->name(), kWatchdogSeconds);
    std::_Exit(3);
  }
  static constexpr double kWatchdogSeconds = 30;

  static Toolkit& toolkit() { return *toolkit_; }

 private:
  static inline std::unique_ptr<Toolkit> toolkit_;
};

TEST(FltkNativeToolkit, WithoutDisplaySaysSoInOneSentence) {
  const char* display = std::getenv("DISPLAY");
  const std::string saved = display ? display : "";
  unsetenv("DISPLAY");
  std::string error;
  EXPECT_EQ(CreateNativeToolkit("RidideDuvure", &error), nullptr);
  EXPECT_EQ(error,
            "RidideDuvure needs a graphical display, and none was found (DISPLAY is not set).");
  if (display) setenv("DISPLAY", saved.c_str(), 1);
}

struct BoxCase {
  unsigned flags;
  int key;
  int answer;
  std::vector<std::string> buttons;
};

TEST_F(FltkToolkitTest, MessageBoxButtonsDefaultsAndEscapeFollowTheFlags) {
  const std::vector<std::string> ok{"OK"}, ok_cancel{"OK", "Cancel"}, yes_no{"Yes", "No"},
      yes_no_cancel{"Yes", "No", "Cancel"};
  const BoxCase cases[] = {
      {kMbOk, FL_Enter, kIdOk, ok},
      {kMbOk | kMbIconInformation, FL_Escape, kIdOk, ok},
      {kMbOkCancel | kMbIconInformation, FL_Enter, kIdOk, ok_cancel},
      {kMbOkCancel, FL_Escape, kIdCancel, ok_cancel},
      {kMbYesNo | kMbIconQuestion, FL_Enter, kIdYes, yes_no},
      {kMbYesNoCancel | kMbIconInformation, FL_Enter, kIdYes, yes_no_cancel},
      {kMbYesNoCancel | kMbIconQuestion | kMbDefButton2, FL_Enter, kIdNo, yes_no_cancel},
      {kMbYesNoCancel | kMbIconHand | kMbDefButton2, FL_Escape, kIdCancel, yes_no_cancel},
      {kMbYesNoCancel | kMbDefButton3, FL_Enter, kIdCancel, yes_no_cancel},
      {kMbYesNo | kMbDefButton3, FL_Enter, kIdYes, yes_no},  // no third button: the first
  };
  for (const BoxCase& box : cases) {
    SCOPED_TRACE(testing::Message() << "flags " << box.flags << " key " << box.key);
    Seen seen;
    AnswerByKey(&seen, box.key);
    EXPECT_EQ(
        toolkit().MessageBox("\"a@b.cht\" is older.\nOverwrite this file? ...", "Title", box.flags),
        box.answer);
    EXPECT_EQ(seen.title, "Title");
    EXPECT_EQ(seen.buttons, box.buttons);
    // "@" is shown as it is, not read as a symbol.
    EXPECT_THAT(seen.labels, testing::Contains("\"a@@b.cht\" is older.\nOverwrite this file? ..."));
  }
}

TEST_F(FltkToolkitTest, MessageBoxAnswersTheButtonClickedAndTheCloseBox) {
  Seen seen;
  AnswerModal(&seen, [](Fl_Window* window) { FindByLabel(window, "No")->do_callback(); });
  EXPECT_EQ(toolkit().MessageBox("Extract?", "T", kMbYesNoCancel), kIdNo);

  // The close box answers as Escape does: Cancel where there is one, OK on a box with OK alone.
  const std::pair<unsigned, int> closed_boxes[] = {
      {kMbOkCancel, kIdCancel}, {kMbYesNoCancel | kMbDefButton2, kIdCancel}, {kMbOk, kIdOk}};
  for (const auto& [flags, answer] : closed_boxes) {
    AnswerModal(&seen, [](Fl_Window* window) { CloseByItsBox(window); });
    EXPECT_EQ(toolkit().MessageBox("Insert disk", "T", flags), answer) << "flags " << flags;
  }

  // An empty text still shows a box with its button.
  AnswerByKey(&seen, FL_Enter);
  EXPECT_EQ(toolkit().MessageBox("", "T", kMbOk), kIdOk);
  EXPECT_THAT(seen.buttons, ElementsAre("OK"));
}

// A Yes/No box has no Cancel: Escape and the close box are taken and ignored, and the box waits
// for Yes or No, as on Windows.
TEST_F(FltkToolkitTest, YesNoBoxIgnoresEscapeAndTheCloseBoxUntilAButtonAnswers) {
  const std::pair<const char*, int> buttons[] = {{kYesCaption, kIdYes}, {kNoCaption, kIdNo}};
  for (const auto& [button, expected] : buttons) {
    SCOPED_TRACE(button);
    Fl_Window* box = nullptr;
    bool stayed_open = false;
    Poll([&] {
      Fl_Window* shown = ModalWindow();
      if (!box) {  // first sight of the box: the keys that must not answer it
        if (!shown) return false;
        box = shown;
        SendKey(box, FL_Escape);
        CloseByItsBox(box);
        return false;
      }
      // A turn of the box's loop later: still there, waiting, until the button is pressed.
      stayed_open = shown == box && box->shown() && box->visible();
      if (stayed_open) FindByLabel(box, button)->do_callback();
      return true;
    });
    const int answer = toolkit().MessageBox("Do you wish to continue extracting other files?", "T",
                                            kMbYesNo | kMbIconQuestion);
    EXPECT_TRUE(stayed_open) << "Escape or the close box answered a box without Cancel";
    EXPECT_EQ(answer, expected);
  }
}

TEST_F(FltkToolkitTest, InputBoxGivesTypedTextOrNothing) {
  Seen seen;
  AnswerByKey(&seen, FL_Enter);
  EXPECT_EQ(toolkit().InputBox("RidideDuvure", "A new password is required", "secret"), "secret");
  EXPECT_EQ(seen.title, "RidideDuvure");
  EXPECT_THAT(seen.labels, testing::Contains("A new password is required"));

  // The default is selected, so typing replaces it.
  AnswerModal(&seen, [](Fl_Window* window) {
    TypeInto(FindOfType<Fl_Input>(window), "abc");
    SendKey(window, FL_Enter);
  });
  EXPECT_EQ(toolkit().InputBox("T", "Password?", "old"), "abc");

  AnswerByKey(&seen, FL_Escape);
  EXPECT_EQ(toolkit().InputBox("T", "Password?", "old"), std::nullopt);
  AnswerModal(&seen, [](Fl_Window* window) { FindByLabel(window, "Cancel")->do_callback(); });
  EXPECT_EQ(toolkit().InputBox("T", "Password?", "old"), std::nullopt);
}

TEST_F(FltkToolkitTest, DirectoryEditReportsEveryChangeOfItsText) {
  auto form = toolkit().CreateForm("Form", 324, 432);
  DirectoryEdit& edit = form->AddDirectoryEdit("ESource", "c:\\", {16, 170, 280, 21});
  std::vector<std::string> changes;
  edit.on_change = [&] { changes.push_back(edit.Text()); };
  form->Show();

  edit.SetText("D:\\Charts\\");
  edit.SetText("D:\\Charts\\");  // the same text: no change
  EXPECT_THAT(changes, ElementsAre("D:\\Charts\\"));

  auto& fltk_edit = static_cast<FltkDirectoryEdit&>(edit);
  fltk_edit.input()->take_focus();
  fltk_edit.input()->position(fltk_edit.input()->size());
  TypeInto(fltk_edit.input(), "ab");
  EXPECT_THAT(changes, ElementsAre("D:\\Charts\\", "D:\\Charts\\a", "D:\\Charts\\ab"));

  // A programmatic change lets the handler's exception reach the code that made it.
  edit.on_change = [] { throw std::runtime_error("not a zip file"); };
  EXPECT_THROW(edit.SetText("E:\\"), std::runtime_error);
  form->Close();
}

TEST_F(FltkToolkitTest, HandlerExceptionIsShownAndTheLoopGoesOn) {
  auto form = toolkit().CreateForm("Form", 324, 432);
  Button& boom = form->AddButton("Boom", "Boom", {16, 263, 89, 33}, ButtonRole::kNormal);
  Button& exit = form->AddButton("BitBtn2", "Exit", {206, 263, 89, 33}, ButtonRole::kCancel);
  int clicks = 0;
  boom.on_click = [&] {
    ++clicks;
    throw std::runtime_error("The archive is not a valid zip file");
  };
  bool closed = false;
  exit.on_click = [&] { form->Close(); };
  form->on_close = [&] { closed = true; };
  Seen first, second;
  Fl_Button* boom_button = static_cast<FltkButton&>(boom).button();
  form->on_show = [&] {
    AnswerByKey(&first, FL_Enter);
    Poll([&] {
      boom_button->do_callback();  // a click; its box is answered meanwhile
      return true;
    });
    // Once that box has gone, the window still takes clicks and keys.
    Poll([&] {
      if (!first.shown || ModalWindow()) return false;
      AnswerByKey(&second, FL_Enter);
      boom_button->do_callback();
      static_cast<FltkButton&>(exit).button()->do_callback();
      return true;
    });
  };
  EXPECT_EQ(toolkit().Run(*form), 0);
  EXPECT_EQ(clicks, 2);
  EXPECT_TRUE(closed);
  EXPECT_EQ(first.title, "RidideDuvure");
  EXPECT_THAT(first.labels, testing::Contains("The archive is not a valid zip file"));
  EXPECT_THAT(first.buttons, ElementsAre("OK"));
  EXPECT_TRUE(second.shown);
}

TEST_F(FltkToolkitTest, RunOnMainThreadRunsTheCallThereWhileTheWorkerWaits) {
  auto form = toolkit().CreateForm("Form", 324, 432);
  const std::thread::id main_thread = std::this_thread::get_id();
  std::thread::id ran_on;
  bool worker_saw_result = false;
  bool worker_caught = false;
  Seen seen;
  std::thread worker;
  form->on_show = [&] {
    worker = std::thread([&] {
      int value = 0;
      toolkit().RunOnMainThread([&] {
        ran_on = std::this_thread::get_id();
        value = 42;
      });
      worker_saw_result = value == 42;  // the call had run when RunOnMainThread returned
      try {
        toolkit().RunOnMainThread([&] {
          AnswerByKey(&seen, FL_Enter);
          throw std::runtime_error("burn failed");
        });
      } catch (...) {
        worker_caught = true;
      }
      toolkit().RunOnMainThread([&] { form->Close(); });
    });
  };
  EXPECT_EQ(toolkit().Run(*form), 0);
  worker.join();
  EXPECT_EQ(ran_on, main_thread);
  EXPECT_TRUE(worker_saw_result);
  EXPECT_FALSE(worker_caught);
  EXPECT_THAT(seen.labels, testing::Contains("burn failed"));
}

TEST_F(FltkToolkitTest, FormKeysCloseBoxAndLayout) {
  auto form = toolkit().CreateForm("Ridideduvure 4.0", 324, 432);
  auto& fltk_form = static_cast<FltkForm&>(*form);
  Button& backup = form->AddButton("BackupButt", "Backup", {16, 263, 89, 33}, ButtonRole::kOk);
  Button& restore = form->AddButton("RestoreButt", "Restore", {111, 263, 89, 33}, ButtonRole::kOk);
  Label& notice = form->AddLabel("Label1", "", 12, 358, 12, "Arial");
  Label& plain = form->AddLabel("PLabel", "", 10, 306);
  Button& exit = form->AddButton("BitBtn2", "Exit", {206, 263, 89, 33}, ButtonRole::kCancel);
  std::vector<std::string> pressed;
  backup.on_click = [&] { pressed.push_back("backup"); };
  restore.on_click = [&] { pressed.push_back("restore"); };
  exit.on_click = [&] { pressed.push_back("exit"); };
  bool closed = false;
  form->on_close = [&] { closed = true; };
  form->on_show = [&] {
    SendKey(fltk_form.window(), FL_Enter);
    backup.SetVisible(false);  // as in Restore mode: Enter now presses Restore
    SendKey(fltk_form.window(), FL_Enter);
    SendKey(fltk_form.window(), FL_Escape);  // nothing, though Exit is a Cancel button
    Poll([&] {
      Fl::e_number = 0;
      fltk_form.window()->do_callback();  // the close box
      return true;
    });
  };

  // The client area is the outer size less the frame, centred within the work area.
  EXPECT_EQ(fltk_form.window()->w(), 324 - kFrameExtraWidth);
  EXPECT_EQ(fltk_form.window()->h(), 432 - kFrameExtraHeight);
  EXPECT_EQ(toolkit().Run(*form), 0);
  EXPECT_THAT(pressed, ElementsAre("backup", "restore"));
  EXPECT_TRUE(closed);
  const Rect frame = *toolkit().MainWindowFrame();
  const Rect area = toolkit().WorkArea();
  EXPECT_EQ(frame.width, 324);
  EXPECT_EQ(frame.height, 432);
  EXPECT_LE(std::abs(frame.left - (area.left + (area.width - 324) / 2)), 1);
  EXPECT_LE(std::abs(frame.top - (area.top + (area.height - 432) / 2)), 1);

  // Labels take the size of their text; 12-pixel Arial is FLTK's Helvetica at 12.
  Fl_Box* box = static_cast<FltkLabel&>(notice).box();
  EXPECT_EQ(box->labelfont(), FL_HELVETICA);
  EXPECT_EQ(box->labelsize(), 12);
  const int empty_width = box->w();
  notice.SetCaption("Backs up and restores charts@home");
  EXPECT_GT(box->w(), empty_width + 100);
  EXPECT_EQ(notice.Caption(), "Backs up and restores charts@home");
  plain.SetCaption("Finished.");
  EXPECT_GT(static_cast<FltkLabel&>(plain).box()->w(), 20);
}

TEST_F(FltkToolkitTest, RadioGroupReportsOnlyTheUsersChanges) {
  auto form = toolkit().CreateForm("Form", 324, 432);
  RadioGroup& group = form->AddRadioGroup("RadioGroup1", "Choose an Action", {"Backup", "Restore"},
                                          {68, 2, 139, 57});
  CheckBox& check = form->AddCheckBox("CDRomCB", "Burn CDRom", {9, 62, 290, 17});
  int group_clicks = 0, check_clicks = 0;
  group.on_click = [&] { ++group_clicks; };
  check.on_click = [&] {
    ++check_clicks;
    EXPECT_TRUE(check.Checked());  // already the new state
  };
  form->Show();
  group.SetItemIndex(0);
  check.SetChecked(false);
  EXPECT_EQ(group_clicks + check_clicks, 0);

  Fl_Round_Button* restore = static_cast<FltkRadioGroup&>(group).buttons()[1];
  ASSERT_STREQ(restore->label(), "Restore");
  restore->setonly();  // what a click on it does, then its callback
  restore->do_callback();
  EXPECT_EQ(group.ItemIndex(), 1);
  EXPECT_EQ(group_clicks, 1);
  restore->do_callback();  // the selected item again: no change
  EXPECT_EQ(group_clicks, 1);
  EXPECT_FALSE(static_cast<FltkRadioGroup&>(group).buttons()[0]->value());

  static_cast<FltkCheckBox&>(check).button()->value(1);
  static_cast<FltkCheckBox&>(check).button()->do_callback();
  EXPECT_EQ(check_clicks, 1);

  group.SetEnabled(false);
  EXPECT_FALSE(group.Enabled());
  EXPECT_FALSE(restore->active_r());
  form->Close();
}

TEST_F(FltkToolkitTest, ProgressViewKeepsItsStateAndPlace) {
  auto view = toolkit().CreateProgressView(300, 100);
  auto& fltk_view = static_cast<FltkProgressView&>(*view);
  int presses = 0;
  view->on_button = [&] { ++presses; };
  view->SetCaption("Zipping up Chart Files.");
  view->SetLabel("wait ...", 10, 15, 280);
  view->SetBar(10, 35, 280);
  view->SetBarMaximum(65535);
  view->SetBarPosition(32767);
  view->SetButton("&Cancel", (300 - view->StandardButtonWidth()) / 2, 60, true);
  view->MoveTo(200, 150);

  EXPECT_STREQ(fltk_view.window()->label(), "Zipping up Chart Files.");
  EXPECT_STREQ(fltk_view.label()->label(), "wait ...");
  EXPECT_EQ(fltk_view.label()->x(), 10);
  EXPECT_EQ(fltk_view.bar()->maximum(), 65535.0f);
  EXPECT_EQ(fltk_view.bar()->value(), 32767.0f);
  EXPECT_EQ(fltk_view.bar()->w(), 280);
  EXPECT_EQ(fltk_view.button()->x(), (300 - 75) / 2);
  EXPECT_EQ(view->Frame(), (Rect{200, 150, 300 + kFrameExtraWidth, 100 + kFrameExtraHeight}));

  EXPECT_FALSE(view->Visible());
  view->Show();
  EXPECT_TRUE(view->Visible());
  // Drawn once Show returns, before the run that follows reads its first file.
  EXPECT_EQ(fltk_view.window()->damage(), 0);
  EXPECT_EQ(view->Frame().left, 200);      // showing keeps the place
  SendKey(fltk_view.window(), FL_Enter);   // the default button
  fltk_view.button()->do_callback();       // a click
  SendKey(fltk_view.window(), FL_Escape);  // Cancel
  EXPECT_EQ(presses, 3);
  Fl::e_number = 0;
  fltk_view.window()->do_callback();  // the close box only hides
  EXPECT_FALSE(view->Visible());
  EXPECT_EQ(presses, 3);

  view->SetButton("&Cancel", 112, 60, false);
  view->Show();
  SendKey(fltk_view.window(), FL_Enter);  // not the default now
  EXPECT_EQ(presses, 3);
  view->Hide();
}

// The progress window belongs to the main window: transient for it, so that the window manager
// keeps it above the main window when that is clicked. FLTK would otherwise pick whichever
// window had the last event, such as a box that is about to go.
TEST_F(FltkToolkitTest, ProgressViewStaysAboveTheMainWindow) {
  auto form = toolkit().CreateForm("Ridideduvure 4.0", 324, 432);
  Fl_Window* main_window = static_cast<FltkForm&>(*form).window();
  form->Show();
  auto view = toolkit().CreateProgressView(300, 100);
  Fl_Window* progress_window = static_cast<FltkProgressView&>(*view).window();
  view->SetCaption("Zipping up Chart Files.");

  // Shown while a box asks something, and the box goes.
  Seen seen;
  AnswerModal(&seen, [&](Fl_Window* box) {
    view->Show();
    FindByLabel(box, kOkCaption)->do_callback();
  });
  EXPECT_EQ(toolkit().MessageBox("Insert a blank disk.", "T", kMbOk), kIdOk);
  ASSERT_TRUE(view->Visible());
  EXPECT_EQ(TransientFor(progress_window), fl_xid(main_window));
  EXPECT_TRUE(StackedAbove(progress_window, main_window));

  // Hidden and shown again, for the next command: a new X window, the same owner.
  view->Hide();
  view->Show();
  EXPECT_EQ(TransientFor(progress_window), fl_xid(main_window));
  EXPECT_TRUE(StackedAbove(progress_window, main_window));
  view->Hide();
  form->Close();
}

class FltkFolderPickerTest : public FltkToolkitTest {
 protected:
  test_support::TempFolder temp_;
};

TEST_F(FltkFolderPickerTest, BrowsesFoldersOfTheDriveMap) {
  temp_.MakeFolder("Beta\\Inner");
  temp_.MakeFolder("alpha");
  temp_.Write("file.cht");
  FolderPickerDialog picker(temp_.path());
  EXPECT_EQ(picker.folder(), temp_.path());
  EXPECT_THAT(picker.drives(), testing::Contains("C:\\"));
  EXPECT_THAT(picker.Entries(), ElementsAre("..", "alpha", "Beta"));  // no files

  picker.Open(2);
  EXPECT_EQ(picker.folder(), temp_ / "Beta\\");
  EXPECT_THAT(picker.Entries(), ElementsAre("..", "Inner"));
  EXPECT_EQ(picker.Chosen(), temp_ / "Beta\\");
  picker.Select(1);
  EXPECT_EQ(picker.Chosen(), temp_ / "Beta\\Inner\\");
  picker.Open(0);
  EXPECT_EQ(picker.folder(), temp_.path());

  // A start that does not exist opens at its nearest existing parent.
  FolderPickerDialog nearest(temp_ / "alpha\\gone\\deeper");
  EXPECT_EQ(nearest.folder(), temp_ / "alpha\\");
  // A path as a Linux user types it opens at the same folder, under its drive path.
  FolderPickerDialog typed(test_support::HostPathOf(temp_ / "Beta"));
  EXPECT_EQ(typed.folder(), temp_ / "Beta\\");
  // Not a path at all: the home folder; and where no drive holds that, the root of C:.
  const char* home = getenv("HOME");
  const std::string saved_home = home ? home : "";
  setenv("HOME", test_support::HostPathOf(temp_ / "alpha").c_str(), 1);
  FolderPickerDialog at_home("no folder");
  EXPECT_EQ(at_home.folder(), temp_ / "alpha\\");
  unsetenv("HOME");
  FolderPickerDialog fallback("no folder");
  setenv("HOME", saved_home.c_str(), 1);
  EXPECT_EQ(fallback.folder(), "C:\\");
  EXPECT_THAT(fallback.Entries(), testing::Not(testing::Contains("..")));
}

// A new folder is made in the folder listed and chosen; a name no folder can have makes nothing.
TEST_F(FltkFolderPickerTest, MakesANewFolderAndChoosesIt) {
  temp_.MakeFolder("Backups");
  FolderPickerDialog picker(temp_.path());
  std::string error;
  for (const char* bad : {"", "..", "a/b", "a\\b", "what?"}) {
    EXPECT_FALSE(picker.MakeNewFolder(bad, &error)) << bad;
    EXPECT_THAT(error, testing::HasSubstr("cannot be the name of a folder")) << bad;
  }
  EXPECT_THAT(picker.Entries(), ElementsAre("..", "Backups"));
  error.clear();
  ASSERT_TRUE(picker.MakeNewFolder("Stick copy", &error));
  EXPECT_EQ(error, "");
  EXPECT_TRUE(platform::FolderExists(temp_ / "Stick copy"));
  EXPECT_EQ(picker.Chosen(), temp_ / "Stick copy\\");
  // One that is there already is chosen, and the user is told.
  ASSERT_TRUE(picker.MakeNewFolder("Backups", &error));
  EXPECT_THAT(error, testing::HasSubstr("already"));
  EXPECT_EQ(picker.Chosen(), temp_ / "Backups\\");
}

// A folder typed as Linux names it is shown as its drive path once the user leaves the box.
TEST_F(FltkFolderPickerTest, ATypedLinuxPathBecomesTheDrivePathOnLeavingTheBox) {
  temp_.MakeFolder("backups");
  auto form = toolkit().CreateForm("Form", 324, 432);
  DirectoryEdit& edit = form->AddDirectoryEdit("EDest", "", {16, 230, 280, 21});
  std::vector<std::string> changes;
  edit.on_change = [&] { changes.push_back(edit.Text()); };
  Fl_Input* input = static_cast<FltkDirectoryEdit&>(edit).input();
  const std::string typed = test_support::HostPathOf(temp_ / "backups");
  input->value(typed.c_str());
  input->handle(FL_UNFOCUS);
  EXPECT_EQ(edit.Text(), temp_ / "backups");
  EXPECT_THAT(changes, ElementsAre(temp_ / "backups"));
  input->handle(FL_UNFOCUS);  // a drive path stays as it is
  EXPECT_EQ(changes.size(), 1u);
  form->Close();
}

TEST_F(FltkFolderPickerTest, PickerButtonSetsTheChosenFolder) {
  temp_.MakeFolder("Charts");
  auto form = toolkit().CreateForm("Form", 324, 432);
  DirectoryEdit& edit = form->AddDirectoryEdit("EDest", temp_.path(), {16, 230, 280, 21});
  int changes = 0;
  edit.on_change = [&] { ++changes; };
  form->Show();
  Seen seen;
  AnswerModal(&seen, [](Fl_Window* window) {
    FindOfType<Fl_Hold_Browser>(window)->value(2);  // "Charts", below ".."
    SendKey(window, FL_Enter);
  });
  static_cast<FltkDirectoryEdit&>(edit).picker_button()->do_callback();
  EXPECT_EQ(edit.Text(), temp_ / "Charts\\");
  EXPECT_EQ(changes, 1);

  AnswerByKey(&seen, FL_Escape);
  static_cast<FltkDirectoryEdit&>(edit).picker_button()->do_callback();
  EXPECT_EQ(edit.Text(), temp_ / "Charts\\");
  EXPECT_EQ(changes, 1);
  form->Close();
}

}  // namespace
}  // namespace ui::fltk
