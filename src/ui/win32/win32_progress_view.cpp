#include "ui/win32/win32_progress_view.h"

#include "ui/win32/win32_toolkit.h"

#ifndef WIN32_LEAN_AND_MEAN
#define WIN32_LEAN_AND_MEAN
#endif
#ifndef NOMINMAX
#define NOMINMAX
#endif
#include <windows.h>
// After windows.h, which it needs.
#include <commctrl.h>

namespace ui::win32 {
namespace {

constexpr int kButtonWidth = 75;
constexpr int kButtonHeight = 25;
constexpr int kLabelHeight = 16;
constexpr int kBarHeight = 16;

constexpr DWORD kStyle = WS_POPUP | WS_CAPTION | WS_SYSMENU;  // no minimise or maximise box
constexpr DWORD kExStyle = WS_EX_DLGMODALFRAME | WS_EX_TOPMOST;

LRESULT CALLBACK ProgressWindowProc(HWND window, UINT message, WPARAM wparam, LPARAM lparam) {
  if (message == WM_NCCREATE) {
    auto* create = reinterpret_cast<CREATESTRUCTA*>(lparam);
    SetWindowLongPtrA(window, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(create->lpCreateParams));
  }
  auto* view = reinterpret_cast<Win32ProgressView*>(GetWindowLongPtrA(window, GWLP_USERDATA));
  switch (message) {
    case WM_COMMAND:
      if (LOWORD(wparam) == Win32ProgressView::kButtonId && HIWORD(wparam) == BN_CLICKED && view) {
        view->PressButton();
        return 0;
      }
      if (LOWORD(wparam) == IDCANCEL && view) {  // Escape, through the dialog keys: Cancel
        view->PressButton();
        return 0;
      }
      break;
    case DM_GETDEFID:  // lets Enter press the button while the pump routes dialog keys here
      return MAKELRESULT(Win32ProgressView::kButtonId, DC_HASDEFID);
    case WM_SETCURSOR:  // the hourglass of a busy program covers this window too
      if (BusyCursorShown()) {
        SetCursor(LoadCursorA(nullptr, reinterpret_cast<LPCSTR>(IDC_WAIT)));
        return TRUE;
      }
      break;
    case WM_CLOSE:  // the close box only hides, as for any form; Cancel is the way to stop
      ShowWindow(window, SW_HIDE);
      return 0;
    default:
      break;
  }
  return DefWindowProcA(window, message, wparam, lparam);
}

void RegisterProgressClass() {
  static const bool registered = [] {
    INITCOMMONCONTROLSEX controls{sizeof(controls), ICC_PROGRESS_CLASS};
    InitCommonControlsEx(&controls);
    WNDCLASSEXA window_class{};
    window_class.cbSize = sizeof(window_class);
    window_class.lpfnWndProc = ProgressWindowProc;
    window_class.hInstance = GetModuleHandleA(nullptr);
    window_class.hCursor = LoadCursorA(nullptr, reinterpret_cast<LPCSTR>(IDC_ARROW));
    window_class.hbrBackground = reinterpret_cast<HBRUSH>(COLOR_BTNFACE + 1);
    window_class.lpszClassName = Win32ProgressView::kClassName;
    return RegisterClassExA(&window_class) != 0;
  }();
  (void)registered;  // a failure shows as a window that cannot be created
}

HWND MakeChild(HWND parent, const char* window_class, DWORD style, int id) {
  HWND child = CreateWindowExA(0, window_class, "", WS_CHILD | WS_VISIBLE | style, 0, 0, 0, 0,
                               parent, reinterpret_cast<HMENU>(static_cast<INT_PTR>(id)),
                               GetModuleHandleA(nullptr), nullptr);
  if (child) SendMessageA(child, WM_SETFONT, WPARAM(GetStockObject(DEFAULT_GUI_FONT)), FALSE);
  return child;
}

}  // namespace

Win32ProgressView::Win32ProgressView(int client_width, int client_height) {
  RegisterProgressClass();
  RECT bounds{0, 0, client_width, client_height};
  AdjustWindowRectEx(&bounds, kStyle, FALSE, kExStyle);
  window_ = CreateWindowExA(kExStyle, kClassName, "", kStyle, CW_USEDEFAULT, CW_USEDEFAULT,
                            bounds.right - bounds.left, bounds.bottom - bounds.top, nullptr,
                            nullptr, GetModuleHandleA(nullptr), this);
  if (!window_) return;
  label_ = MakeChild(window_, "STATIC", SS_LEFTNOWORDWRAP | SS_NOPREFIX, kLabelId);
  bar_ = MakeChild(window_, PROGRESS_CLASSA, 0, kBarId);
  button_ = MakeChild(window_, "BUTTON", WS_TABSTOP | BS_PUSHBUTTON, kButtonId);
}

Win32ProgressView::~Win32ProgressView() {
  if (window_) DestroyWindow(window_);
}

int Win32ProgressView::StandardButtonWidth() const { return kButtonWidth; }

void Win32ProgressView::SetCaption(const std::string& caption) {
  if (window_) SetWindowTextA(window_, caption.c_str());
}

void Win32ProgressView::SetLabel(const std::string& text, int left, int top, int width) {
  if (!label_) return;
  SetWindowTextA(label_, text.c_str());
  SetWindowPos(label_, nullptr, left, top, width, kLabelHeight, SWP_NOZORDER | SWP_NOACTIVATE);
}

void Win32ProgressView::SetBar(int left, int top, int width) {
  if (bar_) {
    SetWindowPos(bar_, nullptr, left, top, width, kBarHeight, SWP_NOZORDER | SWP_NOACTIVATE);
  }
}

void Win32ProgressView::SetBarMaximum(int maximum) {
  if (bar_) SendMessageA(bar_, PBM_SETRANGE32, 0, maximum);
}

void Win32ProgressView::SetBarPosition(int position) {
  if (bar_) SendMessageA(bar_, PBM_SETPOS, position, 0);
}

void Win32ProgressView::SetButton(const std::string& caption, int left, int top, bool is_default) {
  if (!button_) return;
  SetWindowTextA(button_, caption.c_str());
  SendMessageA(button_, BM_SETSTYLE, is_default ? BS_DEFPUSHBUTTON : BS_PUSHBUTTON, TRUE);
  SetWindowPos(button_, nullptr, left, top, kButtonWidth, kButtonHeight,
               SWP_NOZORDER | SWP_NOACTIVATE);
}

Rect Win32ProgressView::Frame() const {
  RECT bounds{};
  if (window_) GetWindowRect(window_, &bounds);
  return {bounds.left, bounds.top, bounds.right - bounds.left, bounds.bottom - bounds.top};
}

void Win32ProgressView::MoveTo(int left, int top) {
  if (window_) {
    SetWindowPos(window_, nullptr, left, top, 0, 0,
                 SWP_NOSIZE | SWP_NOZORDER | SWP_NOREDRAW | SWP_NOACTIVATE);
  }
}

void Win32ProgressView::Show() {
  if (!window_) return;
  ShowWindow(window_, SW_SHOW);
  UpdateWindow(window_);
}

void Win32ProgressView::Hide() {
  if (window_) ShowWindow(window_, SW_HIDE);
}

bool Win32ProgressView::Visible() const { return window_ && IsWindowVisible(window_); }

void Win32ProgressView::PressButton() {
  if (on_button) on_button();
}

}  // namespace ui::win32
