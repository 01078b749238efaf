#include "ui/win32/win32_controls.h"

#include <algorithm>

#include "ui/toolkit.h"
#include "ui/win32/win32_api.h"
#include "ui/win32/win32_form.h"

namespace ui::win32 {
namespace {

constexpr int kRadioHeight = 17;
constexpr int kGroupCaptionHeight = 15;  // room the group box's caption takes at its top
constexpr int kGroupInset = 8;

std::string WindowText(HWND window) {
  std::string text(GetWindowTextLengthA(window) + 1, '\0');
  text.resize(GetWindowTextA(window, text.data(), static_cast<int>(text.size())));
  return text;
}

bool HasStyle(HWND window, LONG_PTR style) {
  return (GetWindowLongPtrA(window, GWL_STYLE) & style) != 0;
}

int CALLBACK BrowseCallback(HWND dialog, UINT message, LPARAM, LPARAM data) {
  // Open the dialog on the folder already in the box, when it exists.
  if (message == BFFM_INITIALIZED && data) SendMessageA(dialog, BFFM_SETSELECTIONA, TRUE, data);
  return 0;
}

}  // namespace

// --- Win32Control ---

template <class Interface>
void Win32Control<Interface>::SetEnabled(bool enabled) {
  for (HWND window : windows_) EnableWindow(window, enabled);
}

template <class Interface>
bool Win32Control<Interface>::Enabled() const {
  return !windows_.empty() && IsWindowEnabled(windows_[0]);
}

template <class Interface>
void Win32Control<Interface>::SetVisible(bool visible) {
  for (HWND window : windows_) ShowWindow(window, visible ? SW_SHOWNA : SW_HIDE);
}

template <class Interface>
bool Win32Control<Interface>::Visible() const {
  return !windows_.empty() && HasStyle(windows_[0], WS_VISIBLE);
}

template class Win32Control<Label>;
template class Win32Control<Button>;
template class Win32Control<CheckBox>;
template class Win32Control<RadioGroup>;
template class Win32Control<DirectoryEdit>;
template class Win32Control<ProgressBar>;

// --- Win32Label ---

Win32Label::Win32Label(Win32Form& form, const std::string& caption, int left, int top,
                       int font_pixels, const std::string& font_face)
    : Win32Control(form) {
  windows_.push_back(form.MakeChild("STATIC", caption, SS_LEFTNOWORDWRAP | SS_NOPREFIX, 0,
                                    {left, top, 0, 0}, *this));
  if (font_pixels > 0) {
    // A negative height asks for the character height, without the internal leading.
    own_font_ =
        CreateFontA(-font_pixels, 0, 0, 0, FW_NORMAL, FALSE, FALSE, FALSE, DEFAULT_CHARSET,
                    OUT_DEFAULT_PRECIS, CLIP_DEFAULT_PRECIS, DEFAULT_QUALITY,
                    DEFAULT_PITCH | FF_SWISS, font_face.empty() ? nullptr : font_face.c_str());
    if (own_font_ && windows_[0]) SendMessageA(windows_[0], WM_SETFONT, WPARAM(own_font_), FALSE);
  }
  FitToText();
}

Win32Label::~Win32Label() {
  // The form destroys its windows before its controls, so no label still uses the font.
  if (own_font_) DeleteObject(own_font_);
}

void Win32Label::SetCaption(const std::string& caption) {
  if (!windows_[0]) return;
  SetWindowTextA(windows_[0], caption.c_str());
  FitToText();
}

std::string Win32Label::Caption() const { return windows_[0] ? WindowText(windows_[0]) : ""; }

void Win32Label::FitToText() {
  HWND label = windows_[0];
  if (!label) return;
  const std::string text = WindowText(label);
  HDC context = GetDC(label);
  HGDIOBJ old_font = SelectObject(context, HGDIOBJ(SendMessageA(label, WM_GETFONT, 0, 0)));
  TEXTMETRICA metrics{};
  GetTextMetricsA(context, &metrics);
  RECT bounds{0, 0, 0, 0};
  if (!text.empty()) {
    DrawTextA(context, text.c_str(), static_cast<int>(text.size()), &bounds,
              DT_CALCRECT | DT_SINGLELINE | DT_NOPREFIX);
  }
  SelectObject(context, old_font);
  ReleaseDC(label, context);
  // An empty label keeps a line's height, so that its first text shows without a jump.
  const int height = std::max<int>(bounds.bottom, metrics.tmHeight);
  SetWindowPos(label, nullptr, 0, 0, bounds.right, height,
               SWP_NOMOVE | SWP_NOZORDER | SWP_NOACTIVATE);
}

// --- Win32Button ---

Win32Button::Win32Button(Win32Form& form, const std::string& caption, Bounds bounds,
                         ButtonRole role)
    : Win32Control(form), role_(role) {
  windows_.push_back(
      form.MakeChild("BUTTON", caption, WS_TABSTOP | BS_PUSHBUTTON, 0, bounds, *this));
}

std::string Win32Button::Caption() const { return windows_[0] ? WindowText(windows_[0]) : ""; }

void Win32Button::SetEnabled(bool enabled) {
  Win32Control::SetEnabled(enabled);
  form_.UpdateDefaultButton();
}

void Win32Button::SetVisible(bool visible) {
  Win32Control::SetVisible(visible);
  form_.UpdateDefaultButton();
}

void Win32Button::OnCommand(HWND__*, int code) {
  if (code == BN_CLICKED) Press();
}

void Win32Button::Press() {
  if (Visible() && Enabled()) RunHandler(on_click);
}

// --- Win32CheckBox ---

Win32CheckBox::Win32CheckBox(Win32Form& form, const std::string& caption, Bounds bounds)
    : Win32Control(form) {
  windows_.push_back(
      form.MakeChild("BUTTON", caption, WS_TABSTOP | BS_AUTOCHECKBOX, 0, bounds, *this));
}

void Win32CheckBox::SetCaption(const std::string& caption) {
  if (windows_[0]) SetWindowTextA(windows_[0], caption.c_str());
}

std::string Win32CheckBox::Caption() const { return windows_[0] ? WindowText(windows_[0]) : ""; }

void Win32CheckBox::SetChecked(bool checked) {
  if (windows_[0]) SendMessageA(windows_[0], BM_SETCHECK, checked ? BST_CHECKED : BST_UNCHECKED, 0);
}

bool Win32CheckBox::Checked() const {
  return windows_[0] && SendMessageA(windows_[0], BM_GETCHECK, 0, 0) == BST_CHECKED;
}

void Win32CheckBox::OnCommand(HWND__*, int code) {
  if (code == BN_CLICKED) RunHandler(on_click);  // the box has toggled itself already
}

// --- Win32RadioGroup ---

Win32RadioGroup::Win32RadioGroup(Win32Form& form, const std::string& caption,
                                 const std::vector<std::string>& items, Bounds bounds)
    : Win32Control(form) {
  windows_.push_back(form.MakeChild("BUTTON", caption, BS_GROUPBOX, 0, bounds, *this));
  const int count = static_cast<int>(items.size());
  const int area_top = bounds.top + kGroupCaptionHeight;
  const int area_height = bounds.height - kGroupCaptionHeight - 4;
  for (int i = 0; i < count; ++i) {
    const int slot = area_height / std::max(count, 1);
    const Bounds item{bounds.left + kGroupInset, area_top + i * slot + (slot - kRadioHeight) / 2,
                      bounds.width - 2 * kGroupInset, kRadioHeight};
    // The first button starts the group that auto radio buttons uncheck each other within.
    HWND button = form.MakeChild("BUTTON", items[i], BS_AUTORADIOBUTTON, 0, item, *this);
    if (i > 0 && button) {
      SetWindowLongPtrA(button, GWL_STYLE, GetWindowLongPtrA(button, GWL_STYLE) & ~WS_GROUP);
    }
    buttons_.push_back(button);
    windows_.push_back(button);
  }
  Remember(-1);
}

void Win32RadioGroup::SetItemIndex(int index) {
  for (int i = 0; i < static_cast<int>(buttons_.size()); ++i) {
    if (buttons_[i]) {
      SendMessageA(buttons_[i], BM_SETCHECK, i == index ? BST_CHECKED : BST_UNCHECKED, 0);
    }
  }
  Remember(ItemIndex());
}

void Win32RadioGroup::Remember(int index) {
  last_index_ = index;
  // Tab enters the group at its selected item, as in any dialog.
  for (int i = 0; i < static_cast<int>(buttons_.size()); ++i) {
    if (!buttons_[i]) continue;
    const LONG_PTR style = GetWindowLongPtrA(buttons_[i], GWL_STYLE);
    const bool stop = i == std::max(index, 0);
    SetWindowLongPtrA(buttons_[i], GWL_STYLE, stop ? style | WS_TABSTOP : style & ~WS_TABSTOP);
  }
}

int Win32RadioGroup::ItemIndex() const {
  for (int i = 0; i < static_cast<int>(buttons_.size()); ++i) {
    if (buttons_[i] && SendMessageA(buttons_[i], BM_GETCHECK, 0, 0) == BST_CHECKED) return i;
  }
  return -1;
}

void Win32RadioGroup::OnCommand(HWND__* child, int code) {
  if (code != BN_CLICKED || child == windows_[0]) return;
  // A click on the item already selected selects nothing new.
  const int index = ItemIndex();
  if (index == last_index_) return;
  Remember(index);
  RunHandler(on_click);
}

// --- Win32DirectoryEdit ---

Win32DirectoryEdit::Win32DirectoryEdit(Win32Form& form, const std::string& text, Bounds bounds)
    : Win32Control(form) {
  const int button_width = std::min(kButtonWidth, bounds.width);
  windows_.push_back(
      form.MakeChild("EDIT", text, WS_TABSTOP | ES_AUTOHSCROLL, WS_EX_CLIENTEDGE,
                     {bounds.left, bounds.top, bounds.width - button_width, bounds.height}, *this));
  windows_.push_back(form.MakeChild(
      "BUTTON", "...", WS_TABSTOP | BS_PUSHBUTTON, 0,
      {bounds.left + bounds.width - button_width, bounds.top, button_width, bounds.height}, *this));
}

bool Win32DirectoryEdit::Replace(const std::string& text) {
  if (!Edit() || text == Text()) return false;
  replacing_ = true;  // the edit box reports this change itself, synchronously
  SetWindowTextA(Edit(), text.c_str());
  replacing_ = false;
  return true;
}

void Win32DirectoryEdit::SetText(const std::string& text) {
  if (Replace(text) && on_change) on_change();
}

std::string Win32DirectoryEdit::Text() const { return Edit() ? WindowText(Edit()) : ""; }

void Win32DirectoryEdit::OnCommand(HWND__* child, int code) {
  if (child == Edit() && code == EN_CHANGE && !replacing_) {
    RunHandler(on_change);
  } else if (child == BrowseButton() && code == BN_CLICKED) {
    BrowseForFolder();
  }
}

void Win32DirectoryEdit::BrowseForFolder() {
  // The dialog's new style needs OLE on this thread.
  const HRESULT ole = OleInitialize(nullptr);
  const std::string current = Text();
  char display_name[MAX_PATH] = {};
  BROWSEINFOA info{};
  info.hwndOwner = form_.Handle();
  info.pszDisplayName = display_name;
  info.lpszTitle = "Choose a folder";
  info.ulFlags = BIF_RETURNONLYFSDIRS | BIF_NEWDIALOGSTYLE;
  info.lpfn = BrowseCallback;
  info.lParam = current.empty() ? 0 : reinterpret_cast<LPARAM>(current.c_str());
  PIDLIST_ABSOLUTE chosen = SHBrowseForFolderA(&info);
  std::string path;
  if (chosen) {
    char buffer[MAX_PATH] = {};
    if (SHGetPathFromIDListA(chosen, buffer)) path = buffer;
    CoTaskMemFree(chosen);
  }
  if (SUCCEEDED(ole)) OleUninitialize();
  if (path.empty()) return;  // cancelled, or not a folder of the file system
  if (path.back() != '\\') path += '\\';
  if (Replace(path)) RunHandler(on_change);
}

// --- Win32ProgressBar ---

Win32ProgressBar::Win32ProgressBar(Win32Form& form, Bounds bounds) : Win32Control(form) {
  windows_.push_back(form.MakeChild(PROGRESS_CLASSA, "", 0, 0, bounds, *this));
  if (windows_[0]) SendMessageA(windows_[0], PBM_SETRANGE32, 0, 100);
}

void Win32ProgressBar::SetPosition(int position) {
  if (windows_[0]) SendMessageA(windows_[0], PBM_SETPOS, std::clamp(position, 0, 100), 0);
}

int Win32ProgressBar::Position() const {
  return windows_[0] ? static_cast<int>(SendMessageA(windows_[0], PBM_GETPOS, 0, 0)) : 0;
}

}  // namespace ui::win32
