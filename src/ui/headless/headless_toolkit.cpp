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
  if (on_process_messages) on_process_messages(pumps);
}

std::unique_ptr<ProgressView> HeadlessToolkit::CreateProgressView(int client_width,
                                                                  int client_height) {
  if (progress_factory) return progress_factory(client_width, client_height);
  auto view = std::make_unique<HeadlessProgressView>(*this, client_width, client_height);
  progress = view.get();
  return view;
}

}  // namespace ui::headless
