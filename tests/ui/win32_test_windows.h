// windows.h for the tests of the Win32 toolkit, and a way to act inside a modal loop.
#pragma once

#ifndef WIN32_LEAN_AND_MEAN
#define WIN32_LEAN_AND_MEAN
#endif
#ifndef NOMINMAX
#define NOMINMAX
#endif
#include <windows.h>
// After windows.h, which it needs.
#include <commctrl.h>
#undef MessageBox  // the toolkit's own member, not the A/W macro

#include <functional>
#include <string>

namespace ui::win32 {

// Runs act on the first visible window of class_name that this thread shows, from a timer: the
// modal loop of a box delivers it while the box waits for the user. Gives up after about five
// seconds, so that a box that never appears fails the test rather than hanging it.
void WhenShown(const std::string& class_name, std::function<void(HWND)> act);
// True when WhenShown's window appeared and was acted on.
bool WhenShownDone();

// Text of a window or control, in the program's ANSI (UTF-8) code page.
std::string TextOf(HWND window);

}  // namespace ui::win32
