// A top-level window of the program with FLTK, holding the controls of ui/form.h.
#pragma once

#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "ui/fltk/fltk_controls.h"
#include "ui/form.h"
#include "ui/toolkit.h"

namespace ui::fltk {

class KeyedWindow;

class FltkForm : public Form {
 public:
  // outer_width x outer_height is the window with its nominal frame (see fltk_window.h).
  FltkForm(const std::string& caption, int outer_width, int outer_height);
  ~FltkForm() override;
  FltkForm(const FltkForm&) = delete;
  FltkForm& operator=(const FltkForm&) = delete;

  RadioGroup& AddRadioGroup(const std::string& name, const std::string& caption,
                            const std::vector<std::string>& items, Bounds bounds) override;
  CheckBox& AddCheckBox(const std::string& name, const std::string& caption,
                        Bounds bounds) override;
  Label& AddLabel(const std::string& name, const std::string& caption, int left, int top,
                  int font_pixels, const std::string& font_face) override;
  DirectoryEdit& AddDirectoryEdit(const std::string& name, const std::string& text,
                                  Bounds bounds) override;
  Button& AddButton(const std::string& name, const std::string& caption, Bounds bounds,
                    ButtonRole role) override;
  ProgressBar& AddProgressBar(const std::string& name, Bounds bounds) override;

  std::string Caption() const override { return caption_; }
  void Show() override;
  void Close() override;
  // The FLTK window (an Fl_Window*): what an owner of another window needs here.
  void* NativeHandle() const override;

  // The window's outer frame on the screen.
  Rect Frame() const;
  // Closed by Close() or the close box (Run's loop ends).
  bool Closed() const { return closed_; }
  KeyedWindow* window() const { return window_.get(); }
  // A control by its name in the window logic; null when there is none.
  Component* Find(const std::string& name) const;

  // Runs when the form is destroyed (the toolkit forgets its main window).
  std::function<void()> on_destroyed;

 private:
  // Makes a control in this window and keeps it under its name.
  template <class Control, class... Arguments>
  Control& Keep(const std::string& name, Arguments&&... arguments);
  // Enter and Escape: the focused push button, else the first shown, enabled button of the role.
  void PressButtonOfRole(ButtonRole role);

  std::unique_ptr<KeyedWindow> window_;
  std::string caption_;
  std::vector<std::pair<std::string, std::unique_ptr<Component>>> controls_;
  std::vector<FltkButton*> buttons_;
  bool placed_ = false;
  bool shown_once_ = false;
  bool closed_ = false;
};

}  // namespace ui::fltk
