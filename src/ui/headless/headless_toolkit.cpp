#include "ui/headless/headless_toolkit.h"

namespace ui::headless {

HeadlessProgressView::HeadlessProgressView(HeadlessToolkit& owner, int client_width,
                                           int client_height)
    : frame{0, 0, client_width + kBorderWidth, client_height + kBorderHeight}, owner_(owner) {}

HeadlessProgressView::~HeadlessProgressView() {
  Log("freed");
  if (owner_.progress == this) owner_.progress = nullptr;
}

void HeadlessProgressView::Log(const std::string& entry) { owner_.progress_log.push_back(entry); }

void HeadlessProgressView::SetCaption(const std::string& text) {
  caption = text;
  Log("caption:" + text);
}

void HeadlessProgressView::SetLabel(const std::string& text, int left, int top, int width) {
  label_text = text;
  label_left = left;
  label_top = top;
  label_width = width;
  Log("label:" + text);
}

void HeadlessProgressView::SetBar(int left, int top, int width) {
  bar_left = left;
  bar_top = top;
  bar_width = width;
}

void HeadlessProgressView::SetBarMaximum(int maximum) {
  bar_maximum = maximum;
  Log("max:" + std::to_string(maximum));
}

void HeadlessProgressView::SetBarPosition(int position) {
  bar_position = position;
  Log("position:" + std::to_string(position));
}

void HeadlessProgressView::SetButton(const std::string& text, int left, int top, bool is_default) {
  button_caption = text;
  button_left = left;
  button_top = top;
  button_default = is_default;
}

void HeadlessProgressView::MoveTo(int left, int top) {
  frame.left = left;
  frame.top = top;
  Log("move:" + std::to_string(left) + "," + std::to_string(top));
}

void HeadlessProgressView::Show() {
  visible = true;
  Log("show");
}

void HeadlessProgressView::Hide() {
  visible = false;
  Log("hide");
}

void HeadlessProgressView::Click() {
  if (on_button) on_button();
}

int HeadlessToolkit::MessageBox(const std::string& text, const std::string& caption,
                                unsigned flags) {
  messages.push_back({text, caption, flags});
  if (answer_of) {
    if (const std::optional<int> answer = answer_of(messages.back())) return *answer;
  }
  if (message_answers.empty()) return (flags & 0xF) == kMbOk ? kIdOk : kIdCancel;
  int answer = message_answers.front();
  message_answers.pop_front();
  return answer;
}

std::optional<std::string> HeadlessToolkit::InputBox(const std::string& caption,
                                                     const std::string& prompt,
                                                     const std::string& default_text) {
  inputs.push_back({caption, prompt, default_text});
  if (input_answers.empty()) return std::nullopt;
  std::optional<std::string> answer = std::move(input_answers.front());
  input_answers.pop_front();
  return answer;
}

void HeadlessToolkit::ProcessMessages() {
  ++pumps;
  RunPendingCalls();
  if (on_process_messages) on_process_messages(pumps);
}

std::unique_ptr<Form> HeadlessToolkit::CreateForm(const std::string& caption, int width,
                                                  int height) {
  auto created = std::make_unique<HeadlessForm>(*this, caption, width, height);
  if (!form) form = created.get();
  return created;
}

int HeadlessToolkit::Run(Form& main_form) {
  main_form.Show();
  auto& headless = static_cast<HeadlessForm&>(main_form);
  while (!headless.closed && WaitForCall(run_idle_timeout_ms)) {
  }
  return 0;
}

void HeadlessToolkit::SetBusyCursor(bool value) {
  busy = value;
  cursor_log.push_back(value);
}

void HeadlessToolkit::RunOnMainThread(const std::function<void()>& call) {
  if (std::this_thread::get_id() == main_thread_) {
    RunHandler(call);
    return;
  }
  PendingCall pending{&call};
  std::unique_lock lock(mutex_);
  pending_.push_back(&pending);
  changed_.notify_all();
  changed_.wait(lock, [&] { return pending.done; });
}

int HeadlessToolkit::RunPendingCalls() {
  int ran = 0;
  for (;;) {
    PendingCall* next = nullptr;
    {
      std::lock_guard lock(mutex_);
      if (pending_.empty()) return ran;
      next = pending_.front();
      pending_.pop_front();
    }
    RunHandler(*next->call);
    ++ran;
    std::lock_guard lock(mutex_);
    next->done = true;
    changed_.notify_all();
  }
}

bool HeadlessToolkit::WaitForCall(int timeout_ms) {
  {
    std::unique_lock lock(mutex_);
    if (!changed_.wait_for(lock, std::chrono::milliseconds(timeout_ms),
                           [&] { return !pending_.empty(); })) {
      return false;
    }
  }
  return RunPendingCalls() > 0;
}

std::unique_ptr<ProgressView> HeadlessToolkit::CreateProgressView(int client_width,
                                                                  int client_height) {
  if (progress_factory) return progress_factory(client_width, client_height);
  auto view = std::make_unique<HeadlessProgressView>(*this, client_width, client_height);
  progress = view.get();
  return view;
}

}  // namespace ui::headless
