#include "ui/win32/win32_input_box.h"

#include <algorithm>

#ifndef WIN32_LEAN_AND_MEAN
#define WIN32_LEAN_AND_MEAN
#endif
#ifndef NOMINMAX
#define NOMINMAX
#endif
#include <windows.h>

namespace ui::win32 {
namespace {

constexpr int kClientWidth = 360;
constexpr int kMargin = 10;
constexpr int kEditHeight = 22;
constexpr int kButtonWidth = 75;
constexpr int kButtonHeight = 25;
constexpr DWORD kStyle = WS_POPUP | WS_CAPTION | WS_SYSMENU;
constexpr DWORD kExStyle = WS_EX_DLGMODALFRAME;

struct InputState {
  HWND edit = nullptr;
  bool done = false;
  std::optional<std::string> answer;
};

std::string WindowText(HWND window) {
  std::string text(GetWindowTextLengthA(window) + 1, '\0');
  text.resize(GetWindowTextA(window, text.data(), static_cast<int>(text.size())));
  return text;
}

LRESULT CALLBACK InputWindowProc(HWND window, UINT message, WPARAM wparam, LPARAM lparam) {
  if (message == WM_NCCREATE) {
    auto* create = reinterpret_cast<CREATESTRUCTA*>(lparam);
    SetWindowLongPtrA(window, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(create->lpCreateParams));
  }
  auto* state = reinterpret_cast<InputState*>(GetWindowLongPtrA(window, GWLP_USERDATA));
  switch (message) {
    case WM_COMMAND:
      if (!state) break;
      if (LOWORD(wparam) == IDOK) {
        // Read now: the edit box goes with the window.
        state->answer = WindowText(state->edit);
        state->done = true;
        return 0;
      }
      if (LOWORD(wparam) == IDCANCEL) {  // also Escape, through the dialog keys
        state->done = true;
        return 0;
      }
      break;
    case DM_GETDEFID:  // Enter presses OK
      return MAKELRESULT(IDOK, DC_HASDEFID);
    case WM_CLOSE:
      if (state) state->done = true;
      return 0;
    default:
      break;
  }
  return DefWindowProcA(window, message, wparam, lparam);
}

bool RegisterInputClass() {
  static const bool registered = [] {
    WNDCLASSEXA window_class{};
    window_class.cbSize = sizeof(window_class);
    window_class.lpfnWndProc = InputWindowProc;
    window_class.hInstance = GetModuleHandleA(nullptr);
    window_class.hCursor = LoadCursorA(nullptr, reinterpret_cast<LPCSTR>(IDC_ARROW));
    window_class.hbrBackground = reinterpret_cast<HBRUSH>(COLOR_BTNFACE + 1);
    window_class.lpszClassName = kInputBoxClassName;
    return RegisterClassExA(&window_class) != 0;
  }();
  return registered;
}

HWND MakeChild(HWND parent, const char* window_class, const std::string& text, DWORD style,
               DWORD ex_style, int id, int left, int top, int width, int height) {
  HWND child =
      CreateWindowExA(ex_style, window_class, text.c_str(), WS_CHILD | WS_VISIBLE | style, left,
                      top, width, height, parent, reinterpret_cast<HMENU>(static_cast<INT_PTR>(id)),
                      GetModuleHandleA(nullptr), nullptr);
  if (child) SendMessageA(child, WM_SETFONT, WPARAM(GetStockObject(DEFAULT_GUI_FONT)), FALSE);
  return child;
}

// Height the prompt needs at the given width, so that a prompt of several lines shows whole.
int PromptHeight(const std::string& prompt, int width) {
  HDC context = GetDC(nullptr);
  HGDIOBJ old_font = SelectObject(context, GetStockObject(DEFAULT_GUI_FONT));
  RECT bounds{0, 0, width, 0};
  DrawTextA(context, prompt.c_str(), static_cast<int>(prompt.size()), &bounds,
            DT_CALCRECT | DT_WORDBREAK | DT_NOPREFIX);
  SelectObject(context, old_font);
  ReleaseDC(nullptr, context);
  return std::max(16, static_cast<int>(bounds.bottom));
}

// Centred over the owner, or over the work area when there is none.
POINT CentredOrigin(HWND owner, int width, int height) {
  RECT area{};
  if (!owner || !GetWindowRect(owner, &area)) SystemParametersInfoA(SPI_GETWORKAREA, 0, &area, 0);
  return {area.left + (area.right - area.left - width) / 2,
          area.top + (area.bottom - area.top - height) / 2};
}

}  // namespace

std::optional<std::string> RunInputBox(HWND__* owner, const std::string& caption,
                                       const std::string& prompt, const std::string& default_text) {
  if (!RegisterInputClass()) return std::nullopt;
  const int inner_width = kClientWidth - 2 * kMargin;
  const int prompt_height = PromptHeight(prompt, inner_width);
  const int edit_top = kMargin + prompt_height + 6;
  const int button_top = edit_top + kEditHeight + 12;
  RECT bounds{0, 0, kClientWidth, button_top + kButtonHeight + kMargin};
  AdjustWindowRectEx(&bounds, kStyle, FALSE, kExStyle);
  const int width = bounds.right - bounds.left;
  const int height = bounds.bottom - bounds.top;
  const POINT origin = CentredOrigin(owner, width, height);

  InputState state;
  HWND window =
      CreateWindowExA(kExStyle, kInputBoxClassName, caption.c_str(), kStyle, origin.x, origin.y,
                      width, height, owner, nullptr, GetModuleHandleA(nullptr), &state);
  if (!window) return std::nullopt;
  MakeChild(window, "STATIC", prompt, SS_LEFT | SS_NOPREFIX, 0, kInputPromptId, kMargin, kMargin,
            inner_width, prompt_height);
  state.edit =
      MakeChild(window, "EDIT", default_text, WS_TABSTOP | ES_AUTOHSCROLL, WS_EX_CLIENTEDGE,
                kInputEditId, kMargin, edit_top, inner_width, kEditHeight);
  const int cancel_left = kClientWidth - kMargin - kButtonWidth;
  MakeChild(window, "BUTTON", "OK", WS_TABSTOP | BS_DEFPUSHBUTTON, 0, IDOK,
            cancel_left - 8 - kButtonWidth, button_top, kButtonWidth, kButtonHeight);
  MakeChild(window, "BUTTON", "Cancel", WS_TABSTOP | BS_PUSHBUTTON, 0, IDCANCEL, cancel_left,
            button_top, kButtonWidth, kButtonHeight);

  // Modal to the owner: it takes no input until the box is answered.
  const bool owner_was_enabled = owner && IsWindowEnabled(owner);
  if (owner_was_enabled) EnableWindow(owner, FALSE);
  ShowWindow(window, SW_SHOW);
  if (state.edit) {
    SetFocus(state.edit);
    SendMessageA(state.edit, EM_SETSEL, 0, -1);  // typing replaces the default
  }

  while (!state.done) {
    MSG message;
    const BOOL got = GetMessageA(&message, nullptr, 0, 0);
    if (got == -1) break;
    if (got == 0) {  // the application is ending: leave the quit for the main loop
      PostQuitMessage(static_cast<int>(message.wParam));
      break;
    }
    if (!IsDialogMessageA(window, &message)) {
      TranslateMessage(&message);
      DispatchMessageA(&message);
    }
  }
  // Enable the owner first, so that activation returns to it rather than to another program.
  if (owner_was_enabled) EnableWindow(owner, TRUE);
  DestroyWindow(window);
  return state.answer;
}

}  // namespace ui::win32
