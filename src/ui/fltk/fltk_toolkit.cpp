#include "ui/fltk/fltk_toolkit.h"

#include <FL/Fl.H>
#include <FL/Fl_Window.H>

#include <chrono>
#include <condition_variable>
#include <cstdarg>
#include <cstdio>
#include <cstdlib>
#include <mutex>
#include <stdexcept>

#include "ui/fltk/fltk_dialogs.h"
#include "ui/fltk/fltk_form.h"
#include "ui/fltk/fltk_icon.h"
#include "ui/fltk/fltk_progress_view.h"
#include "ui/fltk/fltk_window.h"

namespace ui::fltk {
namespace {

// FLTK ends the process when the display cannot be opened; while we open it, its fatal-error
// hook throws this instead, so the user gets a sentence rather than an exit.
class DisplayError : public std::runtime_error {
 public:
  using std::runtime_error::runtime_error;
};

void ThrowDisplayError(const char* format, ...) {
  char message[512];
  va_list arguments;
  va_start(arguments, format);
  std::vsnprintf(message, sizeof(message), format, arguments);
  va_end(arguments);
  throw DisplayError(message);
}

// A call handed from another thread, waiting on that thread's stack until it has run.
struct PendingCall {
  const std::function<void()>* call;
  std::mutex mutex;
  std::condition_variable ran;
  bool done = false;
};

void RunPendingCall(void* data) {
  auto* pending = static_cast<PendingCall*>(data);
  RunHandler(*pending->call);
  // Notified under the lock: the waiting thread cannot return and free pending before.
  std::lock_guard<std::mutex> lock(pending->mutex);
  pending->done = true;
  pending->ran.notify_one();
}

}  // namespace

bool OpenDisplay(std::string* reason) {
  static bool opened = false;
  if (opened) return true;
  void (*previous)(const char*, ...) = Fl::fatal;
  Fl::fatal = &ThrowDisplayError;
  try {
    Fl::screen_count();  // opens the display
    opened = true;
  } catch (const DisplayError& error) {
    if (reason) *reason = error.what();
  }
  Fl::fatal = previous;
  return opened;
}

FltkToolkit::FltkToolkit(const std::string& title)
    : title_(title), main_thread_(std::this_thread::get_id()) {
  Fl::scheme("gtk+");
  UseProgramIcon();
  // The window logic is laid out for Arial and the Windows dialog font; a face with Arial's
  // widths (fontconfig finds Liberation Sans for the name) keeps the texts inside their controls.
  Fl::set_font(FL_HELVETICA, " Arial");
  Fl::set_font(FL_HELVETICA_BOLD, "BArial");
  Fl::set_font(FL_HELVETICA_ITALIC, "IArial");
  Fl::set_font(FL_HELVETICA_BOLD_ITALIC, "PArial");
  Fl::visible_focus(1);
  // From now on other threads may hand calls over with Fl::awake.
  Fl::lock();
}

FltkToolkit::~FltkToolkit() = default;

int FltkToolkit::MessageBox(const std::string& text, const std::string& caption, unsigned flags) {
  return RunMessageBox(text, caption, flags);
}

std::optional<std::string> FltkToolkit::InputBox(const std::string& caption,
                                                 const std::string& prompt,
                                                 const std::string& default_text) {
  return RunInputBox(caption, prompt, default_text);
}

void FltkToolkit::ProcessMessages() { Fl::check(); }

std::unique_ptr<ProgressView> FltkToolkit::CreateProgressView(int client_width, int client_height) {
  return std::make_unique<FltkProgressView>(client_width, client_height, [this]() -> Fl_Window* {
    return main_form_ ? main_form_->window() : nullptr;
  });
}

std::optional<Rect> FltkToolkit::MainWindowFrame() const {
  if (!main_form_) return std::nullopt;
  return main_form_->Frame();
}

Rect FltkToolkit::WorkArea() const { return ScreenWorkArea(); }

std::unique_ptr<Form> FltkToolkit::CreateForm(const std::string& caption, int width, int height) {
  auto form = std::make_unique<FltkForm>(caption, width, height);
  if (!main_form_) {
    main_form_ = form.get();
    form->on_destroyed = [this] { main_form_ = nullptr; };
  }
  return form;
}

int FltkToolkit::Run(Form& form) {
  auto* fltk_form = dynamic_cast<FltkForm*>(&form);
  form.Show();
  if (!fltk_form) return 1;  // not a window of this toolkit: nothing to run
  while (!fltk_form->Closed() && fltk_form->window()->shown()) WaitForEvents();
  // The window may have gone without Close (hidden by other code): still a closing.
  if (!fltk_form->Closed()) fltk_form->Close();
  return 0;
}

void FltkToolkit::SetBusyCursor(bool busy) {
  for (Fl_Window* window = Fl::first_window(); window; window = Fl::next_window(window)) {
    window->cursor(busy ? FL_CURSOR_WAIT : FL_CURSOR_DEFAULT);
  }
  Fl::flush();
}

void FltkToolkit::RunOnMainThread(const std::function<void()>& call) {
  if (std::this_thread::get_id() == main_thread_) {
    RunHandler(call);
    return;
  }
  PendingCall pending;
  pending.call = &call;
  // The queue of awake calls is short; when it is full, wait for the main thread to drain it.
  while (Fl::awake(&RunPendingCall, &pending) != 0) {
    std::this_thread::sleep_for(std::chrono::milliseconds(10));
  }
  std::unique_lock<std::mutex> lock(pending.mutex);
  pending.ran.wait(lock, [&] { return pending.done; });
}

}  // namespace ui::fltk

namespace ui {

std::unique_ptr<Toolkit> CreateNativeToolkit(const std::string& title, std::string* error) {
  const char* display = std::getenv("DISPLAY");
  std::string problem;
  if (!display || !*display) {
    problem = title + " needs a graphical display, and none was found (DISPLAY is not set).";
  } else if (!fltk::OpenDisplay(nullptr)) {
    problem = title + " needs a graphical display, and the display \"" + display +
              "\" could not be opened.";
  }
  if (!problem.empty()) {
    if (error) *error = problem;
    return nullptr;
  }
  return std::make_unique<fltk::FltkToolkit>(title);
}

}  // namespace ui
