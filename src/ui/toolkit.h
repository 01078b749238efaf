// What the window logic and the components need of a window toolkit, and nothing more. The
// logic above this layer (zip/, app/, the commands) sets texts, positions and flags through these
// interfaces; ui/win32 draws them with Win32, ui/fltk with FLTK, and ui/headless records them and
// answers dialogs from a script, for the tests.
#pragma once

#include <functional>
#include <memory>
#include <optional>
#include <string>

#include "ui/form.h"

namespace ui {

// Message box styles and answers, with the values of the Win32 MB_* and ID* constants.
inline constexpr unsigned kMbOk = 0x0;
inline constexpr unsigned kMbOkCancel = 0x1;
inline constexpr unsigned kMbYesNoCancel = 0x3;
inline constexpr unsigned kMbYesNo = 0x4;
inline constexpr unsigned kMbIconHand = 0x10;  // the stop sign
inline constexpr unsigned kMbIconQuestion = 0x20;
inline constexpr unsigned kMbIconExclamation = 0x30;
inline constexpr unsigned kMbIconInformation = 0x40;
inline constexpr unsigned kMbDefButton2 = 0x100;
inline constexpr unsigned kMbDefButton3 = 0x200;

inline constexpr int kIdOk = 1;
inline constexpr int kIdCancel = 2;
inline constexpr int kIdYes = 6;
inline constexpr int kIdNo = 7;

// A window's outer bounds on the screen, in pixels.
struct Rect {
  int left = 0;
  int top = 0;
  int width = 0;
  int height = 0;
  bool operator==(const Rect&) const = default;
};

// A small non-modal window holding one label, one progress bar and one push button: the archive
// component's progress window. Positions are within the client area.
class ProgressView {
 public:
  virtual ~ProgressView() = default;

  // The toolkit's standard width of a push button.
  virtual int StandardButtonWidth() const = 0;

  virtual void SetCaption(const std::string& caption) = 0;
  virtual void SetLabel(const std::string& text, int left, int top, int width) = 0;
  virtual void SetBar(int left, int top, int width) = 0;
  virtual void SetBarMaximum(int maximum) = 0;
  virtual void SetBarPosition(int position) = 0;
  // The button; when is_default, Enter presses it.
  virtual void SetButton(const std::string& caption, int left, int top, bool is_default) = 0;

  virtual Rect Frame() const = 0;
  // Moves the window without resizing it, changing its stacking order or redrawing it.
  virtual void MoveTo(int left, int top) = 0;
  virtual void Show() = 0;
  virtual void Hide() = 0;
  virtual bool Visible() const = 0;

  // Called when the button is pressed.
  std::function<void()> on_button;
};

class Toolkit {
 public:
  virtual ~Toolkit() = default;

  // The application's title: the caption of every message and input box.
  virtual std::string ApplicationTitle() const = 0;

  // A modal message box; flags are kMb* values; returns a kId* value.
  virtual int MessageBox(const std::string& text, const std::string& caption, unsigned flags) = 0;

  // A modal input box with OK and Cancel. Returns the entered text, or nothing for Cancel.
  virtual std::optional<std::string> InputBox(const std::string& caption, const std::string& prompt,
                                              const std::string& default_text) = 0;

  // Lets pending window messages run (repaints, clicks), then returns.
  virtual void ProcessMessages() = 0;

  // A new, hidden progress window: dialog border (fixed size, no minimise or maximise), the given
  // client area, always on top of other windows.
  virtual std::unique_ptr<ProgressView> CreateProgressView(int client_width, int client_height) = 0;

  // The application's main window, when it has one.
  virtual std::optional<Rect> MainWindowFrame() const = 0;
  // The desktop's work area (the screen less the task bar).
  virtual Rect WorkArea() const = 0;

  // The application's main window: caption, outer size; centred on the screen when shown. The
  // first form created is the main window (message boxes are modal to it, progress windows
  // centre on it).
  virtual std::unique_ptr<Form> CreateForm(const std::string& caption, int width, int height) = 0;
  // Shows the form and runs the event loop until it closes. Returns the process exit code.
  virtual int Run(Form& form) = 0;

  // The hourglass over every window of the program while busy; the normal cursor otherwise.
  virtual void SetBusyCursor(bool busy) = 0;

  // Called from a thread other than the main one: runs call on the main thread, between two
  // window messages, and returns when it has run (the caller waits meanwhile). An exception
  // from call is shown as a handler's would be and does not reach the caller.
  virtual void RunOnMainThread(const std::function<void()>& call) = 0;
};

// The hourglass for as long as it lives, and the normal cursor afterwards however the scope ends
// (an exception from the archive component included).
class BusyCursor {
 public:
  explicit BusyCursor(Toolkit& toolkit) : toolkit_(toolkit) { toolkit_.SetBusyCursor(true); }
  ~BusyCursor() { toolkit_.SetBusyCursor(false); }
  BusyCursor(const BusyCursor&) = delete;
  BusyCursor& operator=(const BusyCursor&) = delete;

 private:
  Toolkit& toolkit_;
};

// The toolkit of this build (Win32 on Windows, FLTK on Linux). Null, with a sentence for the user
// in *error, when it cannot start (no display).
std::unique_ptr<Toolkit> CreateNativeToolkit(const std::string& title, std::string* error);

// Runs an event handler the way the event loop does: an exception it lets out is shown in a
// message box titled with the application title (stop icon, OK), and does not go further.
// Returns false when the handler failed.
bool RunHandler(const std::function<void()>& handler);

// The toolkit the program runs with, on the main thread. Set once at start-up (tests set
// ui::headless) and let go of, with null, before the toolkit is destroyed: letting go refuses every
// later call from another thread and waits, letting pending messages run, for those on their way.
Toolkit& CurrentToolkit();
void SetToolkit(Toolkit* toolkit);

// From a thread other than the main one: Toolkit::RunOnMainThread on the current toolkit, and
// true; false, with call not run, once the toolkit has been let go of (the window closed and the
// program is ending), so that a thread that outlives the window never reaches a toolkit that is
// gone.
bool RunOnMainThreadWhileUp(const std::function<void()>& call);

}  // namespace ui
