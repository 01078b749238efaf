// The main window as a real Win32 window: a fixed-size top-level window in the dialog face colour
// whose controls are ordinary Win32 child windows. The message loop routes dialog keys to it
// (IsDialogMessage), so Tab moves between controls, Enter presses the default button and Escape
// the Cancel one.
#pragma once

#include <cstdint>
#include <map>
#include <memory>
#include <string>
#include <vector>

#include "ui/form.h"
#include "ui/win32/win32_controls.h"

struct HWND__;

namespace ui::win32 {

class Win32Button;

class Win32Form : public Form {
 public:
  // The window class, for routing dialog keys to the form and for finding it.
  static constexpr const char* kClassName = "RidideDuvureForm";

  // Creates the window, hidden, with the given outer size, centred on the work area.
  Win32Form(const std::string& caption, int width, int height);
  ~Win32Form() override;
  Win32Form(const Win32Form&) = delete;
  Win32Form& operator=(const Win32Form&) = delete;

  RadioGroup& AddRadioGroup(const std::string& name, const std::string& caption,
                            const std::vector<std::string>& items, Bounds bounds) override;
  CheckBox& AddCheckBox(const std::string& name, const std::string& caption,
                        Bounds bounds) override;
  Label& AddLabel(const std::string& name, const std::string& caption, int left, int top,
                  int font_pixels = 0, const std::string& font_face = "") override;
  DirectoryEdit& AddDirectoryEdit(const std::string& name, const std::string& text,
                                  Bounds bounds) override;
  Button& AddButton(const std::string& name, const std::string& caption, Bounds bounds,
                    ButtonRole role) override;
  ProgressBar& AddProgressBar(const std::string& name, Bounds bounds) override;

  std::string Caption() const override;
  void Show() override;
  void Close() override;
  void* NativeHandle() const override { return window_; }

  HWND__* Handle() const { return window_; }
  bool Closed() const { return closed_; }

  // A new child window of the form with the next control id and the dialog font. The first
  // child of each control starts a keyboard group.
  HWND__* MakeChild(const char* window_class, const std::string& text, unsigned long style,
                    unsigned long ex_style, Bounds bounds, CommandTarget& target);
  // The button Enter presses now: the focused OK-role button, else the first visible and
  // enabled one; null when there is none.
  Win32Button* DefaultButton() const;
  // Draws the default button with the thick border and the other OK-role buttons without it.
  void UpdateDefaultButton();

  // The window procedure's work, once the form is known.
  std::intptr_t HandleMessage(unsigned message, std::uintptr_t wparam, std::intptr_t lparam);

 private:
  template <class Control, class... Args>
  Control& Own(Args&&... args);

  HWND__* window_ = nullptr;
  HWND__* last_focus_ = nullptr;  // given back when the window is activated again
  int next_id_ = 1000;            // above IDOK and IDCANCEL, which the dialog keys send
  bool shown_once_ = false;
  bool closed_ = false;
  std::vector<std::unique_ptr<Component>> controls_;
  std::vector<Win32Button*> buttons_;
  std::map<int, CommandTarget*> targets_;  // by control id
};

}  // namespace ui::win32
