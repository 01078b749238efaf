#include "zip/progress_form.h"

#include "zip/tzip.h"

namespace zip {
namespace {

constexpr int kLabelTop = 15;
constexpr int kBarLeft = 10;
constexpr int kBarTop = 35;
constexpr int kBarWidth = 280;
constexpr int kButtonTop = 60;

// Left of a control of the given width centred in the client area. Integer division truncates
// toward zero, which is the rounding the layout has always used.
int CentredLeft(int width) { return (TProgressForm::kClientWidth - width) / 2; }

}  // namespace

TProgressForm::TProgressForm(TZip& component)
    : component_(component),
      view_(ui::CurrentToolkit().CreateProgressView(kClientWidth, kClientHeight)) {
  view_->SetCaption(ProgressCaption);
  view_->SetLabel("wait ...", CentredLeft(label_width_), kLabelTop, label_width_);
  view_->SetBar(kBarLeft, kBarTop, kBarWidth);
  view_->SetButton("&Cancel", CentredLeft(view_->StandardButtonWidth()), kButtonTop, true);
  view_->on_button = [this] {
    component_.Cancelled = true;
    view_->Hide();
  };
  PlaceWindow();
}

TProgressForm::~TProgressForm() = default;

void TProgressForm::PlaceWindow() {
  ui::Toolkit& toolkit = ui::CurrentToolkit();
  const ui::Rect frame = view_->Frame();
  // Over the main window when there is one; otherwise in the middle of the desktop, clear of
  // the task bar.
  const ui::Rect area = toolkit.MainWindowFrame().value_or(toolkit.WorkArea());
  view_->MoveTo(area.left + (area.width - frame.width) / 2,
                area.top + (area.height - frame.height) / 2);
}

void TProgressForm::SetMaximum(int maximum) { view_->SetBarMaximum(maximum); }

void TProgressForm::SetPosition(int position) { view_->SetBarPosition(position); }

void TProgressForm::SetFileText(const std::string& text) {
  view_->SetLabel(text, CentredLeft(label_width_), kLabelTop, label_width_);
}

void TProgressForm::Show() { view_->Show(); }

void TProgressForm::Hide() { view_->Hide(); }

bool TProgressForm::Visible() const { return view_->Visible(); }

}  // namespace zip
