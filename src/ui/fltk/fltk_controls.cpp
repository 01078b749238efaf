#include "ui/fltk/fltk_controls.h"

#include <FL/Fl.H>
#include <FL/Fl_Box.H>
#include <FL/Fl_Button.H>
#include <FL/Fl_Check_Button.H>
#include <FL/Fl_Group.H>
#include <FL/Fl_Input.H>
#include <FL/Fl_Progress.H>
#include <FL/Fl_Round_Button.H>
#include <FL/fl_draw.H>

#include <algorithm>

#include "base/text.h"
#include "platform/platform.h"
#include "ui/fltk/fltk_folder_picker.h"
#include "ui/fltk/fltk_window.h"
#include "ui/toolkit.h"

namespace ui::fltk {
namespace {

// FLTK has three faces of its own; a Windows face name picks the nearest.
Fl_Font FontForFace(const std::string& face) {
  const std::string name = base::UpperText(face);
  if (name.rfind("COURIER", 0) == 0 || name == "LUCIDA CONSOLE") return FL_COURIER;
  if (name.rfind("TIMES", 0) == 0 || name == "GEORGIA") return FL_TIMES;
  return FL_HELVETICA;  // Arial, MS Sans Serif, Tahoma and the rest
}

}  // namespace

FltkLabel::FltkLabel(const std::string& caption, int left, int top, int font_pixels,
                     const std::string& font_face)
    : box_(new Fl_Box(left, top, 0, 0)), caption_(caption) {
  widget_ = box_;
  box_->labelfont(FontForFace(font_face));
  box_->labelsize(font_pixels > 0 ? font_pixels : kFontSize);
  box_->align(FL_ALIGN_LEFT | FL_ALIGN_INSIDE);
  box_->copy_label(EscapeLabel(caption).c_str());
  FitToText();
}

void FltkLabel::SetCaption(const std::string& caption) {
  if (caption == caption_) return;
  caption_ = caption;
  box_->redraw_label();  // the old text's area
  box_->copy_label(EscapeLabel(caption).c_str());
  FitToText();
  box_->redraw_label();
}

void FltkLabel::FitToText() {
  fl_font(box_->labelfont(), box_->labelsize());
  int width = 0, height = 0;
  box_->measure_label(width, height);
  box_->size(width + 2, std::max(height, fl_height()));
}

FltkButton::FltkButton(const std::string& caption, Bounds bounds, ButtonRole role)
    : button_(new Fl_Button(bounds.left, bounds.top, bounds.width, bounds.height)),
      caption_(caption),
      role_(role) {
  widget_ = button_;
  button_->copy_label(EscapeLabel(caption).c_str());
  button_->labelsize(kFontSize);
  button_->callback([](Fl_Widget*, void* data) { static_cast<FltkButton*>(data)->Press(); }, this);
}

void FltkButton::Press() { RunHandler(on_click); }

FltkCheckBox::FltkCheckBox(const std::string& caption, Bounds bounds)
    : button_(new Fl_Check_Button(bounds.left, bounds.top, bounds.width, bounds.height)),
      caption_(caption) {
  widget_ = button_;
  button_->copy_label(EscapeLabel(caption).c_str());
  button_->labelsize(kFontSize);
  button_->callback(
      [](Fl_Widget*, void* data) { RunHandler(static_cast<FltkCheckBox*>(data)->on_click); }, this);
}

void FltkCheckBox::SetCaption(const std::string& caption) {
  caption_ = caption;
  button_->copy_label(EscapeLabel(caption).c_str());
  button_->redraw();
}

void FltkCheckBox::SetChecked(bool checked) { button_->value(checked ? 1 : 0); }

bool FltkCheckBox::Checked() const { return button_->value() != 0; }

FltkRadioGroup::FltkRadioGroup(const std::string& caption, const std::vector<std::string>& items,
                               Bounds bounds) {
  auto* group = new Fl_Group(bounds.left, bounds.top, bounds.width, bounds.height);
  widget_ = group;
  const std::string label = EscapeLabel(caption);
  fl_font(FL_HELVETICA, kFontSize);
  const int caption_height = fl_height();
  // The frame runs through the middle of the caption, which sits on it at the left.
  new Fl_Box(FL_ENGRAVED_FRAME, bounds.left, bounds.top + caption_height / 2, bounds.width,
             bounds.height - caption_height / 2, nullptr);
  int caption_width = 0, unused = 0;
  fl_measure(label.c_str(), caption_width, unused, 0);
  auto* title = new Fl_Box(FL_FLAT_BOX, bounds.left + 8, bounds.top,
                           std::min(caption_width + 4, bounds.width - 16), caption_height, nullptr);
  title->copy_label(label.c_str());
  title->labelsize(kFontSize);
  title->align(FL_ALIGN_CENTER | FL_ALIGN_INSIDE | FL_ALIGN_CLIP);
  // Items share the room below the caption evenly, as a Windows radio group lays them out.
  const int top_margin = caption_height + 1;
  const int count = std::max<int>(1, static_cast<int>(items.size()));
  const int item_height = std::max(kFontSize + 4, (bounds.height - top_margin - 5) / count);
  for (size_t i = 0; i < items.size(); ++i) {
    auto* button = new Fl_Round_Button(bounds.left + 8,
                                       bounds.top + top_margin + static_cast<int>(i) * item_height,
                                       bounds.width - 12, item_height);
    button->type(FL_RADIO_BUTTON);
    button->copy_label(EscapeLabel(items[i]).c_str());
    button->labelsize(kFontSize);
    button->callback(&FltkRadioGroup::ItemCallback, this);
    buttons_.push_back(button);
  }
  group->end();
}

void FltkRadioGroup::SetItemIndex(int index) {
  for (size_t i = 0; i < buttons_.size(); ++i) {
    buttons_[i]->value(static_cast<int>(i) == index ? 1 : 0);
  }
  reported_index_ = ItemIndex();
}

int FltkRadioGroup::ItemIndex() const {
  for (size_t i = 0; i < buttons_.size(); ++i) {
    if (buttons_[i]->value()) return static_cast<int>(i);
  }
  return -1;
}

void FltkRadioGroup::ItemCallback(Fl_Widget*, void* data) {
  auto* group = static_cast<FltkRadioGroup*>(data);
  const int index = group->ItemIndex();
  if (index == group->reported_index_) return;  // the selected item clicked again
  group->reported_index_ = index;
  RunHandler(group->on_click);
}

namespace {

// The text field of a folder box, which hands over to the box when the user leaves it: a folder
// typed as Linux names it is then shown as the drive path of the same folder.
class FolderInput : public Fl_Input {
 public:
  FolderInput(int left, int top, int width, int height, FltkDirectoryEdit* edit)
      : Fl_Input(left, top, width, height), edit_(edit) {}

  int handle(int event) override {
    const int handled = Fl_Input::handle(event);
    if (event == FL_UNFOCUS) RunHandler([this] { edit_->TakeTypedPath(); });
    return handled;
  }

 private:
  FltkDirectoryEdit* edit_;
};

}  // namespace

FltkDirectoryEdit::FltkDirectoryEdit(const std::string& text, Bounds bounds) {
  auto* group = new Fl_Group(bounds.left, bounds.top, bounds.width, bounds.height);
  widget_ = group;
  const int button_width = std::min(bounds.height, bounds.width / 2);
  input_ =
      new FolderInput(bounds.left, bounds.top, bounds.width - button_width, bounds.height, this);
  input_->textsize(kFontSize);
  input_->value(text.c_str());
  input_->when(FL_WHEN_CHANGED);  // every keystroke that changes the text
  input_->callback(
      [](Fl_Widget*, void* data) { RunHandler(static_cast<FltkDirectoryEdit*>(data)->on_change); },
      this);
  picker_ = new Fl_Button(bounds.left + bounds.width - button_width, bounds.top, button_width,
                          bounds.height, "...");
  picker_->labelsize(kFontSize);
  picker_->tooltip("Choose a folder");
  picker_->callback(
      [](Fl_Widget*, void* data) {
        auto* edit = static_cast<FltkDirectoryEdit*>(data);
        RunHandler([edit] { edit->PickFolder(); });
      },
      this);
  group->end();
  group->resizable(input_);
}

void FltkDirectoryEdit::SetText(const std::string& text) {
  if (text == Text()) return;
  input_->value(text.c_str());
  if (on_change) on_change();
}

std::string FltkDirectoryEdit::Text() const { return input_->value(); }

void FltkDirectoryEdit::TakeTypedPath() {
  const std::string drive_path = platform::DrivePathOfTypedPath(Text());
  if (drive_path != Text()) SetText(drive_path);
}

void FltkDirectoryEdit::PickFolder() {
  const std::optional<std::string> folder = RunFolderPicker(Text());
  if (folder) SetText(*folder);
}

FltkProgressBar::FltkProgressBar(Bounds bounds)
    : bar_(new Fl_Progress(bounds.left, bounds.top, bounds.width, bounds.height)) {
  widget_ = bar_;
  bar_->minimum(0);
  bar_->maximum(100);
  bar_->value(0);
  bar_->selection_color(fl_rgb_color(40, 90, 200));
}

void FltkProgressBar::SetPosition(int position) {
  position_ = std::clamp(position, 0, 100);
  bar_->value(static_cast<float>(position_));
}

}  // namespace ui::fltk
