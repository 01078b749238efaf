// The headless window: controls that remember their state in public fields and let a test act as
// the user would (click, select, type, pick a folder). User actions go through ui::RunHandler,
// as a real event loop's would, so a handler's exception ends up in the toolkit's message log.
#pragma once

#include <map>
#include <memory>
#include <stdexcept>
#include <string>
#include <vector>

#include "ui/form.h"

namespace ui::headless {

class HeadlessToolkit;

// State every control has.
template <typename Base>
class HeadlessControl : public Base {
 public:
  HeadlessControl(std::string control_name, Bounds control_bounds)
      : name(std::move(control_name)), bounds(control_bounds) {}
  void SetEnabled(bool value) override { enabled = value; }
  bool Enabled() const override { return enabled; }
  void SetVisible(bool value) override { visible = value; }
  bool Visible() const override { return visible; }

  std::string name;
  Bounds bounds;
  bool enabled = true;
  bool visible = true;
};

class HeadlessLabel : public HeadlessControl<Label> {
 public:
  using HeadlessControl::HeadlessControl;
  void SetCaption(const std::string& text) override;
  std::string Caption() const override { return caption; }

  std::string caption;
  int font_pixels = 0;
  std::string font_face;
  std::vector<std::string> history;  // every caption set after creation, in order
};

class HeadlessButton : public HeadlessControl<Button> {
 public:
  using HeadlessControl::HeadlessControl;
  std::string Caption() const override { return caption; }
  // A user's click: ignored, as on screen, when the button is hidden or disabled.
  bool Click();

  std::string caption;
  ButtonRole role = ButtonRole::kNormal;
};

class HeadlessCheckBox : public HeadlessControl<CheckBox> {
 public:
  using HeadlessControl::HeadlessControl;
  void SetCaption(const std::string& text) override { caption = text; }
  std::string Caption() const override { return caption; }
  void SetChecked(bool value) override { checked = value; }
  bool Checked() const override { return checked; }
  // A user's click: toggles the box, then runs on_click. Ignored when hidden or disabled.
  bool Click();

  std::string caption;
  bool checked = false;
};

class HeadlessRadioGroup : public HeadlessControl<RadioGroup> {
 public:
  using HeadlessControl::HeadlessControl;
  void SetItemIndex(int index) override { item_index = index; }
  int ItemIndex() const override { return item_index; }
  // A user's click on an item: selects it, then runs on_click. Ignored when hidden or disabled.
  bool Select(int index);

  std::string caption;
  std::vector<std::string> items;
  int item_index = -1;
};

class HeadlessDirectoryEdit : public HeadlessControl<DirectoryEdit> {
 public:
  using HeadlessControl::HeadlessControl;
  void SetText(const std::string& value) override;
  std::string Text() const override { return text; }
  // The user replaces the text by typing (or picks a folder): one change event.
  bool Type(const std::string& value);

  std::string text;
  int changes = 0;  // change events fired so far
};

class HeadlessProgressBar : public HeadlessControl<ProgressBar> {
 public:
  using HeadlessControl::HeadlessControl;
  void SetPosition(int value) override;
  int Position() const override { return position; }

  int position = 0;
  std::vector<int> history;  // every position set, in order
};

class HeadlessForm : public Form {
 public:
  HeadlessForm(HeadlessToolkit& toolkit, std::string caption, int width, int height);

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

  std::string Caption() const override { return caption; }
  void Show() override;
  void Close() override;
  void* NativeHandle() const override { return nullptr; }

  // The control of that name and kind; throws std::out_of_range when there is none.
  template <typename T>
  T& Get(const std::string& name) const {
    auto found = controls_.find(name);
    T* control = found == controls_.end() ? nullptr : dynamic_cast<T*>(found->second.get());
    if (!control) throw std::out_of_range("no control " + name);
    return *control;
  }
  // Names of the controls in creation order.
  const std::vector<std::string>& Names() const { return names_; }

  std::string caption;
  int width = 0;
  int height = 0;
  bool shown = false;
  bool closed = false;

 private:
  template <typename T>
  T& Keep(const std::string& name, std::unique_ptr<T> control);

  HeadlessToolkit& toolkit_;
  std::map<std::string, std::unique_ptr<Component>> controls_;
  std::vector<std::string> names_;
};

}  // namespace ui::headless
