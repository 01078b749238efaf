#include "ui/fltk/fltk_progress_view.h"

#include <FL/Fl.H>
#include <FL/Fl_Box.H>
#include <FL/Fl_Button.H>
#include <FL/Fl_Progress.H>

#include <utility>

#include "ui/fltk/fltk_window.h"
// Last: the X11 declarations of FLTK, whose macros (None, Status ...) would spoil other headers.
#include <FL/x.H>

namespace ui::fltk {

FltkProgressView::FltkProgressView(int client_width, int client_height,
                                   std::function<Fl_Window*()> owner)
    : owner_(std::move(owner)),
      window_(std::make_unique<KeyedWindow>(client_width, client_height, "")) {
  RaiseEdge(*window_);
  label_ = new Fl_Box(0, 0, 0, kLabelHeight);
  label_->labelsize(kFontSize);
  label_->align(FL_ALIGN_LEFT | FL_ALIGN_INSIDE | FL_ALIGN_CLIP);
  bar_ = new Fl_Progress(0, 0, 0, kBarHeight);
  bar_->minimum(0);
  bar_->maximum(100);
  bar_->value(0);
  bar_->selection_color(FL_DARK_BLUE);
  button_ = new Fl_Button(0, 0, kButtonWidth, kButtonHeight);
  button_->labelsize(kFontSize);
  button_->callback(
      [](Fl_Widget*, void* data) { static_cast<FltkProgressView*>(data)->PressButton(); }, this);
  window_->end();
  // A dialog border: the size is fixed.
  window_->size_range(client_width, client_height, client_width, client_height);
  // A non-modal window is made transient for another one, which the window manager keeps it
  // above (see Show).
  window_->set_non_modal();
  window_->on_enter = [this] {
    if (button_default_) PressButton();
  };
  // Escape is the button, Cancel, as in a Windows dialog.
  window_->on_escape = [this] { PressButton(); };
  // The close box only hides, as for any form; the button is the way to stop.
  window_->on_close_box = [this] { Hide(); };
}

FltkProgressView::~FltkProgressView() = default;

void FltkProgressView::SetCaption(const std::string& caption) {
  window_->copy_label(caption.c_str());
}

void FltkProgressView::SetLabel(const std::string& text, int left, int top, int width) {
  label_->copy_label(EscapeLabel(text).c_str());
  label_->resize(left, top, width, kLabelHeight);
  window_->redraw();
}

void FltkProgressView::SetBar(int left, int top, int width) {
  bar_->resize(left, top, width, kBarHeight);
  window_->redraw();
}

void FltkProgressView::SetBarMaximum(int maximum) { bar_->maximum(static_cast<float>(maximum)); }

void FltkProgressView::SetBarPosition(int position) { bar_->value(static_cast<float>(position)); }

void FltkProgressView::SetButton(const std::string& caption, int left, int top, bool is_default) {
  button_->copy_label(caption.c_str());  // "&Cancel" underlines the C, as on Windows
  button_->resize(left, top, kButtonWidth, kButtonHeight);
  // A default button wears a darker frame, as on Windows.
  button_->box(is_default ? FL_BORDER_BOX : FL_UP_BOX);
  button_default_ = is_default;
  window_->redraw();
}

Rect FltkProgressView::Frame() const {
  return {window_->x() - kFrameLeft, window_->y() - kFrameTop, window_->w() + kFrameExtraWidth,
          window_->h() + kFrameExtraHeight};
}

void FltkProgressView::MoveTo(int left, int top) {
  window_->position(left + kFrameLeft, top + kFrameTop);
}

void FltkProgressView::Show() {
  window_->show();
  // Transient for the main window, which a window manager then keeps it above however the main
  // window is clicked. FLTK itself makes a non-modal window transient for whichever window had
  // the last event when it creates the X window (on every show after a hide): mostly the main
  // window, but a box that is about to go when one is up, and then nothing holds this one above.
  Fl_Window* owner = owner_ ? owner_() : nullptr;
  if (owner && owner != window_.get() && owner->shown() && window_->shown()) {
    XSetTransientForHint(fl_display, fl_xid(window_.get()), fl_xid(owner));
  }
  // Painted now, before the run reads its first file: the X server maps the window when it gets
  // round to it, and a window drawn only at the next pump of events stays blank while a large
  // first file is read.
  if (window_->shown()) window_->wait_for_expose();
  Fl::flush();
}

void FltkProgressView::Hide() { window_->hide(); }

bool FltkProgressView::Visible() const { return window_->shown() && window_->visible(); }

void FltkProgressView::PressButton() {
  if (on_button) on_button();
}

}  // namespace ui::fltk
