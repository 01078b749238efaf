// The archive progress window with FLTK: a label, a progress bar and one push button in a fixed
// size window that stays above the program's main window.
#pragma once

#include <functional>
#include <memory>
#include <string>

#include "ui/toolkit.h"

class Fl_Box;
class Fl_Button;
class Fl_Progress;
class Fl_Window;

namespace ui::fltk {

class KeyedWindow;

class FltkProgressView : public ProgressView {
 public:
  static constexpr int kButtonWidth = 75;
  static constexpr int kButtonHeight = 25;
  static constexpr int kLabelHeight = 16;
  static constexpr int kBarHeight = 16;

  // owner gives the window to stay above (the main window) when this one is shown; null or a
  // hidden window leaves it on its own.
  FltkProgressView(int client_width, int client_height,
                   std::function<Fl_Window*()> owner = nullptr);
  ~FltkProgressView() override;
  FltkProgressView(const FltkProgressView&) = delete;
  FltkProgressView& operator=(const FltkProgressView&) = delete;

  int StandardButtonWidth() const override { return kButtonWidth; }
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

  // The widgets, for the tests.
  Fl_Box* label() const { return label_; }
  Fl_Progress* bar() const { return bar_; }
  Fl_Button* button() const { return button_; }
  KeyedWindow* window() const { return window_.get(); }

  // What a click on the button, or Enter when it is the default, does.
  void PressButton();

 private:
  std::function<Fl_Window*()> owner_;
  std::unique_ptr<KeyedWindow> window_;
  Fl_Box* label_ = nullptr;
  Fl_Progress* bar_ = nullptr;
  Fl_Button* button_ = nullptr;
  bool button_default_ = false;
};

}  // namespace ui::fltk
