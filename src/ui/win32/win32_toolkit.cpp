#include "ui/win32/win32_toolkit.h"

#include "ui/win32/win32_api.h"
#include "ui/win32/win32_form.h"
#include "ui/win32/win32_input_box.h"
#include "ui/win32/win32_progress_view.h"

namespace ui::win32 {
namespace {

// Sent to the call window; lparam points to the std::function to run.
constexpr UINT kRunCallMessage = WM_APP + 1;

bool busy_cursor = false;

// The main window when it is still there; boxes must not be owned by a destroyed window.
HWND LiveWindow(HWND window) { return window && IsWindow(window) ? window : nullptr; }

bool HasClass(HWND window, const char* class_name) {
  char name[64] = {};
  return window && GetClassNameA(window, name, sizeof(name)) > 0 && lstrcmpA(name, class_name) == 0;
}

// One message as the program's loops handle it: Tab, Enter and Escape in the main and progress
// windows behave as in a dialog.
void Dispatch(MSG& message) {
  HWND root = message.hwnd ? GetAncestor(message.hwnd, GA_ROOT) : nullptr;
  if ((HasClass(root, Win32Form::kClassName) || HasClass(root, Win32ProgressView::kClassName)) &&
      IsDialogMessageA(root, &message)) {
    return;
  }
  TranslateMessage(&message);
  DispatchMessageA(&message);
}

LRESULT CALLBACK CallWindowProc(HWND window, UINT message, WPARAM wparam, LPARAM lparam) {
  if (message == kRunCallMessage) {
    RunHandler(*reinterpret_cast<const std::function<void()>*>(lparam));
    return 0;
  }
  return DefWindowProcA(window, message, wparam, lparam);
}

bool RegisterCallClass() {
  static const bool registered = [] {
    WNDCLASSEXA window_class{};
    window_class.cbSize = sizeof(window_class);
    window_class.lpfnWndProc = CallWindowProc;
    window_class.hInstance = GetModuleHandleA(nullptr);
    window_class.lpszClassName = Win32Toolkit::kCallWindowClassName;
    return RegisterClassExA(&window_class) != 0;
  }();
  return registered;
}

}  // namespace

bool BusyCursorShown() { return busy_cursor; }

Win32Toolkit::Win32Toolkit(std::string title) : title_(std::move(title)) {
  if (RegisterCallClass()) {
    call_window_ = CreateWindowExA(0, kCallWindowClassName, "", 0, 0, 0, 0, 0, HWND_MESSAGE,
                                   nullptr, GetModuleHandleA(nullptr), nullptr);
  }
}

Win32Toolkit::~Win32Toolkit() {
  if (call_window_) DestroyWindow(call_window_);
}

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
    Dispatch(message);
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

std::unique_ptr<Form> Win32Toolkit::CreateForm(const std::string& caption, int width, int height) {
  auto form = std::make_unique<Win32Form>(caption, width, height);
  if (!LiveWindow(main_window_)) main_window_ = form->Handle();
  return form;
}

int Win32Toolkit::Run(Form& form) {
  auto* window = dynamic_cast<Win32Form*>(&form);
  if (!window || !window->Handle()) return 1;
  form.Show();
  // A message sent from another thread or program (a press of Exit or a close by an
  // accessibility or automation tool) is handled inside the wait for the next message, and a
  // handler that lets pending messages run may take any wake-up posted for this loop. So the
  // loop never sleeps in GetMessage: it looks at the form after every retrieval, sent messages
  // included, and waits only when nothing at all is pending.
  const auto ended = [&] { return window->Closed() || !IsWindow(window->Handle()); };
  MSG message;
  while (!ended()) {
    if (!PeekMessageA(&message, nullptr, 0, 0, PM_REMOVE)) {
      if (ended()) break;
      MsgWaitForMultipleObjectsEx(0, nullptr, INFINITE, QS_ALLINPUT, MWMO_INPUTAVAILABLE);
      continue;
    }
    if (message.message == WM_QUIT) return static_cast<int>(message.wParam);
    Dispatch(message);
  }
  return 0;
}

void Win32Toolkit::SetBusyCursor(bool busy) {
  busy_cursor = busy;
  // Now, not at the next mouse move: a busy command lets no message run for a while.
  SetCursor(LoadCursorA(nullptr, reinterpret_cast<LPCSTR>(busy ? IDC_WAIT : IDC_ARROW)));
}

void Win32Toolkit::RunOnMainThread(const std::function<void()>& call) {
  if (!call_window_) {  // no window to hand over through: at least the call is not lost
    RunHandler(call);
    return;
  }
  // Sent, not posted: the main thread runs it from its next message retrieval, and this thread
  // waits meanwhile. From the main thread itself the call runs at once.
  SendMessageA(call_window_, kRunCallMessage, 0, reinterpret_cast<LPARAM>(&call));
}

}  // namespace ui::win32

namespace ui {

// Windows always has its window system: this never fails.
std::unique_ptr<Toolkit> CreateNativeToolkit(const std::string& title, std::string*) {
  INITCOMMONCONTROLSEX controls{sizeof(controls),
                                ICC_STANDARD_CLASSES | ICC_PROGRESS_CLASS | ICC_WIN95_CLASSES};
  InitCommonControlsEx(&controls);
  return std::make_unique<win32::Win32Toolkit>(title);
}

}  // namespace ui
