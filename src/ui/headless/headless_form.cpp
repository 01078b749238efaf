#include "ui/headless/headless_form.h"

#include <stdexcept>

#include "ui/headless/headless_toolkit.h"

namespace ui::headless {

void HeadlessLabel::SetCaption(const std::string& text) {
  caption = text;
  history.push_back(text);
}

bool HeadlessButton::Click() {
  if (!visible || !enabled) return false;
  return RunHandler(on_click);
}

bool HeadlessCheckBox::Click() {
  if (!visible || !enabled) return false;
  checked = !checked;
  return RunHandler(on_click);
}

bool HeadlessRadioGroup::Select(int index) {
  if (!visible || !enabled) return false;
  item_index = index;
  return RunHandler(on_click);
}

void HeadlessDirectoryEdit::SetText(const std::string& value) {
  if (value == text) return;
  text = value;
  ++changes;
  if (on_change) on_change();
}

bool HeadlessDirectoryEdit::Type(const std::string& value) {
  if (!visible || !enabled) return false;
  text = value;
  ++changes;
  return RunHandler(on_change);
}

void HeadlessProgressBar::SetPosition(int value) {
  position = value;
  history.push_back(value);
}

HeadlessForm::HeadlessForm(HeadlessToolkit& toolkit, std::string form_caption, int form_width,
                           int form_height)
    : caption(std::move(form_caption)), width(form_width), height(form_height), toolkit_(toolkit) {}

template <typename T>
T& HeadlessForm::Keep(const std::string& name, std::unique_ptr<T> control) {
  T& kept = *control;
  controls_[name] = std::move(control);
  names_.push_back(name);
  return kept;
}

RadioGroup& HeadlessForm::AddRadioGroup(const std::string& name, const std::string& text,
                                        const std::vector<std::string>& items, Bounds bounds) {
  auto control = std::make_unique<HeadlessRadioGroup>(name, bounds);
  control->caption = text;
  control->items = items;
  return Keep(name, std::move(control));
}

CheckBox& HeadlessForm::AddCheckBox(const std::string& name, const std::string& text,
                                    Bounds bounds) {
  auto control = std::make_unique<HeadlessCheckBox>(name, bounds);
  control->caption = text;
  return Keep(name, std::move(control));
}

Label& HeadlessForm::AddLabel(const std::string& name, const std::string& text, int left, int top,
                              int font_pixels, const std::string& font_face) {
  auto control = std::make_unique<HeadlessLabel>(name, Bounds{left, top, 0, 0});
  control->caption = text;
  control->font_pixels = font_pixels;
  control->font_face = font_face;
  return Keep(name, std::move(control));
}

DirectoryEdit& HeadlessForm::AddDirectoryEdit(const std::string& name, const std::string& text,
                                              Bounds bounds) {
  auto control = std::make_unique<HeadlessDirectoryEdit>(name, bounds);
  control->text = text;
  return Keep(name, std::move(control));
}

Button& HeadlessForm::AddButton(const std::string& name, const std::string& text, Bounds bounds,
                                ButtonRole role) {
  auto control = std::make_unique<HeadlessButton>(name, bounds);
  control->caption = text;
  control->role = role;
  return Keep(name, std::move(control));
}

ProgressBar& HeadlessForm::AddProgressBar(const std::string& name, Bounds bounds) {
  return Keep(name, std::make_unique<HeadlessProgressBar>(name, bounds));
}

void HeadlessForm::Show() {
  if (shown || closed) return;
  shown = true;
  if (!toolkit_.main_window) {
    const Rect area = toolkit_.work_area;
    toolkit_.main_window = Rect{area.left + (area.width - width) / 2,
                                area.top + (area.height - height) / 2, width, height};
  }
  RunHandler(on_show);
}

void HeadlessForm::Close() {
  if (closed) return;
  closed = true;
  RunHandler(on_close);
  shown = false;
}

}  // namespace ui::headless
