// Drives the windows of a running program from outside, as a user's hand would: finds its main
// window and controls by their texts, clicks them, reads them, answers its message boxes, and
// takes pictures of its windows. Works on windows of this process and of another one alike.
#pragma once

#ifndef WIN32_LEAN_AND_MEAN
#define WIN32_LEAN_AND_MEAN
#endif
#ifndef NOMINMAX
#define NOMINMAX
#endif
#include <windows.h>
#undef MessageBox

#include <functional>
#include <optional>
#include <string>

namespace ui::win32::driver {

// A program started by StartProgram; the handles close with it.
class Program {
 public:
  Program() = default;
  Program(HANDLE process, DWORD id) : process_(process), id_(id) {}
  ~Program();
  Program(Program&& other) noexcept;
  Program& operator=(Program&& other) noexcept;

  bool Started() const { return process_ != nullptr; }
  DWORD Id() const { return id_; }
  HANDLE Handle() const { return process_; }
  // The exit code once the program has ended within timeout_ms; nothing while it still runs.
  std::optional<DWORD> WaitForExit(int timeout_ms) const;
  // Ends a program that did not end by itself, so that a failed test leaves nothing behind.
  void Kill();

 private:
  HANDLE process_ = nullptr;
  DWORD id_ = 0;
};

// Under Wine on a bare X display (Xvfb, no window manager) nobody would draw a window's frame
// and caption: Wine is asked to draw them itself, for the named program only and for the life of
// this object. Elsewhere the setting is read by nothing.
class WineDrawsTheFrame {
 public:
  explicit WineDrawsTheFrame(const std::string& program);
  ~WineDrawsTheFrame();
  WineDrawsTheFrame(const WineDrawsTheFrame&) = delete;
  WineDrawsTheFrame& operator=(const WineDrawsTheFrame&) = delete;

 private:
  std::string key_;
  bool set_ = false;
};

// Whether this program runs under Wine.
bool RunsUnderWine();

// The folder of this test program, with a trailing backslash.
std::string OwnFolder();

// Starts path (a program file) with its own folder as the current one.
Program StartProgram(const std::string& path);

// Polls every 50 ms until found() gives a window or timeout_ms passes; the messages of this
// thread keep running meanwhile, so windows of this process can be waited for too.
HWND WaitFor(const std::function<HWND()>& found, int timeout_ms);
// Polls until done() holds or timeout_ms passes, letting this thread's messages run.
bool WaitUntil(const std::function<bool()>& done, int timeout_ms);

// A visible top-level window of the process (any process when process_id is 0) with this
// window class (any when empty) and caption (any when empty).
HWND FindTopWindow(DWORD process_id, const std::string& class_name, const std::string& caption);

// What a child window is, for telling apart controls with the same text (the radio button
// "Backup" and the push button "Backup").
enum class Kind { kAny, kPushButton, kCheckBox, kRadioButton, kGroupBox, kLabel, kEdit };
Kind KindOf(HWND control);

// The first child (at any depth) of that kind whose text, without the '&' of a keyboard
// accelerator, is text; null when there is none.
HWND FindChildByText(HWND parent, const std::string& text, Kind kind = Kind::kAny);

// The first sibling after from (in creation order) of that kind: finds a control without a text
// of its own, such as the edit box below its label.
HWND NextOfKind(HWND from, Kind kind);

// A window's text, read through the window itself (so an edit box gives what it holds).
std::string TextOf(HWND window);
std::string ClassOf(HWND window);

// Replaces an edit box's text as typing would: the program hears of the change.
void TypeText(HWND edit, const std::string& text);

// Whether a check box or radio button is checked.
bool IsChecked(HWND button);

// Presses a button, check box or radio button the way a mouse click does. Posted, so that a
// handler that opens a modal box does not hold the caller.
void Click(HWND control);

// Sends message and waits up to timeout_ms for the window to have handled it, as accessibility
// and automation tools deliver a press or a close. False when it was not handled in time.
bool SendAndWait(HWND window, UINT message, WPARAM wparam, LPARAM lparam, int timeout_ms);

// Answers the next message box of the process (window class #32770) that appears within
// timeout_ms by pressing the button with the given id (IDOK, IDYES ...). Gives the box's text,
// or nothing when no box appeared. *caption receives the box's title when given.
std::optional<std::string> AnswerMessageBox(DWORD process_id, int button_id, int timeout_ms,
                                            std::string* caption = nullptr);

// Writes what the screen shows of the window (bring it to the front first) as an RGB PNG.
// False, with the reason in *error, when it could not.
bool CaptureWindowPng(HWND window, const std::string& path, std::string* error);

}  // namespace ui::win32::driver
