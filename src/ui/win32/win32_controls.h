// The controls of a Win32Form, each over one or more real Win32 child windows. The form routes
// WM_COMMAND notifications to the control that owns the sending child.
#pragma once

#include <string>
#include <vector>

#include "ui/form.h"

struct HWND__;
struct HFONT__;

namespace ui::win32 {

class Win32Form;

// What a form needs of each of its controls: a notification from one of its children.
class CommandTarget {
 public:
  virtual ~CommandTarget() = default;
  virtual void OnCommand(HWND__* child, int code) = 0;
};

// Enabling and showing apply to every child window of the control together.
template <class Interface>
class Win32Control : public Interface, public CommandTarget {
 public:
  void SetEnabled(bool enabled) override;
  bool Enabled() const override;
  void SetVisible(bool visible) override;
  bool Visible() const override;  // the control's own flag, not whether the form is on screen
  void OnCommand(HWND__*, int) override {}

  const std::vector<HWND__*>& Windows() const { return windows_; }

 protected:
  explicit Win32Control(Win32Form& form) : form_(form) {}
  Win32Form& form_;
  std::vector<HWND__*> windows_;
};

class Win32Label : public Win32Control<Label> {
 public:
  Win32Label(Win32Form& form, const std::string& caption, int left, int top, int font_pixels,
             const std::string& font_face);
  ~Win32Label() override;
  void SetCaption(const std::string& caption) override;
  std::string Caption() const override;

 private:
  void FitToText();
  HFONT__* own_font_ = nullptr;  // only for a label with a font of its own
};

class Win32Button : public Win32Control<Button> {
 public:
  Win32Button(Win32Form& form, const std::string& caption, Bounds bounds, ButtonRole role);
  std::string Caption() const override;
  void SetEnabled(bool enabled) override;
  void SetVisible(bool visible) override;
  void OnCommand(HWND__* child, int code) override;

  ButtonRole Role() const { return role_; }
  // Runs on_click when the button can be pressed (visible and enabled): what a click does.
  void Press();

 private:
  ButtonRole role_;
};

class Win32CheckBox : public Win32Control<CheckBox> {
 public:
  Win32CheckBox(Win32Form& form, const std::string& caption, Bounds bounds);
  void SetCaption(const std::string& caption) override;
  std::string Caption() const override;
  void SetChecked(bool checked) override;
  bool Checked() const override;
  void OnCommand(HWND__* child, int code) override;
};

// A group box with one auto radio button per item, stacked inside it.
class Win32RadioGroup : public Win32Control<RadioGroup> {
 public:
  Win32RadioGroup(Win32Form& form, const std::string& caption,
                  const std::vector<std::string>& items, Bounds bounds);
  void SetItemIndex(int index) override;
  int ItemIndex() const override;
  void OnCommand(HWND__* child, int code) override;

 private:
  void Remember(int index);
  std::vector<HWND__*> buttons_;
  int last_index_ = -1;  // on_click fires only when the selection really changes
};

// An edit box and a small "..." button beside it that opens the shell's folder dialog.
class Win32DirectoryEdit : public Win32Control<DirectoryEdit> {
 public:
  static constexpr int kButtonWidth = 21;

  Win32DirectoryEdit(Win32Form& form, const std::string& text, Bounds bounds);
  void SetText(const std::string& text) override;
  std::string Text() const override;
  void OnCommand(HWND__* child, int code) override;

  HWND__* Edit() const { return windows_[0]; }
  HWND__* BrowseButton() const { return windows_[1]; }

 private:
  // Sets the edit box's text without its EN_CHANGE reaching on_change; false when unchanged.
  bool Replace(const std::string& text);
  void BrowseForFolder();
  bool replacing_ = false;
};

class Win32ProgressBar : public Win32Control<ProgressBar> {
 public:
  Win32ProgressBar(Win32Form& form, Bounds bounds);
  void SetPosition(int position) override;
  int Position() const override;
};

}  // namespace ui::win32
