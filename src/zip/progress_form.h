// The small window that shows the archive component's progress while a library runs: the name of
// the file in hand, a bar, and a Cancel button. It lives for one Add or Extract only.
#pragma once

#include <memory>
#include <string>

#include "ui/toolkit.h"

namespace zip {

// The caption of every progress window created from now on; callers set it before each run.
inline std::string ProgressCaption = "Zipping Up Your Files";

class TZip;

class TProgressForm {
 public:
  // Client area of the window; the label, bar and button are laid out within it.
  static constexpr int kClientWidth = 300;
  static constexpr int kClientHeight = 100;

  // Builds the window, hidden, through the current toolkit and places it over the main window,
  // or in the middle of the work area when there is no main window yet.
  explicit TProgressForm(TZip& component);
  ~TProgressForm();
  TProgressForm(const TProgressForm&) = delete;
  TProgressForm& operator=(const TProgressForm&) = delete;

  void SetMaximum(int maximum);
  void SetPosition(int position);
  // Shows the name of the file in hand, centred over the bar.
  void SetFileText(const std::string& text);

  void Show();
  void Hide();
  bool Visible() const;

 private:
  void PlaceWindow();

  TZip& component_;
  std::unique_ptr<ui::ProgressView> view_;
  int label_width_ = 280;
};

}  // namespace zip
