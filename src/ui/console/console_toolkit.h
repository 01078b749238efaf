// The toolkit of a run from the command line: there is no window, nothing waits for a person,
// and every message box becomes a line for the console and the run's log.
// Each question gets the answer that keeps the user's files as they are.
#pragma once

#include <functional>
#include <string>

#include "ui/headless/headless_toolkit.h"

namespace ui::console {

class ConsoleToolkit : public headless::HeadlessToolkit {
 public:
  // text is the box's, answer what was taken for it ("OK", "No", "Cancel").
  std::function<void(const std::string& text, const std::string& answer)> on_message;

  int MessageBox(const std::string& text, const std::string& caption, unsigned flags) override;
  std::optional<std::string> InputBox(const std::string& caption, const std::string& prompt,
                                      const std::string& default_text) override;
  // What a window would keep of its progress is dropped as it comes: a run may be long.
  void ProcessMessages() override;
};

// The answer that keeps what is on disk for a box of these kMb* flags: OK where that is all
// there is, else No, else Cancel.
int SafeAnswer(unsigned flags);

}  // namespace ui::console
