#include "ui/fltk/fltk_dialogs.h"

#include <FL/Fl.H>
#include <FL/Fl_Box.H>
#include <FL/Fl_Button.H>
#include <FL/Fl_Input.H>
#include <FL/fl_draw.H>

#include <algorithm>
#include <optional>
#include <vector>

#include "ui/fltk/fltk_window.h"
#include "ui/toolkit.h"

namespace ui::fltk {
namespace {

constexpr int kMargin = 12;
constexpr int kButtonWidth = 80;
constexpr int kButtonHeight = 25;
constexpr int kButtonGap = 8;
constexpr int kIconSize = 36;
constexpr int kTextSize = 13;
constexpr int kMaxTextWidth = 560;  // longer lines wrap

struct Choice {
  const char* caption;
  int answer;
};

std::vector<Choice> ChoicesFor(unsigned flags) {
  switch (flags & 0xF) {
    case kMbOkCancel:
      return {{kOkCaption, kIdOk}, {kCancelCaption, kIdCancel}};
    case kMbYesNoCancel:
      return {{kYesCaption, kIdYes}, {kNoCaption, kIdNo}, {kCancelCaption, kIdCancel}};
    case kMbYesNo:
      return {{kYesCaption, kIdYes}, {kNoCaption, kIdNo}};
    default:  // kMbOk, and styles this program never asks for
      return {{kOkCaption, kIdOk}};
  }
}

// What Escape and the close box answer, as in a Windows box: Cancel when there is one, OK when it
// is the only button, and nothing for Yes/No, which wants a real choice.
std::optional<int> EscapeAnswer(const std::vector<Choice>& choices) {
  for (const Choice& choice : choices) {
    if (choice.answer == kIdCancel) return kIdCancel;
  }
  if (choices.size() == 1) return choices.front().answer;
  return std::nullopt;
}

// FLTK's own look for the four Windows icons: a round badge with a letter.
void AddIcon(unsigned flags, int left, int top) {
  const char* letter = nullptr;
  Fl_Color face = FL_BLUE;
  Fl_Color ink = FL_WHITE;
  switch (flags & 0xF0) {
    case kMbIconHand:
      letter = "X";
      face = FL_RED;
      break;
    case kMbIconQuestion:
      letter = "?";
      break;
    case kMbIconExclamation:
      letter = "!";
      face = FL_YELLOW;
      ink = FL_BLACK;
      break;
    case kMbIconInformation:
      letter = "i";
      break;
    default:
      return;
  }
  auto* icon = new Fl_Box(FL_OVAL_BOX, left, top, kIconSize, kIconSize, letter);
  icon->color(face);
  icon->labelcolor(ink);
  icon->labelfont(FL_HELVETICA_BOLD);
  icon->labelsize(24);
}

// Width and height the text needs, and whether its long lines had to wrap.
bool MeasureText(const std::string& text, int* width, int* height) {
  fl_font(FL_HELVETICA, kTextSize);
  int w = 0, h = 0;
  fl_measure(text.c_str(), w, h, 0);
  const bool wraps = w > kMaxTextWidth;
  if (wraps) {
    w = kMaxTextWidth;
    h = 0;
    fl_measure(text.c_str(), w, h, 0);
  }
  *width = w + 4;  // slack, so that drawing never wraps a line the measure kept whole
  *height = std::max(h, kTextSize + 4);
  return wraps;
}

// What a button of the box answers, and where the answer goes.
struct Press {
  int* answer;
  int value;
};

void PressCallback(Fl_Widget*, void* data) {
  const auto* press = static_cast<Press*>(data);
  *press->answer = press->value;
}

}  // namespace

int RunMessageBox(const std::string& text, const std::string& caption, unsigned flags) {
  const std::vector<Choice> choices = ChoicesFor(flags);
  size_t default_index = (flags & kMbDefButton3) ? 2 : (flags & kMbDefButton2) ? 1 : 0;
  if (default_index >= choices.size()) default_index = 0;  // as Windows does

  const bool has_icon = (flags & 0xF0) >= kMbIconHand && (flags & 0xF0) <= kMbIconInformation;
  const std::string label = EscapeLabel(text);
  int text_width = 0, text_height = 0;
  const bool wraps = MeasureText(label, &text_width, &text_height);
  const int text_left = kMargin + (has_icon ? kIconSize + kMargin : 0);
  const int buttons_width =
      static_cast<int>(choices.size()) * (kButtonWidth + kButtonGap) - kButtonGap;
  const int width = std::max({text_left + text_width + kMargin, buttons_width + 2 * kMargin, 220});
  const int body_height = std::max(text_height, has_icon ? kIconSize : 0);
  const int button_top = kMargin + body_height + kMargin + 4;
  const int height = button_top + kButtonHeight + kMargin;

  int answer = 0;
  KeyedWindow window(width, height, caption);
  RaiseEdge(window);
  if (has_icon) AddIcon(flags, kMargin, kMargin);
  auto* body = new Fl_Box(text_left, kMargin + std::max(0, (body_height - text_height) / 2),
                          text_width, text_height);
  body->copy_label(label.c_str());
  body->labelsize(kTextSize);
  body->align(FL_ALIGN_LEFT | FL_ALIGN_TOP | FL_ALIGN_INSIDE | (wraps ? FL_ALIGN_WRAP : 0));
  int button_left = (width - buttons_width) / 2;  // centred, as Windows places them
  Fl_Button* default_button = nullptr;
  std::vector<Press> presses(choices.size());
  for (size_t i = 0; i < choices.size(); ++i) {
    auto* button =
        new Fl_Button(button_left, button_top, kButtonWidth, kButtonHeight, choices[i].caption);
    button->labelsize(kFontSize);
    presses[i] = {&answer, choices[i].answer};
    button->callback(&PressCallback, &presses[i]);
    if (i == default_index) default_button = button;
    button_left += kButtonWidth + kButtonGap;
  }
  window.end();
  window.on_enter = [&] { answer = choices[default_index].answer; };
  const std::optional<int> escape = EscapeAnswer(choices);
  // Without an answer for them the keys and the close box are taken and do nothing, so the box
  // stays until a button is pressed.
  window.on_escape = [&] {
    if (escape) answer = *escape;
  };
  CentreOnWorkArea(window);

  RunModal(
      window,
      [&] {
        if (default_button) default_button->take_focus();
      },
      [&] { return answer != 0; });
  // Hidden by other code, with no button pressed: what Escape answers, else No.
  if (answer == 0) answer = escape.value_or(kIdNo);
  return answer;
}

std::optional<std::string> RunInputBox(const std::string& caption, const std::string& prompt,
                                       const std::string& default_text) {
  constexpr int kWidth = 380;
  constexpr int kInputHeight = 24;
  const int inner_width = kWidth - 2 * kMargin;
  const std::string label = EscapeLabel(prompt);
  fl_font(FL_HELVETICA, kTextSize);
  int prompt_width = inner_width, prompt_height = 0;
  fl_measure(label.c_str(), prompt_width, prompt_height, 0);
  prompt_height = std::max(prompt_height, kTextSize + 4);
  const int input_top = kMargin + prompt_height + 6;
  const int button_top = input_top + kInputHeight + 14;
  const int height = button_top + kButtonHeight + kMargin;

  enum class Outcome { kPending, kOk, kCancel } outcome = Outcome::kPending;
  KeyedWindow window(kWidth, height, caption);
  RaiseEdge(window);
  auto* text = new Fl_Box(kMargin, kMargin, inner_width, prompt_height);
  text->copy_label(label.c_str());
  text->labelsize(kTextSize);
  text->align(FL_ALIGN_LEFT | FL_ALIGN_TOP | FL_ALIGN_INSIDE | FL_ALIGN_WRAP);
  auto* input = new Fl_Input(kMargin, input_top, inner_width, kInputHeight);
  input->textsize(kTextSize);
  input->value(default_text.c_str());
  const int cancel_left = kWidth - kMargin - kButtonWidth;
  auto* ok = new Fl_Button(cancel_left - kButtonGap - kButtonWidth, button_top, kButtonWidth,
                           kButtonHeight, kOkCaption);
  auto* cancel =
      new Fl_Button(cancel_left, button_top, kButtonWidth, kButtonHeight, kCancelCaption);
  for (Fl_Button* button : {ok, cancel}) button->labelsize(kFontSize);
  ok->callback([](Fl_Widget*, void* data) { *static_cast<Outcome*>(data) = Outcome::kOk; },
               &outcome);
  cancel->callback([](Fl_Widget*, void* data) { *static_cast<Outcome*>(data) = Outcome::kCancel; },
                   &outcome);
  window.end();
  window.on_enter = [&] { outcome = Outcome::kOk; };
  window.on_escape = [&] { outcome = Outcome::kCancel; };
  CentreOnWorkArea(window);

  RunModal(
      window,
      [&] {
        input->take_focus();
        input->position(input->size(), 0);  // all selected: typing replaces the default
      },
      [&] { return outcome != Outcome::kPending; });
  if (outcome != Outcome::kOk) return std::nullopt;
  return std::string(input->value());
}

}  // namespace ui::fltk
