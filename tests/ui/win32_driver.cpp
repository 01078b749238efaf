#include "win32_driver.h"

#include <zlib.h>

#include <cstdint>
#include <cstdio>
#include <vector>

namespace ui::win32::driver {
namespace {

constexpr int kPollMs = 50;
constexpr UINT kSendTimeoutMs = 2000;  // a hung program must not hang its driver

struct TopSearch {
  DWORD process_id;
  const std::string* class_name;
  const std::string* caption;
  HWND found = nullptr;
};

BOOL CALLBACK MatchTopWindow(HWND window, LPARAM lparam) {
  auto* search = reinterpret_cast<TopSearch*>(lparam);
  DWORD owner = 0;
  GetWindowThreadProcessId(window, &owner);
  if (search->process_id && owner != search->process_id) return TRUE;
  if (!IsWindowVisible(window)) return TRUE;
  if (!search->class_name->empty() && ClassOf(window) != *search->class_name) return TRUE;
  if (!search->caption->empty() && TextOf(window) != *search->caption) return TRUE;
  search->found = window;
  return FALSE;
}

struct ChildSearch {
  const std::string* text;
  Kind kind;
  HWND found = nullptr;
};

std::string WithoutAccelerators(const std::string& text) {
  std::string plain;
  for (size_t i = 0; i < text.size(); ++i) {
    if (text[i] == '&' && i + 1 < text.size()) ++i;  // "&&" is a literal '&'
    plain += text[i];
  }
  return plain;
}

BOOL CALLBACK MatchChild(HWND window, LPARAM lparam) {
  auto* search = reinterpret_cast<ChildSearch*>(lparam);
  if (search->kind != Kind::kAny && KindOf(window) != search->kind) return TRUE;
  if (WithoutAccelerators(TextOf(window)) != *search->text) return TRUE;
  search->found = window;
  return FALSE;
}

void RunOwnMessages() {
  MSG message;
  while (PeekMessageA(&message, nullptr, 0, 0, PM_REMOVE)) {
    TranslateMessage(&message);
    DispatchMessageA(&message);
  }
}

// PNG: signature, then chunks of length, type, data and CRC over type and data.
void PutBigEndian(std::vector<unsigned char>& out, uint32_t value) {
  for (int shift = 24; shift >= 0; shift -= 8) out.push_back((value >> shift) & 0xFF);
}

void PutChunk(std::vector<unsigned char>& out, const char* type,
              const std::vector<unsigned char>& data) {
  PutBigEndian(out, static_cast<uint32_t>(data.size()));
  const size_t start = out.size();
  out.insert(out.end(), type, type + 4);
  out.insert(out.end(), data.begin(), data.end());
  PutBigEndian(out, crc32(0, out.data() + start, static_cast<uInt>(out.size() - start)));
}

bool WritePng(const std::string& path, int width, int height,
              const std::vector<unsigned char>& bgra, std::string* error) {
  // Each row: filter type 0, then RGB.
  std::vector<unsigned char> raw;
  raw.reserve(static_cast<size_t>(height) * (1 + 3 * width));
  for (int y = 0; y < height; ++y) {
    raw.push_back(0);
    const unsigned char* pixel = &bgra[static_cast<size_t>(y) * width * 4];
    for (int x = 0; x < width; ++x, pixel += 4) {
      raw.insert(raw.end(), {pixel[2], pixel[1], pixel[0]});
    }
  }
  uLongf packed_size = compressBound(static_cast<uLong>(raw.size()));
  std::vector<unsigned char> packed(packed_size);
  if (compress2(packed.data(), &packed_size, raw.data(), static_cast<uLong>(raw.size()), 9) !=
      Z_OK) {
    *error = "compressing the picture failed";
    return false;
  }
  packed.resize(packed_size);

  std::vector<unsigned char> header;
  PutBigEndian(header, width);
  PutBigEndian(header, height);
  header.insert(header.end(), {8, 2, 0, 0, 0});  // 8 bits, RGB, deflate, no filter, no interlace
  std::vector<unsigned char> png = {0x89, 'P', 'N', 'G', '\r', '\n', 0x1A, '\n'};
  PutChunk(png, "IHDR", header);
  PutChunk(png, "IDAT", packed);
  PutChunk(png, "IEND", {});

  FILE* file = std::fopen(path.c_str(), "wb");
  if (!file) {
    *error = "cannot create " + path;
    return false;
  }
  const bool written = std::fwrite(png.data(), 1, png.size(), file) == png.size();
  if (std::fclose(file) != 0 || !written) {
    *error = "cannot write " + path;
    return false;
  }
  return true;
}

}  // namespace

Program::~Program() {
  if (process_) CloseHandle(process_);
}

Program::Program(Program&& other) noexcept : process_(other.process_), id_(other.id_) {
  other.process_ = nullptr;
}

Program& Program::operator=(Program&& other) noexcept {
  if (this != &other) {
    if (process_) CloseHandle(process_);
    process_ = other.process_;
    id_ = other.id_;
    other.process_ = nullptr;
  }
  return *this;
}

std::optional<DWORD> Program::WaitForExit(int timeout_ms) const {
  if (!process_ || WaitForSingleObject(process_, timeout_ms) != WAIT_OBJECT_0) return std::nullopt;
  DWORD code = 0;
  if (!GetExitCodeProcess(process_, &code)) return std::nullopt;
  return code;
}

void Program::Kill() {
  if (process_ && WaitForSingleObject(process_, 0) == WAIT_TIMEOUT) {
    TerminateProcess(process_, 99);
    WaitForSingleObject(process_, 5000);
  }
}

constexpr const char* kManagedValue = "Managed";

WineDrawsTheFrame::WineDrawsTheFrame(const std::string& program)
    : key_("Software\\Wine\\AppDefaults\\" + program + "\\X11 Driver") {
  HKEY handle = nullptr;
  if (RegCreateKeyExA(HKEY_CURRENT_USER, key_.c_str(), 0, nullptr, 0,
                      KEY_QUERY_VALUE | KEY_SET_VALUE, nullptr, &handle,
                      nullptr) != ERROR_SUCCESS) {
    return;
  }
  // A setting of the user's own stays as it is.
  if (RegQueryValueExA(handle, kManagedValue, nullptr, nullptr, nullptr, nullptr) !=
      ERROR_SUCCESS) {
    set_ = RegSetValueExA(handle, kManagedValue, 0, REG_SZ, reinterpret_cast<const BYTE*>("N"),
                          2) == ERROR_SUCCESS;
  }
  RegCloseKey(handle);
}

WineDrawsTheFrame::~WineDrawsTheFrame() {
  if (set_) RegDeleteKeyValueA(HKEY_CURRENT_USER, key_.c_str(), kManagedValue);
}

bool RunsUnderWine() {
  HMODULE ntdll = GetModuleHandleA("ntdll.dll");
  return ntdll && GetProcAddress(ntdll, "wine_get_version") != nullptr;
}

std::string OwnFolder() {
  char path[MAX_PATH] = {};
  const DWORD length = GetModuleFileNameA(nullptr, path, MAX_PATH);
  std::string folder(path, length);
  return folder.substr(0, folder.find_last_of('\\') + 1);
}

Program StartProgram(const std::string& path) {
  const std::string folder = path.substr(0, path.find_last_of('\\') + 1);
  std::string command_line = "\"" + path + "\"";
  STARTUPINFOA startup{};
  startup.cb = sizeof(startup);
  PROCESS_INFORMATION started{};
  if (!CreateProcessA(path.c_str(), command_line.data(), nullptr, nullptr, FALSE, 0, nullptr,
                      folder.empty() ? nullptr : folder.c_str(), &startup, &started)) {
    return {};
  }
  CloseHandle(started.hThread);
  return Program(started.hProcess, started.dwProcessId);
}

HWND WaitFor(const std::function<HWND()>& found, int timeout_ms) {
  const ULONGLONG end = GetTickCount64() + timeout_ms;
  for (;;) {
    RunOwnMessages();
    if (HWND window = found()) return window;
    if (GetTickCount64() >= end) return nullptr;
    Sleep(kPollMs);
  }
}

bool WaitUntil(const std::function<bool()>& done, int timeout_ms) {
  return WaitFor([&] { return done() ? GetDesktopWindow() : nullptr; }, timeout_ms) != nullptr;
}

HWND FindTopWindow(DWORD process_id, const std::string& class_name, const std::string& caption) {
  TopSearch search{process_id, &class_name, &caption};
  EnumWindows(MatchTopWindow, reinterpret_cast<LPARAM>(&search));
  return search.found;
}

Kind KindOf(HWND control) {
  const std::string name = ClassOf(control);
  if (lstrcmpiA(name.c_str(), "Edit") == 0) return Kind::kEdit;
  if (lstrcmpiA(name.c_str(), "Static") == 0) return Kind::kLabel;
  if (lstrcmpiA(name.c_str(), "Button") != 0) return Kind::kAny;
  switch (GetWindowLongPtrA(control, GWL_STYLE) & BS_TYPEMASK) {
    case BS_PUSHBUTTON:
    case BS_DEFPUSHBUTTON:
      return Kind::kPushButton;
    case BS_CHECKBOX:
    case BS_AUTOCHECKBOX:
    case BS_3STATE:
    case BS_AUTO3STATE:
      return Kind::kCheckBox;
    case BS_RADIOBUTTON:
    case BS_AUTORADIOBUTTON:
      return Kind::kRadioButton;
    case BS_GROUPBOX:
      return Kind::kGroupBox;
    default:
      return Kind::kAny;
  }
}

HWND FindChildByText(HWND parent, const std::string& text, Kind kind) {
  ChildSearch search{&text, kind};
  EnumChildWindows(parent, MatchChild, reinterpret_cast<LPARAM>(&search));
  return search.found;
}

HWND NextOfKind(HWND from, Kind kind) {
  for (HWND next = from ? GetWindow(from, GW_HWNDNEXT) : nullptr; next;
       next = GetWindow(next, GW_HWNDNEXT)) {
    if (KindOf(next) == kind) return next;
  }
  return nullptr;
}

std::string TextOf(HWND window) {
  DWORD_PTR length = 0;
  if (!SendMessageTimeoutA(window, WM_GETTEXTLENGTH, 0, 0, SMTO_ABORTIFHUNG, kSendTimeoutMs,
                           &length)) {
    return "";
  }
  std::string text(length + 1, '\0');
  DWORD_PTR copied = 0;
  if (!SendMessageTimeoutA(window, WM_GETTEXT, text.size(), reinterpret_cast<LPARAM>(text.data()),
                           SMTO_ABORTIFHUNG, kSendTimeoutMs, &copied)) {
    return "";
  }
  text.resize(copied);
  return text;
}

std::string ClassOf(HWND window) {
  char name[256] = {};
  const int length = GetClassNameA(window, name, sizeof(name));
  return std::string(name, length > 0 ? length : 0);
}

void TypeText(HWND edit, const std::string& text) {
  DWORD_PTR ignored = 0;
  SendMessageTimeoutA(edit, WM_SETTEXT, 0, reinterpret_cast<LPARAM>(text.c_str()), SMTO_ABORTIFHUNG,
                      kSendTimeoutMs, &ignored);
}

bool IsChecked(HWND button) {
  DWORD_PTR state = 0;
  return SendMessageTimeoutA(button, BM_GETCHECK, 0, 0, SMTO_ABORTIFHUNG, kSendTimeoutMs, &state) &&
         state == BST_CHECKED;
}

void Click(HWND control) { PostMessageA(control, BM_CLICK, 0, 0); }

bool SendAndWait(HWND window, UINT message, WPARAM wparam, LPARAM lparam, int timeout_ms) {
  DWORD_PTR ignored = 0;
  return SendMessageTimeoutA(window, message, wparam, lparam, SMTO_NORMAL,
                             static_cast<UINT>(timeout_ms), &ignored) != 0;
}

std::optional<std::string> AnswerMessageBox(DWORD process_id, int button_id, int timeout_ms,
                                            std::string* caption) {
  HWND box = WaitFor([&] { return FindTopWindow(process_id, "#32770", ""); }, timeout_ms);
  if (!box) return std::nullopt;
  // The text of a message box is its static control with the id 0xFFFF.
  HWND text_control = GetDlgItem(box, 0xFFFF);
  std::string text = text_control ? TextOf(text_control) : "";
  if (caption) *caption = TextOf(box);
  PostMessageA(box, WM_COMMAND, MAKEWPARAM(button_id, BN_CLICKED),
               reinterpret_cast<LPARAM>(GetDlgItem(box, button_id)));
  // Gone before the next box is looked for, so that the same one is not answered twice.
  WaitUntil([&] { return !IsWindow(box) || !IsWindowVisible(box); }, timeout_ms);
  return text;
}

bool CaptureWindowPng(HWND window, const std::string& path, std::string* error) {
  RECT bounds;
  if (!GetWindowRect(window, &bounds)) {
    *error = "no such window";
    return false;
  }
  const int width = bounds.right - bounds.left;
  const int height = bounds.bottom - bounds.top;
  if (width <= 0 || height <= 0) {
    *error = "the window has no size";
    return false;
  }
  HDC screen = GetDC(nullptr);
  HDC memory = CreateCompatibleDC(screen);
  HBITMAP bitmap = CreateCompatibleBitmap(screen, width, height);
  HGDIOBJ old = SelectObject(memory, bitmap);
  const bool copied =
      BitBlt(memory, 0, 0, width, height, screen, bounds.left, bounds.top, SRCCOPY | CAPTUREBLT);
  SelectObject(memory, old);

  BITMAPINFO info{};
  info.bmiHeader.biSize = sizeof(info.bmiHeader);
  info.bmiHeader.biWidth = width;
  info.bmiHeader.biHeight = -height;  // top row first
  info.bmiHeader.biPlanes = 1;
  info.bmiHeader.biBitCount = 32;
  info.bmiHeader.biCompression = BI_RGB;
  std::vector<unsigned char> pixels(static_cast<size_t>(width) * height * 4);
  const int rows =
      copied ? GetDIBits(memory, bitmap, 0, height, pixels.data(), &info, DIB_RGB_COLORS) : 0;
  DeleteObject(bitmap);
  DeleteDC(memory);
  ReleaseDC(nullptr, screen);
  if (rows != height) {
    *error = "the screen could not be read";
    return false;
  }
  return WritePng(path, width, height, pixels, error);
}

}  // namespace ui::win32::driver
