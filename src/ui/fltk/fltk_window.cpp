#include "ui/fltk/fltk_window.h"

#include <FL/Fl.H>
#include <FL/Fl_Button.H>
#include <FL/Fl_Light_Button.H>

namespace ui::fltk {
namespace {

// A push button (not a check or radio button), which Enter presses when it has the focus, as in
// a Windows dialog.
bool IsPushButton(Fl_Widget* widget) {
  auto* button = dynamic_cast<Fl_Button*>(widget);
  return button && !dynamic_cast<Fl_Light_Button*>(button) && button->type() == FL_NORMAL_BUTTON;
}

}  // namespace

KeyedWindow::KeyedWindow(int width, int height, const std::string& title)
    : Fl_Double_Window(width, height) {
  copy_label(title.c_str());
  callback(&KeyedWindow::CloseBoxCallback, this);
}

int KeyedWindow::handle(int event) {
  if (event == FL_KEYBOARD || event == FL_SHORTCUT) {
    const int key = Fl::event_key();
    const bool plain = !(Fl::event_state() & (FL_SHIFT | FL_CTRL | FL_ALT | FL_META));
    if ((key == FL_Enter || key == FL_KP_Enter) && plain) {
      Fl_Widget* focus = Fl::focus();
      if (focus && focus->window() == this && IsPushButton(focus)) {
        focus->do_callback();
        return 1;
      }
      if (on_enter) {
        on_enter();
        return 1;
      }
    } else if (key == FL_Escape) {
      if (on_escape) on_escape();
      // Taken either way: FLTK would otherwise close the window on Escape.
      return 1;
    }
  }
  return Fl_Double_Window::handle(event);
}

void KeyedWindow::CloseBoxCallback(Fl_Widget*, void* data) {
  auto* window = static_cast<KeyedWindow*>(data);
  // FLTK also calls this for an Escape nobody took; handle() takes every Escape already.
  if (Fl::event() == FL_SHORTCUT && Fl::event_key() == FL_Escape) return;
  if (window->on_close_box) {
    window->on_close_box();
  } else if (window->on_escape) {
    window->on_escape();
  }
}

std::string EscapeLabel(const std::string& text) {
  std::string escaped;
  escaped.reserve(text.size());
  for (char c : text) {
    escaped += c;
    if (c == '@') escaped += '@';
  }
  return escaped;
}

Rect ScreenWorkArea() {
  int x = 0, y = 0, w = 0, h = 0;
  Fl::screen_work_area(x, y, w, h, 0);
  return {x, y, w, h};
}

void RaiseEdge(Fl_Window& window) { window.box(FL_UP_BOX); }

void CentreOnWorkArea(Fl_Window& window) {
  const Rect area = ScreenWorkArea();
  const int outer_width = window.w() + kFrameExtraWidth;
  const int outer_height = window.h() + kFrameExtraHeight;
  window.position(area.left + (area.width - outer_width) / 2 + kFrameLeft,
                  area.top + (area.height - outer_height) / 2 + kFrameTop);
}

void WaitForEvents() { Fl::wait(0.1); }

void RunModal(Fl_Window& window, const std::function<void()>& on_shown,
              const std::function<bool()>& done) {
  window.set_modal();
  window.show();
  if (on_shown) on_shown();
  while (!done() && window.shown()) WaitForEvents();
  window.hide();
}

}  // namespace ui::fltk
