#include "ui/fltk/fltk_form.h"

#include <FL/Fl.H>
#include <FL/Fl_Button.H>

#include <algorithm>
#include <utility>

#include "base/scope_exit.h"
#include "ui/fltk/fltk_window.h"

namespace ui::fltk {

FltkForm::FltkForm(const std::string& caption, int outer_width, int outer_height)
    : window_(std::make_unique<KeyedWindow>(std::max(1, outer_width - kFrameExtraWidth),
                                            std::max(1, outer_height - kFrameExtraHeight),
                                            caption)),
      caption_(caption) {
  window_->end();
  window_->xclass("RidideDuvure");
  // A fixed size, as the window logic lays out every control at fixed places.
  window_->size_range(window_->w(), window_->h(), window_->w(), window_->h());
  window_->on_enter = [this] { PressButtonOfRole(ButtonRole::kOk); };
  // Escape does nothing here, as in the Win32 window: Exit is a button to click, not a key that
  // ends the program (and a run in it) by a slip of the finger.
  window_->on_close_box = [this] { RunHandler([this] { Close(); }); };
}

FltkForm::~FltkForm() {
  if (on_destroyed) on_destroyed();
  // The widgets go with the window; the wrappers only point at them.
  window_.reset();
}

template <class Control, class... Arguments>
Control& FltkForm::Keep(const std::string& name, Arguments&&... arguments) {
  // The control's widgets go into this window.
  window_->begin();
  auto control = std::make_unique<Control>(std::forward<Arguments>(arguments)...);
  window_->end();
  Control& kept = *control;
  controls_.emplace_back(name, std::move(control));
  return kept;
}

RadioGroup& FltkForm::AddRadioGroup(const std::string& name, const std::string& caption,
                                    const std::vector<std::string>& items, Bounds bounds) {
  return Keep<FltkRadioGroup>(name, caption, items, bounds);
}

CheckBox& FltkForm::AddCheckBox(const std::string& name, const std::string& caption,
                                Bounds bounds) {
  return Keep<FltkCheckBox>(name, caption, bounds);
}

Label& FltkForm::AddLabel(const std::string& name, const std::string& caption, int left, int top,
                          int font_pixels, const std::string& font_face) {
  return Keep<FltkLabel>(name, caption, left, top, font_pixels, font_face);
}

DirectoryEdit& FltkForm::AddDirectoryEdit(const std::string& name, const std::string& text,
                                          Bounds bounds) {
  return Keep<FltkDirectoryEdit>(name, text, bounds);
}

Button& FltkForm::AddButton(const std::string& name, const std::string& caption, Bounds bounds,
                            ButtonRole role) {
  FltkButton& button = Keep<FltkButton>(name, caption, bounds, role);
  buttons_.push_back(&button);
  return button;
}

ProgressBar& FltkForm::AddProgressBar(const std::string& name, Bounds bounds) {
  return Keep<FltkProgressBar>(name, bounds);
}

void FltkForm::Show() {
  if (closed_) return;
  if (!placed_) {
    CentreOnWorkArea(*window_);
    placed_ = true;
  }
  window_->show();
  if (shown_once_) return;
  shown_once_ = true;
  // on_show expects the window on screen: send it to the display and let its first events (the
  // mapping, the first paint) run before the handler.
  Fl::flush();
  Fl::check();
  RunHandler(on_show);
}

void FltkForm::Close() {
  if (closed_) return;
  closed_ = true;
  // The window goes even when on_close throws; the exception still reaches the caller.
  const base::ScopeExit hider([window = window_.get()] { window->hide(); });
  if (on_close) on_close();
}

void* FltkForm::NativeHandle() const { return static_cast<Fl_Window*>(window_.get()); }

Rect FltkForm::Frame() const {
  return {window_->x() - kFrameLeft, window_->y() - kFrameTop, window_->w() + kFrameExtraWidth,
          window_->h() + kFrameExtraHeight};
}

Component* FltkForm::Find(const std::string& name) const {
  for (const auto& [control_name, control] : controls_) {
    if (control_name == name) return control.get();
  }
  return nullptr;
}

void FltkForm::PressButtonOfRole(ButtonRole role) {
  for (FltkButton* button : buttons_) {
    if (button->role() == role && button->button()->visible_r() && button->button()->active_r()) {
      button->Press();
      return;
    }
  }
}

}  // namespace ui::fltk
