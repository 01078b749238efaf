#include "win32_test_windows.h"

namespace ui::win32 {
namespace {

std::string pending_class;
std::function<void(HWND)> pending_action;
UINT_PTR pending_timer = 0;
int ticks_left = 0;
bool done = false;

struct Search {
  const std::string* class_name;
  HWND found = nullptr;
};

BOOL CALLBACK MatchWindow(HWND window, LPARAM lparam) {
  auto* search = reinterpret_cast<Search*>(lparam);
  char name[64] = {};
  GetClassNameA(window, name, sizeof(name));
  if (*search->class_name == name && IsWindowVisible(window)) {
    search->found = window;
    return FALSE;
  }
  return TRUE;
}

void CALLBACK OnTimer(HWND, UINT, UINT_PTR, DWORD) {
  Search search{&pending_class};
  EnumThreadWindows(GetCurrentThreadId(), MatchWindow, reinterpret_cast<LPARAM>(&search));
  if (!search.found && --ticks_left > 0) return;
  KillTimer(nullptr, pending_timer);
  pending_timer = 0;
  if (!search.found) return;
  done = true;
  auto act = std::move(pending_action);
  pending_action = nullptr;
  act(search.found);
}

}  // namespace

void WhenShown(const std::string& class_name, std::function<void(HWND)> act) {
  if (pending_timer) KillTimer(nullptr, pending_timer);
  pending_class = class_name;
  pending_action = std::move(act);
  ticks_left = 250;
  done = false;
  pending_timer = SetTimer(nullptr, 0, 20, OnTimer);
}

bool WhenShownDone() { return done; }

std::string TextOf(HWND window) {
  std::string text(GetWindowTextLengthA(window) + 1, '\0');
  text.resize(GetWindowTextA(window, text.data(), static_cast<int>(text.size())));
  return text;
}

}  // namespace ui::win32
