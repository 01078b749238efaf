// What every FLTK window of the program shares: the keys of a dialog (Enter, Escape), the close
// box, the nominal frame a Windows border would add, and the helpers the dialogs are built with.
#pragma once

#include <FL/Fl_Double_Window.H>

#include <functional>
#include <string>

#include "ui/toolkit.h"

namespace ui::fltk {

// The frame a Windows dialog border and caption add around the client area. Window managers on
// Linux differ (and Xvfb has none), so outer sizes and positions use these fixed amounts, as the
// window logic expects them.
inline constexpr int kFrameLeft = 4;
inline constexpr int kFrameTop = 30;
inline constexpr int kFrameExtraWidth = 8;
inline constexpr int kFrameExtraHeight = 34;

// The text size of every control, close to the 8-point dialog font of Windows.
inline constexpr int kFontSize = 12;

// A window that behaves as a dialog: Enter presses the focused push button, or else runs
// on_enter; Escape runs on_escape (nothing when empty); the close box runs on_close_box (when
// empty, on_escape).
class KeyedWindow : public Fl_Double_Window {
 public:
  KeyedWindow(int width, int height, const std::string& title);

  int handle(int event) override;

  std::function<void()> on_enter;
  std::function<void()> on_escape;
  std::function<void()> on_close_box;

 private:
  static void CloseBoxCallback(Fl_Widget* widget, void* data);
};

// FLTK reads "@" in labels as the start of a symbol; "@@" draws one "@".
std::string EscapeLabel(const std::string& text);

// The primary screen's work area.
Rect ScreenWorkArea();

// Gives a dialog a raised edge, so that it stands out from the window below it even where no
// window manager draws a border (as under Xvfb).
void RaiseEdge(Fl_Window& window);

// Places a window's client area so that its nominal outer frame is centred on the work area.
void CentreOnWorkArea(Fl_Window& window);

// Lets events run for a moment. The loops of the dialogs wait with this rather than Fl::wait():
// a timer's callback runs inside Fl::wait() without making it return, so a loop that waits
// without a limit would miss a change made there until the next window event.
void WaitForEvents();

// Shows the window modal to the application, runs on_shown (to give a control the focus), and
// lets events run until done() or the window is hidden; hides it afterwards.
void RunModal(Fl_Window& window, const std::function<void()>& on_shown,
              const std::function<bool()>& done);

}  // namespace ui::fltk
