// The controls of ui/form.h as FLTK widgets. Each wrapper points at its widget, which the form's
// window owns and deletes; the wrappers live as long as the form.
#pragma once

#include <FL/Fl_Widget.H>

#include <string>
#include <vector>

#include "ui/form.h"

class Fl_Box;
class Fl_Button;
class Fl_Check_Button;
class Fl_Input;
class Fl_Progress;
class Fl_Round_Button;

namespace ui::fltk {

// Enabled and visible state, common to every control, kept by the widget itself.
template <class Interface>
class FltkControl : public Interface {
 public:
  void SetEnabled(bool enabled) override {
    if (enabled) {
      widget_->activate();
    } else {
      widget_->deactivate();
    }
  }
  bool Enabled() const override { return widget_->active(); }
  void SetVisible(bool visible) override {
    if (visible) {
      widget_->show();
    } else {
      widget_->hide();
    }
  }
  bool Visible() const override { return widget_->visible(); }
  Fl_Widget* widget() const { return widget_; }

 protected:
  Fl_Widget* widget_ = nullptr;  // set by the constructor of each control
};

class FltkLabel : public FltkControl<Label> {
 public:
  FltkLabel(const std::string& caption, int left, int top, int font_pixels,
            const std::string& font_face);
  void SetCaption(const std::string& caption) override;
  std::string Caption() const override { return caption_; }
  Fl_Box* box() const { return box_; }

 private:
  void FitToText();

  Fl_Box* box_;
  std::string caption_;
};

class FltkButton : public FltkControl<Button> {
 public:
  FltkButton(const std::string& caption, Bounds bounds, ButtonRole role);
  std::string Caption() const override { return caption_; }
  ButtonRole role() const { return role_; }
  Fl_Button* button() const { return button_; }
  // A click: on_click through ui::RunHandler.
  void Press();

 private:
  Fl_Button* button_;
  std::string caption_;
  ButtonRole role_;
};

class FltkCheckBox : public FltkControl<CheckBox> {
 public:
  FltkCheckBox(const std::string& caption, Bounds bounds);
  void SetCaption(const std::string& caption) override;
  std::string Caption() const override { return caption_; }
  void SetChecked(bool checked) override;
  bool Checked() const override;
  Fl_Check_Button* button() const { return button_; }

 private:
  Fl_Check_Button* button_;
  std::string caption_;
};

// A framed box with its caption on the frame, as a Windows group box, holding one radio button per
// item, laid out top to bottom.
class FltkRadioGroup : public FltkControl<RadioGroup> {
 public:
  FltkRadioGroup(const std::string& caption, const std::vector<std::string>& items, Bounds bounds);
  void SetItemIndex(int index) override;
  int ItemIndex() const override;
  const std::vector<Fl_Round_Button*>& buttons() const { return buttons_; }

 private:
  static void ItemCallback(Fl_Widget* widget, void* data);

  std::vector<Fl_Round_Button*> buttons_;
  int reported_index_ = -1;  // the selection the last on_click (or SetItemIndex) saw
};

// A text field with a folder-picker button at its right end.
class FltkDirectoryEdit : public FltkControl<DirectoryEdit> {
 public:
  FltkDirectoryEdit(const std::string& text, Bounds bounds);
  void SetText(const std::string& text) override;
  std::string Text() const override;
  Fl_Input* input() const { return input_; }
  Fl_Button* picker_button() const { return picker_; }
  // What the picker button does: lets the user choose a folder, which becomes the text.
  void PickFolder();
  // What leaving the text field does: a folder typed as Linux names it ("/home/ann/backups")
  // becomes the drive path of the same folder ("C:\backups").
  void TakeTypedPath();

 private:
  Fl_Input* input_;
  Fl_Button* picker_;
};

class FltkProgressBar : public FltkControl<ProgressBar> {
 public:
  explicit FltkProgressBar(Bounds bounds);
  void SetPosition(int position) override;
  int Position() const override { return position_; }
  Fl_Progress* bar() const { return bar_; }

 private:
  Fl_Progress* bar_;
  int position_ = 0;
};

}  // namespace ui::fltk
