#include "ui/console/console_toolkit.h"

namespace ui::console {

int SafeAnswer(unsigned flags) {
  switch (flags & 0xF) {
    case kMbOk:
      return kIdOk;
    case kMbYesNo:
      return kIdNo;
    default:
      return kIdCancel;
  }
}

int ConsoleToolkit::MessageBox(const std::string& text, const std::string&, unsigned flags) {
  const int answer = SafeAnswer(flags);
  if (on_message) {
    on_message(text, answer == kIdOk ? "OK" : answer == kIdNo ? "No" : "Cancel");
  }
  return answer;
}

std::optional<std::string> ConsoleToolkit::InputBox(const std::string& caption,
                                                    const std::string& prompt,
                                                    const std::string&) {
  if (on_message) on_message(caption + ": " + prompt, "Cancel");
  return std::nullopt;
}

void ConsoleToolkit::ProcessMessages() {
  headless::HeadlessToolkit::ProcessMessages();
  progress_log.clear();
  cursor_log.clear();
  messages.clear();
}

}  // namespace ui::console
