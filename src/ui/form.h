// The controls the main window is made of, and the window itself, as the window logic sees them.
// Each toolkit implements them with its own widgets; the logic only sets texts, positions and
// flags, and receives the user's clicks through the on_* callbacks.
//
// Events: a user's action (a click, typing) calls the control's callback through
// ui::RunHandler, so an exception a handler lets out is shown to the user and the window stays.
// A programmatic change calls the callback directly, as the window logic relies on, and a handler's
// exception then reaches the code that made the change:
//   - DirectoryEdit::SetText fires on_change when the text changes;
//   - CheckBox::SetChecked and RadioGroup::SetItemIndex fire nothing.
#pragma once

#include <functional>
#include <string>
#include <vector>

namespace ui {

// Position and size of a control within its window's client area, in pixels.
struct Bounds {
  int left = 0;
  int top = 0;
  int width = 0;
  int height = 0;
  bool operator==(const Bounds&) const = default;
};

// Anything a window owns. A component that must be owned by a window checks its owner's kind.
class Component {
 public:
  virtual ~Component() = default;
};

class Control : public Component {
 public:
  virtual void SetEnabled(bool enabled) = 0;
  virtual bool Enabled() const = 0;
  virtual void SetVisible(bool visible) = 0;
  virtual bool Visible() const = 0;
};

class Label : public Control {
 public:
  virtual void SetCaption(const std::string& caption) = 0;
  virtual std::string Caption() const = 0;
};

enum class ButtonRole {
  kNormal,
  kOk,      // pressed by Enter
  kCancel,  // pressed by Escape
};

class Button : public Control {
 public:
  virtual std::string Caption() const = 0;
  std::function<void()> on_click;
};

class CheckBox : public Control {
 public:
  virtual void SetCaption(const std::string& caption) = 0;
  virtual std::string Caption() const = 0;
  virtual void SetChecked(bool checked) = 0;
  virtual bool Checked() const = 0;
  // After the user toggled the box (Checked() is already the new state).
  std::function<void()> on_click;
};

class RadioGroup : public Control {
 public:
  // The selected item, or -1 for none.
  virtual void SetItemIndex(int index) = 0;
  virtual int ItemIndex() const = 0;
  // After the user selected an item (ItemIndex() is already the new one).
  std::function<void()> on_click;
};

// A text field holding a folder path, with a button beside it that lets the user pick a folder,
// whose path (with a trailing backslash) then becomes the text.
class DirectoryEdit : public Control {
 public:
  virtual void SetText(const std::string& text) = 0;
  virtual std::string Text() const = 0;
  // After every change of the text, by the user, the folder picker or SetText.
  std::function<void()> on_change;
};

// A bar showing an integer position from 0 to 100.
class ProgressBar : public Control {
 public:
  virtual void SetPosition(int position) = 0;
  virtual int Position() const = 0;
};

// A top-level window with a fixed outer size, centred on the screen, in the dialog face colour.
// Controls are created hidden-state-free: enabled and visible, in the order of the Add calls (which
// is also the keyboard order). The window owns them; the references stay valid for its life.
// `name` is the control's name in the window logic; toolkits may use it for identification only.
class Form : public Component {
 public:
  virtual RadioGroup& AddRadioGroup(const std::string& name, const std::string& caption,
                                    const std::vector<std::string>& items, Bounds bounds) = 0;
  virtual CheckBox& AddCheckBox(const std::string& name, const std::string& caption,
                                Bounds bounds) = 0;
  // A label sized to its text. font_pixels > 0 asks for that character height in font_face.
  virtual Label& AddLabel(const std::string& name, const std::string& caption, int left, int top,
                          int font_pixels = 0, const std::string& font_face = "") = 0;
  virtual DirectoryEdit& AddDirectoryEdit(const std::string& name, const std::string& text,
                                          Bounds bounds) = 0;
  virtual Button& AddButton(const std::string& name, const std::string& caption, Bounds bounds,
                            ButtonRole role) = 0;
  virtual ProgressBar& AddProgressBar(const std::string& name, Bounds bounds) = 0;

  virtual std::string Caption() const = 0;
  // Shows the window; the first time, on_show runs once it is on screen.
  virtual void Show() = 0;
  // Closes the window: on_close runs, the window disappears and the toolkit's Run returns.
  virtual void Close() = 0;
  // The native window (HWND on Windows), for services that need an owner window; may be null.
  virtual void* NativeHandle() const = 0;

  std::function<void()> on_show;
  std::function<void()> on_close;
};

}  // namespace ui
