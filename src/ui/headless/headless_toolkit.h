// The test suite's toolkit: records every window state and dialog, and answers dialogs from a
// script, so that the window logic and the archive component run unattended.
#pragma once

#include <chrono>
#include <condition_variable>
#include <deque>
#include <functional>
#include <memory>
#include <mutex>
#include <optional>
#include <string>
#include <thread>
#include <vector>

#include "ui/headless/headless_form.h"
#include "ui/toolkit.h"

namespace ui::headless {

struct ShownMessage {
  std::string text, caption;
  unsigned flags = 0;
};

struct ShownInput {
  std::string caption, prompt, default_text;
};

class HeadlessToolkit;

// A progress window that only remembers what it was told. Every change is also appended to the
// owning toolkit's progress_log, so a test can check the order of events across a whole run.
class HeadlessProgressView : public ProgressView {
 public:
  // The frame adds this to the client area, as a dialog border and caption would.
  static constexpr int kBorderWidth = 6;
  static constexpr int kBorderHeight = 25;
  static constexpr int kButtonWidth = 75;

  HeadlessProgressView(HeadlessToolkit& owner, int client_width, int client_height);
  ~HeadlessProgressView() override;

  int StandardButtonWidth() const override { return kButtonWidth; }
  void SetCaption(const std::string& caption) override;
  void SetLabel(const std::string& text, int left, int top, int width) override;
  void SetBar(int left, int top, int width) override;
  void SetBarMaximum(int maximum) override;
  void SetBarPosition(int position) override;
  void SetButton(const std::string& caption, int left, int top, bool is_default) override;
  Rect Frame() const override { return frame; }
  void MoveTo(int left, int top) override;
  void Show() override;
  void Hide() override;
  bool Visible() const override { return visible; }

  // Presses the button, as a click would.
  void Click();

  std::string caption;
  std::string label_text;
  int label_left = 0, label_top = 0, label_width = 0;
  int bar_left = 0, bar_top = 0, bar_width = 0;
  int bar_maximum = 100;  // the range a fresh bar has before anyone sets it
  int bar_position = 0;
  std::string button_caption;
  int button_left = 0, button_top = 0;
  bool button_default = false;
  Rect frame;
  bool visible = false;

 private:
  void Log(const std::string& entry);

  HeadlessToolkit& owner_;
};

class HeadlessToolkit : public Toolkit {
 public:
  std::string ApplicationTitle() const override { return title; }
  int MessageBox(const std::string& text, const std::string& caption, unsigned flags) override;
  std::optional<std::string> InputBox(const std::string& caption, const std::string& prompt,
                                      const std::string& default_text) override;
  void ProcessMessages() override;
  std::unique_ptr<ProgressView> CreateProgressView(int client_width, int client_height) override;
  std::optional<Rect> MainWindowFrame() const override { return main_window; }
  Rect WorkArea() const override { return work_area; }
  std::unique_ptr<Form> CreateForm(const std::string& caption, int width, int height) override;
  // Shows the form, then runs calls handed over from other threads until it closes or no more
  // come within run_idle_timeout.
  int Run(Form& form) override;
  void SetBusyCursor(bool busy) override;
  // From the thread that created the toolkit: runs the call at once. From another thread: queues
  // it for the next ProcessMessages (or RunPendingCalls) and waits until it has run.
  void RunOnMainThread(const std::function<void()>& call) override;

  // Runs the calls other threads handed over; returns how many ran.
  int RunPendingCalls();
  // Waits up to timeout_ms for a call from another thread and runs it; false when none came.
  bool WaitForCall(int timeout_ms);

  // The main window, once created (the first form).
  HeadlessForm* form = nullptr;
  bool busy = false;
  std::vector<bool> cursor_log;  // every SetBusyCursor, in order
  int run_idle_timeout_ms = 200;

  std::string title = "RidideDuvure";
  // The next answers to MessageBox; when empty, kIdOk for kMbOk boxes, else kIdCancel.
  std::deque<int> message_answers;
  // When set, asked first about every message box: an answer it gives is taken, and the queue is
  // left for the other boxes.
  std::function<std::optional<int>(const ShownMessage&)> answer_of;
  // The next answers to InputBox; when empty, Cancel (nothing).
  std::deque<std::optional<std::string>> input_answers;
  std::vector<ShownMessage> messages;                 // every message box shown, in order
  std::vector<ShownInput> inputs;                     // every input box shown, in order
  int pumps = 0;                                      // ProcessMessages calls so far
  std::function<void(int pump)> on_process_messages;  // lets a test act during a run
  std::optional<Rect> main_window;
  Rect work_area{0, 0, 1024, 768};
  HeadlessProgressView* progress = nullptr;  // the live progress view, null when freed
  // "show", "hide", "caption:...", "label:...", "max:N", "position:N", "move:L,T", "freed"
  std::vector<std::string> progress_log;
  // When set, CreateProgressView uses it (to run the logic with real windows while prompts stay
  // scripted); progress then stays null.
  std::function<std::unique_ptr<ProgressView>(int, int)> progress_factory;

 private:
  struct PendingCall {
    const std::function<void()>* call;
    bool done = false;
  };
  std::thread::id main_thread_ = std::this_thread::get_id();
  std::mutex mutex_;
  std::condition_variable changed_;
  std::deque<PendingCall*> pending_;
};

}  // namespace ui::headless
