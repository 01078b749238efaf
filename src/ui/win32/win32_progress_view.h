// The archive progress window as a real Win32 window, built in code: a caption, a label, a
// progress bar and one default push button, always on top, with a fixed dialog border.
#pragma once

#include <string>

#include "ui/toolkit.h"

struct HWND__;  // windows.h stays out of this header: its MessageBox macro would rename ours

namespace ui::win32 {

class Win32ProgressView : public ProgressView {
 public:
  // The window class, for finding the window and for routing dialog keys to it.
  static constexpr const char* kClassName = "RidideDuvureProgress";
  static constexpr int kLabelId = 101;
  static constexpr int kBarId = 102;
  static constexpr int kButtonId = 103;

  // Creates the window, hidden, with the given client area.
  Win32ProgressView(int client_width, int client_height);
  ~Win32ProgressView() override;
  Win32ProgressView(const Win32ProgressView&) = delete;
  Win32ProgressView& operator=(const Win32ProgressView&) = delete;

  int StandardButtonWidth() const override;
  void SetCaption(const std::string& caption) override;
  void SetLabel(const std::string& text, int left, int top, int width) override;
  void SetBar(int left, int top, int width) override;
  void SetBarMaximum(int maximum) override;
  void SetBarPosition(int position) override;
  void SetButton(const std::string& caption, int left, int top, bool is_default) override;
  Rect Frame() const override;
  void MoveTo(int left, int top) override;
  void Show() override;
  void Hide() override;
  bool Visible() const override;

  // The window; null when it could not be created (every call is then a quiet no-op).
  HWND__* Handle() const { return window_; }

  // Presses the button: what a click or Enter does.
  void PressButton();

 private:
  HWND__* window_ = nullptr;
  HWND__* label_ = nullptr;
  HWND__* bar_ = nullptr;
  HWND__* button_ = nullptr;
};

}  // namespace ui::win32
