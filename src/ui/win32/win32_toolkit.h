// The toolkit of the Windows program: the system's message box, an input box built in code,
// the Win32 progress window and main window, the message loop, the hourglass cursor and the
// hand-over of calls from other threads to the main one.
#pragma once

#include <memory>
#include <optional>
#include <string>

#include "ui/toolkit.h"

struct HWND__;

namespace ui::win32 {

// Whether SetBusyCursor(true) is in force: the program's windows then keep the hourglass.
bool BusyCursorShown();

class Win32Toolkit : public Toolkit {
 public:
  // The class of the hidden window through which other threads hand calls to this one.
  static constexpr const char* kCallWindowClassName = "RidideDuvureCalls";

  // Must be created on the thread that runs the windows: that thread becomes the main one.
  explicit Win32Toolkit(std::string title = "RidideDuvure");
  ~Win32Toolkit() override;
  Win32Toolkit(const Win32Toolkit&) = delete;
  Win32Toolkit& operator=(const Win32Toolkit&) = delete;

  std::string ApplicationTitle() const override { return title_; }
  int MessageBox(const std::string& text, const std::string& caption, unsigned flags) override;
  std::optional<std::string> InputBox(const std::string& caption, const std::string& prompt,
                                      const std::string& default_text) override;
  void ProcessMessages() override;
  std::unique_ptr<ProgressView> CreateProgressView(int client_width, int client_height) override;
  std::optional<Rect> MainWindowFrame() const override;
  Rect WorkArea() const override;
  // The first form created becomes the main window.
  std::unique_ptr<Form> CreateForm(const std::string& caption, int width, int height) override;
  // Returns 0 when the form closed, or the code of a WM_QUIT that ended the loop first.
  int Run(Form& form) override;
  void SetBusyCursor(bool busy) override;
  void RunOnMainThread(const std::function<void()>& call) override;

  // The main window, once it exists: boxes are modal to it and progress windows centre on it.
  void SetMainWindow(HWND__* window) { main_window_ = window; }
  void SetApplicationTitle(std::string title) { title_ = std::move(title); }

 private:
  std::string title_;
  HWND__* main_window_ = nullptr;
  HWND__* call_window_ = nullptr;  // message-only, owned by the main thread
};

}  // namespace ui::win32
