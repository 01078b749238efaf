// The toolkit of the Linux program: FLTK windows, message and input boxes, the progress window,
// the busy cursor and the hand-over of calls from other threads to the main one.
#pragma once

#include <memory>
#include <optional>
#include <string>
#include <thread>

#include "ui/toolkit.h"

namespace ui::fltk {

class FltkForm;

class FltkToolkit : public Toolkit {
 public:
  // Needs an open display (see ui::CreateNativeToolkit). The thread that creates the toolkit is
  // the main thread: the one that runs the event loop.
  explicit FltkToolkit(const std::string& title);
  ~FltkToolkit() override;

  std::string ApplicationTitle() const override { return title_; }
  int MessageBox(const std::string& text, const std::string& caption, unsigned flags) override;
  std::optional<std::string> InputBox(const std::string& caption, const std::string& prompt,
                                      const std::string& default_text) override;
  void ProcessMessages() override;
  std::unique_ptr<ProgressView> CreateProgressView(int client_width, int client_height) override;
  std::optional<Rect> MainWindowFrame() const override;
  Rect WorkArea() const override;
  std::unique_ptr<Form> CreateForm(const std::string& caption, int width, int height) override;
  int Run(Form& form) override;
  void SetBusyCursor(bool busy) override;
  void RunOnMainThread(const std::function<void()>& call) override;

 private:
  std::string title_;
  std::thread::id main_thread_;
  FltkForm* main_form_ = nullptr;
};

// Opens the display FLTK will use. False, with the reason, when it cannot be opened.
bool OpenDisplay(std::string* reason);

}  // namespace ui::fltk
