#include "ui/win32/win32_toolkit.h"

#include "ui/win32/win32_input_box.h"
#include "ui/win32/win32_progress_view.h"

#ifndef WIN32_LEAN_AND_MEAN
#define WIN32_LEAN_AND_MEAN
#endif
#ifndef NOMINMAX
#define NOMINMAX
#endif
#include <windows.h>
#undef MessageBox  // our Toolkit::MessageBox, not the A/W macro

namespace ui::win32 {
namespace {

// The main window when it is still there; boxes must not be owned by a destroyed window.
HWND LiveWindow(HWND window) { return window && IsWindow(window) ? window : nullptr; }

bool IsProgressWindow(HWND window) {
  char name[64] = {};
  return window && GetClassNameA(window, name, sizeof(name)) > 0 &&
         lstrcmpA(name, Win32ProgressView::kClassName) == 0;
}

}  // namespace

int Win32Toolkit::MessageBox(const std::string& text, const std::string& caption, unsigned flags) {
  HWND owner = LiveWindow(main_window_);
  // Without an owner the box would leave the program's other windows clickable.
  if (!owner) flags |= MB_TASKMODAL;
  return MessageBoxA(owner, text.c_str(), caption.c_str(), flags);
}

std::optional<std::string> Win32Toolkit::InputBox(const std::string& caption,
                                                  const std::string& prompt,
                                                  const std::string& default_text) {
  return RunInputBox(LiveWindow(main_window_), caption, prompt, default_text);
}

void Win32Toolkit::ProcessMessages() {
  MSG message;
  while (PeekMessageA(&message, nullptr, 0, 0, PM_REMOVE)) {
    if (message.message == WM_QUIT) {  // for the main loop to see
      PostQuitMessage(static_cast<int>(message.wParam));
      return;
    }
    // Enter and Tab in a progress window behave as in a dialog.
    HWND root = message.hwnd ? GetAncestor(message.hwnd, GA_ROOT) : nullptr;
    if (IsProgressWindow(root) && IsDialogMessageA(root, &message)) continue;
    TranslateMessage(&message);
    DispatchMessageA(&message);
  }
}

std::unique_ptr<ProgressView> Win32Toolkit::CreateProgressView(int client_width,
                                                               int client_height) {
  return std::make_unique<Win32ProgressView>(client_width, client_height);
}

std::optional<Rect> Win32Toolkit::MainWindowFrame() const {
  HWND window = LiveWindow(main_window_);
  RECT bounds;
  if (!window || !GetWindowRect(window, &bounds)) return std::nullopt;
  return Rect{bounds.left, bounds.top, bounds.right - bounds.left, bounds.bottom - bounds.top};
}

Rect Win32Toolkit::WorkArea() const {
  RECT area{};
  if (!SystemParametersInfoA(SPI_GETWORKAREA, 0, &area, 0)) {
    area = {0, 0, GetSystemMetrics(SM_CXSCREEN), GetSystemMetrics(SM_CYSCREEN)};
  }
  return {area.left, area.top, area.right - area.left, area.bottom - area.top};
}

}  // namespace ui::win32
