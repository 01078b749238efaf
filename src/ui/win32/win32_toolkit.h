// The toolkit of the Windows program: the system's message box, an input box built in code,
// the Win32 progress window, and the desktop's work area.
#pragma once

#include <memory>
#include <optional>
#include <string>

#include "ui/toolkit.h"

struct HWND__;

namespace ui::win32 {

class Win32Toolkit : public Toolkit {
 public:
  explicit Win32Toolkit(std::string title = "RidideDuvure") : title_(std::move(title)) {}

  std::string ApplicationTitle() const override { return title_; }
  int MessageBox(const std::string& text, const std::string& caption, unsigned flags) override;
  std::optional<std::string> InputBox(const std::string& caption, const std::string& prompt,
                                      const std::string& default_text) override;
  void ProcessMessages() override;
  std::unique_ptr<ProgressView> CreateProgressView(int client_width, int client_height) override;
  std::optional<Rect> MainWindowFrame() const override;
  Rect WorkArea() const override;

  // The main window, once it exists: boxes are modal to it and progress windows centre on it.
  void SetMainWindow(HWND__* window) { main_window_ = window; }
  void SetApplicationTitle(std::string title) { title_ = std::move(title); }

 private:
  std::string title_;
  HWND__* main_window_ = nullptr;
};

}  // namespace ui::win32
