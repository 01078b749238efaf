// A modal box asking for one line of text, which Windows does not provide: a prompt, an edit
// box, OK and Cancel, built in code and run in a local message loop.
#pragma once

#include <optional>
#include <string>

struct HWND__;

namespace ui::win32 {

inline constexpr const char* kInputBoxClassName = "RidideDuvureInputBox";
inline constexpr int kInputPromptId = 201;
inline constexpr int kInputEditId = 202;

// Shows the box over owner (disabled meanwhile; null for none) and returns the text entered, or
// nothing when the box is cancelled (Cancel, Escape, the close box, or the application quitting).
std::optional<std::string> RunInputBox(HWND__* owner, const std::string& caption,
                                       const std::string& prompt, const std::string& default_text);

}  // namespace ui::win32
