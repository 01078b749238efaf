#include "ui/win32/win32_form.h"

#include "ui/toolkit.h"
#include "ui/win32/win32_api.h"
#include "ui/win32/win32_toolkit.h"

namespace ui::win32 {
namespace {

constexpr DWORD kStyle = WS_OVERLAPPED | WS_CAPTION | WS_SYSMENU | WS_MINIMIZEBOX;

LRESULT CALLBACK FormWindowProc(HWND window, UINT message, WPARAM wparam, LPARAM lparam) {
  if (message == WM_NCCREATE) {
    auto* create = reinterpret_cast<CREATESTRUCTA*>(lparam);
    SetWindowLongPtrA(window, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(create->lpCreateParams));
  }
  auto* form = reinterpret_cast<Win32Form*>(GetWindowLongPtrA(window, GWLP_USERDATA));
  if (form && form->Handle() == window) return form->HandleMessage(message, wparam, lparam);
  return DefWindowProcA(window, message, wparam, lparam);
}

bool RegisterFormClass() {
  static const bool registered = [] {
    WNDCLASSEXA window_class{};
    window_class.cbSize = sizeof(window_class);
    window_class.lpfnWndProc = FormWindowProc;
    window_class.hInstance = GetModuleHandleA(nullptr);
    // The program's own icon (the first of ridideduvure.rc); the test programs have none.
    window_class.hIcon = LoadIconA(window_class.hInstance, MAKEINTRESOURCEA(1));
    if (!window_class.hIcon) {
      window_class.hIcon = LoadIconA(nullptr, reinterpret_cast<LPCSTR>(IDI_APPLICATION));
    }
    window_class.hCursor = LoadCursorA(nullptr, reinterpret_cast<LPCSTR>(IDC_ARROW));
    window_class.hbrBackground = reinterpret_cast<HBRUSH>(COLOR_BTNFACE + 1);
    window_class.lpszClassName = Win32Form::kClassName;
    return RegisterClassExA(&window_class) != 0;
  }();
  return registered;
}

RECT WorkAreaRect() {
  RECT area{};
  if (!SystemParametersInfoA(SPI_GETWORKAREA, 0, &area, 0)) {
    area = {0, 0, GetSystemMetrics(SM_CXSCREEN), GetSystemMetrics(SM_CYSCREEN)};
  }
  return area;
}

}  // namespace

Win32Form::Win32Form(const std::string& caption, int width, int height) {
  if (!RegisterFormClass()) return;
  const RECT area = WorkAreaRect();
  const int left = area.left + (area.right - area.left - width) / 2;
  const int top = area.top + (area.bottom - area.top - height) / 2;
  // The creation messages go to the default procedure: the form knows its window only after.
  window_ = CreateWindowExA(WS_EX_CONTROLPARENT, kClassName, caption.c_str(), kStyle, left, top,
                            width, height, nullptr, nullptr, GetModuleHandleA(nullptr), this);
}

Win32Form::~Win32Form() {
  if (window_ && IsWindow(window_)) {
    // No message of the window's destruction may reach a form that is half gone.
    SetWindowLongPtrA(window_, GWLP_USERDATA, 0);
    DestroyWindow(window_);
  }
}

template <class Control, class... Args>
Control& Win32Form::Own(Args&&... args) {
  auto control = std::make_unique<Control>(*this, std::forward<Args>(args)...);
  Control& result = *control;
  controls_.push_back(std::move(control));
  return result;
}

RadioGroup& Win32Form::AddRadioGroup(const std::string&, const std::string& caption,
                                     const std::vector<std::string>& items, Bounds bounds) {
  return Own<Win32RadioGroup>(caption, items, bounds);
}

CheckBox& Win32Form::AddCheckBox(const std::string&, const std::string& caption, Bounds bounds) {
  return Own<Win32CheckBox>(caption, bounds);
}

Label& Win32Form::AddLabel(const std::string&, const std::string& caption, int left, int top,
                           int font_pixels, const std::string& font_face) {
  return Own<Win32Label>(caption, left, top, font_pixels, font_face);
}

DirectoryEdit& Win32Form::AddDirectoryEdit(const std::string&, const std::string& text,
                                           Bounds bounds) {
  return Own<Win32DirectoryEdit>(text, bounds);
}

Button& Win32Form::AddButton(const std::string&, const std::string& caption, Bounds bounds,
                             ButtonRole role) {
  Win32Button& button = Own<Win32Button>(caption, bounds, role);
  buttons_.push_back(&button);
  UpdateDefaultButton();
  return button;
}

ProgressBar& Win32Form::AddProgressBar(const std::string&, Bounds bounds) {
  return Own<Win32ProgressBar>(bounds);
}

std::string Win32Form::Caption() const {
  if (!window_) return "";
  std::string text(GetWindowTextLengthA(window_) + 1, '\0');
  text.resize(GetWindowTextA(window_, text.data(), static_cast<int>(text.size())));
  return text;
}

void Win32Form::Show() {
  if (!window_ || closed_) return;
  ShowWindow(window_, SW_SHOW);
  SetForegroundWindow(window_);
  UpdateWindow(window_);
  if (shown_once_) return;
  shown_once_ = true;
  if (HWND first = GetNextDlgTabItem(window_, nullptr, FALSE)) SetFocus(first);
  RunHandler(on_show);
}

void Win32Form::Close() {
  if (closed_) return;
  closed_ = true;
  RunHandler(on_close);
  if (!window_) return;
  ShowWindow(window_, SW_HIDE);
}

HWND__* Win32Form::MakeChild(const char* window_class, const std::string& text, unsigned long style,
                             unsigned long ex_style, Bounds bounds, CommandTarget& target) {
  if (!window_) return nullptr;
  const int id = next_id_++;
  HWND child = CreateWindowExA(
      ex_style, window_class, text.c_str(), WS_CHILD | WS_VISIBLE | WS_GROUP | style, bounds.left,
      bounds.top, bounds.width, bounds.height, window_,
      reinterpret_cast<HMENU>(static_cast<INT_PTR>(id)), GetModuleHandleA(nullptr), nullptr);
  if (!child) return nullptr;
  SendMessageA(child, WM_SETFONT, WPARAM(GetStockObject(DEFAULT_GUI_FONT)), FALSE);
  targets_[id] = &target;
  return child;
}

Win32Button* Win32Form::DefaultButton() const {
  // A focused push button is what Enter presses, as in any dialog.
  const HWND focus = GetFocus();
  for (Win32Button* button : buttons_) {
    if (button->Windows()[0] && button->Windows()[0] == focus) return button;
  }
  for (Win32Button* button : buttons_) {
    if (button->Role() == ButtonRole::kOk && button->Visible() && button->Enabled()) return button;
  }
  return nullptr;
}

void Win32Form::UpdateDefaultButton() {
  const Win32Button* chosen = DefaultButton();
  for (Win32Button* button : buttons_) {
    HWND window = button->Windows()[0];
    if (!window) continue;
    const LONG_PTR kind = GetWindowLongPtrA(window, GWL_STYLE) & BS_TYPEMASK;
    const LONG_PTR wanted = button == chosen ? BS_DEFPUSHBUTTON : BS_PUSHBUTTON;
    if (kind != wanted) SendMessageA(window, BM_SETSTYLE, wanted, TRUE);
  }
}

std::intptr_t Win32Form::HandleMessage(unsigned message, std::uintptr_t wparam,
                                       std::intptr_t lparam) {
  switch (message) {
    case WM_COMMAND: {
      const int id = LOWORD(wparam);
      const int code = HIWORD(wparam);
      if (id == IDCANCEL) {
        // Escape, through the dialog keys: nothing. Exit is a button to click, not a key that
        // ends the program (and a run in it) by a slip of the finger.
      } else if (id == IDOK) {  // Enter, when no button was named by DM_GETDEFID
        if (Win32Button* button = DefaultButton()) button->Press();
      } else if (auto target = targets_.find(id); target != targets_.end()) {
        target->second->OnCommand(reinterpret_cast<HWND>(lparam), code);
      }
      return 0;
    }
    case DM_GETDEFID: {
      UpdateDefaultButton();
      const Win32Button* button = DefaultButton();
      if (!button || !button->Windows()[0]) return 0;
      return MAKELRESULT(GetDlgCtrlID(button->Windows()[0]), DC_HASDEFID);
    }
    case WM_ACTIVATE:
      // Keyboard focus leaves with the activation and comes back to the same control.
      if (LOWORD(wparam) == WA_INACTIVE) {
        const HWND focus = GetFocus();
        if (focus && IsChild(window_, focus)) last_focus_ = focus;
      } else if (last_focus_ && IsWindow(last_focus_) && IsWindowVisible(last_focus_) &&
                 IsWindowEnabled(last_focus_)) {
        SetFocus(last_focus_);
      } else if (HWND first = GetNextDlgTabItem(window_, nullptr, FALSE)) {
        SetFocus(first);
      }
      return 0;
    case WM_SETCURSOR:
      // Children pass this up first, so the hourglass covers every control while busy.
      if (BusyCursorShown()) {
        SetCursor(LoadCursorA(nullptr, reinterpret_cast<LPCSTR>(IDC_WAIT)));
        return TRUE;
      }
      break;
    case WM_CLOSE:  // the close box is Close(): on_close runs and the loop ends
      Close();
      return 0;
    case WM_DESTROY:  // destroyed by other code than the form's own end: a closing all the same
      Close();
      break;
    default:
      break;
  }
  return DefWindowProcA(window_, message, wparam, lparam);
}

}  // namespace ui::win32
